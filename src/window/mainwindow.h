// The frameless main window: title bar, navigation tool box, stacked pages, port row and
// status line; it owns the serial link and the worker, turns buttons into request strings
// and the worker's result strings into pages, status texts and dialogs.
#pragma once

#include "pageformat.h"
#include "titlebardrag.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <QVector>

#include <array>
#include <cstdint>
#include <memory>

class QDialog;
class QPropertyAnimation;
class QRegularExpressionValidator;
class SerialLink;
class UIntValidator;
class hartThread;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    // Stops the worker before the link and the form it talks to are destroyed.
    ~MainWindow() override;

    hartThread *worker() const { return m_worker.get(); }
    SerialLink *serialLink() const { return m_link.get(); }

    void showPage(int index);
    void showStatus(const QString &text);
    void refreshPortList();

    static constexpr int kPageWelcome = 0;
    static constexpr int kPageEmpty = 1;
    static constexpr int kPageCount = 20;

    // Given to every cell editor the calibration and Modbus tables place in their cells.
    static constexpr const char *kCellEditorStyle =
            "QLineEdit{    border: 1px solid rgb(0, 150, 255);    border-radius: 0px;    "
            "background: rgb(255,255,255);"
            "    selection-background-color: rgb(0, 150, "
            "255);}QLineEdit:read-only,QLineEdit:disabled{    background: rgb(220,220,220);}";

    // One row of the result table (mainwindow.cpp) and what it does besides its texts.
    enum class Effect;
    struct ResultRow;

signals:
    void sendMessageToHartThread(QString Message);

public slots:
    void receiveMessageFromHartThread(QString Message);
    void tickTimerSlot();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private slots:
    // Title bar, port row, status line.
    void on_pushButton_min_clicked();
    void on_pushButton_max_clicked();
    void on_pushButton_close_clicked();
    void on_pushButton_chazhaoduankou_clicked();
    void on_pushButton_dakaiduankou_clicked();
    void on_pushButton_chaxunyibiao_clicked();
    void on_pushButton_clear_err_clicked();
    void on_progressBar_valueChanged(int value);
    void on_stackedWidget_currentChanged(int index);

    // Navigation buttons of the tool box.
    void on_pushButton_biansongqixinxi_clicked();
    void on_pushButton_yibiaoxinxi_clicked();
    void on_pushButton_gengduoxinxi_clicked();
    void on_pushButton_dizhishezhi_clicked();
    void on_pushButton_liangchengshezhi_clicked();
    void on_pushButton_youyuanqianyi_clicked();
    void on_pushButton_shuchushezhi_clicked();
    void on_pushButton_xianshishezhi_clicked();
    void on_pushButton_zhuanyoushezhi_clicked();
    void on_pushButton_yibiaoqingling_clicked();
    void on_pushButton_dianliuweitiao_clicked();
    void on_pushButton_guochengjiankong_clicked();
    void on_pushButton_yonghujiaozhun_clicked();
    void on_pushButton_chuanganqipeizhi_clicked();
    void on_pushButton_xianxinhuajiwenbu_clicked();
    void on_pushButton_SecondNonlinearityCorrection_clicked();
    void on_pushButton_modbus_zutai_clicked();
    void on_pushButton_chuchangjiance_clicked();

    // Page buttons.
    void on_pushButton_xieruyibiaoxinxi_clicked();
    void on_pushButton_set_addr_clicked();
    void on_pushButton_set_range_clicked();
    void on_pushButton_lingdianqianyi_clicked();
    void on_pushButton_liangchengqianyi_clicked();
    void on_pushButton_send_shuchushezhi_clicked();
    void on_pushButton_send_xianshishezhi_clicked();
    void on_pushButton_zhuanyoushezhi_fasong_clicked();
    void on_pushButton_qingling_clicked();
    void on_pushButton_quxiaoqingling_clicked();
    void on_pushButton_quanbuxieru_clicked();
    void on_pushButton_gongchangbaocun_clicked();

private:
    enum class WhileBusy { KeepPage, ShowEmptyPage };
    // What the window needs of the record and of the master, copied in one locked section.
    struct Snapshot
    {
        DeviceData data;
        std::uint8_t pollingAddress;
        std::uint32_t deviceId;
    };

    void installValidators();
    void startWorker();
    void onPortLost();

    // The request pattern: port check first, then status, page, request, locked buttons.
    bool portReady();
    void startRequest(const QString &request, const QString &busyText, WhileBusy page);
    void setPortButtonsEnabled(bool enabled);

    // Dialogs: created, centred on the window, run modally, destroyed.
    void warn(const QString &text);
    bool ask(const QString &title, const QString &text);
    void runCentred(QDialog &dialog);

    // Result handling.
    void onProgress(const QString &argument);
    void appendStatusItem(const QString &text);
    void onSearchSucceeded();
    void onSearchFailed();
    void handleResultRow(const ResultRow &row);
    void applyEffect(Effect effect);
    void onSingleTempResult();

    // Navigation groups by the found transmitter's identity.
    void clearNavigation();
    void rebuildNavigation(const DeviceData &d);

    // Page fills and collects; each copies the record under the worker's mutex once.
    Snapshot snapshot();
    void fillTransmitterInfo(const pagefmt::TransmitterInfo &t);
    void fillMeterInfo(const pagefmt::MeterInfo &m);
    void fillMoreInfo(const pagefmt::MoreInfo &m);
    void fillAddressPage();
    void fillRangePage(const pagefmt::RangeInfo &r, bool unitAndRangeOnly);
    void fillRerangePage(const pagefmt::RangeInfo &r);
    void fillOutputPage(const pagefmt::OutputSettings &o);
    void fillDisplayPage(const pagefmt::DisplaySettings &s);
    void fillProprietaryPage(const pagefmt::ProprietarySettings &p);
    void collectMeterInfo();
    void collectOutputPage();
    void collectDisplayPage();
    void collectProprietaryPage();
    void collectPagesForWriteAll();

    std::unique_ptr<Ui::MainWindow> ui;

    TitleBarDrag m_drag; // m_pressPos and m_dragging of the title-bar drag
    bool m_maximized = false;
    bool m_writeAllPending = false;
    std::array<QWidget *, 8> m_navPages{};
    std::array<QString, 8> m_navTitles;

    QTimer m_tickTimer;
    std::uint16_t m_tickCount = 0;
    std::uint8_t m_statusSeconds = 0;
    std::uint8_t m_progressHideTicks = 0;
    std::uint8_t m_singleTempSeconds = 0;
    QPropertyAnimation *m_progressAnimation = nullptr;

    // Owned by the factory test; kept here because the tick and the results drive them.
    std::uint8_t m_factoryTestState = 0;
    std::uint8_t m_factoryTestSeconds = 0;
    std::uint8_t m_calibrationWriteOutcome = 0; // 0 none, 1 success, 2 failure

    QRegularExpressionValidator *m_realValidator = nullptr;
    UIntValidator *m_u16Validator = nullptr;
    UIntValidator *m_u24Validator = nullptr;

    QVector<double> m_timeSeries, m_pvSeries, m_currentSeries;

    // Declared before the link: the link holds the worker's master, so it must go first.
    std::unique_ptr<hartThread> m_worker;
    std::unique_ptr<SerialLink> m_link;
};

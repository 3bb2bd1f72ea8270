// The frameless main window, only the shell: title bar, navigation tool box, stacked pages,
// port row and status line. It owns the serial link and the worker, gives the pages the
// narrow host interface they need, and turns the worker's result strings into page calls,
// status texts and dialogs.
#pragma once

#include "navigationbox.h"
#include "pagehost.h"
#include "titlebardrag.h"

#include <QMainWindow>
#include <QSet>
#include <QString>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QDialog;
class QPropertyAnimation;
class QPushButton;
class QRegularExpressionValidator;
class HartIpLink;
class SerialLink;
class UIntValidator;
class hartThread;
class HistoryRecorder;
class HistoryStore;
class HistoryWindow;

namespace results {
enum class Effect;
struct ResultRow;
} // namespace results

class AddressPage;
class CurrentTrimPage;
class MonitoringPage;
class SensorConfigPage;
class BackupActions;
class ModbusPage;
class DisplayPage;
class FactoryTestPage;
class LoopCheckWindow;
class ScanWindow;
class LinearizationPage;
class SecondCorrectionPage;
class UserCalibrationPage;
class MeterInfoPage;
class MoreInfoPage;
class OutputPage;
class ProprietaryPage;
class PvZeroPage;
class RangePage;
class RerangePage;
class TransmitterInfoPage;

namespace Ui {
class MainWindow;
}

namespace traffic {
class TrafficCapture;
class TrafficWindow;
} // namespace traffic

class MainWindow : public QMainWindow, public PageHost
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    explicit MainWindow(Edition edition, QWidget *parent = nullptr);
    // Stops the worker before the link and the form it talks to are destroyed.
    ~MainWindow() override;

    static Edition builtEdition();
    Edition edition() const { return m_edition; }

    hartThread *worker() const { return m_worker.get(); }
    BackupActions &backupActions() const { return *m_backup; }
    SerialLink *serialLink() const { return m_link.get(); }
    HartIpLink *hartIpLink() const { return m_ipLink.get(); }
    HistoryStore *historyStore() const { return m_history.get(); }
    traffic::TrafficCapture *trafficCapture() const { return m_traffic.get(); }
    // The traffic monitor once it has been opened, else null.
    traffic::TrafficWindow *trafficWindow() const { return m_trafficWindow.get(); }
    void openTrafficMonitor();

    void refreshPortList();
    // Selects the port (listed or not) and opens it, as the user would with "打开端口". A
    // serial port's options suffix ("NAME?echo") becomes that port's remembered options.
    void openPortAtStart(const QString &text);
    // Where the FTDI latency timer is read (a test's own tree instead of /sys).
    void setSysfsRoot(const QString &root) { m_sysfsRoot = root; }

    // A text button of the title bar, before the minimise button, for a window of its own
    // (history, loop check, traffic monitor). Named, with an accessible name, tool tip and the
    // title bar's style; the caller connects it.
    QPushButton *addTitleButton(const QString &objectName, const QString &text,
                                const QString &toolTip);

    // PageHost
    bool isPortOpen() const override;
    bool portReady() override;
    void startRequest(const QString &request, const QString &busyText, WhileBusy page) override;
    void sendRequest(const QString &request) override;
    void setPortButtonsEnabled(bool enabled) override;
    void showStatus(const QString &text) override;
    void showPage(int index) override;
    int currentPage() const override;
    void warn(const QString &text) override;
    bool ask(const QString &title, const QString &text) override;
    int runCentred(QDialog &dialog) override;
    QMutex &dataLock() override;
    kvhart_master::Addressing addressing() override;
    QValidator *realValidator() const override;
    QValidator *u16Validator() const override;
    QValidator *u24Validator() const override;

    static constexpr int kPageCount = pageindex::Count;

    // The pages, the port list, the default backup and the history store follow the first
    // paint; this builds whatever is still missing at once. Anything that reaches a page
    // calls it first.
    void ensureBuilt();
    bool isBuilt() const { return m_built; }

signals:
    void sendMessageToHartThread(QString Message);
    // Every page exists, the default backup is in them and the history store has started.
    void built();

public slots:
    void receiveMessageFromHartThread(QString Message);
    void tickTimerSlot();
    // The two entries of the title icon's menu.
    void beifenshujuSlot();
    void duqubeifenshujuSlot();

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
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
    void on_comboBox_duankouhao_currentTextChanged(const QString &text);
    void on_progressBar_valueChanged(int value);
    void on_stackedWidget_currentChanged(int index);

private:
    void createValidators();
    void addPage(int index, QWidget *page);
    void createPages();
    void wirePages();
    void createHistory();
    void openHistoryWindow();
    void createTrafficCapture();
    void startWorker();
    void onPortLost();
    // The modem options of the selected serial port, in the menu of "选项".
    void createPortOptionsMenu();
    QString selectedPortName() const; // empty for none or a HART-IP address
    void showPortOptions();
    void onPortOptionChosen();
    // Once per adapter and run: a latency timer above 1 ms, and how to set it.
    void tellFtdiLatency(const QString &portName);
    // Either carrier, serial or HART-IP.
    bool linkOpen() const;
    void closeLinks();
    void openNetworkPort(const QString &name);
    void onNetworkPortOpened(bool ok);
    void networkOpenFailed();
    void onPageOpened(int index);
    // Sends "exit fix current" when the loop is held; true when the worker will answer it.
    bool releaseHeldCurrent();
    // Closing while the loop may be held: release, wait for the answer, else ask.
    bool holdOnItsWay() const;
    bool loopMayBeHeld() const;
    void continueClosing();
    void askBeforeClosing();

    void startWriteAll();
    void openLoopCheck();
    LoopCheckWindow *loopCheck(); // made on first use, not shown
    void openScan();
    void createHealthBadge();

    // Result handling.
    void onProgress(const QString &argument);
    void appendStatusItem(const QString &text);
    void onSearchSucceeded();
    void onSearchFailed();
    void handleResultRow(const results::ResultRow &row);
    void applyEffect(results::Effect effect);

    std::vector<std::function<void()>> pageCollectors();
    std::vector<std::function<void()>> pageFillers();
    // False, after a warning naming the points, when the compensation cannot be written.
    bool collectPagesForWriteAll();

    std::unique_ptr<Ui::MainWindow> ui;
    Edition m_edition;

    TitleBarDrag m_drag; // m_pressPos and m_dragging of the title-bar drag
    bool m_maximized = false;
    bool m_writeAllPending = false;
    bool m_workerStarted = false;
    // Opens started, and how many had been when the last "close port" was asked: the
    // worker's answer to a close overtaken by a new open is not that port's close.
    quint32 m_opensStarted = 0;
    quint32 m_opensAtClose = 0;
    bool m_built = false;
    bool m_building = false;
    // A window shown but never exposed (a minimised start) is built after this all the same.
    static constexpr int kLatestBuildMs = 1500;
    bool m_closing = false;       // a close waits for the loop current's release
    bool m_closeAllowed = false;  // released, or the user chose to go anyway
    bool m_closeReleaseSent = false;
    int m_closeAttempt = 0;
    float m_heldCurrentMa = 0.0f; // the last hold the transmitter confirmed
    QString m_compensationProblem; // why the last collect left the compensation unwritable

    QTimer m_tickTimer;
    std::uint16_t m_tickCount = 0;
    std::uint8_t m_statusSeconds = 0;
    std::uint8_t m_progressHideTicks = 0;
    QPropertyAnimation *m_progressAnimation = nullptr;

    QAction *m_keysItselfAction = nullptr;
    QAction *m_echoAction = nullptr;
    QString m_sysfsRoot = QStringLiteral("/sys");
    QSet<QString> m_latencyTold;

    QRegularExpressionValidator *m_realValidator = nullptr;
    UIntValidator *m_u16Validator = nullptr;
    UIntValidator *m_u24Validator = nullptr;

    // The pages, owned by the stacked widget.
    TransmitterInfoPage *m_transmitterInfoPage = nullptr;
    MeterInfoPage *m_meterInfoPage = nullptr;
    MoreInfoPage *m_moreInfoPage = nullptr;
    AddressPage *m_addressPage = nullptr;
    RangePage *m_rangePage = nullptr;
    RerangePage *m_rerangePage = nullptr;
    OutputPage *m_outputPage = nullptr;
    DisplayPage *m_displayPage = nullptr;
    ProprietaryPage *m_proprietaryPage = nullptr;
    PvZeroPage *m_pvZeroPage = nullptr;
    ModbusPage *m_modbusPage = nullptr;
    FactoryTestPage *m_factoryTestPage = nullptr;
    CurrentTrimPage *m_currentTrimPage = nullptr;
    MonitoringPage *m_monitoringPage = nullptr;
    SensorConfigPage *m_sensorPage = nullptr;
    UserCalibrationPage *m_userCalibrationPage = nullptr;
    LinearizationPage *m_linearizationPage = nullptr;
    SecondCorrectionPage *m_secondCorrectionPage = nullptr;

    std::unique_ptr<BackupActions> m_backup;
    LoopCheckWindow *m_loopCheck = nullptr; // made on first use, a window of its own
    ScanWindow *m_scan = nullptr;           // likewise

    // The store flushes its queue when destroyed, after the recorder that feeds it.
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<HistoryRecorder> m_recorder;
    HistoryWindow *m_historyWindow = nullptr; // owned by this window, made on first open
    // Declared before the worker and the link: both report into the capture to the end.
    std::unique_ptr<traffic::TrafficCapture> m_traffic;
    std::unique_ptr<traffic::TrafficWindow> m_trafficWindow;

    // Declared before the link: the link holds the worker's master, so it must go first.
    std::unique_ptr<hartThread> m_worker;
    std::unique_ptr<SerialLink> m_link;
    std::unique_ptr<HartIpLink> m_ipLink;
};

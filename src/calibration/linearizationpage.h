// Page 17: linearization and temperature compensation. Collects sensor and temperature signals
// into the table, fits them into the compensation block, and runs the factory current
// calibration and the single-temperature-point test.
#pragma once

#include "calibrationrules.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class PageHost;
class QDialog;
class QButtonGroup;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace Ui {
class LinearizationPage;
}

class LinearizationPage : public QWidget
{
    Q_OBJECT
public:
    // Asks the operator for one measured current; nullopt when the question was cancelled.
    using CurrentAsker =
            std::function<std::optional<float>(const QString &title, const QString &initialText)>;

    explicit LinearizationPage(PageHost &host, QWidget *parent = nullptr);
    ~LinearizationPage() override;

    // "read jiaozhunshuju succeed": record -> widgets, coefficients refitted in the record.
    void fill();
    // Widgets -> record (also for write all). Returns why the result must not be written, or
    // an empty text; the record holds the table either way, so a backup keeps it.
    QString collect();
    // The "写入" sequence without the port check's caller: false when nothing was sent.
    bool writeCalibration();
    // "read ADC succeed".
    void showLiveValues();
    // "single temp compensation mode succeed".
    void showSingleTempState();
    // Once per second from the window's tick: ends the single-point test display after 120 s.
    void countdownSecond();
    int singleTempSecondsLeft() const { return m_singleTempSeconds; }
    // The sensor page's unit drives the user unit.
    void followUserUnit(const QString &unitText);
    // "enter gongchangdianliujiaozhun succeed": the point's reading may be taken.
    void factoryCurrentEntered();
    // "enter gongchangdianliujiaozhun failed": the calibration ends as if cancelled, and a
    // reading confirmed before this answer is discarded.
    void factoryCurrentStepFailed();
    // "exit gongchangdianliujiaozhun failed", repeated by the worker on every pass: true only
    // for the first of an outage, the one that is worth a warning.
    bool factoryCurrentExitFailed();
    // "exit gongchangdianliujiaozhun succeed".
    void factoryCurrentExited();
    // The point whose current is being asked or whose enter is awaited; -1 when none.
    int factoryCurrentPoint() const { return m_calPoint; }
    // Replaces the question asked at each point of the factory current calibration.
    void setCurrentAsker(CurrentAsker asker) { m_askCurrent = std::move(asker); }

    int selectedTempPoint() const { return m_selectedTempPoint; }
    QString fitQualityText() const;

signals:
    // "全部写入" passed the port check: the window searches the meter, then collects every page.
    void writeAllRequested();

private slots:
    void on_comboBox_xianxinghuajiwenbu_wenbudianshu_currentTextChanged(const QString &text);
    void on_comboBox_xianxinghuajiwenbu_yalidianshu_currentTextChanged(const QString &text);
    void on_pushButton_xianxinghuajiwenbu_junfen_clicked();
    void on_lineEdit_xianxinghuajiwenbu_rangeH_textChanged(const QString &text);
    void on_lineEdit_xianxinghuajiwenbu_rangeL_textChanged(const QString &text);
    void on_comboBox_xianxinghuajiwenbu_fac_unit_currentIndexChanged(int index);
    void on_comboBox_xianxinghuajiwenbu_user_unit_currentIndexChanged(int index);
    void on_pushButton_xianxinghuajiwenbu_duqu_clicked();
    void on_pushButton_xianxinghuajiwenbu_xieru_clicked();
    void on_pushButton_gongchangbaocun_clicked();
    void on_pushButton_quanbuxieru_clicked();
    void on_pushButton_test_wenbu_clicked();

    void radioButtonSlot_wenbu(int point);
    void pushButton_clicked_wenbucaiji();
    void pushButton_clicked_xianxinghuacaiji(int point);
    void pushButton_clicked_wenbu_dianliujiaozhun();
    void set_xianxinghua_biaozhunzhi_toolTip(const QString &text);

private:
    void buildTable();
    void refreshTable();
    void divideRange();
    void setStandardTooltip(int point);
    void showFitQuality(const std::array<calrules::PointQuality, calrules::kPressurePoints> &q,
                        int pressurePoints);
    void leaveFactoryCurrentMode();
    void askFactoryCurrentPoint(int point);
    void takeFactoryCurrentReading(float value, bool deferNext);
    void endFactoryCurrentCalibration();
    std::optional<float> askCurrent(const QString &title, const QString &initialText);

    PageHost &m_host;
    std::unique_ptr<Ui::LinearizationPage> ui;
    CurrentAsker m_askCurrent;
    QButtonGroup *m_radioGroup = nullptr;

    std::array<QRadioButton *, calrules::kTempPoints> m_tempPointRadios{};
    std::array<QLineEdit *, calrules::kTempPoints> m_tempValueEdits{};
    std::array<QLineEdit *, calrules::kTempPoints> m_currentTempEdits{};
    std::array<std::array<QLineEdit *, calrules::kTempPoints>, calrules::kOutputPoints>
            m_currentCalEdits{};
    std::array<QLineEdit *, calrules::kTempPoints> m_tempSignalEdits{};
    std::array<QLineEdit *, calrules::kPressurePoints> m_standardValueEdits{};
    std::array<std::array<QLineEdit *, calrules::kTempPoints>, calrules::kPressurePoints>
            m_pointSignalEdits{};
    std::array<QPushButton *, calrules::kPressurePoints> m_pointCollectButtons{};
    std::uint8_t m_selectedTempPoint = 0;
    // The factory current calibration: the point under way, whether its enter was answered,
    // and a reading confirmed before that answer came.
    enum class PointEnter { Waiting, Entered, Failed };
    int m_calPoint = -1;
    int m_calColumn = 0;
    PointEnter m_pointEnter = PointEnter::Waiting;
    std::optional<float> m_heldReading;
    bool m_modeRequested = false;
    bool m_exitOutage = false;
    QDialog *m_currentQuestion = nullptr; // open while a point's current is asked
    int m_singleTempSeconds = 0;
};

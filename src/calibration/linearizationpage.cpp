// Page 17: the compensation table, its collect and fill, live signals, the factory current
// calibration and the single-temperature-point test.
#include "linearizationpage.h"

#include "calibrationcells.h"
#include "pageformat.h"
#include "pagehost.h"
#include "ui_linearizationpage.h"

#include "dialog_current_cal.h"
#include "units.h"

#include <QButtonGroup>
#include <QLineEdit>
#include <QMutexLocker>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidgetItem>
#include <QTimer>

#include <cmath>
#include <limits>

using namespace calrules;

namespace {

constexpr int kRows = 12;
constexpr int kColumns = 3 + kTempPoints;
constexpr int kRowTempValue = 1;
constexpr int kRowCurrentTemp = 2;
constexpr int kRowCurrentCal = 3;
constexpr int kRowTempSignal = 6;
constexpr int kRowPoint = 7;

const char *const kEnterTestText = QT_TRANSLATE_NOOP("MainWindow", "进入单温补点测试模式");
const char *const kLeaveTestText = QT_TRANSLATE_NOOP("MainWindow", "退出单温补点测试模式");
constexpr int kSingleTempSeconds = 120;

struct DacPoint
{
    float code;
    const char *nominal;
};
constexpr DacPoint kDacPoints[kOutputPoints] = {
        {10900.0f, "4.000"}, {32700.0f, "12.000"}, {54500.0f, "20.000"}};

QString real(float v)
{
    return QString::number(static_cast<double>(v), 'g', 6);
}

} // namespace

LinearizationPage::LinearizationPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::LinearizationPage>())
{
    ui->setupUi(this);
    buildTable();
    // The header's fields keep room for their longest value (a six-decimal signal), so the
    // page scrolls rather than clips at the window's initial size.
    const int valueWidth = fontMetrics().horizontalAdvance(QStringLiteral("-0000000.000000")) + 12;
    for (QWidget *field : std::initializer_list<QWidget *>{
                 ui->comboBox_xianxinghuajiwenbu_user_unit,
                 ui->lineEdit_xianxinghuajiwenbu_user_custom_unit,
                 ui->comboBox_xianxinghuajiwenbu_fac_unit, ui->lineEdit_xianxinghuajiwenbu_rangeH,
                 ui->lineEdit_xianxinghuajiwenbu_rangeL, ui->lineEdit_xianxinghuajiwenbu_PV,
                 ui->lineEdit_xianxinghuajiwenbu_PVCurrent,
                 ui->lineEdit_xianxinghuajiwenbu_internal_temp,
                 ui->lineEdit_xianxinghuajiwenbu_sensor_ADC,
                 ui->lineEdit_xianxinghuajiwenbu_wenbu_ADC})
        field->setMinimumWidth(valueWidth);
    for (QComboBox *combo :
         {ui->comboBox_xianxinghuajiwenbu_user_unit, ui->comboBox_xianxinghuajiwenbu_fac_unit}) {
        const QSignalBlocker quiet(combo);
        for (const UnitCode &u : unit_code_table)
            combo->addItem(QString::fromUtf8(u.text));
        combo->addItem(QString::fromLatin1(kUnitNotFoundText));
    }
    ui->lineEdit_xianxinghuajiwenbu_user_custom_unit->setEnabled(false);
    for (QLineEdit *e :
         {ui->lineEdit_xianxinghuajiwenbu_rangeH, ui->lineEdit_xianxinghuajiwenbu_rangeL})
        e->setValidator(m_host.realValidator());
    m_tempPointRadios[0]->setChecked(true);
    refreshTable();
}

LinearizationPage::~LinearizationPage() = default;

void LinearizationPage::buildTable()
{
    QTableWidget *table = ui->tableWidget_xianxinghuajiwenbu;
    table->setRowCount(kRows);
    table->setColumnCount(kColumns);
    auto text = [table](int row, int column, const QString &t) {
        calcells::fixedText(table, row, column, t);
    };
    auto edit = [this, table](int row, int column) {
        return calcells::realEditor(m_host, table, row, column);
    };
    auto button = [table](int row, int column, const QString &t) {
        return calcells::button(table, row, column, t);
    };

    text(0, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "温补→")));
    text(1, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "温度值(℃)：")));
    text(2, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "电流温补：")));
    text(3, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "电流校准1：")));
    text(4, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "电流校准2：")));
    text(5, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "电流校准3：")));
    text(5, 1, windowTr(QT_TRANSLATE_NOOP("MainWindow", "标准值↓")));
    text(6, 0, windowTr(QT_TRANSLATE_NOOP("MainWindow", "线性化↓")));

    QPushButton *currentCal = button(2, 1, windowTr(QT_TRANSLATE_NOOP("MainWindow", "电流校准")));
    connect(currentCal, &QPushButton::clicked, this,
            &LinearizationPage::pushButton_clicked_wenbu_dianliujiaozhun);
    // The form owns this button so that its slot connects by name; the table only places it.
    table->setCellWidget(6, 1, ui->pushButton_xianxinghuajiwenbu_junfen);
    QPushButton *collectTemp = button(6, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "温补采集→")));
    connect(collectTemp, &QPushButton::clicked, this,
            &LinearizationPage::pushButton_clicked_wenbucaiji);

    // Radio buttons in separate cells have separate parents: only a group makes them exclusive.
    m_radioGroup = new QButtonGroup(this);
    for (int k = 0; k < kTempPoints; ++k) {
        const int column = 3 + k;
        auto *radio =
                new QRadioButton(windowTr(QT_TRANSLATE_NOOP("MainWindow", "温补点%1")).arg(k + 1));
        radio->setStyleSheet(QStringLiteral("QRadioButton{margin-left: 6px;}"));
        table->setCellWidget(0, column, radio);
        m_radioGroup->addButton(radio, k);
        m_tempPointRadios[k] = radio;
        m_tempValueEdits[k] = edit(kRowTempValue, column);
        m_currentTempEdits[k] = edit(kRowCurrentTemp, column);
        for (int i = 0; i < kOutputPoints; ++i)
            m_currentCalEdits[i][k] = edit(kRowCurrentCal + i, column);
        m_tempSignalEdits[k] = edit(kRowTempSignal, column);
        for (int j = 0; j < kPressurePoints; ++j)
            m_pointSignalEdits[j][k] = edit(kRowPoint + j, column);
    }
    connect(m_radioGroup, &QButtonGroup::idClicked, this,
            &LinearizationPage::radioButtonSlot_wenbu);

    for (int j = 0; j < kPressurePoints; ++j) {
        const int row = kRowPoint + j;
        text(row, 0, windowTr(QT_TRANSLATE_NOOP("MainWindow", "第%1点")).arg(j + 1));
        m_standardValueEdits[j] = edit(row, 1);
        connect(m_standardValueEdits[j], &QLineEdit::textChanged, this,
                &LinearizationPage::set_xianxinghua_biaozhunzhi_toolTip);
        m_pointCollectButtons[j] =
                button(row, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "采集%1→")).arg(j + 1));
        connect(m_pointCollectButtons[j], &QPushButton::clicked, this,
                [this, j] { pushButton_clicked_xianxinghuacaiji(j); });
    }
}

void LinearizationPage::refreshTable()
{
    const int nt = ui->comboBox_xianxinghuajiwenbu_wenbudianshu->currentText().toInt();
    const int np = ui->comboBox_xianxinghuajiwenbu_yalidianshu->currentText().toInt();
    if (m_selectedTempPoint >= nt) {
        m_tempPointRadios[0]->setChecked(true);
        m_selectedTempPoint = 0;
    }
    for (int k = 0; k < kTempPoints; ++k) {
        m_tempPointRadios[k]->setEnabled(k < nt);
        const bool selected = k == m_selectedTempPoint;
        m_tempValueEdits[k]->setEnabled(selected);
        m_currentTempEdits[k]->setEnabled(selected);
        for (auto &row : m_currentCalEdits)
            row[k]->setEnabled(selected);
        m_tempSignalEdits[k]->setEnabled(selected);
        for (int j = 0; j < kPressurePoints; ++j)
            m_pointSignalEdits[j][k]->setEnabled(selected && j < np);
    }
    for (int j = 0; j < kPressurePoints; ++j) {
        m_standardValueEdits[j]->setEnabled(j < np);
        m_pointCollectButtons[j]->setEnabled(j < np);
    }

    const int checked = m_radioGroup->checkedId();
    {
        QMutexLocker lock(&m_host.dataLock());
        deviceData.singleTempPoint = static_cast<std::uint16_t>(checked >= 0 ? checked + 1 : 0);
    }
    if (ui->pushButton_test_wenbu->text() == windowTr(kLeaveTestText))
        m_host.sendRequest(QStringLiteral("single temp compensation mode"));
}

void LinearizationPage::divideRange()
{
    const float low = pagefmt::parseReal(ui->lineEdit_xianxinghuajiwenbu_rangeL->text());
    const float high = pagefmt::parseReal(ui->lineEdit_xianxinghuajiwenbu_rangeH->text());
    const unsigned n =
            pagefmt::parseUnsigned(ui->comboBox_xianxinghuajiwenbu_yalidianshu->currentText());
    const DivisionRule rule =
            isTemperatureUnit(ui->comboBox_xianxinghuajiwenbu_fac_unit->currentText())
            ? DivisionRule::Pt100Decades
            : DivisionRule::Linear;
    const auto values = equalDivision(low, high, n, rule);
    for (int j = 0; j < kPressurePoints; ++j)
        m_standardValueEdits[j]->setText(j < static_cast<int>(n) ? real(values[j])
                                                                 : QStringLiteral("0"));
}

void LinearizationPage::setStandardTooltip(int point)
{
    QLineEdit *e = m_standardValueEdits[point];
    if (!isTemperatureUnit(ui->comboBox_xianxinghuajiwenbu_fac_unit->currentText())) {
        e->setToolTip(QString());
        return;
    }
    std::uint8_t sensorType = 0;
    {
        QMutexLocker lock(&m_host.dataLock());
        sensorType = deviceData.sensorType;
    }
    const std::uint8_t unit =
            unit_code_of_index(ui->comboBox_xianxinghuajiwenbu_fac_unit->currentIndex());
    e->setToolTip(resistanceTooltip(pagefmt::parseReal(e->text()), unit, sensorType));
}

void LinearizationPage::radioButtonSlot_wenbu(int point)
{
    m_selectedTempPoint = static_cast<std::uint8_t>(point);
    refreshTable();
}

void LinearizationPage::on_comboBox_xianxinghuajiwenbu_wenbudianshu_currentTextChanged(
        const QString &)
{
    refreshTable();
}

void LinearizationPage::on_comboBox_xianxinghuajiwenbu_yalidianshu_currentTextChanged(
        const QString &)
{
    refreshTable();
    divideRange();
}

void LinearizationPage::on_pushButton_xianxinghuajiwenbu_junfen_clicked()
{
    divideRange();
}

void LinearizationPage::on_lineEdit_xianxinghuajiwenbu_rangeH_textChanged(const QString &)
{
    divideRange();
}

void LinearizationPage::on_lineEdit_xianxinghuajiwenbu_rangeL_textChanged(const QString &)
{
    divideRange();
}

void LinearizationPage::set_xianxinghua_biaozhunzhi_toolTip(const QString &)
{
    for (int j = 0; j < kPressurePoints; ++j) {
        if (m_standardValueEdits[j] == sender())
            setStandardTooltip(j);
    }
}

void LinearizationPage::on_comboBox_xianxinghuajiwenbu_fac_unit_currentIndexChanged(int)
{
    for (int j = 0; j < kPressurePoints; ++j)
        setStandardTooltip(j);
}

void LinearizationPage::on_comboBox_xianxinghuajiwenbu_user_unit_currentIndexChanged(int)
{
    const QString text = ui->comboBox_xianxinghuajiwenbu_user_unit->currentText();
    ui->comboBox_xianxinghuajiwenbu_fac_unit->setCurrentText(text);
    ui->lineEdit_xianxinghuajiwenbu_user_custom_unit->setEnabled(text == QLatin1String("custom"));
}

void LinearizationPage::followUserUnit(const QString &unitText)
{
    ui->comboBox_xianxinghuajiwenbu_user_unit->setCurrentText(unitText);
}

void LinearizationPage::pushButton_clicked_wenbucaiji()
{
    m_tempSignalEdits[m_selectedTempPoint]->setText(
            ui->lineEdit_xianxinghuajiwenbu_wenbu_ADC->text());
}

void LinearizationPage::pushButton_clicked_xianxinghuacaiji(int point)
{
    if (point < 0 || point >= kPressurePoints)
        return;
    m_pointSignalEdits[point][m_selectedTempPoint]->setText(
            ui->lineEdit_xianxinghuajiwenbu_sensor_ADC->text());
}

QString LinearizationPage::collect()
{
    auto number = [](const QLineEdit *e) {
        return pagefmt::parseReal(e->text());
    };
    LinearizationTable t;
    t.pressurePoints = ui->comboBox_xianxinghuajiwenbu_yalidianshu->currentText().toInt();
    t.tempPoints = ui->comboBox_xianxinghuajiwenbu_wenbudianshu->currentText().toInt();
    t.factoryUnit = unit_code_of_index(ui->comboBox_xianxinghuajiwenbu_fac_unit->currentIndex());
    t.pvUnit = unit_code_of_index(ui->comboBox_xianxinghuajiwenbu_user_unit->currentIndex());
    const int decimals = ui->comboBox_xianxinghuajiwenbu_dot->currentIndex();
    t.rangeHigh = number(ui->lineEdit_xianxinghuajiwenbu_rangeH);
    t.rangeLow = number(ui->lineEdit_xianxinghuajiwenbu_rangeL);
    t.customUnit = ui->lineEdit_xianxinghuajiwenbu_user_custom_unit->text();
    for (int j = 0; j < kPressurePoints; ++j) {
        t.standard[j] = number(m_standardValueEdits[j]);
        for (int k = 0; k < kTempPoints; ++k)
            t.pointSignal[j][k] = number(m_pointSignalEdits[j][k]);
    }
    for (int k = 0; k < kTempPoints; ++k) {
        t.tempCelsius[k] = number(m_tempValueEdits[k]);
        t.tempSignal[k] = number(m_tempSignalEdits[k]);
        t.currentTempSignal[k] = number(m_currentTempEdits[k]);
        for (int i = 0; i < kOutputPoints; ++i)
            t.currentReading[i][k] = number(m_currentCalEdits[i][k]);
    }

    QString problem;
    std::array<PointQuality, kPressurePoints> quality;
    {
        QMutexLocker lock(&m_host.dataLock());
        // A decimals value the combo cannot show keeps the record's value instead of 65535.
        t.decimals = decimals >= 0 ? static_cast<std::uint16_t>(decimals) : deviceData.pvDecimals;
        collectLinearization(deviceData, t);
        problem = compensationProblem(deviceData);
        quality = fitQuality(deviceData);
    }
    showFitQuality(quality, t.pressurePoints);
    return problem;
}

void LinearizationPage::showFitQuality(const std::array<PointQuality, kPressurePoints> &q,
                                       int pressurePoints)
{
    const QString text = calrules::fitQualityText(q, pressurePoints);
    ui->label_xianxinghuajiwenbu_nihepiancha->setText(
            text.isEmpty() ? QString()
                           : windowTr(QT_TRANSLATE_NOOP(
                                     "MainWindow", "拟合偏差（与其余温补点的平滑曲线相比）：\n"))
                            + text);
    QTableWidget *table = ui->tableWidget_xianxinghuajiwenbu;
    for (int j = 0; j < kPressurePoints; ++j) {
        if (QTableWidgetItem *item = table->item(kRowPoint + j, 0))
            item->setToolTip(
                    j < pressurePoints && q[j].known
                            ? windowTr(QT_TRANSLATE_NOOP("MainWindow", "最大偏差 %1（温补点%2）"))
                                      .arg(QString::number(q[j].maxDeviation, 'g', 6))
                                      .arg(q[j].worstTempPoint + 1)
                            : QString());
    }
}

QString LinearizationPage::fitQualityText() const
{
    return ui->label_xianxinghuajiwenbu_nihepiancha->text();
}

void LinearizationPage::fill()
{
    LinearizationTable t;
    std::array<PointQuality, kPressurePoints> quality;
    {
        QMutexLocker lock(&m_host.dataLock());
        recomputeCompensation(deviceData);
        t = linearizationTable(deviceData);
        quality = fitQuality(deviceData);
    }
    // Widgets are set with the lock released: their signals run slots that take it.
    ui->comboBox_xianxinghuajiwenbu_yalidianshu->setCurrentIndex(t.pressurePoints - 2);
    ui->comboBox_xianxinghuajiwenbu_wenbudianshu->setCurrentIndex(t.tempPoints - 1);
    ui->comboBox_xianxinghuajiwenbu_fac_unit->setCurrentText(
            QString::fromUtf8(unit_name_of_code(t.factoryUnit)));
    ui->comboBox_xianxinghuajiwenbu_user_unit->setCurrentText(
            QString::fromUtf8(unit_name_of_code(t.pvUnit)));
    // The user unit drags the factory unit along; the record's own factory unit wins.
    ui->comboBox_xianxinghuajiwenbu_fac_unit->setCurrentText(
            QString::fromUtf8(unit_name_of_code(t.factoryUnit)));
    ui->lineEdit_xianxinghuajiwenbu_user_custom_unit->setText(t.customUnit);
    ui->comboBox_xianxinghuajiwenbu_dot->setCurrentIndex(
            t.decimals < ui->comboBox_xianxinghuajiwenbu_dot->count() ? t.decimals : -1);
    ui->lineEdit_xianxinghuajiwenbu_rangeH->setText(real(t.rangeHigh));
    ui->lineEdit_xianxinghuajiwenbu_rangeL->setText(real(t.rangeLow));
    for (int j = 0; j < kPressurePoints; ++j) {
        m_standardValueEdits[j]->setText(real(t.standard[j]));
        for (int k = 0; k < kTempPoints; ++k)
            m_pointSignalEdits[j][k]->setText(real(t.pointSignal[j][k]));
    }
    for (int k = 0; k < kTempPoints; ++k) {
        m_tempValueEdits[k]->setText(real(t.tempCelsius[k]));
        m_tempSignalEdits[k]->setText(real(t.tempSignal[k]));
        m_currentTempEdits[k]->setText(real(t.currentTempSignal[k]));
        for (int i = 0; i < kOutputPoints; ++i)
            m_currentCalEdits[i][k]->setText(real(t.currentReading[i][k]));
    }
    showFitQuality(quality, t.pressurePoints);
}

void LinearizationPage::showLiveValues()
{
    float temperature, sensor, tempComp, pv, current;
    int decimals;
    {
        QMutexLocker lock(&m_host.dataLock());
        temperature = deviceData.internalTemperature;
        sensor = deviceData.sensorSignal;
        tempComp = deviceData.tempCompSignal;
        pv = deviceData.pv;
        current = deviceData.loopCurrent;
        decimals = deviceData.pvDecimals;
    }
    ui->lineEdit_xianxinghuajiwenbu_internal_temp->setText(
            QString::asprintf("%.01f", double(temperature)) + QStringLiteral("℃"));
    ui->lineEdit_xianxinghuajiwenbu_sensor_ADC->setText(QString::asprintf("%.06f", double(sensor)));
    ui->lineEdit_xianxinghuajiwenbu_wenbu_ADC->setText(
            QString::asprintf("%.06f", double(tempComp)));
    ui->lineEdit_xianxinghuajiwenbu_PV->setText(decimalsText(pv, decimals));
    ui->lineEdit_xianxinghuajiwenbu_PVCurrent->setText(
            QString::asprintf("%.03fmA", double(current)));
}

bool LinearizationPage::writeCalibration()
{
    if (!calcells::collectForWrite(m_host, [this] { return collect(); }))
        return false;
    m_host.startRequest(QStringLiteral("write jiaozhunshuju"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入校准数据...")),
                        WhileBusy::KeepPage);
    return true;
}

void LinearizationPage::on_pushButton_xianxinghuajiwenbu_duqu_clicked()
{
    if (!m_host.portReady())
        return;
    m_host.startRequest(QStringLiteral("read jiaozhunshuju"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在读取校准数据...")),
                        WhileBusy::KeepPage);
}

void LinearizationPage::on_pushButton_xianxinghuajiwenbu_xieru_clicked()
{
    writeCalibration();
}

void LinearizationPage::on_pushButton_gongchangbaocun_clicked()
{
    if (!m_host.portReady())
        return;
    m_host.startRequest(QStringLiteral("fac save"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在工厂保存...")),
                        WhileBusy::KeepPage);
}

void LinearizationPage::on_pushButton_quanbuxieru_clicked()
{
    // Every page, this one included, is collected after the search, and its problem checked then.
    if (!m_host.portReady())
        return;
    emit writeAllRequested();
}

void LinearizationPage::on_pushButton_test_wenbu_clicked()
{
    const bool leaving = ui->pushButton_test_wenbu->text() == windowTr(kLeaveTestText);
    const int checked = m_radioGroup->checkedId();
    const bool shown = m_host.currentPage() == pageindex::Linearization;
    {
        QMutexLocker lock(&m_host.dataLock());
        deviceData.singleTempPoint = 0;
        if (!leaving && shown && checked >= 0)
            deviceData.singleTempPoint = static_cast<std::uint16_t>(checked + 1);
    }
    m_host.sendRequest(QStringLiteral("single temp compensation mode"));
    m_host.setPortButtonsEnabled(false); // until its result
}

void LinearizationPage::showSingleTempState()
{
    std::uint16_t point;
    {
        QMutexLocker lock(&m_host.dataLock());
        point = deviceData.singleTempPoint;
    }
    if (point != 0) {
        m_singleTempSeconds = kSingleTempSeconds;
        ui->pushButton_test_wenbu->setText(windowTr(kLeaveTestText));
        ui->label_dangqianwenbuceshidian->setText(
                windowTr(QT_TRANSLATE_NOOP("MainWindow", "当前在温补点%1测试模式")).arg(point));
    } else {
        m_singleTempSeconds = 0;
        ui->pushButton_test_wenbu->setText(windowTr(kEnterTestText));
        ui->label_dangqianwenbuceshidian->setText(QStringLiteral(" "));
    }
}

void LinearizationPage::countdownSecond()
{
    if (m_singleTempSeconds == 0)
        return;
    if (--m_singleTempSeconds == 0) {
        {
            QMutexLocker lock(&m_host.dataLock());
            deviceData.singleTempPoint = 0;
        }
        ui->pushButton_test_wenbu->setText(windowTr(kEnterTestText));
        ui->label_dangqianwenbuceshidian->setText(QStringLiteral(" "));
    }
}

std::optional<float> LinearizationPage::askCurrent(const QString &title, const QString &initialText)
{
    if (m_askCurrent)
        return m_askCurrent(title, initialText);
    Dialog_Current_cal dialog(nullptr, title, initialText);
    m_currentQuestion = &dialog;
    m_host.runCentred(dialog);
    m_currentQuestion = nullptr;
    if (!dialog.accepted())
        return std::nullopt;
    return dialog.value();
}

void LinearizationPage::factoryCurrentEntered()
{
    m_exitOutage = false; // the transmitter answers again
    if (m_calPoint < 0)
        return;
    m_pointEnter = PointEnter::Entered;
    if (m_heldReading) {
        const float value = *m_heldReading;
        m_heldReading.reset();
        takeFactoryCurrentReading(value, true);
    }
}

void LinearizationPage::factoryCurrentStepFailed()
{
    if (m_calPoint < 0)
        return;
    m_pointEnter = PointEnter::Failed;
    if (m_currentQuestion)
        m_currentQuestion->reject();
    if (m_heldReading) {
        // The meter showed whatever the loop carried, not this point's code.
        m_heldReading.reset();
        endFactoryCurrentCalibration();
    }
}

bool LinearizationPage::factoryCurrentExitFailed()
{
    const bool first = !m_exitOutage;
    m_exitOutage = true;
    return first;
}

void LinearizationPage::factoryCurrentExited()
{
    m_exitOutage = false;
}

void LinearizationPage::leaveFactoryCurrentMode()
{
    if (!m_host.isPortOpen()) {
        m_host.portReady(); // the closed-port warning
        return;
    }
    {
        QMutexLocker lock(&m_host.dataLock());
        deviceData.factoryCurrentMode = 0;
        deviceData.factoryCurrentDacCode = 0;
    }
    m_host.showStatus(windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在退出工厂电流校准模式...")));
    m_host.sendRequest(QStringLiteral("gongchangdianliujiaozhun"));
    m_host.setPortButtonsEnabled(false);
}

void LinearizationPage::pushButton_clicked_wenbu_dianliujiaozhun()
{
    const int k = m_selectedTempPoint;
    m_host.sendRequest(QStringLiteral("stop read ADC"));
    float tempSignal;
    {
        QMutexLocker lock(&m_host.dataLock());
        tempSignal = deviceData.auxSignal2;
        for (int p = 0; p < kOutputPoints; ++p)
            deviceData.currentDacPoints[p] = kDacPoints[p].code;
    }
    // A signal outside the int range has no integer text; converting it would be undefined.
    const bool representable = std::isfinite(tempSignal)
            && std::fabs(tempSignal) < static_cast<float>(std::numeric_limits<int>::max());
    m_currentTempEdits[k]->setText(
            QString::asprintf("%d", representable ? static_cast<int>(tempSignal) : 0));

    m_calColumn = k;
    m_modeRequested = false;
    askFactoryCurrentPoint(0);
}

void LinearizationPage::askFactoryCurrentPoint(int p)
{
    m_calPoint = p;
    m_pointEnter = PointEnter::Waiting;
    m_heldReading.reset();
    if (!m_host.isPortOpen()) {
        // Nothing can enter the mode, so no reading could be taken.
        m_host.portReady();
        endFactoryCurrentCalibration();
        return;
    }
    {
        QMutexLocker lock(&m_host.dataLock());
        deviceData.factoryCurrentMode = 1;
        deviceData.factoryCurrentDacCode = static_cast<std::uint16_t>(deviceData.currentDacPoints[p]);
    }
    if (p == 0)
        m_host.showStatus(windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在进入工厂电流校准模式...")));
    m_host.sendRequest(QStringLiteral("gongchangdianliujiaozhun"));
    m_host.setPortButtonsEnabled(false);
    m_modeRequested = true;
    const std::optional<float> value = askCurrent(
            windowTr(QT_TRANSLATE_NOOP("MainWindow", "电流校准")),
            QString::fromLatin1(kDacPoints[p].nominal));
    if (m_calPoint != p)
        return; // ended meanwhile
    if (!value || m_pointEnter == PointEnter::Failed) {
        endFactoryCurrentCalibration();
        return;
    }
    if (m_pointEnter == PointEnter::Entered)
        takeFactoryCurrentReading(*value, false);
    else
        m_heldReading = value; // taken when the enter is answered, or discarded
}

void LinearizationPage::takeFactoryCurrentReading(float value, bool deferNext)
{
    const int p = m_calPoint;
    const QString text = real(value);
    m_currentCalEdits[p][m_calColumn]->setText(text);
    qCDebug(lcCalibration).noquote() << QStringLiteral("current=%1").arg(text);
    if (p + 1 >= kOutputPoints) {
        endFactoryCurrentCalibration();
    } else if (!deferNext) {
        askFactoryCurrentPoint(p + 1);
    } else {
        // Asked from the event loop, not inside the handling of the result that allowed it.
        QTimer::singleShot(0, this, [this, p] {
            if (m_calPoint == p && m_pointEnter == PointEnter::Entered)
                askFactoryCurrentPoint(p + 1);
        });
    }
}

void LinearizationPage::endFactoryCurrentCalibration()
{
    m_calPoint = -1;
    m_heldReading.reset();
    if (m_modeRequested)
        leaveFactoryCurrentMode();
    m_modeRequested = false;
    m_host.sendRequest(QStringLiteral("read ADC"));
}

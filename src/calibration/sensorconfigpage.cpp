// Sensor configuration page; see sensorconfigpage.h.
#include "sensorconfigpage.h"
#include "ui_sensorconfigpage.h"

#include "devicedata.h"
#include "pagehost.h"
#include "sensorconfig.h"

#include <QMutexLocker>

namespace {

void selectIndex(QComboBox *combo, int index)
{
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

} // namespace

SensorConfigPage::SensorConfigPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::SensorConfigPage>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("page_15"));

    m_filling = true;
    ui->comboBox_chuanganqishezhi_chuanganqileixing->addItems(sensorcfg::sensorTypes());
    ui->comboBox_chuanganqishezhi_wenbufangshi->addItems(sensorcfg::compensationSources());
    ui->comboBox_chuanganqishezhi_hengliuyuan->addItems(sensorcfg::currentSources());
    ui->comboBox_chuanganqishezhi_hengyayuan->addItems(sensorcfg::voltageSources());
    ui->comboBox_chuanganqishezhi_p_gain->addItems(sensorcfg::pressureGains());
    ui->comboBox_chuanganqishezhi_t_gain->addItems(sensorcfg::temperatureGains());
    ui->comboBox_chuanganqishezhi_sersor_unit->addItems(sensorcfg::unitItems());
    m_filling = false;

    for (QLineEdit *edit :
         {ui->lineEdit_chuanganqishezhi_sersor_rangeH, ui->lineEdit_chuanganqishezhi_sersor_rangeL,
          ui->lineEdit_chuanganqishezhi_min_span})
        edit->setValidator(host.realValidator());
    ui->lineEdit_chuanganqishezhi_serial_num->setValidator(host.u24Validator());
    ui->comboBox_chuanganqishezhi_sersor_unit->setCurrentIndex(sensorcfg::unitIndexForSensorType(
            ui->comboBox_chuanganqishezhi_chuanganqileixing->currentIndex()));
    applyWiring(Apply::WholeRow);
    updateRanges();
}

SensorConfigPage::~SensorConfigPage() = default;

void SensorConfigPage::fill()
{
    sensorcfg::Form f;
    {
        QMutexLocker lock(&m_host.dataLock());
        f = sensorcfg::form(deviceData);
    }
    m_filling = true;
    selectIndex(ui->comboBox_chuanganqishezhi_chuanganqileixing, f.sensorType);
    selectIndex(ui->comboBox_chuanganqishezhi_wenbufangshi, f.compensation);
    selectIndex(ui->comboBox_chuanganqishezhi_hengliuyuan, f.currentSource);
    selectIndex(ui->comboBox_chuanganqishezhi_hengyayuan, f.voltageSource);
    selectIndex(ui->comboBox_chuanganqishezhi_p_gain, f.pressureGain);
    selectIndex(ui->comboBox_chuanganqishezhi_t_gain, f.temperatureGain);
    selectIndex(ui->comboBox_chuanganqishezhi_sersor_unit, f.unitIndex);
    ui->lineEdit_chuanganqishezhi_sersor_rangeH->setText(f.upperLimit);
    ui->lineEdit_chuanganqishezhi_sersor_rangeL->setText(f.lowerLimit);
    ui->lineEdit_chuanganqishezhi_min_span->setText(f.minimumSpan);
    ui->lineEdit_chuanganqishezhi_serial_num->setText(f.serial);
    m_filling = false;

    applyWiring(Apply::WholeRow);
    updateRanges();
    refuseBridgeForMonocrystalline();
}

void SensorConfigPage::collect()
{
    sensorcfg::Form f;
    f.sensorType = ui->comboBox_chuanganqishezhi_chuanganqileixing->currentIndex();
    f.compensation = ui->comboBox_chuanganqishezhi_wenbufangshi->currentIndex();
    f.currentSource = ui->comboBox_chuanganqishezhi_hengliuyuan->currentIndex();
    f.voltageSource = ui->comboBox_chuanganqishezhi_hengyayuan->currentIndex();
    f.pressureGain = ui->comboBox_chuanganqishezhi_p_gain->currentIndex();
    f.temperatureGain = ui->comboBox_chuanganqishezhi_t_gain->currentIndex();
    f.unitIndex = ui->comboBox_chuanganqishezhi_sersor_unit->currentIndex();
    f.upperLimit = ui->lineEdit_chuanganqishezhi_sersor_rangeH->text();
    f.lowerLimit = ui->lineEdit_chuanganqishezhi_sersor_rangeL->text();
    f.minimumSpan = ui->lineEdit_chuanganqishezhi_min_span->text();
    f.serial = ui->lineEdit_chuanganqishezhi_serial_num->text();
    QMutexLocker lock(&m_host.dataLock());
    sensorcfg::collect(deviceData, f);
}

void SensorConfigPage::on_pushButton_chuanganqishezhi_duqu_clicked()
{
    if (!m_host.portReady())
        return;
    m_host.startRequest(QStringLiteral("read chuanganqipeizhishuju"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在读取传感器配置数据...")),
                        WhileBusy::KeepPage);
}

void SensorConfigPage::on_pushButton_chuanganqishezhi_xieru_clicked()
{
    if (!m_host.portReady())
        return;
    collect();
    m_host.startRequest(QStringLiteral("write chuanganqipeizhishuju"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入传感器配置数据...")),
                        WhileBusy::KeepPage);
}

void SensorConfigPage::on_comboBox_chuanganqishezhi_chuanganqileixing_currentTextChanged(
        const QString &)
{
    if (m_filling)
        return;
    applyWiring(Apply::WholeRow);
    refuseBridgeForMonocrystalline();
}

void SensorConfigPage::on_comboBox_chuanganqishezhi_wenbufangshi_currentTextChanged(const QString &)
{
    if (m_filling)
        return;
    applyWiring(Apply::ImageOfSiliconTypes);
    refuseBridgeForMonocrystalline();
}

void SensorConfigPage::on_comboBox_chuanganqishezhi_chuanganqileixing_currentIndexChanged(int index)
{
    // A fill sets the stored unit right after the type.
    if (m_filling || index < 0)
        return;
    ui->comboBox_chuanganqishezhi_sersor_unit->setCurrentIndex(
            sensorcfg::unitIndexForSensorType(index));
}

void SensorConfigPage::on_comboBox_chuanganqishezhi_sersor_unit_currentIndexChanged(int)
{
    emit sensorUnitChanged(ui->comboBox_chuanganqishezhi_sersor_unit->currentText());
}

void SensorConfigPage::on_comboBox_chuanganqishezhi_hengyayuan_currentTextChanged(const QString &)
{
    updateRanges();
}

void SensorConfigPage::on_comboBox_chuanganqishezhi_p_gain_currentTextChanged(const QString &)
{
    updateRanges();
}

void SensorConfigPage::on_comboBox_chuanganqishezhi_t_gain_currentTextChanged(const QString &)
{
    updateRanges();
}

void SensorConfigPage::applyWiring(Apply what)
{
    const int type = ui->comboBox_chuanganqishezhi_chuanganqileixing->currentIndex();
    const sensorcfg::Wiring wiring =
            sensorcfg::wiringFor(type, ui->comboBox_chuanganqishezhi_wenbufangshi->currentIndex());
    const bool silicon = type == 0 || type == sensorcfg::kMonocrystalline;
    if (what == Apply::ImageOfSiliconTypes && !silicon)
        return;
    ui->label_jiexiantu->setStyleSheet(sensorcfg::wiringStyle(wiring.image));
    if (what == Apply::WholeRow)
        ui->label_jiexianshuoming->setText(wiring.hint);
}

void SensorConfigPage::refuseBridgeForMonocrystalline()
{
    if (!sensorcfg::unsupportedCompensation(
                ui->comboBox_chuanganqishezhi_chuanganqileixing->currentIndex(),
                ui->comboBox_chuanganqishezhi_wenbufangshi->currentIndex()))
        return;
    m_host.warn(windowTr(QT_TRANSLATE_NOOP("MainWindow", "单晶硅压力传感器不支持桥压温补！")));
    ui->comboBox_chuanganqishezhi_wenbufangshi->setCurrentIndex(sensorcfg::kInternalSensor);
}

void SensorConfigPage::updateRanges()
{
    if (m_filling)
        return;
    const sensorcfg::Ranges r =
            sensorcfg::converterRanges(ui->comboBox_chuanganqishezhi_hengyayuan->currentIndex(),
                                       ui->comboBox_chuanganqishezhi_p_gain->currentText(),
                                       ui->comboBox_chuanganqishezhi_t_gain->currentText());
    if (!r.sensor.isEmpty())
        ui->label_P_ADC_range->setText(r.sensor);
    if (!r.temperature.isEmpty())
        ui->label_T_ADC_range->setText(r.temperature);
}

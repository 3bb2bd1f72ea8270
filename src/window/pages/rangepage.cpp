#include "rangepage.h"
#include "ui_rangepage.h"

#include "pageformat.h"
#include "pagehost.h"
#include "units.h"

RangePage::RangePage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::RangePage>())
{
    ui->setupUi(this);
    ui->lineEdit_liangchengshezhi_rangeH->setValidator(host.realValidator());
    ui->lineEdit_liangchengshezhi_rangeL->setValidator(host.realValidator());
    for (const UnitCode &unit : unit_code_table)
        ui->comboBox_liangchengshezhi_unit->addItem(QString::fromUtf8(unit.text));
    ui->comboBox_liangchengshezhi_unit->addItem(QString::fromUtf8(kUnitNotFoundText));
}

RangePage::~RangePage() = default;

void RangePage::fill(Fields fields)
{
    const pagefmt::RangeInfo r = pagefmt::rangeInfo(copyDeviceData(m_host));
    if (fields == Fields::All) {
        ui->lineEdit_liangchengshezhi_sersor_unit->setText(r.sensorUnit);
        ui->lineEdit_liangchengshezhi_sersor_rangeH->setText(r.sensorUpper);
        ui->lineEdit_liangchengshezhi_sersor_rangeL->setText(r.sensorLower);
        ui->lineEdit_liangchengshezhi_sersor_min_span->setText(r.minimumSpan);
    }
    QComboBox *unit = ui->comboBox_liangchengshezhi_unit;
    unit->setCurrentIndex(unit->findText(r.pvUnit));
    ui->lineEdit_liangchengshezhi_rangeH->setText(r.upperRange);
    ui->lineEdit_liangchengshezhi_rangeL->setText(r.lowerRange);
}

void RangePage::on_pushButton_set_range_clicked()
{
    if (!m_host.portReady())
        return;
    const int unitIndex = ui->comboBox_liangchengshezhi_unit->currentIndex();
    const QString upper = ui->lineEdit_liangchengshezhi_rangeH->text();
    const QString lower = ui->lineEdit_liangchengshezhi_rangeL->text();
    {
        QMutexLocker lock(&m_host.dataLock());
        pagefmt::collectRange(deviceData, unitIndex, upper, lower);
    }
    m_host.startRequest(QStringLiteral("write range info"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入量程信息...")),
                        WhileBusy::KeepPage);
}

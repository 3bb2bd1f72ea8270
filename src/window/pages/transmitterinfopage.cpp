#include "transmitterinfopage.h"
#include "ui_transmitterinfopage.h"

#include "pageformat.h"
#include "pagehost.h"

TransmitterInfoPage::TransmitterInfoPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::TransmitterInfoPage>())
{
    ui->setupUi(this);
}

TransmitterInfoPage::~TransmitterInfoPage() = default;

void TransmitterInfoPage::fill()
{
    fillFrom(copyDeviceData(m_host));
}

void TransmitterInfoPage::fillFrom(const DeviceData &d)
{
    const pagefmt::TransmitterInfo t = pagefmt::transmitterInfo(d);
    ui->lineEdit_chuanganqixinxi_unit->setText(t.sensorUnit);
    ui->lineEdit_chuanganqixinxi_rangeH->setText(t.sensorUpper);
    ui->lineEdit_chuanganqixinxi_rangeL->setText(t.sensorLower);
    ui->lineEdit_chuanganqixinxi_min_span->setText(t.minimumSpan);
    ui->lineEdit_chuanganqixinxi_serial_num->setText(t.sensorSerial);
    ui->lineEdit_biansongqixinxi_unit->setText(t.pvUnit);
    ui->lineEdit_biansongqixinxi_rangeH->setText(t.upperRange);
    ui->lineEdit_biansongqixinxi_rangeL->setText(t.lowerRange);
    ui->lineEdit_biansongqixinxi_damp->setText(t.damping);
    ui->lineEdit_biansongqixinxi_xfer->setText(t.transfer);
}

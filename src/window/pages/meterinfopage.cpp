#include "meterinfopage.h"
#include "ui_meterinfopage.h"

#include "pageformat.h"
#include "pagehost.h"

#include <QRegularExpressionValidator>

MeterInfoPage::MeterInfoPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::MeterInfoPage>())
{
    ui->setupUi(this);
    ui->lineEdit_yibiaoxinxi_final_assembly_num->setValidator(host.u24Validator());
    ui->lineEdit_yibiaoxinxi_date->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("^([0-9]{4}.[0-9]{2}.[0-9]{2})$")), this));
}

MeterInfoPage::~MeterInfoPage() = default;

void MeterInfoPage::fill()
{
    const kvhart_master::Addressing a = m_host.addressing();
    const pagefmt::MeterInfo m = pagefmt::meterInfo(copyDeviceData(m_host), a.pollingAddress,
                                                    pagefmt::deviceIdentifier(a.uniqueAddress));
    ui->lineEdit_yibiaoxinxi_short_addr->setText(m.shortAddress);
    ui->lineEdit_yibiaoxinxi_long_addr->setText(m.longAddress);
    ui->lineEdit_yibiaoxinxi_tag->setText(m.tag);
    ui->lineEdit_yibiaoxinxi_final_assembly_num->setText(m.finalAssembly);
    ui->lineEdit_yibiaoxinxi_descr->setText(m.descriptor);
    ui->lineEdit_yibiaoxinxi_message->setText(m.message);
    ui->lineEdit_yibiaoxinxi_date->setText(m.date);
}

void MeterInfoPage::collect()
{
    pagefmt::MeterInfo typed;
    typed.tag = ui->lineEdit_yibiaoxinxi_tag->text();
    typed.finalAssembly = ui->lineEdit_yibiaoxinxi_final_assembly_num->text();
    typed.descriptor = ui->lineEdit_yibiaoxinxi_descr->text();
    typed.message = ui->lineEdit_yibiaoxinxi_message->text();
    typed.date = ui->lineEdit_yibiaoxinxi_date->text();
    QMutexLocker lock(&m_host.dataLock());
    pagefmt::collectMeterInfo(deviceData, typed);
}

void MeterInfoPage::on_pushButton_xieruyibiaoxinxi_clicked()
{
    if (!m_host.portReady())
        return;
    collect();
    m_host.startRequest(QStringLiteral("write meter info"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入仪表信息...")),
                        WhileBusy::KeepPage);
}

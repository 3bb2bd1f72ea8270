#include "pvzeropage.h"
#include "ui_pvzeropage.h"

#include "pagehost.h"

PvZeroPage::PvZeroPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::PvZeroPage>())
{
    ui->setupUi(this);
}

PvZeroPage::~PvZeroPage() = default;

void PvZeroPage::setCancelOffered(bool offered)
{
    ui->pushButton_quxiaoqingling->setVisible(offered);
}

void PvZeroPage::on_pushButton_qingling_clicked()
{
    if (m_host.portReady())
        m_host.startRequest(QStringLiteral("PV clear"), QString(), WhileBusy::KeepPage);
}

void PvZeroPage::on_pushButton_quxiaoqingling_clicked()
{
    if (m_host.portReady())
        m_host.startRequest(QStringLiteral("PV clear reset"), QString(), WhileBusy::KeepPage);
}

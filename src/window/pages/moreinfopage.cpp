#include "moreinfopage.h"
#include "ui_moreinfopage.h"

#include "pageformat.h"
#include "pagehost.h"

MoreInfoPage::MoreInfoPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::MoreInfoPage>())
{
    ui->setupUi(this);
}

MoreInfoPage::~MoreInfoPage() = default;

void MoreInfoPage::fill()
{
    const pagefmt::MoreInfo m = pagefmt::moreInfo(copyDeviceData(m_host));
    ui->lineEdit_gengduoxinxi_fac_code->setText(m.manufacturer);
    ui->lineEdit_gengduoxinxi_dev_type->setText(m.deviceType);
    ui->lineEdit_gengduoxinxi_univ_cmd_rev->setText(m.universalRevision);
    ui->lineEdit_gengduoxinxi_trans_spec_rev->setText(m.deviceRevision);
    ui->lineEdit_gengduoxinxi_hard_rev->setText(m.hardwareRevision);
    ui->lineEdit_gengduoxinxi_soft_rev->setText(m.softwareRevision);
    ui->lineEdit_gengduoxinxi_alarm_select_code->setText(m.alarmSelection);
    ui->lineEdit_gengduoxinxi_write_prot_code->setText(m.writeProtect);
}

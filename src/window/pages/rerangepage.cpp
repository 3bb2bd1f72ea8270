#include "rerangepage.h"
#include "ui_rerangepage.h"

#include "pageformat.h"
#include "pagehost.h"

RerangePage::RerangePage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::RerangePage>())
{
    ui->setupUi(this);
}

RerangePage::~RerangePage() = default;

void RerangePage::fill()
{
    const pagefmt::RangeInfo r = pagefmt::rangeInfo(copyDeviceData(m_host));
    ui->lineEdit_biansongdangqian_unit->setText(r.pvUnit);
    ui->lineEdit_biansongdangqian_rangeH->setText(r.upperRange);
    ui->lineEdit_biansongdangqian_rangeL->setText(r.lowerRange);
}

void RerangePage::on_pushButton_lingdianqianyi_clicked()
{
    if (m_host.portReady())
        m_host.startRequest(QStringLiteral("lingdianqianyi"),
                            windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在零点迁移...")),
                            WhileBusy::KeepPage);
}

void RerangePage::on_pushButton_liangchengqianyi_clicked()
{
    if (m_host.portReady())
        m_host.startRequest(QStringLiteral("liangchengqianyi"),
                            windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在量程迁移...")),
                            WhileBusy::KeepPage);
}

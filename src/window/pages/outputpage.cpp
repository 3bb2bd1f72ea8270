#include "outputpage.h"
#include "ui_outputpage.h"

#include "pageformat.h"
#include "pagehost.h"

OutputPage::OutputPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::OutputPage>())
{
    ui->setupUi(this);
    ui->lineEdit_shuchushezhi_damp->setValidator(host.realValidator());
}

OutputPage::~OutputPage() = default;

void OutputPage::fill()
{
    const pagefmt::OutputSettings o = pagefmt::outputSettings(copyDeviceData(m_host));
    ui->lineEdit_shuchushezhi_damp->setText(o.damping);
    ui->comboBox_shuchushezhi_xfer->setCurrentIndex(o.transferFunction);
}

void OutputPage::collect()
{
    const pagefmt::OutputSettings typed{ui->lineEdit_shuchushezhi_damp->text(),
                                        ui->comboBox_shuchushezhi_xfer->currentIndex()};
    QMutexLocker lock(&m_host.dataLock());
    pagefmt::collectOutputSettings(deviceData, typed);
}

void OutputPage::on_pushButton_send_shuchushezhi_clicked()
{
    if (!m_host.portReady())
        return;
    collect();
    m_host.startRequest(QStringLiteral("write shuchushezhi"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入输出设置数据...")),
                        WhileBusy::KeepPage);
}

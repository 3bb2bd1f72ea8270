#include "addresspage.h"
#include "ui_addresspage.h"

#include "pageformat.h"
#include "pagehost.h"
#include "uintvalidator.h"

#include <algorithm>

AddressPage::AddressPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::AddressPage>())
{
    ui->setupUi(this);
    ui->lineEdit_dizhishezhi_short_addr->setValidator(new UIntValidator(15, this));
}

AddressPage::~AddressPage() = default;

void AddressPage::fill()
{
    const kvhart_master::Addressing a = m_host.addressing();
    ui->lineEdit_dizhishezhi_short_addr->setText(QString::number(a.pollingAddress));
    ui->lineEdit_dizhishezhi_long_addr->setText(
            QString::number(pagefmt::deviceIdentifier(a.uniqueAddress)));
}

void AddressPage::on_pushButton_set_addr_clicked()
{
    if (!m_host.portReady())
        return;
    // The validator admits 0..15; anything else that slips through must not become an
    // address the transmitter cannot be found at.
    const std::uint32_t address = std::min<std::uint32_t>(
            pagefmt::parseUnsigned(ui->lineEdit_dizhishezhi_short_addr->text()), 15);
    {
        QMutexLocker lock(&m_host.dataLock());
        deviceData.newPollingAddress = std::uint8_t(address);
    }
    m_host.startRequest(QStringLiteral("write addr info"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入地址信息...")),
                        WhileBusy::KeepPage);
}

#include "displaypage.h"
#include "ui_displaypage.h"

#include "pageformat.h"
#include "pagehost.h"

DisplayPage::DisplayPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::DisplayPage>())
{
    ui->setupUi(this);
}

DisplayPage::~DisplayPage() = default;

void DisplayPage::fill()
{
    const pagefmt::DisplaySettings s = pagefmt::displaySettings(copyDeviceData(m_host));
    ui->comboBox_xianshishezhi_bianliang1->setCurrentIndex(s[0]);
    ui->comboBox_xianshishezhi_bianliang2->setCurrentIndex(s[1]);
    ui->comboBox_xianshishezhi_PV_xiaoshuwei->setCurrentIndex(s[2]);
    ui->comboBox_xianshishezhi_SV_xiaoshuwei->setCurrentIndex(s[3]);
    ui->comboBox_xianshishezhi_language->setCurrentIndex(s[4]);
    ui->comboBox_xianshishezhi_contrast->setCurrentIndex(s[5]);
}

void DisplayPage::collect()
{
    const pagefmt::DisplaySettings typed{ui->comboBox_xianshishezhi_bianliang1->currentIndex(),
                                         ui->comboBox_xianshishezhi_bianliang2->currentIndex(),
                                         ui->comboBox_xianshishezhi_PV_xiaoshuwei->currentIndex(),
                                         ui->comboBox_xianshishezhi_SV_xiaoshuwei->currentIndex(),
                                         ui->comboBox_xianshishezhi_language->currentIndex(),
                                         ui->comboBox_xianshishezhi_contrast->currentIndex()};
    QMutexLocker lock(&m_host.dataLock());
    pagefmt::collectDisplaySettings(deviceData, typed);
}

void DisplayPage::on_pushButton_send_xianshishezhi_clicked()
{
    if (!m_host.portReady())
        return;
    collect();
    m_host.startRequest(QStringLiteral("write xianshishezhi"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入显示设置...")),
                        WhileBusy::KeepPage);
}

#include "proprietarypage.h"
#include "ui_proprietarypage.h"

#include "pageformat.h"
#include "pagehost.h"

ProprietaryPage::ProprietaryPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::ProprietaryPage>())
{
    ui->setupUi(this);
    for (QLineEdit *edit :
         {ui->lineEdit_zhuanyoushezhi_baojinshangxian, ui->lineEdit_zhuanyoushezhi_baojinxiaxian,
          ui->lineEdit_zhuanyoushezhi_xiaoxinhaoqiechu, ui->lineEdit_zhuanyoushezhi_zengyi,
          ui->lineEdit_zhuanyoushezhi_pianzhi})
        edit->setValidator(host.realValidator());
}

ProprietaryPage::~ProprietaryPage() = default;

void ProprietaryPage::fill()
{
    const pagefmt::ProprietarySettings p = pagefmt::proprietarySettings(copyDeviceData(m_host));
    ui->comboBox_zhuanyoushezhi_xiebaohu->setCurrentIndex(p.writeProtect);
    ui->comboBox_zhuanyoushezhi_baojinleixing->setCurrentIndex(p.alarmType);
    ui->comboBox_zhuanyoushezhi_baojinxuanze->setCurrentIndex(p.alarmSelection);
    ui->comboBox_zhuanyoushezhi_qiechufangshi->setCurrentIndex(p.cutoffMode);
    ui->lineEdit_zhuanyoushezhi_density->setText(p.density);
    ui->lineEdit_zhuanyoushezhi_baojinshangxian->setText(p.alarmUpper);
    ui->lineEdit_zhuanyoushezhi_baojinxiaxian->setText(p.alarmLower);
    ui->lineEdit_zhuanyoushezhi_xiaoxinhaoqiechu->setText(p.smallSignalCutoff);
    ui->lineEdit_zhuanyoushezhi_pianzhi->setText(p.offset);
    ui->lineEdit_zhuanyoushezhi_zengyi->setText(p.gain);
}

void ProprietaryPage::collect()
{
    pagefmt::ProprietarySettings typed;
    typed.writeProtect = ui->comboBox_zhuanyoushezhi_xiebaohu->currentIndex();
    typed.alarmType = ui->comboBox_zhuanyoushezhi_baojinleixing->currentIndex();
    typed.alarmSelection = ui->comboBox_zhuanyoushezhi_baojinxuanze->currentIndex();
    typed.cutoffMode = ui->comboBox_zhuanyoushezhi_qiechufangshi->currentIndex();
    typed.density = ui->lineEdit_zhuanyoushezhi_density->text();
    typed.alarmUpper = ui->lineEdit_zhuanyoushezhi_baojinshangxian->text();
    typed.alarmLower = ui->lineEdit_zhuanyoushezhi_baojinxiaxian->text();
    typed.smallSignalCutoff = ui->lineEdit_zhuanyoushezhi_xiaoxinhaoqiechu->text();
    typed.offset = ui->lineEdit_zhuanyoushezhi_pianzhi->text();
    typed.gain = ui->lineEdit_zhuanyoushezhi_zengyi->text();
    QMutexLocker lock(&m_host.dataLock());
    pagefmt::collectProprietarySettings(deviceData, typed);
}

void ProprietaryPage::on_pushButton_zhuanyoushezhi_fasong_clicked()
{
    if (!m_host.portReady())
        return;
    collect();
    m_host.startRequest(QStringLiteral("write zhuanyoushezhi"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入专有设置数据...")),
                        WhileBusy::KeepPage);
}

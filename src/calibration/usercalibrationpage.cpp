// Page 14: the two-point user calibration table, its collect with the fit, fill and live value.
#include "usercalibrationpage.h"

#include "calibrationcells.h"
#include "calibrationrules.h"
#include "pageformat.h"
#include "pagehost.h"
#include "ui_usercalibrationpage.h"
#include "units.h"

#include <QMutexLocker>

using namespace calrules;

UserCalibrationPage::UserCalibrationPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::UserCalibrationPage>())
{
    ui->setupUi(this);
    QTableWidget *table = ui->tableWidget_yonghujiaozhun;
    table->setRowCount(4);
    table->setColumnCount(3);
    calcells::fixedText(table, 0, 1, windowTr(QT_TRANSLATE_NOOP("MainWindow", "第一点")));
    calcells::fixedText(table, 0, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "第二点")));
    calcells::fixedText(table, 1, 0, windowTr(QT_TRANSLATE_NOOP("MainWindow", "标准值")));
    calcells::fixedText(table, 2, 0, windowTr(QT_TRANSLATE_NOOP("MainWindow", "采集值")));
    for (int i = 0; i < 2; ++i) {
        m_userStdEdits[i] = calcells::realEditor(m_host, table, 1, 1 + i);
        m_userMeasEdits[i] = calcells::realEditor(m_host, table, 2, 1 + i);
    }
    connect(calcells::button(table, 3, 1, windowTr(QT_TRANSLATE_NOOP("MainWindow", "↑采集1"))),
            &QPushButton::clicked, this,
            &UserCalibrationPage::pushButton_clicked_yonghujiaozhuncaiji0);
    connect(calcells::button(table, 3, 2, windowTr(QT_TRANSLATE_NOOP("MainWindow", "↑采集2"))),
            &QPushButton::clicked, this,
            &UserCalibrationPage::pushButton_clicked_yonghujiaozhuncaiji1);
}

UserCalibrationPage::~UserCalibrationPage() = default;

void UserCalibrationPage::pushButton_clicked_yonghujiaozhuncaiji0()
{
    m_userMeasEdits[0]->setText(ui->label_yonghujiaozhun_adc->text());
}

void UserCalibrationPage::pushButton_clicked_yonghujiaozhuncaiji1()
{
    m_userMeasEdits[1]->setText(ui->label_yonghujiaozhun_adc->text());
}

QString UserCalibrationPage::collect()
{
    std::array<float, 2> standard{};
    std::array<float, 2> measured{};
    for (int i = 0; i < 2; ++i) {
        standard[i] = pagefmt::parseReal(m_userStdEdits[i]->text());
        measured[i] = pagefmt::parseReal(m_userMeasEdits[i]->text());
    }
    QMutexLocker lock(&m_host.dataLock());
    collectUserCalibration(deviceData, standard, measured);
    return userCalibrationProblem(deviceData);
}

void UserCalibrationPage::fill()
{
    std::uint8_t unit;
    std::array<float, 2> standard{};
    std::array<float, 2> measured{};
    {
        QMutexLocker lock(&m_host.dataLock());
        unit = deviceData.factoryUnits;
        std::copy(std::begin(deviceData.userCalibrationY), std::end(deviceData.userCalibrationY),
                  standard.begin());
        std::copy(std::begin(deviceData.userCalibrationX), std::end(deviceData.userCalibrationX),
                  measured.begin());
    }
    ui->label_yonghujiaozhun_unit->setText(
            windowTr(QT_TRANSLATE_NOOP("MainWindow", "校准单位：%1"))
                    .arg(QString::fromUtf8(unit_name_of_code(unit))));
    for (int i = 0; i < 2; ++i) {
        m_userStdEdits[i]->setText(QString::asprintf("%f", double(standard[i])));
        m_userMeasEdits[i]->setText(QString::asprintf("%f", double(measured[i])));
    }
}

void UserCalibrationPage::showLiveValues()
{
    float signal;
    int decimals;
    {
        QMutexLocker lock(&m_host.dataLock());
        signal = deviceData.userCalibrationSignal;
        decimals = deviceData.pvDecimals + 2;
    }
    ui->label_yonghujiaozhun_adc->setText(decimalsText(signal, decimals));
}

void UserCalibrationPage::on_pushButton_yonghujiaozhun_duqu_clicked()
{
    if (!m_host.portReady())
        return;
    m_host.startRequest(QStringLiteral("read yonghujiaozhunshuju"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在读取用户校准数据...")),
                        WhileBusy::KeepPage);
}

void UserCalibrationPage::on_pushButton_yonghujiaozhun_xieru_clicked()
{
    if (!calcells::collectForWrite(m_host, [this] { return collect(); }))
        return;
    m_host.startRequest(QStringLiteral("write yonghujiaozhunshuju"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入校准数据...")),
                        WhileBusy::KeepPage);
}

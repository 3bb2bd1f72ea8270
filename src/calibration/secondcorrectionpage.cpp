// Page 18: second nonlinearity table, its collect with the fit, fill and live measured value.
#include "secondcorrectionpage.h"

#include "calibrationcells.h"
#include "pageformat.h"
#include "pagehost.h"
#include "ui_secondcorrectionpage.h"

#include <QMutexLocker>

using namespace calrules;

SecondCorrectionPage::SecondCorrectionPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::SecondCorrectionPage>())
{
    ui->setupUi(this);
    QTableWidget *table = ui->tableWidget_SecondNonlinearityCorrection;
    table->setRowCount(4);
    table->setColumnCount(1 + kSecondPoints);
    const char *const names[kSecondPoints] = {
            QT_TRANSLATE_NOOP("MainWindow", "第一点"), QT_TRANSLATE_NOOP("MainWindow", "第二点"),
            QT_TRANSLATE_NOOP("MainWindow", "第三点"), QT_TRANSLATE_NOOP("MainWindow", "第四点"),
            QT_TRANSLATE_NOOP("MainWindow", "第五点")};
    calcells::fixedText(table, 1, 0, windowTr(QT_TRANSLATE_NOOP("MainWindow", "标准值")));
    calcells::fixedText(table, 2, 0, windowTr(QT_TRANSLATE_NOOP("MainWindow", "采集值")));
    for (int i = 0; i < kSecondPoints; ++i) {
        calcells::fixedText(table, 0, 1 + i, windowTr(names[i]));
        m_secondStdEdits[i] = calcells::realEditor(m_host, table, 1, 1 + i);
        m_secondMeasEdits[i] = calcells::realEditor(m_host, table, 2, 1 + i);
        m_secondCollectButtons[i] = calcells::button(
                table, 3, 1 + i, windowTr(QT_TRANSLATE_NOOP("MainWindow", "↑采集%1")).arg(i + 1));
        connect(m_secondCollectButtons[i], &QPushButton::clicked, this,
                &SecondCorrectionPage::pushButton_clicked_SecondNonlinearityCorrection_caiji_slot);
    }
    on_comboBox_SecondNonlinearityCorrectionNum_currentTextChanged(QStringLiteral("2"));
}

SecondCorrectionPage::~SecondCorrectionPage() = default;

void SecondCorrectionPage::on_comboBox_SecondNonlinearityCorrectionNum_currentTextChanged(
        const QString &text)
{
    const int n = text.toInt();
    for (int i = 0; i < kSecondPoints; ++i) {
        m_secondStdEdits[i]->setEnabled(i < n);
        m_secondMeasEdits[i]->setEnabled(i < n);
        m_secondCollectButtons[i]->setEnabled(i < n);
    }
}

void SecondCorrectionPage::pushButton_clicked_SecondNonlinearityCorrection_caiji_slot()
{
    qCDebug(lcCalibration, "pushButton_clicked_SecondNonlinearityCorrection_caiji_slot");
    for (int i = 0; i < kSecondPoints; ++i) {
        if (m_secondCollectButtons[i] == sender())
            m_secondMeasEdits[i]->setText(ui->label_SecondNonlinearityCorrection_adc->text());
    }
}

QString SecondCorrectionPage::collect()
{
    std::array<float, kSecondPoints> standard{};
    std::array<float, kSecondPoints> measured{};
    for (int i = 0; i < kSecondPoints; ++i) {
        standard[i] = pagefmt::parseReal(m_secondStdEdits[i]->text());
        measured[i] = pagefmt::parseReal(m_secondMeasEdits[i]->text());
    }
    const int n = ui->comboBox_SecondNonlinearityCorrectionNum->currentText().toInt();
    QMutexLocker lock(&m_host.dataLock());
    collectSecondCorrection(deviceData, n, standard, measured);
    return secondCorrectionProblem(deviceData);
}

void SecondCorrectionPage::fill()
{
    int n;
    std::array<float, kSecondPoints> standard{};
    std::array<float, kSecondPoints> measured{};
    {
        QMutexLocker lock(&m_host.dataLock());
        n = std::clamp<int>(deviceData.SecondNonlinearityCorrectionNum, 2, kSecondPoints);
        std::copy(std::begin(deviceData.SecondNonlinearityCorrectiony),
                  std::end(deviceData.SecondNonlinearityCorrectiony), standard.begin());
        std::copy(std::begin(deviceData.SecondNonlinearityCorrectionx),
                  std::end(deviceData.SecondNonlinearityCorrectionx), measured.begin());
    }
    ui->comboBox_SecondNonlinearityCorrectionNum->setCurrentIndex(n - 2);
    for (int i = 0; i < kSecondPoints; ++i) {
        m_secondStdEdits[i]->setText(QString::number(double(standard[i]), 'g', 6));
        m_secondMeasEdits[i]->setText(QString::number(double(measured[i]), 'g', 6));
    }
}

void SecondCorrectionPage::showLiveValues()
{
    float signal;
    {
        QMutexLocker lock(&m_host.dataLock());
        signal = deviceData.secondNonlinearitySignal;
    }
    ui->label_SecondNonlinearityCorrection_adc->setText(QString::asprintf("%.06f", double(signal)));
}

void SecondCorrectionPage::on_pushButton_SecondNonlinearityCorrection_duqu_clicked()
{
    if (!m_host.portReady())
        return;
    m_host.startRequest(QStringLiteral("read SecondNonlinearityCorrection"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在读取二次非线性修正数据...")),
                        WhileBusy::KeepPage);
}

void SecondCorrectionPage::on_pushButton_SecondNonlinearityCorrection_xieru_clicked()
{
    if (!calcells::collectForWrite(m_host, [this] { return collect(); }))
        return;
    m_host.startRequest(QStringLiteral("write SecondNonlinearityCorrection"),
                        windowTr(QT_TRANSLATE_NOOP("MainWindow", "正在写入二次非线性修正数据...")),
                        WhileBusy::KeepPage);
}

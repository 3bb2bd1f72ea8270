// Current trim and current test page; see currenttrimpage.h.
#include "currenttrimpage.h"
#include "ui_currenttrimpage.h"

#include "devicedata.h"
#include "pageformat.h"
#include "pagehost.h"

#include <QMutexLocker>

namespace currenttrim {

Controls controlsFor(State state)
{
    switch (state) {
    case State::Calibrating: return {true, false, true, true, false, false, false};
    case State::Testing: return {false, false, false, false, false, true, true};
    case State::Idle: break;
    }
    return {false, true, false, false, true, false, false};
}

float trimPointMa(int comboIndex)
{
    return comboIndex != 0 ? 20.0f : 4.0f;
}

std::optional<float> typedCurrentMa(const QString &text)
{
    bool ok = false;
    const float mA = text.trimmed().toFloat(&ok);
    if (!ok || !(mA > 0.0f))
        return std::nullopt;
    return mA;
}

State nextState(State present, const QString &result)
{
    if (result == QLatin1String("enter dianliujiaozhun succeed"))
        return State::Calibrating;
    if (result == QLatin1String("enter dianliuceshi succeed"))
        return State::Testing;
    if (result == QLatin1String("enter dianliujiaozhun failed")
        || result == QLatin1String("enter dianliuceshi failed")
        || result == QLatin1String("exit fix current succeed"))
        return State::Idle;
    return present;
}

} // namespace currenttrim

using currenttrim::State;

CurrentTrimPage::CurrentTrimPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::CurrentTrimPage>())
{
    ui->setupUi(this);
    setObjectName(QStringLiteral("page_12"));
    ui->lineEdit_dianliujiaozhun_shijidianliu->setValidator(host.realValidator());
    ui->lineEdit_dianliujiaozhun_ceshidianliu->setValidator(host.realValidator());
    setState(State::Idle);
}

CurrentTrimPage::~CurrentTrimPage() = default;

bool CurrentTrimPage::onTrimResult(const QString &result)
{
    static const QStringList mine{
            QStringLiteral("enter dianliujiaozhun succeed"),
            QStringLiteral("enter dianliujiaozhun failed"),
            QStringLiteral("enter dianliuceshi succeed"),
            QStringLiteral("enter dianliuceshi failed"),
            QStringLiteral("set fix current succeed"),
            QStringLiteral("set fix current failed"),
            QStringLiteral("exit fix current succeed"),
            QStringLiteral("exit fix current failed"),
            QStringLiteral("jiaozhun4ma succeed"),
            QStringLiteral("jiaozhun4ma failed"),
            QStringLiteral("jiaozhun20ma succeed"),
            QStringLiteral("jiaozhun20ma failed"),
    };
    if (!mine.contains(result))
        return false;
    setState(currenttrim::nextState(m_state, result));
    return true;
}

void CurrentTrimPage::setState(State state)
{
    m_state = state;
    const currenttrim::Controls c = currenttrim::controlsFor(state);
    ui->comboBox_dianliujiaozhun_lilundianliu->setEnabled(c.pointCombo);
    ui->pushButton_dianliujiaozhun_jinrujiaozhun->setEnabled(c.enterCalibration);
    ui->pushButton_dianliujiaozhun_fasongjiaozhun->setEnabled(c.sendCalibration);
    ui->pushButton_dianliujiaozhun_tuichujiaozhun->setEnabled(c.leaveCalibration);
    ui->pushButton_dianliujiaozhun_jinruceshi->setEnabled(c.enterTest);
    ui->pushButton_dianliujiaozhun_fasongceshi->setEnabled(c.sendTest);
    ui->pushButton_dianliujiaozhun_tuichuceshi->setEnabled(c.leaveTest);
}

void CurrentTrimPage::holdCurrent(float mA)
{
    QMutexLocker lock(&m_host.dataLock());
    deviceData.fixedCurrent = mA;
}

void CurrentTrimPage::request(const QString &request, const QString &busyText)
{
    m_host.startRequest(request, busyText, WhileBusy::KeepPage);
}

void CurrentTrimPage::on_pushButton_dianliujiaozhun_jinrujiaozhun_clicked()
{
    if (!m_host.portReady())
        return;
    holdCurrent(
            currenttrim::trimPointMa(ui->comboBox_dianliujiaozhun_lilundianliu->currentIndex()));
    request(QStringLiteral("enter dianliujiaozhun"), windowTr("正在进入电流校准模式..."));
    ui->pushButton_dianliujiaozhun_jinruceshi->setEnabled(false);
}

void CurrentTrimPage::on_comboBox_dianliujiaozhun_lilundianliu_activated(int index)
{
    if (!m_host.portReady())
        return;
    holdCurrent(currenttrim::trimPointMa(index));
    request(QStringLiteral("set fix current"));
}

void CurrentTrimPage::on_pushButton_dianliujiaozhun_fasongjiaozhun_clicked()
{
    if (!m_host.portReady())
        return;
    const std::optional<float> reading =
            currenttrim::typedCurrentMa(ui->lineEdit_dianliujiaozhun_shijidianliu->text());
    if (!reading) {
        m_host.warn(windowTr("请输入实际输出电流！"));
        return;
    }
    {
        QMutexLocker lock(&m_host.dataLock());
        deviceData.measuredCurrent = *reading;
    }
    const bool fourMa =
            ui->comboBox_dianliujiaozhun_lilundianliu->currentText() == QLatin1String("4mA");
    request(fourMa ? QStringLiteral("jiaozhun4ma") : QStringLiteral("jiaozhun20ma"));
}

void CurrentTrimPage::on_pushButton_dianliujiaozhun_tuichujiaozhun_clicked()
{
    if (!m_host.portReady())
        return;
    holdCurrent(0.0f);
    request(QStringLiteral("exit fix current"));
}

void CurrentTrimPage::on_pushButton_dianliujiaozhun_jinruceshi_clicked()
{
    if (!m_host.portReady())
        return;
    // Raised to 3.8 mA by the worker when lower.
    holdCurrent(pagefmt::parseReal(ui->lineEdit_dianliujiaozhun_ceshidianliu->text()));
    request(QStringLiteral("enter dianliuceshi"), windowTr("正在进入电流测试模式..."));
    ui->pushButton_dianliujiaozhun_jinrujiaozhun->setEnabled(false);
}

void CurrentTrimPage::on_pushButton_dianliujiaozhun_fasongceshi_clicked()
{
    if (!m_host.portReady())
        return;
    const std::optional<float> mA =
            currenttrim::typedCurrentMa(ui->lineEdit_dianliujiaozhun_ceshidianliu->text());
    if (!mA) {
        m_host.warn(windowTr("请输入测试电流！"));
        return;
    }
    holdCurrent(*mA);
    request(QStringLiteral("set fix current"));
}

void CurrentTrimPage::on_pushButton_dianliujiaozhun_tuichuceshi_clicked()
{
    if (!m_host.portReady())
        return;
    holdCurrent(0.0f);
    request(QStringLiteral("exit fix current"));
}

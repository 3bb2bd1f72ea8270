// The end-of-line test's step rules: prompts, pass and fail conditions, the requests each
// outcome sends, and the values measured at each check for the test record.
#include "factorytest.h"

#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcFactoryTest, "hart.factorytest")

namespace {

QString real(float value)
{
    return QString::number(double(value), 'g', 6);
}

bool within(float value, float centre, float bound)
{
    // Strict, and false for NaN and for an unread (infinite) value.
    return std::fabs(value - centre) < bound;
}

const char *const kStopPv = "stop read PV";
const char *const kStopPolling = "stop chuchang jiance";

} // namespace

FactoryRun::FactoryRun()
{
    measured.fill(std::numeric_limits<float>::quiet_NaN());
}

FactoryTest::FactoryTest(FactoryTestSink &sink)
    : m_sink(sink)
{ }

void FactoryTest::start(const QDateTime &now)
{
    // A run interrupted by a restart still leaves its trace in the record.
    if (isRunning())
        finish(RunOutcome::Abandoned, QStringLiteral("restarted"));
    m_run = FactoryRun();
    m_run.started = now;
    m_step = 1;
    m_sink.clearLog();
}

void FactoryTest::secondElapsed()
{
    if (m_seconds != 0)
        --m_seconds;
}

void FactoryTest::abandon()
{
    m_sink.sendRequest(QString::fromLatin1(kStopPolling));
    if (isRunning())
        finish(RunOutcome::Abandoned, QStringLiteral("page left"));
}

void FactoryTest::enter(int step, bool resetAnswer)
{
    m_step = step;
    m_seconds = kStepSeconds;
    if (resetAnswer)
        m_answer = OperatorAnswer::None;
}

void FactoryTest::pass(const QString &stem)
{
    m_sink.rewriteLastLine(stem);
    m_sink.appendWord(QStringLiteral("ok"), LogColour::Green);
}

void FactoryTest::fail(const QString &stem, const char *stopRequest, const QString &reason)
{
    m_sink.rewriteLastLine(stem);
    m_sink.appendWord(QStringLiteral("failed"), LogColour::Red);
    if (stopRequest)
        m_sink.sendRequest(QString::fromLatin1(stopRequest));
    finish(RunOutcome::Failed, reason);
}

void FactoryTest::finish(RunOutcome outcome, const QString &reason)
{
    m_run.lastStep = m_step;
    m_run.outcome = outcome;
    m_run.reason = reason;
    m_step = 0;
    qCDebug(lcFactoryTest) << "factory test ended at step" << m_run.lastStep << reason;
    m_sink.runEnded(m_run);
}

void FactoryTest::tick(const FactoryTestInputs &in)
{
    if (m_step < 0 || m_step > kLastStep)
        m_step = 0;
    if (m_step == 0)
        return;

    const float span = std::fabs(in.upperRangeCopy - in.lowerRangeCopy);
    const QString seconds = QString::number(m_seconds);
    const QString pv = real(in.pv);
    const QString t = real(in.tempSignal);

    // One waiting step: pass, fail on its own condition or on time-out, or show the prompt.
    enum class Verdict { Wait, Pass, Fail };
    auto judge = [&](bool passes, bool failsNow, const QString &stem, const QString &prompt,
                     const char *stop) {
        if (passes) {
            pass(stem);
            return Verdict::Pass;
        }
        if (failsNow || m_seconds == 0) {
            fail(stem, stop, failsNow ? QStringLiteral("no") : QStringLiteral("timeout"));
            return Verdict::Fail;
        }
        m_sink.rewriteLastLine(prompt);
        return Verdict::Wait;
    };
    auto pvCheck = [&](float target) {
        const QString stem = QStringLiteral("主变量值:%1...").arg(pv);
        return judge(within(in.pv, target, 0.025f * span), false, stem, stem + seconds + 'S',
                     kStopPv);
    };
    auto tempCheck = [&](float target) {
        const QString stem = QStringLiteral("温补信号值:%1  ").arg(t);
        return judge(within(in.tempSignal, target, 100.0f), false, stem, stem + seconds + 'S',
                     kStopPolling);
    };
    auto confirm = [&](const QString &stem, OperatorAnswer failOn, const char *stop) {
        return judge(m_answer == OperatorAnswer::Yes,
                     failOn != OperatorAnswer::None && m_answer == failOn, stem,
                     stem + seconds + 'S', stop);
    };
    auto key = [&](const QString &stem, int bit, bool pressed) {
        const bool isPressed = (in.keyBits >> bit) & 1u;
        return judge(isPressed == pressed, false, stem, stem + seconds + 'S', kStopPolling);
    };

    switch (m_step) {
    case 1:
        m_sink.appendLine(QStringLiteral("开始测试"));
        m_sink.appendLine(QStringLiteral("写入测试数据..."));
        m_writeResult = CalibrationWrite::Pending;
        m_step = 2; // no time limit: the write reports its own end
        m_sink.writeCalibration();
        return;
    case 2: {
        const QString stem = QStringLiteral("写入测试数据...");
        if (m_writeResult == CalibrationWrite::Succeeded) {
            pass(stem);
            m_sink.appendLine(QStringLiteral("请将模拟传感器切换到零位"));
            m_sink.setSelector(1);
            // A value left from before this run (another transmitter, an earlier page) must
            // not pass the zero check: wait for the reading this request brings.
            m_sink.forgetReading(Reading::Pv);
            m_sink.sendRequest(QStringLiteral("read PV"));
            m_sink.appendLine(QStringLiteral("主变量值:%1").arg(pv));
            enter(3);
        } else if (m_writeResult == CalibrationWrite::Failed) {
            fail(stem, nullptr, QStringLiteral("write failed"));
        } else {
            m_sink.rewriteLastLine(stem + QString::number(in.progress) + '%');
        }
        return;
    }
    case 3:
        measure(FactoryRun::PvZero, in.pv);
        if (pvCheck(in.lowerRangeCopy) == Verdict::Pass) {
            m_sink.appendLine(QStringLiteral("请确认电流是否在3.5~4.5mA?"));
            enter(4, true);
        }
        return;
    case 4:
        if (confirm(QStringLiteral("请确认电流是否在3.5~4.5mA?  "), OperatorAnswer::No, kStopPv)
            == Verdict::Pass) {
            m_sink.appendLine(QStringLiteral("请将模拟传感器切换到满度"));
            m_sink.appendLine(QStringLiteral("主变量值:%1").arg(pv));
            enter(5);
        }
        return;
    case 5:
        measure(FactoryRun::PvFullScale, in.pv);
        if (pvCheck(in.upperRangeCopy) == Verdict::Pass) {
            m_sink.appendLine(QStringLiteral("请确认电流是否在19.5~20.5mA?"));
            enter(6, true);
        }
        return;
    case 6:
        if (confirm(QStringLiteral("请确认电流是否在19.5~20.5mA?  "), OperatorAnswer::No, kStopPv)
            == Verdict::Pass) {
            m_sink.appendLine(QStringLiteral("温补信号值:%1").arg(t));
            m_sink.sendRequest(QString::fromLatin1(kStopPv));
            m_sink.setSelector(1);
            m_sink.forgetReading(Reading::TempSignal); // likewise for the first poll
            m_sink.sendRequest(QStringLiteral("start chuchang jiance"));
            enter(7);
        }
        return;
    case 7:
        measure(FactoryRun::TempOpen, in.tempSignal);
        if (tempCheck(2500.0f) == Verdict::Pass) {
            m_sink.appendLine(QStringLiteral("请将V-短接到T"));
            m_sink.appendLine(QStringLiteral("温补信号值:%1").arg(t));
            m_sink.setSelector(2);
            enter(8);
        }
        return;
    case 8:
        measure(FactoryRun::TempVMinus, in.tempSignal);
        if (tempCheck(0.0f) == Verdict::Pass) {
            m_sink.appendLine(QStringLiteral("请将V+短接到T"));
            m_sink.appendLine(QStringLiteral("温补信号值:%1").arg(t));
            m_sink.setSelector(2);
            enter(9);
        }
        return;
    case 9:
        measure(FactoryRun::TempVPlus, in.tempSignal);
        if (tempCheck(4000.0f) == Verdict::Pass) {
            m_sink.appendLine(QStringLiteral("请按下M键"));
            enter(10);
        }
        return;
    case 10:
    case 11:
    case 12:
    case 13:
    case 14:
    case 15: {
        static const char *const names[] = {"M", "S", "Z"};
        const int keyIndex = (m_step - 10) / 2;
        const bool wantPressed = (m_step % 2) == 0;
        const QString stem =
                (wantPressed ? QStringLiteral("请按下%1键  ") : QStringLiteral("请松开%1键  "))
                        .arg(QLatin1String(names[keyIndex]));
        if (key(stem, keyIndex, wantPressed) != Verdict::Pass)
            return;
        if (m_step < 15) {
            const int next = m_step + 1;
            const int nextKey = (next - 10) / 2;
            const QString prompt =
                    (next % 2) == 0 ? QStringLiteral("请按下%1键") : QStringLiteral("请松开%1键");
            m_sink.appendLine(prompt.arg(QLatin1String(names[nextKey])));
            enter(next);
        } else {
            m_sink.appendLine(QStringLiteral("请确认485通讯是否正常"));
            enter(16, true);
            m_sink.sendRequest(QString::fromLatin1(kStopPolling));
        }
        return;
    }
    case 16:
        // A "no" here is not looked at: the operator may still fix the wiring in time.
        if (confirm(QStringLiteral("请确认485通讯是否正常  "), OperatorAnswer::None, nullptr)
            == Verdict::Pass) {
            m_sink.appendLine(QStringLiteral("请检查背光和液晶显示是否正常"));
            enter(17, true);
        }
        return;
    case 17:
        if (confirm(QStringLiteral("请检查背光和液晶显示是否正常  "), OperatorAnswer::None, nullptr)
            == Verdict::Pass) {
            m_sink.appendLine(QStringLiteral("出厂检测完成  "));
            m_sink.appendWord(QStringLiteral("passed"), LogColour::Green);
            m_seconds = kStepSeconds;
            finish(RunOutcome::Passed, QString());
        }
        return;
    default: m_step = 0; return;
    }
}

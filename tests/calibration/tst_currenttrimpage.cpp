// Current trim and current test against the simulated transmitter: what each slot puts on
// the wire (commands 40, 45, 46), the button states after each result, the held current
// released on leaving the page; and the current entry dialog.
#include "currenttrimpage.h"
#include "dialog_current_cal.h"
#include "testpagehost.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <cstring>

namespace {

float payloadFloat(const QByteArray &data)
{
    if (data.size() < 4)
        return -1.0f;
    const quint32 bits = quint32(quint8(data[0])) << 24 | quint32(quint8(data[1])) << 16
            | quint32(quint8(data[2])) << 8 | quint32(quint8(data[3]));
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

struct TrimRig
{
    TestPageHost host;
    CurrentTrimPage page{host};

    TrimRig(const SimConfig &config = SimConfig())
        : host(config)
    {
        for (const char *r : {"enter dianliujiaozhun", "enter dianliuceshi", "set fix current",
                              "exit fix current", "jiaozhun4ma", "jiaozhun20ma"}) {
            for (const char *outcome : {" succeed", " failed"}) {
                const QString result = QLatin1String(r) + QLatin1String(outcome);
                host.on(result, [this, result] { page.onTrimResult(result); });
            }
        }
        host.showPage(pageindex::CurrentTrim);
        host.requests.clear();
        page.show();
    }

    QPushButton *button(const char *name) const
    {
        return page.findChild<QPushButton *>(QLatin1String(name));
    }
    QLineEdit *edit(const char *name) const
    {
        return page.findChild<QLineEdit *>(QLatin1String(name));
    }
    QComboBox *pointCombo() const
    {
        return page.findChild<QComboBox *>(QStringLiteral("comboBox_dianliujiaozhun_lilundianliu"));
    }

    // Clicks and waits for the result; returns the data of the last command sent.
    QByteArray run(const char *buttonName, const QString &result, quint8 command)
    {
        host.results.clear();
        host.sim.clearRequests();
        button(buttonName)->click();
        if (!host.waitForResult(result))
            return QByteArray("no result");
        const QVector<SimRequest> sent = host.commands(command);
        return sent.isEmpty() ? QByteArray("not sent") : sent.last().data;
    }

    // Enabled state of combo, enter/send/leave calibration, enter/send/leave test.
    QString controls() const
    {
        QString out;
        out += pointCombo()->isEnabled() ? '1' : '0';
        out += ' ';
        for (const char *b : {"pushButton_dianliujiaozhun_jinrujiaozhun",
                              "pushButton_dianliujiaozhun_fasongjiaozhun",
                              "pushButton_dianliujiaozhun_tuichujiaozhun"})
            out += button(b)->isEnabled() ? '1' : '0';
        out += ' ';
        for (const char *b :
             {"pushButton_dianliujiaozhun_jinruceshi", "pushButton_dianliujiaozhun_fasongceshi",
              "pushButton_dianliujiaozhun_tuichuceshi"})
            out += button(b)->isEnabled() ? '1' : '0';
        return out;
    }

    float fixedCurrentInRecord()
    {
        QMutexLocker lock(&host.dataLock());
        return deviceData.fixedCurrent;
    }
};

const QString kIdle = QStringLiteral("0 100 100");
const QString kCalibrating = QStringLiteral("1 011 000");
const QString kTesting = QStringLiteral("0 000 011");

} // namespace

class tst_CurrentTrimPage : public QObject
{
    Q_OBJECT

private slots:
    void construction_connectsEverySlotByName();
    void trim_data();
    void trim();
    void test_data();
    void test();
    void failedEnter_returnsToIdle();
    void closedPort_warnsAndSendsNothing();
    void typedCurrent_refusedWhenNoReading_data();
    void typedCurrent_refusedWhenNoReading();

    void dialog_validator_data();
    void dialog_validator();
    void dialog_returnAccepts();
    void dialog_closeAndEscapeCancel_data();
    void dialog_closeAndEscapeCancel();
};

void tst_CurrentTrimPage::trim_data()
{
    QTest::addColumn<int>("point");
    QTest::addColumn<float>("held");
    QTest::addColumn<QString>("trimRequest");
    QTest::addColumn<int>("trimCommand");
    QTest::newRow("4 mA") << 0 << 4.0f << "jiaozhun4ma" << 45;
    QTest::newRow("20 mA") << 1 << 20.0f << "jiaozhun20ma" << 46;
}

void tst_CurrentTrimPage::trim()
{
    QFETCH(int, point);
    QFETCH(float, held);
    QFETCH(QString, trimRequest);
    QFETCH(int, trimCommand);
    TrimRig rig;
    QVERIFY(rig.host.openAndSearch());
    QCOMPARE(rig.controls(), kIdle);

    rig.pointCombo()->setCurrentIndex(point);
    QByteArray sent = rig.run("pushButton_dianliujiaozhun_jinrujiaozhun",
                              "enter dianliujiaozhun succeed", 40);
    QCOMPARE(payloadFloat(sent), held);
    QCOMPARE(rig.host.statuses.first(), QStringLiteral("正在进入电流校准模式..."));
    QCOMPARE(rig.controls(), kCalibrating);
    QVERIFY(rig.host.sim.currentFixed());
    QVERIFY(rig.host.portButtonsEnabled);

    rig.edit("lineEdit_dianliujiaozhun_shijidianliu")->setText(QStringLiteral("4.012"));
    sent = rig.run("pushButton_dianliujiaozhun_fasongjiaozhun", trimRequest + " succeed",
                   quint8(trimCommand));
    QCOMPARE(payloadFloat(sent), 4.012f);
    QCOMPARE(trimCommand == 45 ? rig.host.sim.zeroTrimMa() : rig.host.sim.gainTrimMa(), 4.012f);
    {
        QMutexLocker lock(&rig.host.dataLock());
        QCOMPARE(deviceData.measuredCurrent, 4.012f);
    }
    QCOMPARE(rig.controls(), kCalibrating);

    sent = rig.run("pushButton_dianliujiaozhun_tuichujiaozhun", "exit fix current succeed", 40);
    QCOMPARE(payloadFloat(sent), 0.0f);
    QCOMPARE(rig.fixedCurrentInRecord(), 0.0f);
    QCOMPARE(rig.controls(), kIdle);
    QVERIFY(!rig.host.sim.currentFixed());
}

void tst_CurrentTrimPage::test_data()
{
    QTest::addColumn<QString>("enterText");
    QTest::addColumn<float>("entered");
    QTest::addColumn<QString>("changeText");
    QTest::addColumn<float>("changed");
    QTest::newRow("empty field enters at 3.8 mA") << "" << 3.8f << "15.5" << 15.5f;
    QTest::newRow("typed current") << "12.5" << 12.5f << "8" << 8.0f;
    // Technicians drive the loop below 3.8 mA to see the control system's low alarm.
    QTest::newRow("low-alarm current as typed") << "12.5" << 12.5f << "3.6" << 3.6f;
}

void tst_CurrentTrimPage::test()
{
    QFETCH(QString, enterText);
    QFETCH(float, entered);
    QFETCH(QString, changeText);
    QFETCH(float, changed);
    TrimRig rig;
    QVERIFY(rig.host.openAndSearch());
    QLineEdit *current = rig.edit("lineEdit_dianliujiaozhun_ceshidianliu");

    current->setText(enterText);
    QByteArray sent =
            rig.run("pushButton_dianliujiaozhun_jinruceshi", "enter dianliuceshi succeed", 40);
    QCOMPARE(payloadFloat(sent), entered);
    QCOMPARE(rig.fixedCurrentInRecord(), entered);
    QCOMPARE(rig.controls(), kTesting);

    current->setText(changeText);
    sent = rig.run("pushButton_dianliujiaozhun_fasongceshi", "set fix current succeed", 40);
    QCOMPARE(payloadFloat(sent), changed);
    QCOMPARE(rig.controls(), kTesting);
    QVERIFY(rig.host.sim.currentFixed());

    sent = rig.run("pushButton_dianliujiaozhun_tuichuceshi", "exit fix current succeed", 40);
    QCOMPARE(payloadFloat(sent), 0.0f);
    QCOMPARE(rig.controls(), kIdle);
}

void tst_CurrentTrimPage::failedEnter_returnsToIdle()
{
    SimConfig config;
    config.faults.silentCommands = {40};
    TrimRig rig(config);
    QVERIFY(rig.host.openAndSearch());
    rig.button("pushButton_dianliujiaozhun_jinrujiaozhun")->click();
    // The other enter button is locked while the request is out ...
    QCOMPARE(rig.controls(), QStringLiteral("0 100 000"));
    QVERIFY(rig.host.waitForResult(QStringLiteral("enter dianliujiaozhun failed")));
    // ... and unlocked again by the failure.
    QCOMPARE(rig.controls(), kIdle);
    QCOMPARE(rig.page.state(), currenttrim::State::Idle);
}

void tst_CurrentTrimPage::closedPort_warnsAndSendsNothing()
{
    TrimRig rig;
    {
        QMutexLocker lock(&rig.host.dataLock());
        deviceData.fixedCurrent = 7.0f;
    }
    for (const char *b :
         {"pushButton_dianliujiaozhun_jinrujiaozhun", "pushButton_dianliujiaozhun_jinruceshi"})
        rig.button(b)->click();
    QCOMPARE(rig.host.warnings, (QStringList{"请先打开端口！", "请先打开端口！"}));
    QVERIFY(rig.host.requests.isEmpty());
    QCOMPARE(rig.fixedCurrentInRecord(), 7.0f);
    QCOMPARE(rig.controls(), kIdle);
}

void tst_CurrentTrimPage::typedCurrent_refusedWhenNoReading_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("empty") << "";
    QTest::newRow("zero") << "0";
    QTest::newRow("not a number") << "4,0x";
}

// A trim from no reading, or a test current of 0 (which leaves fixed-current mode while the
// page still shows the loop held), is refused with a warning and nothing is sent.
void tst_CurrentTrimPage::typedCurrent_refusedWhenNoReading()
{
    QFETCH(QString, typed);
    TrimRig rig;
    QVERIFY(rig.host.openAndSearch());
    rig.run("pushButton_dianliujiaozhun_jinrujiaozhun", "enter dianliujiaozhun succeed", 40);
    rig.host.requests.clear();
    rig.edit("lineEdit_dianliujiaozhun_shijidianliu")->setText(typed);
    rig.button("pushButton_dianliujiaozhun_fasongjiaozhun")->click();
    QCOMPARE(rig.host.warnings, QStringList{QStringLiteral("请输入实际输出电流！")});
    QVERIFY(rig.host.requests.isEmpty());
    QCOMPARE(rig.controls(), kCalibrating);
    rig.run("pushButton_dianliujiaozhun_tuichujiaozhun", "exit fix current succeed", 40);

    rig.edit("lineEdit_dianliujiaozhun_ceshidianliu")->setText(QStringLiteral("12"));
    rig.run("pushButton_dianliujiaozhun_jinruceshi", "enter dianliuceshi succeed", 40);
    rig.host.warnings.clear();
    rig.host.requests.clear();
    rig.edit("lineEdit_dianliujiaozhun_ceshidianliu")->setText(typed);
    rig.button("pushButton_dianliujiaozhun_fasongceshi")->click();
    QCOMPARE(rig.host.warnings, QStringList{QStringLiteral("请输入测试电流！")});
    QVERIFY(rig.host.requests.isEmpty());
    QCOMPARE(rig.fixedCurrentInRecord(), 12.0f);
    QCOMPARE(rig.controls(), kTesting);
}

void tst_CurrentTrimPage::dialog_validator_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("state");
    QTest::newRow("nominal 4") << "4.000" << int(QValidator::Acceptable);
    QTest::newRow("nominal 20") << "20.000" << int(QValidator::Acceptable);
    QTest::newRow("negative") << "-0.5" << int(QValidator::Acceptable);
    QTest::newRow("no point yet") << "12" << int(QValidator::Intermediate);
    QTest::newRow("letters") << "1a.0" << int(QValidator::Invalid);
    QTest::newRow("second leading zero") << "00.1" << int(QValidator::Invalid);
    QTest::newRow("eight integer digits") << "12345678.0" << int(QValidator::Invalid);
    QTest::newRow("eight decimals") << "1.12345678" << int(QValidator::Invalid);
}

void tst_CurrentTrimPage::dialog_validator()
{
    QFETCH(QString, text);
    QFETCH(int, state);
    Dialog_Current_cal dialog(nullptr, QStringLiteral("电流校准"), QString());
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit_dangqiandianliuzhi"));
    QVERIFY(edit && edit->validator());
    int pos = 0;
    QCOMPARE(int(edit->validator()->validate(text, pos)), state);
}

void tst_CurrentTrimPage::dialog_returnAccepts()
{
    Dialog_Current_cal dialog(nullptr, QStringLiteral("电流校准"), QStringLiteral("12.000"));
    dialog.show();
    QCOMPARE(dialog.windowTitle(), QStringLiteral("电流校准"));
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("lineEdit_dangqiandianliuzhi"));
    QCOMPARE(edit->text(), QStringLiteral("12.000"));
    QTest::keyClick(edit, Qt::Key_End); // the initial text comes selected
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, QStringLiteral("5"));
    QVERIFY2(edit->hasAcceptableInput(), qPrintable(edit->text()));
    QTest::keyClick(edit, Qt::Key_Return);
    QTRY_VERIFY(!dialog.isVisible());
    QVERIFY(dialog.accepted());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.value(), 12.005f);
}

void tst_CurrentTrimPage::dialog_closeAndEscapeCancel_data()
{
    QTest::addColumn<bool>("escape");
    QTest::newRow("close button") << false;
    QTest::newRow("escape") << true;
}

void tst_CurrentTrimPage::dialog_closeAndEscapeCancel()
{
    QFETCH(bool, escape);
    Dialog_Current_cal dialog(nullptr, QStringLiteral("电流校准"), QStringLiteral("4.000"));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    if (escape)
        QTest::keyClick(&dialog, Qt::Key_Escape);
    else
        dialog.findChild<QPushButton *>(QStringLiteral("pushButton_close"))->click();
    QTRY_VERIFY(!dialog.isVisible());
    QVERIFY(!dialog.accepted());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.value(), 4.0f);
}

void tst_CurrentTrimPage::construction_connectsEverySlotByName()
{
    SlotWarningCatcher catcher;
    SlotWarningCatcher::complaints().clear();
    {
        TestPageHost host;
        CurrentTrimPage page(host);
    }
    {
        Dialog_Current_cal dialog(nullptr, QStringLiteral("电流校准"), QString());
    }
    QCOMPARE(SlotWarningCatcher::complaints(), QStringList());
}

QTEST_MAIN(tst_CurrentTrimPage)
#include "tst_currenttrimpage.moc"

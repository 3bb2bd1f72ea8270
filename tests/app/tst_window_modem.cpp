// Modems that key themselves and adapters that echo: the options set from the window's menu or
// the command line, remembered per port, against the simulator playing the adapter over a real
// pseudo-terminal; and the FTDI latency advice from a sysfs tree of the test's own.
#include "windowfixture.h"

#include "portoptions.h"
#include "trafficcapture.h"
#include "trafficexport.h"
#include "trafficwindow.h"

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

using traffic::Kind;
using traffic::Record;
using traffic::Verdict;

namespace {

// A port name of this run's own, so the options remembered for it meet no other test.
QString uniquePortName(const QString &dir, const QString &base)
{
    static int n = 0;
    return QStringLiteral("%1/%2-%3-%4")
            .arg(dir, base)
            .arg(QCoreApplication::applicationPid())
            .arg(++n);
}

QAction *action(WindowFixture &f, const char *name)
{
    auto *found = f.window->findChild<QAction *>(QLatin1String(name));
    if (!found)
        qFatal("no action %s", name);
    return found;
}

// As the technician does it: select the port, tick the options in the menu, open.
bool openWithOptions(WindowFixture &f, const QString &port, bool keysItself, bool echo)
{
    f.w<QComboBox>("comboBox_duankouhao")->setEditText(port);
    if (action(f, "action_modemKeysItself")->isChecked() != keysItself)
        action(f, "action_modemKeysItself")->trigger();
    if (action(f, "action_echo")->isChecked() != echo)
        action(f, "action_echo")->trigger();
    f.button("pushButton_dakaiduankou")->click();
    return f.window->serialLink()->isOpen();
}

SimConfig adapter(bool echoes, int corruptEvery = 0)
{
    SimConfig c;
    c.faults.echo = echoes;
    c.faults.corruptEchoEvery = corruptEvery;
    return c;
}

struct Run
{
    int exitCode = -1;
    QString out, err;
};

Run runProgram(const QStringList &args)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-such"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(HARTCONFIG_PATH), args);
    Run r;
    if (!program.waitForFinished(60000))
        return r;
    r.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
    r.out = QString::fromUtf8(program.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(program.readAllStandardError());
    return r;
}

} // namespace

class tst_WindowModem : public QObject
{
    Q_OBJECT

private slots:
    void echoOption_decidesWhatTheLineGives_data();
    void echoOption_decidesWhatTheLineGives();
    void collidingLine_eachCollisionCapturedCountedAndRetried();
    void selfKeyingModem_noRtsKeying_rememberedPerPort();
    void commandLine_optionsReachTheWindowAndTheHeadlessCommands();
    void ftdiAdapter_latencyToldOnceWithTheCure_data();
    void ftdiAdapter_latencyToldOnceWithTheCure();
};

void tst_WindowModem::echoOption_decidesWhatTheLineGives_data()
{
    QTest::addColumn<bool>("adapterEchoes");
    QTest::addColumn<int>("corruptEvery");
    QTest::addColumn<bool>("echoOption");
    QTest::addColumn<bool>("found");
    QTest::addColumn<bool>("collisionsSeen");
    QTest::newRow("echoing adapter, echo on") << true << 0 << true << true << false;
    // The receiver passes over a master's frame, so the echo does no harm, and tells nothing.
    QTest::newRow("echoing adapter, echo off") << true << 0 << false << true << false;
    QTest::newRow("colliding line, echo off: collisions unseen") << true << 2 << false << true
                                                                 << false;
    // Each answer is taken for the echo the modem never gives, and fails as a collision.
    QTest::newRow("modem without echo, echo on") << false << 0 << true << false << true;
}

void tst_WindowModem::echoOption_decidesWhatTheLineGives()
{
    QFETCH(bool, adapterEchoes);
    QFETCH(int, corruptEvery);
    QFETCH(bool, echoOption);
    QFETCH(bool, found);
    QFETCH(bool, collisionsSeen);
    WindowFixture f(adapter(adapterEchoes, corruptEvery));
    const QString port = uniquePortName(QDir::tempPath(), QStringLiteral("hart-echo"));
    const auto forget = qScopeGuard([&] { savePortOptions(port, SerialOptions()); });
    QVERIFY(f.sim.start(port));
    QVERIFY(openWithOptions(f, port, false, echoOption));
    QCOMPARE(f.window->serialLink()->options().echo, echoOption);
    traffic::TrafficCapture *capture = f.window->trafficCapture();
    if (found) {
        QVERIFY(f.search());
        QVERIFY(f.run("pushButton_gengduoxinxi", QStringLiteral("读取更多信息成功")));
        QCOMPARE(int(capture->counters().timeouts), 0);
    } else {
        f.button("pushButton_chaxunyibiao")->click();
        QVERIFY(f.waitFor([&] { return f.status() == QStringLiteral("查询仪表失败"); }, 5000));
        QVERIFY(f.waitFor([&] { return f.portButtonsEnabled(); }, 3000));
        QVERIFY(f.sim.answeredCount() > 0); // the device did answer
    }
    const qint64 collisions = f.window->serialLink()->collisions();
    QCOMPARE(collisions > 0, collisionsSeen);
    QCOMPARE(qint64(capture->counters().collisions), collisions);
    QCOMPARE(f.window->serialLink()->incompleteEchoes(), qint64(0));
}

void tst_WindowModem::collidingLine_eachCollisionCapturedCountedAndRetried()
{
    WindowFixture f(adapter(true, 3));
    f.window->worker()->master()->retryCount = 3;
    const QString port = uniquePortName(QDir::tempPath(), QStringLiteral("hart-collide"));
    const auto forget = qScopeGuard([&] { savePortOptions(port, SerialOptions()); });
    QVERIFY(f.sim.start(port));
    QVERIFY(openWithOptions(f, port, false, true));
    QVERIFY(f.search());
    QVERIFY(f.run("pushButton_gengduoxinxi", QStringLiteral("读取更多信息成功")));

    // Every third frame written came back altered; each was one failed attempt, and its
    // transaction went on to succeed with the next.
    const int written = f.sim.requests().size();
    traffic::TrafficCapture *capture = f.window->trafficCapture();
    const traffic::Counters c = capture->counters();
    QVERIFY(written >= 6);
    QCOMPARE(int(c.collisions), written / 3);
    QCOMPARE(f.window->serialLink()->collisions(), qint64(written / 3));
    QCOMPARE(int(c.timeouts), int(c.collisions));
    QCOMPARE(int(c.retries), int(c.collisions));
    QCOMPARE(int(c.failedTransactions), 0);

    const std::vector<Record> records = capture->snapshot();
    int echoes = 0;
    for (auto it = records.begin(); it != records.end(); ++it) {
        if (it->kind != Kind::Echo)
            continue;
        ++echoes;
        QCOMPARE(traffic::verdictText(*it), QStringLiteral("✖ 回显不符（冲突）"));
        // The request as written, its check byte altered on the way back.
        const Record &sent = *std::find_if(std::make_reverse_iterator(it), records.rend(),
                                           [](const Record &r) { return r.kind == Kind::Request; });
        const QByteArray frame(reinterpret_cast<const char *>(sent.bytes.data()), sent.length);
        QCOMPARE(it->discarded.size(), sent.preambles + frame.size());
        QCOMPARE(it->discarded.mid(sent.preambles).chopped(1), frame.chopped(1));
        QVERIFY(it->discarded.back() != frame.back());
        // The answer behind it never reached the receiver: the attempt timed out, and the
        // answer is kept with the retry's clear.
        QVERIFY(records.end() - it > 3);
        QCOMPARE((it + 1)->kind, Kind::Timeout);
        QCOMPARE(int((it + 1)->attempt), int(it->attempt));
        QCOMPARE((it + 2)->kind, Kind::Retry);
        QCOMPARE((it + 3)->kind, Kind::Discarded);
        QVERIFY((it + 3)->discarded.contains(char(0x86))); // the long answer's delimiter
    }
    QCOMPARE(echoes, int(c.collisions));

    f.button("pushButton_traffic")->click();
    QVERIFY(f.window->trafficWindow());
    const QString counters = f.window->trafficWindow()->countersText();
    QVERIFY2(counters.contains(QStringLiteral("回显不符（冲突） %1").arg(c.collisions)),
             qPrintable(counters));
}

void tst_WindowModem::selfKeyingModem_noRtsKeying_rememberedPerPort()
{
    const QString port = uniquePortName(QDir::tempPath(), QStringLiteral("hart-keys"));
    const auto forget = qScopeGuard([&] { savePortOptions(port, SerialOptions()); });
    for (const bool keysItself : {false, true}) {
        WindowFixture f;
        QVERIFY(f.sim.start(port));
        QSignalSpy released(f.window->serialLink(), &SerialLink::rtsReleased);
        QVERIFY(openWithOptions(f, port, keysItself, false));
        QVERIFY(f.search());
        QVERIFY(f.run("pushButton_gengduoxinxi", QStringLiteral("读取更多信息成功")));
        const int written = f.sim.requests().size();
        QVERIFY(written >= 4);
        // RTS raised for every frame and dropped at the end of a window (a frame written
        // inside the last one's window holds it on), or never touched.
        QTest::qWait(SerialLink::rtsPeriodMs(40) + 50);
        SerialLink *link = f.window->serialLink();
        if (keysItself) {
            QCOMPARE(link->rtsRequests(), qint64(0));
            QCOMPARE(released.count(), 0);
        } else {
            QVERIFY(link->rtsRequests() >= written + 1);
            QVERIFY(released.count() >= 1);
        }
        QCOMPARE(link->port()->baudRate(), 1200);
        QCOMPARE(link->port()->parity(), QSerialPort::OddParity);
    }

    // Remembered for that port by name, in a window of a later run; other ports keep theirs.
    WindowFixture later;
    auto *combo = later.w<QComboBox>("comboBox_duankouhao");
    combo->setEditText(port);
    QVERIFY(action(later, "action_modemKeysItself")->isChecked());
    QVERIFY(!action(later, "action_echo")->isChecked());
    combo->setEditText(port + QStringLiteral("-other"));
    QVERIFY(!action(later, "action_modemKeysItself")->isChecked());
    combo->setEditText(QStringLiteral("hartip://127.0.0.1:5094"));
    QVERIFY(!action(later, "action_modemKeysItself")->isEnabled());
    QVERIFY(!action(later, "action_echo")->isEnabled());
    // Unticked again, the port leaves nothing behind.
    combo->setEditText(port);
    action(later, "action_modemKeysItself")->trigger();
    QCOMPARE(loadPortOptions(port), SerialOptions());
}

void tst_WindowModem::commandLine_optionsReachTheWindowAndTheHeadlessCommands()
{
    TransmitterSim echoing(adapter(true));
    TransmitterSim plain;
    QVERIFY(echoing.start());
    QVERIFY(plain.start());
    // The scan hears the echoing adapter only with the echo checked, and with it checked it
    // hears nothing on a modem that gives none: the option reached the link.
    const QStringList scan{QStringLiteral("--addresses"), QStringLiteral("0-0"),
                           QStringLiteral("--attempts"), QStringLiteral("1")};
    Run r = runProgram(QStringList{QStringLiteral("--scan"), echoing.portPath(),
                                   QStringLiteral("--echo")} + scan);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(QStringLiteral("\"address\":0,")), qPrintable(r.out + r.err));
    r = runProgram(QStringList{QStringLiteral("--scan"), plain.portPath() + QStringLiteral("?echo")}
                   + scan);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.trimmed().isEmpty(), qPrintable(r.out));
    // Options without a port, or a suffix the program does not know, are refused.
    QCOMPARE(runProgram({QStringLiteral("--echo")}).exitCode, 2);
    r = runProgram({QStringLiteral("--scan"), plain.portPath() + QStringLiteral("?echo=maybe")});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains(QStringLiteral("echo")), qPrintable(r.err));

    // --port NAME?... as the window gets it: opened with the options, and they are that port's.
    WindowFixture f(adapter(true));
    const QString port = uniquePortName(QDir::tempPath(), QStringLiteral("hart-start"));
    const auto forget = qScopeGuard([&] { savePortOptions(port, SerialOptions()); });
    QVERIFY(f.sim.start(port));
    f.window->openPortAtStart(port + QStringLiteral("?echo&modem-keys-itself"));
    QVERIFY(f.window->serialLink()->isOpen());
    QCOMPARE(f.w<QComboBox>("comboBox_duankouhao")->currentText(), port);
    QCOMPARE(f.w<QLabel>("label_connect")->text(), QStringLiteral("当前连接：%1").arg(port));
    QVERIFY(action(f, "action_echo")->isChecked());
    QVERIFY(action(f, "action_modemKeysItself")->isChecked());
    QVERIFY(f.search());
    QCOMPARE(f.window->serialLink()->rtsRequests(), qint64(0));
    QCOMPARE(f.window->serialLink()->collisions(), qint64(0));
}

void tst_WindowModem::ftdiAdapter_latencyToldOnceWithTheCure_data()
{
    QTest::addColumn<QString>("latency");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<bool>("told");
    QTest::newRow("FTDI at 16 ms") << "16\n" << "ftdi_sio" << true;
    QTest::newRow("FTDI at 1 ms") << "1\n" << "ftdi_sio" << false;
    QTest::newRow("another driver") << "16\n" << "cp210x" << false;
    QTest::newRow("unreadable timer") << "\xff\xfe" << "ftdi_sio" << false;
}

void tst_WindowModem::ftdiAdapter_latencyToldOnceWithTheCure()
{
    QFETCH(QString, latency);
    QFETCH(QString, driver);
    QFETCH(bool, told);
    QTemporaryDir sysfs;
    QTemporaryDir dev;
    const QString device = QStringLiteral("ttyUSB7");
    const QString attributes = sysfs.filePath(QStringLiteral("bus/usb-serial/devices/") + device);
    QVERIFY(QDir().mkpath(attributes));
    QVERIFY(QDir().mkpath(sysfs.filePath(QStringLiteral("bus/usb-serial/drivers/") + driver)));
    QVERIFY(QFile::link(sysfs.filePath(QStringLiteral("bus/usb-serial/drivers/") + driver),
                        attributes + QStringLiteral("/driver")));
    QFile timer(attributes + QStringLiteral("/latency_timer"));
    QVERIFY(timer.open(QIODevice::WriteOnly));
    timer.write(latency.toLatin1());
    timer.close();

    WindowFixture f;
    f.window->setSysfsRoot(sysfs.path());
    // The adapter by its stable name, a link to the device, as /dev/serial/by-id has it.
    QVERIFY(f.sim.start(dev.filePath(device)));
    const QString byId = dev.filePath(QStringLiteral("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0"));
    QVERIFY(QFile::link(dev.filePath(device), byId));
    auto *list = f.w<QComboBox>("comboBox_status");
    const int itemsBefore = list->count();
    for (int open = 0; open < 2; ++open) {
        f.w<QComboBox>("comboBox_duankouhao")->setEditText(byId);
        f.button("pushButton_dakaiduankou")->click();
        QVERIFY(f.window->serialLink()->isOpen());
        QVERIFY(f.search());
        f.button("pushButton_dakaiduankou")->click(); // closed again
        QVERIFY(f.waitFor([&] { return !f.window->serialLink()->isOpen(); }, 3000));
    }
    QStringList advice;
    for (int i = itemsBefore; i < list->count(); ++i)
        if (list->itemText(i).contains(QLatin1String("FTDI")))
            advice << list->itemText(i);
    QCOMPARE(advice.size(), told ? 1 : 0);
    if (told) {
        const QString cure = QStringLiteral("echo 1 | sudo tee %1/latency_timer").arg(attributes);
        QVERIFY2(advice.first().contains(QStringLiteral("ttyUSB7的延迟定时器为16 ms")),
                 qPrintable(advice.first()));
        QVERIFY2(advice.first().contains(cure), qPrintable(advice.first()));
        QVERIFY2(advice.first().contains(QStringLiteral("setserial /dev/ttyUSB7 low_latency")),
                 qPrintable(advice.first()));
    }
    // Said in the window, never in a dialog, and the window stays as it was laid out.
    QVERIFY2(f.dialogs.seen.isEmpty(), qPrintable(f.dialogs.texts().join(QLatin1Char('|'))));
    QCOMPARE(f.window->size(), QSize(823, 631));
}

QTEST_MAIN(tst_WindowModem)
#include "tst_window_modem.moc"

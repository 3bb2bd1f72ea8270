// "hartconfig --health" as a station runs it: the real program against the simulated
// transmitter on a pseudo-terminal, and the probe under it with short time-outs.
#include "healthprobe.h"
#include "healthreport.h"
#include "transmittersim.h"

#include <QtTest>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

struct Run
{
    int exitCode = -1;
    QJsonObject json;
    QString err;
};

Run runHealth(const QStringList &args)
{
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY")); // no display needed, none used
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("none-such"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(HARTCONFIG_PATH), args);
    Run r;
    if (!program.waitForFinished(60000))
        return r;
    r.exitCode = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -2;
    r.json = QJsonDocument::fromJson(program.readAllStandardOutput()).object();
    r.err = QString::fromLocal8Bit(program.readAllStandardError());
    return r;
}

int count(const TransmitterSim &sim, quint8 command)
{
    int n = 0;
    for (const SimRequest &r : sim.requests())
        n += r.command == command;
    return n;
}

SimConfig revision(quint8 rev)
{
    SimConfig c;
    c.universalRevision = rev;
    c.manufacturerId = 0x26; // another maker's transmitter
    c.fixedPv = 42.0f;
    return c;
}

} // namespace

class tst_HealthCommand : public QObject
{
    Q_OBJECT

private slots:
    void revision5IsUnknownWithoutCommand48();
    void revision7FailureAndVariableAlert();
    void exitStatuses();
    void probeAtAddressAndSilence();
};

void tst_HealthCommand::revision5IsUnknownWithoutCommand48()
{
    TransmitterSim sim(revision(5));
    QVERIFY(sim.start());
    const Run r = runHealth({QStringLiteral("--health"), sim.portPath()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.json.value("ne107").toString(), QStringLiteral("unknown"));
    QCOMPARE(r.json.value("universalRevision").toInt(), 5);
    QVERIFY(r.json.value("additionalStatus").isNull());
    QVERIFY(r.json.value("reasons").toArray().isEmpty());
    const QJsonArray vars = r.json.value("variables").toArray();
    QCOMPARE(vars.size(), 4); // command 3: PV..QV without status
    QCOMPARE(vars.at(0).toObject().value("name").toString(), QStringLiteral("PV"));
    QCOMPARE(vars.at(0).toObject().value("value").toDouble(), 42.0);
    QVERIFY(!vars.at(0).toObject().contains("status"));
    QCOMPARE(r.json.value("identity").toObject().value("manufacturerId").toInt(), 0x26);
    QVERIFY(!r.json.value("identity").toObject().contains("configChangeCounter"));
    QCOMPARE(count(sim, 48), 0);
    QCOMPARE(count(sim, 9), 0);
    QCOMPARE(count(sim, 3), 1);
}

void tst_HealthCommand::revision7FailureAndVariableAlert()
{
    TransmitterSim sim(revision(7));
    QVERIFY(sim.start());
    QByteArray status(25, '\0');
    status[6] = char(0x0A); // failure, device variable alert
    status[0] = char(0x81);
    sim.setAdditionalStatus(status);
    sim.setVariableStatus(1, 0x40 | 0x10); // SV poor accuracy, low limited
    const Run r = runHealth({QStringLiteral("--health"), sim.portPath()});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.json.value("ne107").toString(), QStringLiteral("failure"));
    QCOMPARE(r.json.value("universalRevision").toInt(), 7);
    QCOMPARE(r.json.value("extendedDeviceStatus").toInt(), 0x0A);
    QVERIFY(r.json.value("fieldDeviceStatus").toInt() & 0x10); // more status available
    QCOMPARE(r.json.value("additionalStatus").toString(), QString::fromLatin1(status.toHex()));
    QStringList reasons;
    for (const QJsonValue &v : r.json.value("reasons").toArray())
        reasons << v.toString();
    QCOMPARE(reasons.first(), QStringLiteral("故障"));
    QVERIFY2(reasons.contains(QStringLiteral("设备变量报警")), qPrintable(reasons.join('|')));
    QVERIFY(reasons.contains(QStringLiteral("SV 状态: 精度差, 低限")));
    QVERIFY(reasons.contains(QStringLiteral("设备专用状态 字节0: 0x81")));
    const QJsonArray vars = r.json.value("variables").toArray();
    QCOMPARE(vars.size(), 4);
    QCOMPARE(vars.at(1).toObject().value("status").toInt(), 0x50);
    QCOMPARE(vars.at(0).toObject().value("classification").toInt(), 65);
    const QJsonObject id = r.json.value("identity").toObject();
    QCOMPARE(id.value("configChangeCounter").toInt(), int(sim.configChangeCounter()));
    QCOMPARE(id.value("deviceProfile").toInt(), 1);
    QCOMPARE(count(sim, 48), 1);
    QCOMPARE(count(sim, 9), 2);
    // Reading is not acknowledging: the device still has news for every master.
    QVERIFY(sim.moreStatusAvailable());

    // English reasons for an English station.
    const Run en = runHealth({QStringLiteral("--health"), sim.portPath(), QStringLiteral("--lang"),
                              QStringLiteral("en")});
    QCOMPARE(en.exitCode, 0);
    QCOMPARE(en.json.value("ne107").toString(), QStringLiteral("failure"));
    QCOMPARE(en.json.value("reasons").toArray().first().toString(), QStringLiteral("Failure"));
}

void tst_HealthCommand::exitStatuses()
{
    QCOMPARE(runHealth({QStringLiteral("--health"), QStringLiteral("/dev/none-such-port")}).exitCode,
             1);
    QCOMPARE(runHealth({QStringLiteral("--health"), QStringLiteral("x"), QStringLiteral("--address"),
                        QStringLiteral("16")})
                     .exitCode,
             2);
    QCOMPARE(runHealth({QStringLiteral("--address"), QStringLiteral("3")}).exitCode, 2);
    QCOMPARE(runHealth({QStringLiteral("--health")}).exitCode, 2);
}

void tst_HealthCommand::probeAtAddressAndSilence()
{
    SimConfig config = revision(6);
    config.pollingAddress = 3;
    TransmitterSim sim(config);
    QVERIFY(sim.start());
    health::ProbeSettings quick;
    quick.timeoutMs = 150;
    quick.retries = 2;
    QCOMPARE(health::probe(sim.portPath(), 0, quick).outcome,
             health::ProbeResult::Outcome::NoDevice);
    const health::ProbeResult found = health::probe(sim.portPath(), 3, quick);
    QCOMPARE(found.outcome, health::ProbeResult::Outcome::Answered);
    const health::Report report = health::makeReport(found.record);
    QCOMPARE(report.identity.universalRevision, std::uint8_t(6));
    QCOMPARE(report.assessment.verdict, health::Verdict::Ok);
    QCOMPARE(report.variables.size(), 4);
    // The short frame of command 0 went to address 3 only after address 0 had its tries.
    QCOMPARE(sim.requests().first().command, quint8(0));

    SimFaults silent;
    silent.silent = true;
    sim.setFaults(silent);
    QCOMPARE(health::probe(sim.portPath(), 3, quick).outcome,
             health::ProbeResult::Outcome::NoDevice);
}

QTEST_GUILESS_MAIN(tst_HealthCommand)
#include "tst_health_command.moc"

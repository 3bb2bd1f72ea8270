// Answers worked out by hand from the documented bit layouts of commands 0, 9 and 48.
#include "healthdecode.h"

#include <QtTest>

#include <vector>

using namespace health;

namespace {

// Exactly the bytes given, on the heap: a read past the end is an address-sanitizer report.
std::vector<std::uint8_t> bytes(const char *hex)
{
    const QByteArray raw = QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
    return std::vector<std::uint8_t>(raw.begin(), raw.end());
}

const char *const kRev5 = "FE 9A 10 05 05 01 03 09 00 12 34 56";
const char *const kRev7 = "FE 9A 10 05 07 01 03 09 00 12 34 56 05 04 00 2A 00 60 9A 60 9A 01";
const char *const kZeros48 = "00000000000000000000000000000000000000000000000000";

} // namespace

class tst_HealthDecode : public QObject
{
    Q_OBJECT

private slots:
    void identity_data();
    void identity();
    void verdict_data();
    void verdict();
};

void tst_HealthDecode::identity_data()
{
    QTest::addColumn<QString>("answer");
    // revision, preambles, max vars, counter, ext, manufacturer, label, profile; -1 = absent
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<int>("deviceType");
    QTest::newRow("rev 5 has none of the new fields")
            << kRev5 << QList<int>{5, -1, -1, -1, -1, -1, -1, -1} << 0x10;
    QTest::newRow("rev 6 without the rev 7 fields")
            << "FE 9A 10 05 06 01 03 09 00 12 34 56 05 04 01 02 21 60 9A 60 9A 01"
            << QList<int>{6, 5, 4, 258, 0x21, -1, -1, -1} << 0x10;
    QTest::newRow("rev 7 whole") << kRev7 << QList<int>{7, 5, 4, 42, 0, 0x609A, 0x609A, 1}
                                 << 0x9A10;
    QTest::newRow("rev 7 out of range: preambles 30, 0 variables, FFFF, profile 0x55")
            << "FE 9A 10 05 07 01 03 09 00 12 34 56 1E 00 00 2A 00 FF FF 00 00 55"
            << QList<int>{7, -1, -1, 42, 0, -1, -1, -1} << 0x9A10;
    QTest::newRow("rev 7 cut after the counter")
            << "FE 9A 10 05 07 01 03 09 00 12 34 56 05 04 00 2A"
            << QList<int>{7, 5, 4, 42, -1, -1, -1, -1} << 0x9A10;
    QTest::newRow("rev 7 cut inside the counter")
            << "FE 9A 10 05 07 01 03 09 00 12 34 56 05 04 00"
            << QList<int>{7, 5, 4, -1, -1, -1, -1, -1} << 0x9A10;
}

void tst_HealthDecode::identity()
{
    QFETCH(QString, answer);
    QFETCH(QList<int>, expected);
    QFETCH(int, deviceType);
    const auto data = bytes(answer.toLatin1().constData());
    const Identity id = decodeIdentity(data.data(), data.size());
    QVERIFY(id.valid);
    auto value = [](auto field) { return field.present ? int(field.value) : -1; };
    const QList<int> got{id.universalRevision,       value(id.responsePreambles),
                         value(id.maxDeviceVariables), value(id.configChangeCounter),
                         value(id.extendedStatus),     value(id.manufacturerCode),
                         value(id.privateLabel),       value(id.deviceProfile)};
    QCOMPARE(got, expected);
    QCOMPARE(int(id.deviceType), deviceType);
    QCOMPARE(id.deviceId, 0x123456u);
    const auto shortAnswer = bytes("FE 9A 10 05 07 01 03 09 00 12 34");
    QVERIFY(!decodeIdentity(shortAnswer.data(), shortAnswer.size()).valid);
}

void tst_HealthDecode::verdict_data()
{
    QTest::addColumn<QString>("identity");
    QTest::addColumn<QString>("additional"); // "-": command 48 not read
    QTest::addColumn<int>("fieldStatus");
    QTest::addColumn<QString>("variables"); // command 9 for PV and SV, "-": none
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QStringList>("reasons");
    QTest::addColumn<QString>("hex"); // what is kept of command 48

    QTest::newRow("rev 5 healthy is unknown") << kRev5 << "-" << 0 << "-" << "unknown"
                                              << QStringList() << "";
    QTest::newRow("rev 5 malfunction is a failure without command 48")
            << kRev5 << "-" << 0x80 << "-" << "failure" << QStringList{"现场设备故障"} << "";
    QTest::newRow("rev 7 all clear") << kRev7 << kZeros48 << 0 << "-" << "ok" << QStringList()
                                     << kZeros48;
    QTest::newRow("rev 7 failure bit with more status available")
            << kRev7 << "00000000000008000000000000000000000000000000000000" << 0x10 << "-"
            << "failure" << QStringList{"故障", "更多的状态可用"}
            << "00000000000008000000000000000000000000000000000000";
    QTest::newRow("standardized 0 and analog channel, worst first")
            << kRev7 << "00000000000000004100010000000000000000000000000000" << 0 << "-"
            << "failure" << QStringList{"电子部件故障", "仿真运行中", "模拟通道1饱和"}
            << "00000000000000004100010000000000000000000000000000";
    QTest::newRow("every standardized byte and the mode")
            << kRev7 << "000000000000250318070216101f0000000000000000000000" << 0 << "-"
            << "failure"
            << QStringList{"供电严重故障", "无线电故障", "功能检查", "状态仿真运行中",
                           "离散变量仿真运行中", "模拟通道1固定", "模拟通道2固定",
                           "模拟通道3固定", "模拟通道4固定", "模拟通道5固定", "供电条件超出范围",
                           "模拟通道2饱和", "需要维护", "看门狗复位", "检测到重复主站",
                           "子设备不匹配", "工作模式 3", "事件通知溢出", "数据过时"}
            << "000000000000250318070216101f0000000000000000000000";
    QTest::newRow("device-specific bytes told with their position, maintenance")
            << kRev7 << "81000000000001000000000000000000000000000000000002" << 0 << "-"
            << "maintenance-required"
            << QStringList{"需要维护", "设备专用状态 字节0: 0x81", "设备专用状态 字节24: 0x02"}
            << "81000000000001000000000000000000000000000000000002";
    QTest::newRow("truncated to 8 bytes: function check, nothing read past")
            << kRev7 << "0000000000002000" << 0 << "-" << "function-check"
            << QStringList{"功能检查"} << "0000000000002000";
    QTest::newRow("truncated before the extended status: command 0's counts")
            << "FE 9A 10 05 07 01 03 09 00 12 34 56 05 04 00 2A 10 60 9A 60 9A 01" << "000000"
            << 0 << "-" << "out-of-specification" << QStringList{"超出规格"} << "000000";
    QTest::newRow("over-long answer: 25 bytes kept")
            << kRev7 << "000000000000000000000000000000000000000000000000000102FFFF" << 0 << "-"
            << "ok" << QStringList() << kZeros48;
    QTest::newRow("device-variable alert with a bad PV")
            << kRev7 << "00000000000002000000000000000000000000000000000000" << 0
            << "02 F6 00 0C 42480000 00 F7 00 20 41A00000 C0 00000000" << "failure"
            << QStringList{"PV 状态: 坏值, 未限制", "设备变量报警"}
            << "00000000000002000000000000000000000000000000000000";
    QTest::newRow("fixed PV limited high is a function check")
            << kRev7 << kZeros48 << 0 << "00 F6 00 0C 42480000 A0 00000000" << "function-check"
            << QStringList{"PV 状态: 手动/固定, 高限"} << kZeros48;
    QTest::newRow("current fixed everywhere, config changed told but harmless")
            << kRev7 << "00000000000020000000000000010000000000000000000000" << 0x48 << "-"
            << "function-check"
            << QStringList{"模拟输出电流固定", "功能检查", "模拟通道1固定", "组态变更"}
            << "00000000000020000000000000010000000000000000000000";
}

void tst_HealthDecode::verdict()
{
    QFETCH(QString, identity);
    QFETCH(QString, additional);
    QFETCH(int, fieldStatus);
    QFETCH(QString, variables);
    QFETCH(QString, verdict);
    QFETCH(QStringList, reasons);
    QFETCH(QString, hex);

    const auto id0 = bytes(identity.toLatin1().constData());
    const Identity id = decodeIdentity(id0.data(), id0.size());
    AdditionalStatus status;
    std::vector<std::uint8_t> raw48;
    if (additional != QLatin1String("-")) {
        raw48 = bytes(additional.toLatin1().constData());
        status = decodeAdditionalStatus(raw48.data(), raw48.size(), id.universalRevision);
    }
    QVector<Variable> vars;
    Field<std::uint8_t> varsExt;
    if (variables != QLatin1String("-")) {
        const auto raw9 = bytes(variables.toLatin1().constData());
        std::uint8_t e = 0;
        vars = decodeCommand9(raw9.data(), raw9.size(), 0, id.universalRevision, &e);
        varsExt = {true, e};
        QVERIFY(!vars.isEmpty());
        QCOMPARE(vars.first().name, QStringLiteral("PV"));
        QCOMPARE(vars.first().units, std::uint8_t(12));
    }
    const Assessment a = assess(std::uint8_t(fieldStatus), id,
                                additional == QLatin1String("-") ? nullptr : &status, vars,
                                varsExt);
    QCOMPARE(verdictKey(a.verdict), verdict);
    QCOMPARE(a.reasons, reasons);
    QCOMPARE(additionalStatusHex(status), hex);
    QVERIFY(!verdictWord(a.verdict).isEmpty());
    QVERIFY(!verdictSymbol(a.verdict).isEmpty());
}

QTEST_GUILESS_MAIN(tst_HealthDecode)
#include "tst_healthdecode.moc"

// The Modbus page's text rules without a window: custom words in their three forms, the
// fifty-register text and its byte order, and what a collect may and may not overwrite.
#include "modbusformat.h"

#include <QtTest>

#include <cstring>

using namespace modbusfmt;

class TestModbusFormat : public QObject
{
    Q_OBJECT

private slots:
    void catalogue_customEntriesAtTheirCodes();
    void customWordText_byContent_data();
    void customWordText_byContent();
    void parseCustomWord_byContent_data();
    void parseCustomWord_byContent();
    void textWords_packing_data();
    void textWords_packing();
    void textFromWords_stopsAtFirstZeroAndSurvivesAnyWords();
    void apply_keepsWordsOfOtherContentsAndFlagsUnlessTaken();
};

void TestModbusFormat::catalogue_customEntriesAtTheirCodes()
{
    QCOMPARE(QString::fromUtf8(kCatalogue[12]), QStringLiteral("Modbus地址"));
    QCOMPARE(QString::fromUtf8(kCatalogue[kCustomDecimal]), QStringLiteral("自定义数据10进制"));
    QCOMPARE(QString::fromUtf8(kCatalogue[kCustomHex]), QStringLiteral("自定义数据16进制"));
    QCOMPARE(QString::fromUtf8(kCatalogue[kCustomChars]), QStringLiteral("自定义数据字符型"));
}

void TestModbusFormat::customWordText_byContent_data()
{
    QTest::addColumn<int>("content");
    QTest::addColumn<int>("word");
    QTest::addColumn<QString>("text"); // "-" when the edit stays unchanged
    QTest::newRow("hex pads to four upper-case digits") << kCustomHex << 0x00AB << "00AB";
    QTest::newRow("hex full word") << kCustomHex << 0xFFFF << "FFFF";
    QTest::newRow("decimal") << kCustomDecimal << 65535 << "65535";
    QTest::newRow("characters") << kCustomChars << 0x4142 << "AB";
    QTest::newRow("one character keeps U+0000")
            << kCustomChars << 0x4100 << QString::fromUtf8("A\0", 2);
    QTest::newRow("Modbus address leaves edit") << 12 << 0x1234 << "-";
    QTest::newRow("nothing selected leaves edit") << -1 << 0x1234 << "-";
}

void TestModbusFormat::customWordText_byContent()
{
    QFETCH(int, content);
    QFETCH(int, word);
    QFETCH(QString, text);
    const auto got = customWordText(content, std::uint16_t(word));
    if (text == "-")
        QVERIFY(!got);
    else
        QCOMPARE(got.value_or("<none>"), text);
}

void TestModbusFormat::parseCustomWord_byContent_data()
{
    QTest::addColumn<int>("content");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("word"); // -1: the stored word stays
    QTest::newRow("hex lower case") << kCustomHex << "ab" << 0x00AB;
    QTest::newRow("hex garbage") << kCustomHex << "xyz" << 0;
    QTest::newRow("hex wraps") << kCustomHex << "12345" << 0x2345;
    QTest::newRow("decimal") << kCustomDecimal << "1234" << 1234;
    QTest::newRow("decimal wraps") << kCustomDecimal << "65537" << 1;
    QTest::newRow("decimal beyond 32 bits wraps") << kCustomDecimal << "4294967298" << 2;
    QTest::newRow("decimal negative") << kCustomDecimal << "-5" << 0;
    QTest::newRow("decimal empty") << kCustomDecimal << "" << 0;
    QTest::newRow("one character") << kCustomChars << "A" << 0x4100;
    QTest::newRow("two characters") << kCustomChars << "AB" << 0x4142;
    QTest::newRow("only two bytes taken") << kCustomChars << "ABC" << 0x4142;
    QTest::newRow("multi-byte cut") << kCustomChars << QStringLiteral("中") << 0xE4B8;
    QTest::newRow("empty") << kCustomChars << "" << 0;
    QTest::newRow("other content keeps") << 3 << "99" << -1;
}

void TestModbusFormat::parseCustomWord_byContent()
{
    QFETCH(int, content);
    QFETCH(QString, text);
    QFETCH(int, word);
    const auto got = parseCustomWord(content, text);
    QCOMPARE(got ? int(*got) : -1, word);
}

void TestModbusFormat::textWords_packing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("ABC") << "ABC"
                         << "ABC";
    QTest::newRow("exactly 100") << QString(100, 'x') << QString(100, 'x');
    QTest::newRow("120 cut at 100") << QString(120, 'y') << QString(100, 'y');
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("utf-8") << QStringLiteral("压力") << QStringLiteral("压力");
}

void TestModbusFormat::textWords_packing()
{
    QFETCH(QString, text);
    QFETCH(QString, readBack);
    const TextWords words = wordsFromText(text);
    const QByteArray utf8 = text.toUtf8().left(100);
    for (int k = 0; k < kTextWords; ++k) {
        const int hi = 2 * k < utf8.size() ? std::uint8_t(utf8[2 * k]) : 0;
        const int lo = 2 * k + 1 < utf8.size() ? std::uint8_t(utf8[2 * k + 1]) : 0;
        QCOMPARE(int(words[k]), hi * 256 + lo);
    }
    QCOMPARE(textFromWords(words), readBack);
    if (text == "ABC") {
        QCOMPARE(words[0], std::uint16_t(0x4142));
        QCOMPARE(words[1], std::uint16_t(0x4300));
    }
}

void TestModbusFormat::textFromWords_stopsAtFirstZeroAndSurvivesAnyWords()
{
    TextWords words{};
    words[0] = 0x4100; // "A", then a zero byte
    words[1] = 0x4242;
    QCOMPARE(textFromWords(words), QStringLiteral("A"));
    words.fill(0xFFFF); // no zero byte anywhere, invalid UTF-8: bounded, no crash
    QVERIFY(textFromWords(words).size() <= 100);
}

void TestModbusFormat::apply_keepsWordsOfOtherContentsAndFlagsUnlessTaken()
{
    DeviceData d;
    resetDeviceData(d);
    d.modbusByteSwap = 1;
    d.modbusBigEndian = 0;
    ModbusCustomReg rows[kRows];
    for (int i = 0; i < kRows; ++i)
        rows[i] = {std::uint16_t(kCustomHex), std::uint16_t(100 + i), std::uint16_t(0xBEEF)};
    std::memcpy(d.modbusCustomRegs, rows, sizeof rows);

    PageValues v;
    for (int i = 0; i < kRows; ++i)
        v.rows[i] = {12, std::uint16_t(200 + i), std::nullopt}; // switched to "Modbus地址"
    v.rows[3] = {kCustomDecimal, 7, std::uint16_t(42)};
    v.rows[4] = {-1, 8, std::nullopt}; // nothing selected
    v.byteSwap = false;
    v.bigEndian = true;
    apply(d, v, ByteOrderFlags::Keep);

    std::memcpy(rows, d.modbusCustomRegs, sizeof rows);
    QCOMPARE(rows[0].content, std::uint16_t(12));
    QCOMPARE(rows[0].address, std::uint16_t(200));
    QCOMPARE(rows[0].data, std::uint16_t(0xBEEF));
    QCOMPARE(rows[3].data, std::uint16_t(42));
    QCOMPARE(rows[4].content, std::uint16_t(kCustomHex));
    QCOMPARE(rows[4].address, std::uint16_t(8));
    QCOMPARE(d.modbusByteSwap, std::uint8_t(1));
    QCOMPARE(d.modbusBigEndian, std::uint8_t(0));

    apply(d, v, ByteOrderFlags::Take);
    QCOMPARE(d.modbusByteSwap, std::uint8_t(0));
    QCOMPARE(d.modbusBigEndian, std::uint8_t(1));
}

QTEST_GUILESS_MAIN(TestModbusFormat)
#include "tst_modbusformat.moc"

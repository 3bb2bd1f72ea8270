// Byte-exact checks of the HART encoding rules against hand-computed vectors.
#include "hartcodec.h"

#include <QtTest>

#include <cstring>

namespace {
QByteArray bytes(const std::uint8_t *p, std::size_t n)
{
    return QByteArray(reinterpret_cast<const char *>(p), int(n));
}
} // namespace

class TestCodec : public QObject
{
    Q_OBJECT

private slots:
    void packAscii_data();
    void packAscii();
    void unpackAscii_decodesCodesAndPadsWithZeros();
    void packedTextRoundTrip_keepsUpperCaseAndFoldsLowerCase();
    void accessors_areBigEndian();
    void checksum_isXorOfAllBytes();
    void shortFrame_isFiveBytesAddressedByPollingAddress();
    void longFrame_carriesUniqueAddressAndData();
    void preambles_areClampedAndKept_data();
    void preambles_areClampedAndKept();
    void oversizedRequest_isCutToFrameArea();
};

void TestCodec::packAscii_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("length");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("empty fills packed spaces")
            << QByteArray("") << 6 << QByteArray::fromHex("820820820820");
    // A=0x01 B=0x02 C=0x03 then spaces 0x20.
    QTest::newRow("ABC then spaces")
            << QByteArray("ABC") << 6 << QByteArray::fromHex("0420e0820820");
    QTest::newRow("longer than 8 is cut")
            << QByteArray("ABCDEFGHIJ") << 6 << QByteArray::fromHex("0420c41461c8");
    // 'a' is 0x61: only the low six bits count, so it packs as 0x21.
    QTest::newRow("lower case keeps low six bits")
            << QByteArray("a") << 3 << QByteArray::fromHex("860820");
    // Destination not a multiple of three: the last group is cut.
    QTest::newRow("cut last group") << QByteArray("ABCD") << 4 << QByteArray::fromHex("0420c482");
}

void TestCodec::packAscii()
{
    QFETCH(QByteArray, text);
    QFETCH(int, length);
    QFETCH(QByteArray, expected);
    std::uint8_t out[32];
    std::memset(out, 0xEE, sizeof out);
    ::packAscii(out, text.constData(), std::size_t(length));
    QCOMPARE(bytes(out, std::size_t(length)), expected);
    QCOMPARE(out[length], std::uint8_t(0xEE)); // nothing written past the field
}

void TestCodec::unpackAscii_decodesCodesAndPadsWithZeros()
{
    const std::uint8_t packed[6] = {0x04, 0x20, 0xE0, 0x82, 0x08, 0x20};
    char out[100];
    std::memset(out, 'x', sizeof out);
    ::unpackAscii(out, sizeof out, packed, sizeof packed);
    QCOMPARE(QByteArray(out, 8), QByteArray("ABC     "));
    for (std::size_t i = 8; i < sizeof out; ++i)
        QCOMPARE(out[i], '\0');

    // Codes 0x01, 0x20, 0x1F, 0x3F: below 0x20 gets 0x40 added.
    const std::uint8_t codes[3] = {0x06, 0x07, 0xFF};
    char small[3];
    ::unpackAscii(small, sizeof small, codes, sizeof codes); // cut to the destination
    QCOMPARE(QByteArray(small, 3), QByteArray("A _"));
}

void TestCodec::packedTextRoundTrip_keepsUpperCaseAndFoldsLowerCase()
{
    std::uint8_t packed[24];
    char out[100];
    ::packAscii(packed, "PT-101A/TEST @ 4-20MA", sizeof packed);
    ::unpackAscii(out, sizeof out, packed, sizeof packed);
    QCOMPARE(QByteArray(out), QByteArray("PT-101A/TEST @ 4-20MA           "));

    ::packAscii(packed, "pt-101a", 6);
    ::unpackAscii(out, sizeof out, packed, 6);
    QCOMPARE(QByteArray(out), QByteArray("04-101! "));
}

void TestCodec::accessors_areBigEndian()
{
    std::uint8_t b[4];
    putFloatBE(b, 1.0f);
    QCOMPARE(bytes(b, 4), QByteArray::fromHex("3f800000"));
    QCOMPARE(getFloatBE(b), 1.0f);
    const std::uint8_t hundred[4] = {0x42, 0xC8, 0x00, 0x00};
    QCOMPARE(getFloatBE(hundred), 100.0f);
    putU32BE(b, 0x12345678);
    QCOMPARE(bytes(b, 4), QByteArray::fromHex("12345678"));
    QCOMPARE(getU32BE(b), 0x12345678u);
    putU16BE(b, 0xBEEF);
    QCOMPARE(bytes(b, 2), QByteArray::fromHex("beef"));
    QCOMPARE(getU16BE(b), std::uint16_t(0xBEEF));
}

void TestCodec::checksum_isXorOfAllBytes()
{
    const std::uint8_t frame[] = {0x06, 0x80, 0x00, 0x02, 0x00, 0x00};
    QCOMPARE(xorChecksum(frame, sizeof frame), std::uint8_t(0x84));
    QCOMPARE(xorChecksum(frame, 0), std::uint8_t(0));
}

void TestCodec::shortFrame_isFiveBytesAddressedByPollingAddress()
{
    hart::RequestFrame f;
    std::uint8_t preambles = 7;
    const std::uint8_t unique[5] = {1, 2, 3, 4, 5};
    hart::buildRequest(f, 0, nullptr, 0, 1, 3, unique, preambles);
    QCOMPARE(int(f.frameLength), 5);
    QCOMPARE(bytes(f.frame, 5), QByteArray::fromHex("0283000081"));
    QCOMPARE(bytes(f.tx, f.txLength), QByteArray::fromHex("ffffffffffffff0283000081"));
}

void TestCodec::longFrame_carriesUniqueAddressAndData()
{
    hart::RequestFrame f;
    std::uint8_t preambles = 5;
    const std::uint8_t unique[5] = {0xDA, 0x10, 0x12, 0x34, 0x56};
    hart::buildRequest(f, 13, nullptr, 0, 1, 0, unique, preambles);
    QCOMPARE(int(f.frameLength), 9);
    // Manufacturer code masked to six bits under the master bit.
    const QByteArray head = QByteArray::fromHex("82 9a 10 12 34 56 0d 00");
    QCOMPARE(bytes(f.frame, 8), head);
    QCOMPARE(f.frame[8], xorChecksum(f.frame, 8));

    const std::uint8_t data[4] = {0x3F, 0x80, 0, 0};
    hart::buildRequest(f, 34, data, 4, 1, 0, unique, preambles);
    QCOMPARE(int(f.frameLength), 13);
    QCOMPARE(f.frame[7], std::uint8_t(4));
    QCOMPARE(bytes(f.frame + 8, 4), QByteArray::fromHex("3f800000"));
    QCOMPARE(f.frame[12], xorChecksum(f.frame, 12));
}

void TestCodec::preambles_areClampedAndKept_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("sent");
    QTest::newRow("3 -> 5") << 3 << 5;
    QTest::newRow("5 stays") << 5 << 5;
    QTest::newRow("20 stays") << 20 << 20;
    QTest::newRow("25 -> 20") << 25 << 20;
    QTest::newRow("0 -> 5") << 0 << 5;
}

void TestCodec::preambles_areClampedAndKept()
{
    QFETCH(int, stored);
    QFETCH(int, sent);
    hart::RequestFrame f;
    std::uint8_t preambles = std::uint8_t(stored);
    const std::uint8_t unique[5] = {};
    hart::buildRequest(f, 1, nullptr, 0, 1, 0, unique, preambles);
    QCOMPARE(int(preambles), sent);
    QCOMPARE(int(f.txLength), sent + 9);
    for (int i = 0; i < sent; ++i)
        QCOMPARE(f.tx[i], std::uint8_t(0xFF));
    QCOMPARE(f.tx[sent], std::uint8_t(0x82));
}

void TestCodec::oversizedRequest_isCutToFrameArea()
{
    hart::RequestFrame f;
    std::uint8_t preambles = 20;
    const std::uint8_t unique[5] = {};
    std::uint8_t data[64] = {};
    hart::buildRequest(f, 133, data, 64, 1, 0, unique, preambles);
    QCOMPARE(int(f.frameLength), 40);
    QCOMPARE(int(f.txLength), 60);
}

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"

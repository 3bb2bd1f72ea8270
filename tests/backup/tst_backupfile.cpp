// The backup file without widgets: CRC, byte order, the short- and long-file rules, and
// saves that fail instead of reporting a short file as written.
#include "backupfile.h"

#include <QtTest>

#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

using namespace BackupFile;

namespace {

Image sampleImage()
{
    Image image{};
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = std::uint8_t(i * 31 + 7);
    return image;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

Q_DECLARE_METATYPE(BackupFile::LoadResult)

class TestBackupFile : public QObject
{
    Q_OBJECT

private slots:
    void crc_knownValues_data();
    void crc_knownValues();
    void encode_crcStoredHighByteFirst();
    void saveThenLoad_returnsSameImage();
    void decode_flippedBit_isCorruptAndLeavesOutput_data();
    void decode_flippedBit_isCorruptAndLeavesOutput();
    void decode_lengthRules_data();
    void decode_lengthRules();
    void save_overLongerFile_keepsTailAndStillLoads();
    void save_failures_areReported_data();
    void save_failures_areReported();
    void load_unreadablePath_isOpenFailure_data();
    void load_unreadablePath_isOpenFailure();
};

void TestBackupFile::crc_knownValues_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("crc");
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("nothing") << QByteArray() << 0xFFFF;
    // A Modbus RTU request whose CRC is well known: 01 03 00 00 00 0A -> C5CD.
    QTest::newRow("rtu request") << QByteArray::fromHex("01030000000A") << 0xCDC5;
}

void TestBackupFile::crc_knownValues()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, crc);
    QCOMPARE(int(crc16Modbus(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                             std::size_t(bytes.size()))),
             crc);
}

void TestBackupFile::encode_crcStoredHighByteFirst()
{
    const Snapshot s = snapshotOf(sampleImage().data());
    const QByteArray file = encode(s);
    QCOMPARE(file.size(), int(kFileSize));
    QCOMPARE(std::uint8_t(file[1306]), std::uint8_t(s.crc >> 8));
    QCOMPARE(std::uint8_t(file[1307]), std::uint8_t(s.crc & 0xFF));
    // The same CRC low byte first (the Modbus RTU order) must not load.
    QByteArray swapped = file;
    swapped[1306] = file[1307];
    swapped[1307] = file[1306];
    Image out{};
    if (std::uint8_t(file[1306]) != std::uint8_t(file[1307]))
        QCOMPARE(decode(swapped, out), LoadResult::Corrupt);
}

void TestBackupFile::saveThenLoad_returnsSameImage()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.vqmbk");
    const Image image = sampleImage();
    QCOMPARE(save(path, snapshotOf(image.data())), SaveResult::Ok);
    QCOMPARE(QFileInfo(path).size(), qint64(kFileSize));
    Image out{};
    QCOMPARE(load(path, out), LoadResult::Ok);
    QVERIFY(out == image);
}

void TestBackupFile::decode_flippedBit_isCorruptAndLeavesOutput_data()
{
    QTest::addColumn<int>("bit");
    for (int bit : {0, 7, 8 * 13 + 3, 8 * 700 + 5, 8 * 1305 + 7, 8 * 1306, 8 * 1307 + 7})
        QTest::addRow("bit %d", bit) << bit;
}

void TestBackupFile::decode_flippedBit_isCorruptAndLeavesOutput()
{
    QFETCH(int, bit);
    QByteArray file = encode(snapshotOf(sampleImage().data()));
    file[bit / 8] = char(file[bit / 8] ^ (1 << (bit % 8)));
    Image out;
    out.fill(0x5A);
    QCOMPARE(decode(file, out), LoadResult::Corrupt);
    QVERIFY(std::all_of(out.begin(), out.end(), [](std::uint8_t b) { return b == 0x5A; }));
}

void TestBackupFile::decode_lengthRules_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<BackupFile::LoadResult>("result");
    const QByteArray good = encode(snapshotOf(sampleImage().data()));
    QTest::newRow("exact") << good << LoadResult::Ok;
    QTest::newRow("longer") << good + QByteArray(500, '\x77') << LoadResult::Ok;
    QTest::newRow("image only, no crc") << good.left(1306) << LoadResult::Corrupt;
    QTest::newRow("one crc byte") << good.left(1307) << LoadResult::Corrupt;
    QTest::newRow("empty") << QByteArray() << LoadResult::Corrupt;

    // Missing bytes read as zero: a cut image does not pass as the zero-filled one.
    Image tailZero = sampleImage();
    std::fill(tailZero.begin() + 1000, tailZero.end(), 0);
    const QByteArray truncatedImage = encode(snapshotOf(tailZero.data()));
    QTest::newRow("image cut short") << truncatedImage.left(1000) << LoadResult::Corrupt;
}

void TestBackupFile::decode_lengthRules()
{
    QFETCH(QByteArray, file);
    QFETCH(BackupFile::LoadResult, result);
    Image out{};
    QCOMPARE(decode(file, out), result);
    if (result == LoadResult::Ok)
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(out.data()), 1306), file.left(1306));
}

void TestBackupFile::save_overLongerFile_keepsTailAndStillLoads()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("old.vqmbk");
    const QByteArray old(3000, '\x11');
    QVERIFY(writeAll(path, old));
    const Image image = sampleImage();
    QCOMPARE(save(path, snapshotOf(image.data())), SaveResult::Ok);
    const QByteArray now = readAll(path);
    QCOMPARE(now.size(), 3000);
    QCOMPARE(now.mid(1308), old.mid(1308));
    Image out{};
    QCOMPARE(load(path, out), LoadResult::Ok);
    QVERIFY(out == image);
}

void TestBackupFile::save_failures_areReported_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("result");
    if (QFileInfo::exists("/dev/full"))
        QTest::newRow("full device") << "/dev/full" << int(SaveResult::WriteFailed);
    QTest::newRow("no such directory") << "/nonexistent-dir/a.vqmbk" << int(SaveResult::OpenFailed);
    QTest::newRow("empty path (cancelled dialog)") << QString() << int(SaveResult::OpenFailed);
}

void TestBackupFile::save_failures_areReported()
{
    QFETCH(QString, path);
    QFETCH(int, result);
    QCOMPARE(int(save(path, snapshotOf(sampleImage().data()))), result);
}

void TestBackupFile::load_unreadablePath_isOpenFailure_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << "/nonexistent-dir/a.vqmbk";
    QTest::newRow("empty") << QString();
    QTest::newRow("directory") << QDir::tempPath();
}

void TestBackupFile::load_unreadablePath_isOpenFailure()
{
    QFETCH(QString, path);
    Image out{};
    QCOMPARE(load(path, out), LoadResult::OpenFailed);
}

QTEST_GUILESS_MAIN(TestBackupFile)
#include "tst_backupfile.moc"

// Encoding, decoding and file access of the backup file.
#include "backupfile.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace BackupFile {

std::uint16_t crc16Modbus(const std::uint8_t *bytes, std::size_t length)
{
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? std::uint16_t((crc >> 1) ^ 0xA001) : std::uint16_t(crc >> 1);
    }
    return crc;
}

Snapshot snapshotOf(const std::uint8_t *image)
{
    Snapshot s;
    std::memcpy(s.image.data(), image, kImageSize);
    s.crc = crc16Modbus(s.image.data(), kImageSize);
    return s;
}

static std::array<char, 2> crcBytes(std::uint16_t crc)
{
    return {char(crc >> 8), char(crc & 0xFF)};
}

QByteArray encode(const Snapshot &snapshot)
{
    QByteArray out(reinterpret_cast<const char *>(snapshot.image.data()), int(kImageSize));
    const auto crc = crcBytes(snapshot.crc);
    out.append(crc.data(), int(crc.size()));
    return out;
}

LoadResult decode(const QByteArray &bytes, Image &out)
{
    Image buffer{};
    std::uint8_t stored[2] = {};
    const std::size_t size = std::size_t(bytes.size());
    const auto *data = reinterpret_cast<const std::uint8_t *>(bytes.constData());
    std::memcpy(buffer.data(), data, std::min(size, kImageSize));
    for (std::size_t i = 0; i < 2; ++i)
        if (kImageSize + i < size)
            stored[i] = data[kImageSize + i];
    const std::uint16_t crc = std::uint16_t(stored[0] << 8 | stored[1]);
    if (crc != crc16Modbus(buffer.data(), kImageSize))
        return LoadResult::Corrupt;
    out = buffer;
    return LoadResult::Ok;
}

LoadResult load(const QString &path, Image &out)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return LoadResult::OpenFailed;
    // Only the first 1308 bytes count; a huge file is never read whole.
    const QByteArray bytes = file.read(qint64(kFileSize));
    if (bytes.isEmpty() && file.error() != QFileDevice::NoError)
        return LoadResult::OpenFailed;
    return decode(bytes, out);
}

SaveResult save(const QString &path, const Snapshot &snapshot)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadWrite))
        return SaveResult::OpenFailed;
    const auto crc = crcBytes(snapshot.crc);
    const bool imageWritten =
            file.write(reinterpret_cast<const char *>(snapshot.image.data()), qint64(kImageSize))
            == qint64(kImageSize);
    const bool crcWritten = imageWritten && file.write(crc.data(), 2) == 2;
    // The buffered bytes reach the disk only here; a full disk shows up on the flush.
    const bool flushed = crcWritten && file.flush();
    file.close();
    const bool ok = flushed && file.error() == QFileDevice::NoError;
    return ok ? SaveResult::Ok : SaveResult::WriteFailed;
}

} // namespace BackupFile

// The backup file: the 1306-byte parameter image followed by its CRC-16/MODBUS, high byte
// first. Pure Qt Core; every byte read from a file is untrusted.
#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>

namespace BackupFile {

constexpr std::size_t kImageSize = 1306;
constexpr std::size_t kFileSize = kImageSize + 2;

using Image = std::array<std::uint8_t, kImageSize>;

// The image and its CRC taken together, so the file written is one consistent image.
struct Snapshot
{
    Image image{};
    std::uint16_t crc = 0;
};

// Reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.
std::uint16_t crc16Modbus(const std::uint8_t *bytes, std::size_t length);
Snapshot snapshotOf(const std::uint8_t *image); // image: kImageSize bytes

// The 1308 bytes of a file.
QByteArray encode(const Snapshot &snapshot);

enum class LoadResult { Ok, OpenFailed, Corrupt };
// A short file reads its missing bytes (CRC included) as zero; bytes past 1308 are ignored.
// `out` is written only on Ok.
LoadResult decode(const QByteArray &bytes, Image &out);
LoadResult load(const QString &path, Image &out);

enum class SaveResult { Ok, OpenFailed, WriteFailed };
// Opens for reading and writing without truncating, so a longer old file keeps its tail.
// Both writes and the final flush are checked: a short file is never reported as saved.
SaveResult save(const QString &path, const Snapshot &snapshot);

} // namespace BackupFile

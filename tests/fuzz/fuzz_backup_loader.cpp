// Fuzzes the backup loader: any bytes, of any length, must give Ok or Corrupt without a
// crash, and a result of Ok must mean the CRC really matches.
#include "backupfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data),
                                                     int(size > 1u << 20 ? 1u << 20 : size));
    BackupFile::Image image{};
    if (BackupFile::decode(bytes, image) == BackupFile::LoadResult::Ok) {
        const std::uint16_t stored =
                std::uint16_t((size > 1306 ? data[1306] : 0) << 8 | (size > 1307 ? data[1307] : 0));
        if (BackupFile::crc16Modbus(image.data(), image.size()) != stored)
            std::abort();
    }
    return 0;
}

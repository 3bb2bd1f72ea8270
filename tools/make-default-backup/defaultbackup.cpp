// Builds the image from a freshly started simulated device.
#include "defaultbackup.h"

#include "devicememory.h"
#include "fielddevice.h"
#include "simconfig.h"

BackupFile::Image simulatorParameterImage()
{
    static_assert(memaddr::parameterStart + BackupFile::kImageSize == DeviceMemory::kSize,
                  "the image ends where the device memory ends");
    const FieldDevice device{SimConfig()};
    BackupFile::Image image{};
    device.memory().read(memaddr::parameterStart, image.data(), image.size());
    return image;
}

BackupFile::SaveResult writeDefaultBackup(const QString &path)
{
    const BackupFile::Image image = simulatorParameterImage();
    return BackupFile::save(path, BackupFile::snapshotOf(image.data()));
}

// The simulated transmitter's parameter memory as a backup file, so a demo run starts with
// a default backup that matches the transmitter on the line.
#pragma once

#include "backupfile.h"

#include <QString>

BackupFile::Image simulatorParameterImage();
BackupFile::SaveResult writeDefaultBackup(const QString &path);

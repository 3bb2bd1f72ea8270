// Debug category of backup and restore: QT_LOGGING_RULES="hart.backup.debug=false" silences it.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcBackup)

// Debug category of the device history store: QT_LOGGING_RULES="hart.history.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcHistory)

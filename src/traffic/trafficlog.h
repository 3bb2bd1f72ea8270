// Debug category of the traffic recorder and monitor: QT_LOGGING_RULES="hart.traffic.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcTraffic)

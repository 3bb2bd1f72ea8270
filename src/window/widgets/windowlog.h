// Debug category of the main window: QT_LOGGING_RULES="hart.window.debug=false" silences it.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcWindow)

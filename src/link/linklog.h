// Debug categories of the HART link: enable the frame trace with
// QT_LOGGING_RULES="hart.link.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcLink)
Q_DECLARE_LOGGING_CATEGORY(lcCodec)
Q_DECLARE_LOGGING_CATEGORY(lcSerial)

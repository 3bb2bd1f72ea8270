#include "linklog.h"

Q_LOGGING_CATEGORY(lcLink, "hart.link")
// The packed-ASCII trace is chatty (two lines per three bytes), so it is off by default.
Q_LOGGING_CATEGORY(lcCodec, "hart.link.codec", QtWarningMsg)
Q_LOGGING_CATEGORY(lcSerial, "hart.link.serial")

#include "windowlog.h"

Q_LOGGING_CATEGORY(lcWindow, "hart.window")

#include "trafficlog.h"

Q_LOGGING_CATEGORY(lcTraffic, "hart.traffic")

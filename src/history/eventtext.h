// The words the history window and its CSV export use for an event, in the window's language.
#pragma once

#include "historyreader.h"

#include <QString>

namespace history {

// The technician's name of what happened: "量程迁移", "备份数据", ...; never a request string.
QString operationText(const EventRow &e);
// The stored kind and request, for support (the tool tip).
QString storedOperation(const EventRow &e);

} // namespace history

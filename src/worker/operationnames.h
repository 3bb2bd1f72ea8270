// The technician's name of each request of the worker's vocabulary, in the window's language:
// what the device history shows where the record keeps the request string itself.
#pragma once

#include <QString>

namespace operations {

// "量程迁移" for "liangchengqianyi"; an unknown request gets a generic name, never itself.
QString displayName(const QString &request);
// False for a request the table does not know.
bool hasName(const QString &request);

} // namespace operations

// The headless health check of one transmitter: the search (commands 0, 14, 15 at one
// polling address), additional device status and device variables, on the serial link
// without a window. Runs the transactions on a thread of its own while the caller's event
// loop moves the bytes.
#pragma once

#include "healthrecord.h"

#include <QString>

namespace health {

struct ProbeResult
{
    enum class Outcome { Answered, NoDevice, PortFailed } outcome = Outcome::NoDevice;
    QString error;
    HealthRecord record;
};

struct ProbeSettings
{
    int timeoutMs = 1000; // per attempt, as the master's own
    int retries = 10;
};

// Blocks until done, running a local event loop; needs a QCoreApplication.
ProbeResult probe(const QString &port, std::uint8_t pollingAddress,
                  const ProbeSettings &settings = ProbeSettings());

} // namespace health

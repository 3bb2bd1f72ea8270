#include "healthprobe.h"

#include "hartthread.h"
#include "kvhart_master.h"
#include "headlessport.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QMetaObject>

#include <cstring>
#include <thread>

Q_LOGGING_CATEGORY(lcHealth, "hart.health")

namespace health {

ProbeResult probe(const QString &port, std::uint8_t pollingAddress, const ProbeSettings &settings)
{
    ProbeResult result;
    kvhart_master master;
    master.timeoutMs = std::uint16_t(settings.timeoutMs);
    master.retryCount = std::uint8_t(settings.retries);
    HeadlessPort link(&master);
    if (!link.open(port, &result.error)) {
        result.outcome = ProbeResult::Outcome::PortFailed;
        return result;
    }

    QEventLoop loop;
    const HealthCommand command = [&master](std::uint8_t cmd, const std::uint8_t *data,
                                            std::uint8_t length, HealthAnswer &answer) {
        if (master.transact(cmd, data, length, answer.data, sizeof answer.data) != 0)
            return false;
        answer.length = std::min<std::uint8_t>(master.responseDataLength, sizeof answer.data);
        if (hartThread::isRefusal(master.responseCode)) {
            qCDebug(lcHealth, "cmd %d refused, response code %d", int(cmd),
                    int(master.responseCode));
            return false;
        }
        return true;
    };
    std::thread worker([&] {
        master.setPollingAddress(pollingAddress);
        HealthAnswer a;
        bool found = command(0, nullptr, 0, a) && a.length >= 12;
        if (found) {
            master.preambleCount = a.data[3];
            takeIdentity(result.record, a.data, a.length);
            HealthAnswer b;
            found = command(14, nullptr, 0, b) && command(15, nullptr, 0, b);
        }
        if (found) {
            result.outcome = ProbeResult::Outcome::Answered;
            // What could be read is reported; a refused read leaves its part out.
            readAdditionalStatus(command, result.record);
            readHealthVariables(command, result.record);
            result.record.fieldStatus = master.deviceStatus;
        }
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    link.close();
    return result;
}

} // namespace health

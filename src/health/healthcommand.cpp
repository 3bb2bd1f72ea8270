#include "healthcommand.h"

#include "healthprobe.h"
#include "healthreport.h"

#include <QJsonDocument>

#include <cstdio>

int runHealthCommand(const QString &port, int address)
{
    const health::ProbeResult result = health::probe(port, std::uint8_t(address));
    switch (result.outcome) {
    case health::ProbeResult::Outcome::PortFailed:
        std::fprintf(stderr, "hartconfig: cannot open %s: %s\n", qPrintable(port),
                     qPrintable(result.error));
        return 1;
    case health::ProbeResult::Outcome::NoDevice:
        std::fprintf(stderr, "hartconfig: no transmitter answers at address %d on %s\n",
                     address, qPrintable(port));
        return 1;
    case health::ProbeResult::Outcome::Answered: break;
    }
    const QByteArray json =
            QJsonDocument(health::toJson(health::makeReport(result.record))).toJson();
    std::fwrite(json.constData(), 1, size_t(json.size()), stdout);
    return 0;
}

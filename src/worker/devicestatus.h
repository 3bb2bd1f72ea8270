// Turns the response code and field-device status byte of each accepted response into
// the "hart status:" texts; standing conditions are reported once when they appear.
#pragma once

#include <QStringList>

#include <cstdint>

class DeviceStatusReporter
{
public:
    QStringList report(std::uint8_t responseCode, std::uint8_t deviceStatus);

private:
    std::uint8_t m_previous = 0; // bits 0-4, 6, 7 of the last report
};

// The report's wording of one response code or one status bit (mask), without the
// "hart status:" prefix; empty where the report has no text. For other readers of the traffic.
QString responseCodeMeaning(std::uint8_t responseCode);
QString deviceStatusMeaning(std::uint8_t bitMask);

#include "kvhart_master.h"

#include "linklog.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint8_t kShortHeader = 4; // delimiter, address, command, byte count
constexpr std::uint8_t kLongHeader = 8;
constexpr std::uint8_t kCommand0DataLength = 12;
} // namespace

kvhart_master::kvhart_master(QObject *parent)
    : QObject(parent)
{ }

kvhart_master::~kvhart_master()
{
    abort();
}

void kvhart_master::abort()
{
    m_aborted.store(true);
    m_semaphore.release();
}

std::uint8_t kvhart_master::transact(std::uint8_t command, const std::uint8_t *data,
                                     std::uint8_t length, std::uint8_t *response,
                                     std::size_t responseCapacity)
{
    if (m_aborted.load())
        return 1;

    hart::RequestFrame request;
    {
        std::lock_guard<std::mutex> lock(m_rxLock);
        hart::buildRequest(request, command, data, length, masterBit, pollingAddress, uniqueAddress,
                           preambleCount);
        std::memcpy(txFrame, request.frame, sizeof txFrame);
        std::memcpy(txBuffer, request.tx, sizeof txBuffer);
        txFrameLength = request.frameLength;
    }
    const QByteArray wire(reinterpret_cast<const char *>(request.tx), request.txLength);

    for (int attempt = 0;;) {
        emit SendData(wire);
        while (m_semaphore.tryAcquire())
            ;
        {
            // Reset under the receiver's lock so it cannot interleave with receiveByte.
            std::lock_guard<std::mutex> lock(m_rxLock);
            rxCount = 0;
            rxFrameLength = 0;
        }
        if (m_aborted.load())
            return 1;
        if (m_semaphore.tryAcquire(int(timeoutMs))) {
            if (m_aborted.load())
                return 1;
            std::lock_guard<std::mutex> lock(m_rxLock);
            const bool isLong = rxFrame[0] & 0x80;
            const std::uint8_t header = isLong ? kLongHeader : kShortHeader;
            // The receiver only accepts frames with both status bytes (byte count >= 2).
            const std::uint8_t dataLength = static_cast<std::uint8_t>(rxFrame[header - 1] - 2);
            const std::uint8_t *payload = rxFrame + header + 2;
            responseCode = rxFrame[header];
            deviceStatus = rxFrame[header + 1];
            responseDataLength = dataLength;
            if (response)
                std::memcpy(response, payload, std::min<std::size_t>(dataLength, responseCapacity));
            if (!isLong && command == 0 && dataLength >= kCommand0DataLength) {
                uniqueAddress[0] = payload[1];
                uniqueAddress[1] = payload[2];
                uniqueAddress[2] = payload[9];
                uniqueAddress[3] = payload[10];
                uniqueAddress[4] = payload[11];
            }
            return 0;
        }
        if (m_aborted.load())
            return 1;
        ++attempt;
        qCDebug(lcLink, "%s",
                qPrintable(QStringLiteral("retry count:%1  cmd:%2").arg(attempt).arg(command)));
        if (attempt >= retryCount)
            return 1;
    }
}

void kvhart_master::receiveByte(std::uint8_t byte)
{
    std::lock_guard<std::mutex> lock(m_rxLock);
    if (rxCount == 0) {
        if (byte == 0xFF) {
            if (rxPreambles <= 1)
                ++rxPreambles;
            return;
        }
        if (rxPreambles >= 2 && (byte & 7) == 6) {
            rxAssembly[0] = byte;
            rxCount = 1;
        }
        rxPreambles = 0;
        return;
    }

    if (rxCount > hart::kFrameAreaSize - 1) {
        rxCount = 0;
        return;
    }
    rxAssembly[rxCount++] = byte;

    unsigned expected;
    if (rxAssembly[0] & 0x80) {
        if (rxCount <= kLongHeader)
            return;
        expected = rxAssembly[7] + 9u;
    } else {
        if (rxCount <= kShortHeader)
            return;
        expected = rxAssembly[3] + 5u;
    }
    if (rxCount != expected)
        return;

    std::memcpy(rxFrame, rxAssembly, rxCount);
    rxFrameLength = rxCount;
    rxCount = 0;
    validateFrame();
}

void kvhart_master::validateFrame()
{
    const std::uint8_t length = rxFrameLength;
    const std::uint8_t sum = length > 1 ? xorChecksum(rxFrame, length - 1u) : 0;
    if (sum != rxFrame[length - 1]) {
        qCDebug(lcLink, "checkXor error");
        for (std::uint8_t i = 0; i < length; ++i)
            qCDebug(lcLink, "%s", qPrintable(QString::asprintf("0x%02X", rxFrame[i])));
        return;
    }
    if ((rxFrame[0] & 7) != 6) {
        qCDebug(lcLink, "byte0 error");
        return;
    }
    const bool isLong = rxFrame[0] & 0x80;
    const std::uint8_t header = isLong ? kLongHeader : kShortHeader;
    // Without the two status bytes there is nothing to hand over; taking "count - 2"
    // data bytes would wrap.
    if (rxFrame[header - 1] < 2) {
        qCDebug(lcLink, "byte count error");
        return;
    }
    bool anyMatch = false;
    if (isLong) {
        for (int i = 1; i <= 6; ++i)
            anyMatch = anyMatch || rxFrame[i] == txFrame[i];
    } else {
        anyMatch = rxFrame[1] == txFrame[1] || rxFrame[2] == txFrame[2];
    }
    if (!anyMatch)
        return;
    m_semaphore.release();
}

#include "kvhart_master.h"

#include "linklog.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint8_t kShortHeader = 4; // delimiter, address, command, byte count
constexpr std::uint8_t kLongHeader = 8;
constexpr std::uint8_t kCommand0DataLength = 12;
constexpr std::uint8_t kResponseBusy = 32;
// A gateway that has taken a wrapped request on and is still at it: ask again, like busy.
constexpr std::uint8_t kDelayedInitiated = 33;
constexpr std::uint8_t kDelayedRunning = 34;
constexpr std::uint8_t kSubDeviceCommand = 77;
// Time-outs a frame queued for the port may wait to be written before its own time-out runs.
constexpr int kWriteWaits = 10;
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

    const QByteArray wire = prepareRequest(command, data, length);
    for (int attempt = 0;;) {
        if (LinkCaptureSink *sink = m_capture.load())
            sink->attemptStarted(command, attempt);
        // Before the frame is queued: a worker slow to get here must never drain or reset
        // away the answer to a request the window thread has already written, and over a
        // network the answer can be back before this thread runs again.
        startAttempt();
        emit SendData(wire);
        if (m_aborted.load())
            return 1;
        const auto attemptEnd =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        const bool answered = takeResponse(int(timeoutMs), command, response, responseCapacity);
        if (m_aborted.load())
            return 1;
        // A communication-error summary (first status byte bit 7: the device heard the
        // request garbled) or busy (32) means the device did not act on it: ask again,
        // within the same budget. A busy answer on the last attempt is handed over so the
        // caller can report it; a garbled exchange to the end is a missing answer.
        const bool garbled = answered && (responseCode & 0x80) != 0;
        const bool busy = answered
                && (responseCode == kResponseBusy
                    || (m_lastRouted
                        && (responseCode == kDelayedInitiated || responseCode == kDelayedRunning)));
        if (answered && !garbled && !busy)
            return 0;
        ++attempt;
        qCDebug(lcLink, "%s",
                qPrintable(QStringLiteral("retry count:%1  cmd:%2").arg(attempt).arg(command)));
        if (LinkCaptureSink *sink = m_capture.load(); sink && !answered)
            sink->attemptTimedOut(command, attempt, attempt < retryCount);
        if (attempt >= retryCount)
            return busy ? 0 : 1;
        // Busy answers come at once; asked again at once, a device busy saving would be
        // given up long before the attempts' budget has passed.
        if (busy && !waitUntil(attemptEnd))
            return 1;
    }
}

bool kvhart_master::waitUntil(std::chrono::steady_clock::time_point end)
{
    // Frames that arrive meanwhile are late answers; the next attempt drains them anyway.
    for (;;) {
        if (m_aborted.load())
            return false;
        // Rounded up: a wait cut short by a fraction of a millisecond is asked again early.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return true;
        m_semaphore.tryAcquire(int(left.count()));
    }
}

QByteArray kvhart_master::prepareRequest(std::uint8_t command, const std::uint8_t *data,
                                         std::uint8_t length)
{
    hart::RequestFrame request;
    std::lock_guard<std::mutex> lock(m_rxLock);
    hart::buildRequest(request, command, data, length, masterBit, pollingAddress, uniqueAddress,
                       preambleCount);
    std::memcpy(txFrame, request.frame, sizeof txFrame);
    std::memcpy(txBuffer, request.tx, sizeof txBuffer);
    txFrameLength = request.frameLength;
    // Only bus work sends more than the 40-byte area holds.
    const bool wide = command != 0 && data && length > hart::kMaxRequestData
            && (m_wide > 0 || m_routed);
    QByteArray frame;
    if (m_routed) {
        // A sub-device's command 0 goes by its unique address: which polling address it has
        // on its channel is the gateway's business.
        QByteArray inner = command == 0 || wide
                ? hart::buildLongFrame(command, data, command == 0 ? 0 : length, masterBit,
                                       uniqueAddress)
                : QByteArray(reinterpret_cast<const char *>(txFrame), txFrameLength);
        inner.chop(1); // command 77 carries the frame without its checksum
        const char head[3] = {char(m_route.card), char(m_route.channel), char(preambleCount)};
        inner.prepend(head, 3);
        frame = hart::buildLongFrame(kSubDeviceCommand,
                                     reinterpret_cast<const std::uint8_t *>(inner.constData()),
                                     std::size_t(inner.size()), masterBit, m_route.gateway);
    } else if (wide) {
        frame = hart::buildLongFrame(command, data, length, masterBit, uniqueAddress);
    }
    m_sentOther = !frame.isEmpty();
    if (!m_sentOther)
        return QByteArray(reinterpret_cast<const char *>(request.tx), request.txLength);
    std::memcpy(m_sentHead, frame.constData(), sizeof m_sentHead);
    qCDebug(lcLink, "%s", qPrintable(m_routed ? QStringLiteral("cmd:%1 wrapped for card %2 channel %3")
                                                        .arg(command)
                                                        .arg(m_route.card)
                                                        .arg(m_route.channel)
                                              : QStringLiteral("cmd:%1 wide frame").arg(command)));
    return QByteArray(preambleCount, char(0xFF)) + frame;
}

void kvhart_master::startAttempt()
{
    // Late answers to an earlier attempt were released already; they are not this one's.
    while (m_semaphore.tryAcquire())
        ;
    // Under the receiver's lock so the reset cannot interleave with receiveByte.
    std::lock_guard<std::mutex> lock(m_rxLock);
    resetReceiver();
    m_onWire = false;
    m_awaitingWrite = m_writesReported;
}

// Under m_rxLock. The reset throws away a half-assembled frame; the capture keeps what it was.
void kvhart_master::resetReceiver()
{
    if (LinkCaptureSink *sink = m_capture.load(); sink && rxCount > 0)
        sink->frameReceived(rxAssembly, rxCount, RxVerdict::Abandoned);
    rxCount = 0;
    rxFrameLength = 0;
}

void kvhart_master::requestOnWire()
{
    std::lock_guard<std::mutex> lock(m_rxLock);
    // Anything assembled before this request went out is not its answer.
    resetReceiver();
    m_onWire = true;
    m_awaitingWrite = false;
    m_onWireAt = std::chrono::steady_clock::now();
}

bool kvhart_master::awaitingWrite() const
{
    std::lock_guard<std::mutex> lock(m_rxLock);
    return m_awaitingWrite;
}

bool kvhart_master::takeResponse(int waitMs, std::uint8_t command, std::uint8_t *response,
                                 std::size_t responseCapacity)
{
    const auto wait = std::chrono::milliseconds(waitMs);
    auto deadline = std::chrono::steady_clock::now() + wait;
    int writeWaits = 0;
    std::unique_lock<std::mutex> lock(m_rxLock, std::defer_lock);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
        if (!m_semaphore.tryAcquire(int(std::max<std::int64_t>(0, left.count())))) {
            // The time-out is the device's time to answer: a request that reached the wire
            // late (a busy window thread) still gets all of it, and one not yet written is
            // waited for, up to a bound only a hung window thread reaches.
            lock.lock();
            auto next = deadline;
            if (m_onWire)
                next = m_onWireAt + wait;
            else if (m_writesReported && writeWaits++ < kWriteWaits)
                next = std::chrono::steady_clock::now() + wait;
            lock.unlock();
            if (next <= deadline || m_aborted.load())
                return false;
            deadline = next;
            continue;
        }
        lock.lock();
        // A release with nothing in rxFrame came from abort() or from a late answer that
        // slipped in before the reset; neither is this attempt's answer.
        if (rxFrameLength != 0)
            break;
        lock.unlock();
        if (m_aborted.load())
            return false;
    }
    const bool isLong = rxFrame[0] & 0x80;
    const std::uint8_t header = isLong ? kLongHeader : kShortHeader;
    // rxFrame only ever holds an accepted frame: byte count >= 2 and within the frame.
    const std::uint8_t *status = rxFrame + header;
    std::uint8_t count = rxFrame[header - 1];
    m_lastRouted = m_routed;
    // A gateway's refusal (busy, a card it has not) is handed up as it came; a success
    // carries the device's own answer.
    // Command 77 goes in a long frame and is answered in one; a short frame is not its answer.
    if (m_routed && !isLong)
        return false;
    if (m_routed && status[0] == 0) {
        if (!unwrap(command, status, count)) {
            qCDebug(lcLink, "cmd:%d the gateway's answer is not the sub-device's", command);
            return false;
        }
    }
    const std::uint8_t dataLength = static_cast<std::uint8_t>(count - 2);
    const std::uint8_t *payload = status + 2;
    responseCode = status[0];
    deviceStatus = status[1];
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
    return true;
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

    if (rxCount > frameLimit() - 1) {
        if (LinkCaptureSink *sink = m_capture.load())
            sink->frameReceived(rxAssembly, rxCount, RxVerdict::Overlong);
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

    const std::uint8_t length = rxCount;
    rxCount = 0;
    // Judged where it was assembled: a rejected frame must never reach rxFrame, which
    // may still hold the accepted answer the worker has not taken yet.
    const RxVerdict verdict = judge(length);
    if (LinkCaptureSink *sink = m_capture.load())
        sink->frameReceived(rxAssembly, length, verdict);
    if (verdict != RxVerdict::Accepted)
        return;
    std::memcpy(rxFrame, rxAssembly, length);
    rxFrameLength = length;
    m_semaphore.release();
}

// Command 77's answer: card, channel, then the sub-device's frame without its checksum.
bool kvhart_master::unwrap(std::uint8_t command, const std::uint8_t *&payload, std::uint8_t &length)
{
    const std::uint8_t *p = payload + 2;
    const std::size_t n = std::size_t(length) - 2;
    // Card, channel, long delimiter, five address bytes, command, byte count.
    constexpr std::size_t kWrapHeader = 10;
    if (n < kWrapHeader + 2 || p[0] != m_route.card || p[1] != m_route.channel
        || p[2] != 0x86 || (p[3] & 0x3F) != (uniqueAddress[0] & 0x3F)
        || !std::equal(p + 4, p + 8, uniqueAddress + 1) || p[8] != command || p[9] < 2
        || kWrapHeader + p[9] > n)
        return false;
    payload = p + kWrapHeader;
    length = p[9];
    return true;
}

RxVerdict kvhart_master::judge(std::uint8_t length) const
{
    const std::uint8_t *frame = rxAssembly;
    const std::uint8_t sum = length > 1 ? xorChecksum(frame, length - 1u) : 0;
    if (sum != frame[length - 1]) {
        qCDebug(lcLink, "checkXor error");
        for (std::uint8_t i = 0; i < length; ++i)
            qCDebug(lcLink, "%s", qPrintable(QString::asprintf("0x%02X", frame[i])));
        return RxVerdict::BadChecksum;
    }
    if ((frame[0] & 7) != 6) {
        qCDebug(lcLink, "byte0 error");
        return RxVerdict::BadDelimiter;
    }
    const bool isLong = frame[0] & 0x80;
    const std::uint8_t header = isLong ? kLongHeader : kShortHeader;
    // Without the two status bytes there is nothing to hand over; taking "count - 2"
    // data bytes would wrap.
    if (frame[header - 1] < 2) {
        qCDebug(lcLink, "byte count error");
        return RxVerdict::TooShort;
    }
    const std::uint8_t *sent = m_sentOther ? m_sentHead : txFrame;
    const int last = isLong ? 6 : 2;
    for (int i = 1; i <= last; ++i)
        if (frame[i] == sent[i])
            return RxVerdict::Accepted;
    // Bit 7 of the first address byte names the master the answer is for.
    return ((frame[1] ^ sent[1]) & 0x80) ? RxVerdict::WrongMaster : RxVerdict::OtherAddress;
}

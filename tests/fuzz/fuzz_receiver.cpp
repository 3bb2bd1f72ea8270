// Fuzzes the response receiver with transactions interleaved: the wire bytes arrive in
// chunks, and between chunks the master takes answers, retries and starts new requests.
// An accepted answer must be a whole valid frame for the request, and no caller buffer
// may ever be written past its end.
//
// With bit 7 of the chunk byte the device is behind a gateway: the answer accepted is the
// gateway's, and what is handed over must be the sub-device's own, from inside it.
//
// Input: [command] [chunk size, route] [buffer capacity] then the received bytes.
#include "hartcodec.h"
#include "kvhart_master.h"

#include <QLoggingCategory>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

// The frame in rxFrame must be one the receiver may hand over for the request in txFrame.
// Routed, the frame is the gateway's refusal: sent to its address, not txFrame's.
void checkAccepted(const kvhart_master &m, const std::uint8_t *buffer, std::size_t capacity,
                   bool routed)
{
    const std::uint8_t *f = m.rxFrame;
    const unsigned length = m.rxFrameLength;
    check(length >= 7 && length <= (routed ? hart::kWideFrameAreaSize : hart::kFrameAreaSize));
    check((f[0] & 7) == 6);
    std::uint8_t sum = 0;
    for (unsigned i = 0; i + 1 < length; ++i)
        sum ^= f[i];
    check(sum == f[length - 1]);
    const bool isLong = f[0] & 0x80;
    const unsigned header = isLong ? 8 : 4;
    const unsigned count = f[header - 1];
    check(count >= 2 && header + count + 1 == length);
    check(m.responseDataLength == count - 2);
    check(m.responseCode == f[header] && m.deviceStatus == f[header + 1]);
    bool match = routed;
    for (unsigned i = 1; i < (isLong ? 7u : 3u); ++i)
        match = match || f[i] == m.txFrame[i];
    check(match);
    const std::size_t copied = std::min<std::size_t>(m.responseDataLength, capacity);
    check(std::memcmp(buffer, f + header + 2, copied) == 0);
}

constexpr std::uint8_t kChannel = 3;

// The sub-device's answer inside the gateway's: card, channel, delimiter, address, command,
// count, its status bytes and data.
void checkUnwrapped(const kvhart_master &m, const std::uint8_t *buffer, std::size_t capacity)
{
    const std::uint8_t *f = m.rxFrame;
    const unsigned length = m.rxFrameLength;
    check(length >= 9 + 2 + 12 && length <= hart::kWideFrameAreaSize && (f[0] & 0x80));
    const std::uint8_t *inner = f + 8 + 2;
    check(inner[1] == kChannel && inner[2] == 0x86);
    check(m.responseDataLength + 2u == inner[9]);
    check(10u + inner[9] <= length - 8 - 2 - 1u);
    check(m.responseCode == inner[10] && m.deviceStatus == inner[11]);
    const std::size_t copied = std::min<std::size_t>(m.responseDataLength, capacity);
    check(std::memcmp(buffer, inner + 12, copied) == 0);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("hart.*=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 3)
        return 0;
    std::uint8_t command = data[0];
    const std::size_t chunk = 1 + (data[1] & 0x7F) % 48;
    const bool routed = data[1] & 0x80;
    const std::size_t capacity = data[2] % 40;
    data += 3;
    size -= 3;

    kvhart_master m;
    m.pollingAddress = command & 0x0F;
    if (routed) {
        SubDeviceRoute route;
        route.channel = kChannel;
        m.setRoute(&route);
    }
    // Exactly the capacity on the heap, so the sanitizer sees any write past it.
    std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[capacity ? capacity : 1]);
    m.prepareRequest(command, data, std::uint8_t(std::min<std::size_t>(size, 31)));
    m.startAttempt();

    unsigned step = 0;
    for (std::size_t at = 0; at < size; at += chunk, ++step) {
        const std::size_t n = std::min(chunk, size - at);
        for (std::size_t i = 0; i < n; ++i)
            m.receiveByte(data[at + i]);
        check(m.rxCount < (routed ? hart::kWideFrameAreaSize : hart::kFrameAreaSize) + 1);
        if (m.takeResponse(0, command, capacity ? buffer.get() : nullptr, capacity)) {
            if (capacity && routed && m.rxFrame[8] == 0)
                checkUnwrapped(m, buffer.get(), capacity);
            else if (capacity)
                checkAccepted(m, buffer.get(), capacity, routed);
            // The next request: a search (short frame, learns the address) or a long one.
            command = step % 2 ? 0 : std::uint8_t(command + 1);
            m.prepareRequest(command, nullptr, 0);
            m.startAttempt();
        } else if (step % 3 == 2) {
            m.startAttempt(); // a retry of the same request while bytes keep coming
        }
    }
    return 0;
}

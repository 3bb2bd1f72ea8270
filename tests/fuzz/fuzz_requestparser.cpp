// Fuzzes the simulated transmitter's request parser and, for every frame it finds, the
// device model behind it: nothing a master sends may crash the stand-in device or make
// it describe bytes outside the frame it received.
#include "fielddevice.h"
#include "requestparser.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    RequestParser parser;
    FieldDevice device{SimConfig()};
    qint64 nowMs = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const RequestParser::Result result = parser.feed(data[i]);
        check(parser.frameByteCount() <= RequestParser::kMaxFrame);
        if (result != RequestParser::Result::Frame)
            continue;
        const ParsedRequest &r = parser.request();
        check(r.frame == parser.frameBytes());
        check(r.frameLength <= RequestParser::kMaxFrame);
        check(r.data >= r.frame && r.data + r.dataLength + 1 == r.frame + r.frameLength);
        if (r.longFrame)
            device.isLongAddressMine(r.address.data());
        else
            device.isShortAddressMine(r.address[0]);
        // Every frame is executed, addressed or not: the command handlers are the target.
        nowMs += 250;
        device.execute(r.command, r.data, r.dataLength, nowMs);
    }
    return 0;
}

// Byte-wise request framing as a field device sees the loop.
#include "requestparser.h"

namespace {

constexpr std::uint8_t kShortDelimiter = 0x02;
constexpr std::uint8_t kLongDelimiter = 0x82;
// delimiter, address, command, byte count
constexpr std::size_t kShortHeader = 4;
constexpr std::size_t kLongHeader = 8;

} // namespace

void RequestParser::reset()
{
    m_count = 0;
    m_expected = 0;
    m_preambles = 0;
}

RequestParser::Result RequestParser::feed(std::uint8_t byte)
{
    if (m_count == 0) {
        if (byte == 0xFF) {
            if (m_preambles < 2)
                ++m_preambles;
            return Result::Pending;
        }
        const bool start = m_preambles >= 2 && (byte == kShortDelimiter || byte == kLongDelimiter);
        m_preambles = 0;
        if (start) {
            m_frame[0] = byte;
            m_count = 1;
            m_expected = 0;
        }
        return Result::Pending;
    }

    m_frame[m_count++] = byte;
    const bool isLong = m_frame[0] == kLongDelimiter;
    const std::size_t header = isLong ? kLongHeader : kShortHeader;
    if (m_count == header) {
        m_expected = header + m_frame[header - 1] + 1;
        if (m_expected > kMaxFrame) {
            // Cannot be a request we could hold; drop it now and hunt through the rest.
            m_lastLength = m_count;
            m_count = 0;
            return Result::Overlong;
        }
    }
    if (m_expected == 0 || m_count < m_expected)
        return Result::Pending;

    m_lastLength = m_count;
    m_count = 0;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < m_lastLength; ++i)
        sum ^= m_frame[i];
    if (sum != m_frame[m_lastLength - 1])
        return Result::BadChecksum;

    m_request = ParsedRequest{};
    m_request.longFrame = isLong;
    const std::size_t addressLength = isLong ? 5 : 1;
    for (std::size_t i = 0; i < addressLength; ++i)
        m_request.address[i] = m_frame[1 + i];
    m_request.command = m_frame[header - 2];
    m_request.data = m_frame.data() + header;
    m_request.dataLength = m_frame[header - 1];
    m_request.frame = m_frame.data();
    m_request.frameLength = m_lastLength;
    return Result::Frame;
}

// Device-side receiver: finds master request frames in the incoming byte stream.
// Deliberately independent of the host's response receiver, so that a framing bug
// cannot hide on both ends of the line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

struct ParsedRequest
{
    bool longFrame = false;
    std::array<std::uint8_t, 5> address{}; // short frame: address[0] only
    std::uint8_t command = 0;
    const std::uint8_t *data = nullptr; // points into the parser; valid until the next feed()
    std::size_t dataLength = 0;
    const std::uint8_t *frame = nullptr; // delimiter .. checksum
    std::size_t frameLength = 0;
};

class RequestParser
{
public:
    // The longest long frame a byte count can say: a gateway's wrapped requests go past 40.
    static constexpr std::size_t kMaxFrame = 9 + 255;

    enum class Result { Pending, Frame, BadChecksum, Overlong };

    // Feeds one byte. On Frame, request() describes the frame until the next call.
    // BadChecksum and Overlong report a dropped frame; hunting continues.
    Result feed(std::uint8_t byte);
    const ParsedRequest &request() const { return m_request; }

    // Drops a partial frame and the preamble run, as after a gap on the line.
    void reset();
    bool collecting() const { return m_count > 0; }

    // The bytes of the frame last dropped or completed.
    const std::uint8_t *frameBytes() const { return m_frame.data(); }
    std::size_t frameByteCount() const { return m_lastLength; }

private:
    std::array<std::uint8_t, kMaxFrame> m_frame{};
    std::size_t m_count = 0;    // bytes collected since the delimiter; 0 = hunting
    std::size_t m_expected = 0; // total frame length once the byte count is known
    std::size_t m_lastLength = 0;
    int m_preambles = 0;
    ParsedRequest m_request;
};

// Stateless HART encoding rules: big-endian payload accessors, the longitudinal
// checksum, packed ASCII and request-frame building.
#pragma once

#include <cstddef>
#include <cstdint>

#include <QByteArray>

namespace hart {

constexpr std::size_t kFrameAreaSize = 40;  // request and response frame areas
constexpr std::size_t kTxBufferSize = 60;   // preambles + frame
constexpr std::size_t kMaxRequestData = 31; // 40-byte area minus 9 framing bytes
// The bus work beyond the operations' 40 bytes (a gateway's wrapped frames, 32-character
// tags, sub-device summaries): as long as an 8-bit receiver count can say.
constexpr std::size_t kWideFrameAreaSize = 255;
constexpr std::uint8_t kMinPreambles = 5;
constexpr std::uint8_t kMaxPreambles = 20;

constexpr std::uint8_t kShortRequestDelimiter = 0x02;
constexpr std::uint8_t kLongRequestDelimiter = 0x82;

} // namespace hart

// Payload accessors: raw pointers, no bounds checks; the caller owns the buffer.
std::uint16_t getU16BE(const std::uint8_t *p);
void putU16BE(std::uint8_t *p, std::uint16_t value);
std::uint32_t getU32BE(const std::uint8_t *p);
void putU32BE(std::uint8_t *p, std::uint32_t value);
float getFloatBE(const std::uint8_t *p);
void putFloatBE(std::uint8_t *p, float value);

std::uint8_t xorChecksum(const std::uint8_t *data, std::size_t length);

// Encodes a NUL-terminated 8-bit string into exactly destLength bytes of packed ASCII.
void packAscii(std::uint8_t *dest, const char *text, std::size_t destLength);
// Decodes srcLength packed bytes into a NUL-padded buffer of destLength bytes.
void unpackAscii(char *dest, std::size_t destLength, const std::uint8_t *src,
                 std::size_t srcLength);

namespace hart {

struct RequestFrame
{
    std::uint8_t frame[kFrameAreaSize] = {};
    std::uint8_t frameLength = 0;
    std::uint8_t tx[kTxBufferSize] = {};
    std::uint8_t txLength = 0;
};

// Builds the request for one command. Command 0 uses the short frame with the polling
// address; every other command the long frame with the 5-byte unique address. The
// preamble count is clamped into 5..20 in place. dataLength above 31 is cut to 31.
void buildRequest(RequestFrame &out, std::uint8_t command, const std::uint8_t *data,
                  std::uint8_t dataLength, std::uint8_t masterBit, std::uint8_t pollingAddress,
                  const std::uint8_t uniqueAddress[5], std::uint8_t &preambleCount);

// A long frame (delimiter .. checksum, no preambles) of any length the wide area holds;
// data beyond it is cut.
QByteArray buildLongFrame(std::uint8_t command, const std::uint8_t *data, std::size_t dataLength,
                          std::uint8_t masterBit, const std::uint8_t uniqueAddress[5]);

} // namespace hart

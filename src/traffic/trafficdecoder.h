// Reads HART frames as a technician needs them: direction, address, command name, status
// bytes with their meaning, and the fields of the commands this tool uses. Every length is
// taken from the frame and checked against the bytes actually held.
#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>

namespace traffic {

constexpr std::uint8_t kBusyCode = 32;

// Command byte of a frame (0 when the frame is too short to carry one).
std::uint8_t commandOf(const std::uint8_t *frame, std::size_t length);
// Whether a response carries the address of the request it answers (master bit included).
bool sameAddress(const std::uint8_t *response, std::size_t responseLength,
                 const std::uint8_t *request, std::size_t requestLength);

struct Status
{
    bool valid = false;              // the frame holds both status bytes
    bool communicationError = false; // first byte reports a line error, not a response code
    std::uint8_t responseCode = 0;   // or the communication-error bits
    std::uint8_t deviceStatus = 0;
};
Status statusOf(const std::uint8_t *frame, std::size_t length);

// Response codes of the error class (the command was not carried out).
bool isErrorCode(std::uint8_t responseCode);

struct DecodedFrame
{
    bool complete = false; // header and checksum are all there
    bool isResponse = false;
    bool isLong = false;
    bool isBurst = false;
    QString address;       // "主 3" / "副 0x1A:0x10:0x123456"
    int command = -1;
    int byteCount = -1;
    Status status;         // responses only
    int dataOffset = 0;    // first payload byte (after the status bytes of a response)
    int dataLength = 0;    // payload bytes actually held
    QString fields;        // the decoded payload, empty when nothing is known of it
};

DecodedFrame decodeFrame(const std::uint8_t *frame, std::size_t length);

QString commandName(int command);
QString responseCodeText(std::uint8_t responseCode);
QString communicationErrorText(std::uint8_t bits);
QString deviceStatusText(std::uint8_t status);
// "xx xx xx" of a byte range.
QString hexBytes(const std::uint8_t *bytes, std::size_t length);

} // namespace traffic

// The link's side of a traffic recorder: an optional sink told of every attempt, every
// frame written and every frame the receiver completed, with the receiver's verdict.
// Implementations must be thread-safe and quick; the link never waits on them.
#pragma once

#include <cstddef>
#include <cstdint>

// How the receiver judged a completed frame. Everything but Accepted was dropped.
enum class RxVerdict : std::uint8_t {
    Accepted,
    BadChecksum,
    BadDelimiter,
    TooShort,     // byte count below the two status bytes
    OtherAddress, // no address or command byte matched the request
    WrongMaster,  // as OtherAddress, and the master bit is the other master's
    Overlong,     // abandoned after the 40-byte frame area was full
    Abandoned,    // half assembled when a new attempt reset the receiver
};

// What an echoing adapter gave back of a frame the link wrote.
enum class EchoFault : std::uint8_t {
    Mismatch,   // other bytes than were sent: another transmitter on the line (a collision)
    Incomplete, // fewer bytes than were sent before the next frame went out
};

class LinkCaptureSink
{
public:
    virtual ~LinkCaptureSink() = default;
    // Worker thread, before the attempt's frame is queued; attempt 0 opens a transaction.
    virtual void attemptStarted(std::uint8_t command, int attempt) = 0;
    // Worker thread: no acceptable answer in time. failedAttempts is the count of the
    // "retry count" line; retrying says whether another attempt follows. An attempt
    // answered busy or garbled is retried without this: its answer is in the capture.
    virtual void attemptTimedOut(std::uint8_t command, int failedAttempts, bool retrying) = 0;
    // Window thread: one preamble-plus-frame buffer handed to the port.
    virtual void requestWritten(const std::uint8_t *bytes, std::size_t length) = 0;
    // Window thread: a buffer the port did not take (closed, or the write failed).
    virtual void requestFailed(const std::uint8_t *bytes, std::size_t length) = 0;
    // Window thread: bytes still waiting in the input buffer when it was cleared before a
    // request, never seen by the receiver.
    virtual void inputDiscarded(const std::uint8_t *bytes, std::size_t length) = 0;
    // A frame the receiver completed (or abandoned), without preambles: window thread, or
    // the worker's thread for a frame cut off by its receiver reset.
    virtual void frameReceived(const std::uint8_t *frame, std::size_t length,
                               RxVerdict verdict) = 0;
    // Window thread: an echo that was not the frame written; the attempt gets no answer.
    virtual void echoFailed(EchoFault fault, const std::uint8_t *echo, std::size_t length)
    {
        (void)fault, (void)echo, (void)length;
    }
    // HART-IP session thread: one whole message sent or received, header included. ignored
    // marks an answer dropped because its sequence number was not the request's.
    virtual void hartIpMessage(const std::uint8_t *bytes, std::size_t length, bool outgoing,
                               bool ignored)
    {
        (void)bytes, (void)length, (void)outgoing, (void)ignored;
    }
};

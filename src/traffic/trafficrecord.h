// One entry of the traffic capture: a frame on the line or a link event, with its
// microsecond time stamp and the transaction and attempt it belongs to.
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <cstdint>

namespace traffic {

enum class Kind : std::uint8_t {
    Request,  // a frame written to the port (preambles counted, not stored)
    Response, // a frame the receiver completed, with its verdict
    Timeout,  // an attempt without an acceptable answer
    Retry,    // the next attempt of the same transaction follows
    Discarded, // bytes cleared from the input buffer before a request, never received
    Echo,      // an echoing adapter's echo that was not the request written
};

enum class Verdict : std::uint8_t {
    Sent,
    Accepted,
    Late, // a good answer nobody was waiting for any more
    BadChecksum,
    BadDelimiter,
    TooShort,
    OtherAddress,
    WrongMaster,
    Overlong,
    Failed, // a time-out that ended the transaction, or a request the port did not take
    Abandoned, // a frame cut off by the next attempt's receiver reset
    Discarded,
    Collision,     // an echo with other bytes than were sent
    EchoIncomplete, // an echo cut short by the next request
};

constexpr std::size_t kMaxFrameBytes = 40;

struct Record
{
    quint64 seq = 0;         // running number of the capture, never reused
    qint64 timeUs = 0;       // since the capture's clock started
    qint64 gapUs = -1;       // since the previous frame; -1 for the first, or for events
    quint32 transaction = 0; // 0 = outside any transaction
    quint8 attempt = 0;      // 1-based within the transaction
    Kind kind = Kind::Request;
    Verdict verdict = Verdict::Sent;
    bool addressMismatch = false; // accepted although its address is not the request's
    quint8 command = 0;           // of the transaction, for events
    quint8 preambles = 0;         // of a request
    quint8 length = 0;            // frame bytes held, without preambles
    std::array<quint8, kMaxFrameBytes> bytes{};
    QByteArray discarded; // every byte of a Discarded or Echo record, however many

    // The bytes shown and exported as data.
    const quint8 *dataBytes() const
    {
        return holdsBytes() ? reinterpret_cast<const quint8 *>(discarded.constData())
                            : bytes.data();
    }
    std::size_t dataLength() const { return holdsBytes() ? std::size_t(discarded.size()) : length; }
    bool holdsBytes() const { return kind == Kind::Discarded || kind == Kind::Echo; }

    bool isFrame() const { return kind == Kind::Request || kind == Kind::Response; }
    // Anything a technician looks for when the line misbehaves.
    bool isError() const
    {
        return kind == Kind::Timeout || kind == Kind::Retry || holdsBytes()
                || addressMismatch || (kind == Kind::Response && verdict != Verdict::Accepted)
                || (kind == Kind::Request && verdict == Verdict::Failed);
    }
};

} // namespace traffic

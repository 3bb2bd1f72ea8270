// HART-IP message framing shared by the client and the simulator's server: the 8-byte
// header, the message kinds, the session statuses and the port addresses users type.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace hartip {

constexpr quint16 kDefaultPort = 5094;
constexpr int kHeaderSize = 8;
// Far above any HART frame plus header; a TCP stream claiming more is out of step.
constexpr int kMaxMessageSize = 1024;
constexpr std::uint32_t kDefaultInactivityMs = 600000;
constexpr std::uint8_t kPrimaryMaster = 1;

enum class MessageType : std::uint8_t { Request = 0, Response = 1, Notification = 2, Error = 3,
                                        Nak = 15 };
enum class MessageId : std::uint8_t { SessionInitiate = 0, SessionClose = 1, KeepAlive = 2,
                                      TokenPassingPdu = 3 };

// Statuses of the header's status byte.
namespace status {
constexpr std::uint8_t success = 0;
constexpr std::uint8_t invalidMasterType = 2;
constexpr std::uint8_t tooFewBytes = 5;
constexpr std::uint8_t nearestValue = 8; // the timer was set to what the server allows
constexpr std::uint8_t versionNotSupported = 14;
constexpr std::uint8_t noSessionAvailable = 15;
constexpr std::uint8_t sessionExists = 16;
} // namespace status

struct Header
{
    std::uint8_t version = 1;
    MessageType type = MessageType::Request;
    MessageId id = MessageId::TokenPassingPdu;
    std::uint8_t status = 0;
    std::uint16_t sequence = 0;
    std::uint16_t byteCount = kHeaderSize; // header and body
};

// The whole message: header, then body.
QByteArray encode(Header header, const QByteArray &body = QByteArray());
// Takes the header apart; false when fewer than 8 bytes or the byte count is below 8 or
// above kMaxMessageSize (the body need not have arrived yet).
bool decodeHeader(const char *bytes, int length, Header *out);

// The session-initiate body: master type and inactivity close time in milliseconds.
QByteArray initiateBody(std::uint32_t inactivityMs);
bool parseInitiateBody(const QByteArray &body, std::uint8_t *masterType,
                       std::uint32_t *inactivityMs);

// A port name the HART-IP client serves.
enum class Scheme { Udp, Tcp, Tls };
struct Address
{
    Scheme scheme = Scheme::Udp;
    QString host;
    quint16 port = kDefaultPort;
    QString pskFile; // hartips only; empty = the environment's identity and key
};
bool looksLikeUrl(const QString &portName); // names one of the three schemes
// Fills out, or says in English why the name is not a usable address.
bool parseAddress(const QString &portName, Address *out, QString *why);

// Identity and 128-bit key for a TLS-PSK session.
struct PreSharedKey
{
    QByteArray identity;
    QByteArray key;
};
// From the file (one line "identity:32 hex digits"; the file must not be readable by
// group or others) or, without a file, from HARTIP_PSK_IDENTITY and HARTIP_PSK_KEY.
// The reason never quotes the key.
bool loadPreSharedKey(const QString &file, PreSharedKey *out, QString *why);

} // namespace hartip

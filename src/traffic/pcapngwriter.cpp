#include "pcapngwriter.h"

#include "trafficexport.h"

#include <QtEndian>

namespace traffic::pcapng {

namespace {

constexpr quint32 kSectionHeader = 0x0A0D0D0A;
constexpr quint32 kInterfaceDescription = 1;
constexpr quint32 kEnhancedPacket = 6;
constexpr quint16 kLinkTypeEthernet = 1;
constexpr quint16 kOptComment = 1;

// pcapng is written in the host's order; the byte-order magic tells readers which.
template<typename T>
void put(QByteArray &out, T value)
{
    out.append(reinterpret_cast<const char *>(&value), sizeof value);
}

void pad4(QByteArray &out)
{
    while (out.size() % 4)
        out.append('\0');
}

void putBe16(QByteArray &out, quint16 value)
{
    out.append(char(value >> 8));
    out.append(char(value & 0xFF));
}

// Closes a block begun at start: the total length goes in front and at the end.
void finishBlock(QByteArray &out, int start)
{
    pad4(out);
    const quint32 total = quint32(out.size() - start + 4);
    qToUnaligned(total, out.data() + start + 4);
    put(out, total);
}

quint16 ipChecksum(const QByteArray &header)
{
    quint32 sum = 0;
    for (int i = 0; i + 1 < header.size(); i += 2)
        sum += (quint8(header[i]) << 8) | quint8(header[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return quint16(~sum);
}

QByteArray udpPacket(bool response, quint16 ipId, const QByteArray &payload)
{
    const int udpLength = 8 + payload.size();
    const int ipLength = 20 + udpLength;

    QByteArray frame;
    frame.reserve(14 + ipLength);
    // Ethernet: locally administered addresses, host ...01, device ...02.
    const char host[6] = {2, 0, 0, 0, 0, 1};
    const char device[6] = {2, 0, 0, 0, 0, 2};
    frame.append(response ? host : device, 6);
    frame.append(response ? device : host, 6);
    putBe16(frame, 0x0800);

    QByteArray ip;
    ip.append(char(0x45));
    ip.append('\0');
    putBe16(ip, quint16(ipLength));
    putBe16(ip, ipId);
    putBe16(ip, 0x4000); // don't fragment
    ip.append(char(64));
    ip.append(char(17)); // UDP
    putBe16(ip, 0);
    const char hostIp[4] = {char(192), char(168), 0, 1};
    const char deviceIp[4] = {char(192), char(168), 0, 2};
    ip.append(response ? deviceIp : hostIp, 4);
    ip.append(response ? hostIp : deviceIp, 4);
    const quint16 sum = ipChecksum(ip);
    ip[10] = char(sum >> 8);
    ip[11] = char(sum & 0xFF);
    frame += ip;

    putBe16(frame, response ? kHartIpPort : kHostPort);
    putBe16(frame, response ? kHostPort : kHartIpPort);
    putBe16(frame, quint16(udpLength));
    putBe16(frame, 0); // no UDP checksum
    frame += payload;
    return frame;
}

QByteArray udpPacket(const Record &r)
{
    const bool response = r.kind == Kind::Response;
    const int hartIpLength = 8 + r.length;
    QByteArray frame;
    // HART-IP: version 1, request 0 / response 1, message 3 (token-passing PDU), status 0,
    // sequence number of the transaction so a request and its answers pair up.
    frame.append(char(1));
    frame.append(char(response ? 1 : 0));
    frame.append(char(3));
    frame.append('\0');
    putBe16(frame, quint16(r.transaction & 0xFFFF));
    putBe16(frame, quint16(hartIpLength));
    frame.append(reinterpret_cast<const char *>(r.bytes.data()), r.length);
    return udpPacket(response, quint16(r.seq & 0xFFFF), frame);
}

QByteArray enhancedBlock(const QByteArray &packet, quint64 stamp, const QByteArray &comment)
{
    QByteArray out;
    put(out, kEnhancedPacket);
    put(out, quint32(0));
    put(out, quint32(0)); // interface 0
    put(out, quint32(stamp >> 32));
    put(out, quint32(stamp & 0xFFFFFFFF));
    put(out, quint32(packet.size()));
    put(out, quint32(packet.size()));
    out += packet;
    pad4(out);
    if (!comment.isEmpty()) {
        put(out, kOptComment);
        put(out, quint16(comment.size()));
        out += comment;
        pad4(out);
        put(out, quint32(0)); // end of options
    }
    finishBlock(out, 0);
    return out;
}

} // namespace

QByteArray fileHeader()
{
    QByteArray out;
    put(out, kSectionHeader);
    put(out, quint32(0));
    put(out, quint32(0x1A2B3C4D));
    put(out, quint16(1));
    put(out, quint16(0));
    put(out, qint64(-1)); // section length not given
    finishBlock(out, 0);

    const int start = out.size();
    put(out, kInterfaceDescription);
    put(out, quint32(0));
    put(out, kLinkTypeEthernet);
    put(out, quint16(0));
    put(out, quint32(65535));
    finishBlock(out, start);
    return out;
}

QByteArray packetBlock(const Record &r, qint64 originWallUs)
{
    if (!r.isFrame())
        return QByteArray();
    return enhancedBlock(udpPacket(r), quint64(originWallUs + r.timeUs),
                         verdictText(r).toUtf8());
}

QByteArray messageBlock(const QByteArray &message, bool toDevice, qint64 timeUs,
                        qint64 originWallUs, quint16 ipId, const QString &comment)
{
    return enhancedBlock(udpPacket(!toDevice, ipId, message), quint64(originWallUs + timeUs),
                         comment.toUtf8());
}

} // namespace traffic::pcapng

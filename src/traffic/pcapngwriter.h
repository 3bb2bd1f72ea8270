// The capture as pcapng that Wireshark decodes: each HART frame in a HART-IP pass-through
// message over UDP port 5094 inside IPv4 and Ethernet, at the capture's own time stamps,
// the receiver's verdict as the packet comment. Link events carry no frame and are left out.
#pragma once

#include "trafficrecord.h"

#include <QByteArray>
#include <QString>

namespace traffic::pcapng {

constexpr quint16 kHartIpPort = 5094;
constexpr quint16 kHostPort = 50094;

// Section header and the one Ethernet interface (microsecond time stamps).
QByteArray fileHeader();
// One enhanced packet block; empty for a record that is not a frame.
QByteArray packetBlock(const Record &record, qint64 originWallUs);
// A whole HART-IP message as it went over a session (initiate, keep-alive, close, or an
// answer dropped for its sequence number), with its own header.
QByteArray messageBlock(const QByteArray &message, bool toDevice, qint64 timeUs,
                        qint64 originWallUs, quint16 ipId, const QString &comment);

} // namespace traffic::pcapng

// The capture as pcapng that Wireshark decodes: each HART frame in a HART-IP pass-through
// message over UDP port 5094 inside IPv4 and Ethernet, at the capture's own time stamps,
// the receiver's verdict as the packet comment. Link events carry no frame and are left out.
#pragma once

#include "trafficrecord.h"

#include <QByteArray>

namespace traffic::pcapng {

constexpr quint16 kHartIpPort = 5094;
constexpr quint16 kHostPort = 50094;

// Section header and the one Ethernet interface (microsecond time stamps).
QByteArray fileHeader();
// One enhanced packet block; empty for a record that is not a frame.
QByteArray packetBlock(const Record &record, qint64 originWallUs);

} // namespace traffic::pcapng

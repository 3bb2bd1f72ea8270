// What carries the master's frames to the device and the device's answer back to the
// master's receiver: the serial modem, or a HART-IP session. The master only builds frames
// and runs the attempts; it neither knows nor cares which carrier is open.
#pragma once

#include <QByteArray>
#include <QString>

class LinkTransport
{
public:
    virtual ~LinkTransport() = default;

    virtual bool isOpen() const = 0;
    virtual void close() = 0;
    // What the user opened, as shown in the connection label.
    virtual QString portName() const = 0;
    // One preamble-plus-frame buffer exactly as the master built it, on the transport's
    // thread. A closed transport drops it; the attempt then times out like a silent line.
    virtual void send(const QByteArray &wire) = 0;
};

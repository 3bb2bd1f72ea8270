// Why a serial port would not open, as a technician can act on it: a port the user may not
// use names its owning group and the cure.
#pragma once

#include "hartiplink.h"

#include <QSerialPort>
#include <QString>

struct PortAccess
{
    bool denied = false; // this user may not read and write the device
    QString group;       // the device's owning group, "dialout" when it cannot be told
};

// A bare name ("ttyUSB0") is looked up under /dev, as QSerialPort does.
QString portDevicePath(const QString &portName);

// stat and access on the device, following links such as /dev/serial/by-id names.
PortAccess checkPortAccess(const QString &devicePath);

// The warning shown when opening failed: the fixed text, and for a permission failure on a
// device this user may not use, a second line with the group and that a new login is needed.
QString portOpenFailureText(QSerialPort::SerialPortError error, const PortAccess &access);

// The second line of the open-failure warning for a HART-IP address: why the session did not
// open. Never quotes a key.
QString hartIpFailureText(HartIpLink::Failure failure, const QString &detail,
                          std::uint8_t status);

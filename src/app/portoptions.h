// The modem options chosen for each serial port, remembered by port name in the program's
// settings file; a port never set up has the defaults (RTS keying, no echo).
#pragma once

#include "serialoptions.h"

#include <QString>

SerialOptions loadPortOptions(const QString &portName);
void savePortOptions(const QString &portName, const SerialOptions &options);

// "--health PORT [--address N]": one JSON object on standard output; the exit status.
#pragma once

#include <QString>

int runHealthCommand(const QString &port, int address);

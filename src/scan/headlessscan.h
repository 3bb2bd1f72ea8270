// The scan for a station or a script: opens the port, scans through a worker of its own and
// prints one JSON line per device, with no window and no display.
#pragma once

#include "busscan.h"

#include <QString>

#include <cstdio>
#include <functional>

class kvhart_master;

struct HeadlessScan
{
    QString port;
    scan::Options options;
    QByteArray findTag; // not empty: find this tag instead of scanning
};

// 0 when the scan ran (whatever it found), 1 when the port cannot be opened. tune may
// adjust the master before the first request (tests shorten its time-out).
int runHeadlessScan(const HeadlessScan &job, std::FILE *out, std::FILE *err,
                    const std::function<void(kvhart_master &)> &tune = {});

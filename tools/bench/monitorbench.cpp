// One monitoring sample with the buffer full at 2000 samples: the append, the trim, the two
// data copies and the redraw, timed over 500 samples on the offscreen platform.
#include "benchhost.h"
#include "devicedata.h"
#include "monitoringpage.h"

#include <qcustomplot.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMutexLocker>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchHost host;
    MonitoringPage page(host);
    page.resize(680, 520);
    page.show();
    {
        QMutexLocker lock(&host.dataLock());
        deviceData.upperRangeValue = 100.0f;
        deviceData.lowerRangeValue = 0.0f;
        deviceData.pvUnits = 12;
    }
    page.onMonitoringHeader();

    int n = 0;
    auto sample = [&] {
        {
            QMutexLocker lock(&host.dataLock());
            deviceData.pv = float(50.0 + 40.0 * std::sin(n * 0.05));
            deviceData.loopCurrent = 4.0f + 16.0f * deviceData.pv / 100.0f;
            deviceData.percentOfRange = deviceData.pv;
        }
        ++n;
        page.onPvSample();
        // The queued redraw and its paint run here.
        QCoreApplication::processEvents();
    };
    while (page.buffer().size() < 2000)
        sample();

    std::vector<double> ms;
    QElapsedTimer clock;
    for (int i = 0; i < 500; ++i) {
        clock.start();
        sample();
        ms.push_back(clock.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf(
            "monitoring sample, buffer %d samples, 500 samples: median %.3f ms, worst %.3f ms\n",
            page.buffer().size(), ms[ms.size() / 2], ms.back());
    return 0;
}

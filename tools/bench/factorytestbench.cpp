// Cost of one factory-test tick on page 19 (lock, copy, step rule, last-line rewrite) at an
// early and a late waiting step, to show the work per tick stays flat as the log grows.
// Prints numbers; asserts nothing.
#include "devicedata.h"
#include "factorytestpage.h"
#include "pagehost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMutex>
#include <QPushButton>
#include <QTextBrowser>

#include <cstdio>

namespace {

class BenchHost : public PageHost
{
public:
    QMutex lock;
    bool isPortOpen() const override { return true; }
    bool portReady() override { return true; }
    void startRequest(const QString &, const QString &, WhileBusy) override { }
    void sendRequest(const QString &) override { }
    void setPortButtonsEnabled(bool) override { }
    void showStatus(const QString &) override { }
    void showPage(int) override { }
    int currentPage() const override { return pageindex::FactoryTest; }
    void warn(const QString &) override { }
    bool ask(const QString &, const QString &) override { return false; }
    int runCentred(QDialog &) override { return 0; }
    QMutex &dataLock() override { return lock; }
    kvhart_master::Addressing addressing() override { return {}; }
    QValidator *realValidator() const override { return nullptr; }
    QValidator *u16Validator() const override { return nullptr; }
    QValidator *u24Validator() const override { return nullptr; }
};

double microsPerTick(FactoryTestPage &page, int ticks)
{
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < ticks; ++i)
        page.tick(50, SecondMark::No); // no countdown: the step keeps waiting
    return double(clock.nsecsElapsed()) / 1000.0 / ticks;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    BenchHost host;
    FactoryTestPage page(host);
    page.record().setPath(QStringLiteral("/dev/null"));
    auto lines = [&] {
        return page.findChild<QTextBrowser *>("textBrowser_chuchangjiance")
                ->document()
                ->blockCount();
    };
    auto click = [&](const char *name) {
        page.findChild<QPushButton *>(name)->click();
    };
    resetDeviceData(deviceData);
    deviceData.upperRangeValueCopy = 100.0f;

    constexpr int kTicks = 20000;
    click("pushButton_chuchangjiance_start");
    page.tick(0, SecondMark::No);
    page.calibrationWriteFinished(CalibrationWrite::Succeeded);
    page.tick(0, SecondMark::No);
    std::printf("step %2d, log of %3d lines: %.2f us per tick\n", page.procedure().step(), lines(),
                microsPerTick(page, kTicks));

    // Walk to step 16 (the longest log a run makes) by meeting each condition.
    const std::uint8_t keys[] = {1, 0, 2, 0, 4, 0};
    while (page.procedure().step() != 16) {
        const int s = page.procedure().step();
        if (s == 3 || s == 5)
            deviceData.pv = s == 3 ? 0.0f : 100.0f;
        else if (s == 4 || s == 6)
            click("pushButton_chuchangjiance_yes");
        else if (s >= 7 && s <= 9)
            deviceData.tempCompSignal = s == 7 ? 2500.0f : s == 8 ? 0.0f : 4000.0f;
        else if (s >= 10 && s <= 15)
            deviceData.factoryTestStatus = keys[s - 10];
        page.tick(0, SecondMark::No);
    }
    std::printf("step %2d, log of %3d lines: %.2f us per tick\n", page.procedure().step(), lines(),
                microsPerTick(page, kTicks));
    return 0;
}

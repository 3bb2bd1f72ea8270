// The worker's side of the multidrop bus: running the scan a higher layer hands over, and
// making a device it found the current one, as a search does.
#include "devicedata.h"
#include "healthrecord.h"
#include "hartthread.h"
#include "kvhart_master.h"
#include "workerlog.h"

#include <QMutexLocker>

namespace {
constexpr int kCommand0Length = 12;
} // namespace

void hartThread::setBusJob(BusJob job)
{
    std::lock_guard<std::mutex> lock(m_busLock);
    m_busJob = std::move(job);
}

void hartThread::setSelection(std::uint8_t pollingAddress, const QByteArray &command0,
                              const SubDeviceRoute *route)
{
    std::lock_guard<std::mutex> lock(m_busLock);
    m_selectedAddress = pollingAddress;
    m_selectedCommand0 = command0;
    m_selectedRouted = route != nullptr;
    m_selectedRoute = route ? *route : SubDeviceRoute{};
}

void hartThread::scanBus()
{
    BusJob job;
    {
        std::lock_guard<std::mutex> lock(m_busLock);
        job = m_busJob;
    }
    clearBit(ScanBus);
    // The scan addresses every device of the line in turn; whichever the pages talk to
    // keeps its address, preambles and attempts afterwards.
    const kvhart_master::Addressing saved = m_master->addressing();
    SubDeviceRoute route;
    const bool routed = m_master->route(&route);
    const std::uint8_t preambles = m_master->preambleCount;
    const std::uint8_t attempts = m_master->retryCount;
    const bool ok = job && job(*m_master);
    m_master->setPollingAddress(saved.pollingAddress);
    m_master->setUniqueAddress(saved.uniqueAddress);
    m_master->setRoute(routed ? &route : nullptr);
    m_master->preambleCount = preambles;
    m_master->retryCount = attempts;
    qCDebug(lcWorker, "scan bus %s", ok ? "done" : "stopped");
    send(ok ? QStringLiteral("scan bus succeed") : QStringLiteral("scan bus failed"));
}

void hartThread::selectMeter()
{
    std::uint8_t address;
    QByteArray c0;
    bool routed;
    SubDeviceRoute route;
    {
        std::lock_guard<std::mutex> lock(m_busLock);
        address = m_selectedAddress;
        c0 = m_selectedCommand0;
        routed = m_selectedRouted;
        route = m_selectedRoute;
    }
    clearBit(SelectMeter);
    m_deviceFound.store(false);
    progress(10);
    const bool identified = c0.size() >= kCommand0Length;
    if (identified) {
        const auto *d = reinterpret_cast<const std::uint8_t *>(c0.constData());
        if (address <= 63)
            m_master->setPollingAddress(address);
        const std::uint8_t unique[5] = {d[1], d[2], d[9], d[10], d[11]};
        m_master->setUniqueAddress(unique);
        m_master->setRoute(routed ? &route : nullptr);
        QMutexLocker lock(&mutex);
        // What a search takes from command 0.
        deviceData.manufacturerId = d[1];
        deviceData.deviceType = d[2];
        deviceData.devicePreambles = d[3];
        m_master->preambleCount = d[3];
        deviceData.universalRevision = d[4];
        deviceData.deviceRevision = d[5];
        deviceData.softwareRevision = d[6];
        deviceData.hardwareRevision = d[7];
        // The health of the chosen device, never of the one the pages talked to before.
        takeIdentity(healthRecord, d, std::uint8_t(std::min(c0.size(), 255)));
    }
    const bool ok = identified && (progress(40), readCommand14())
            && (progress(70), readCommand15(Fields15::All));
    if (!ok) {
        send(QStringLiteral("select meter failed"));
        progress(100);
        return;
    }
    announceFound();
}

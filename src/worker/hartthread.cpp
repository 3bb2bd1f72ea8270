// Request bookkeeping and the run loop of the worker; the operations live in
// standardops.cpp and deviceops.cpp.
#include "hartthread.h"

#include "devicedata.h"
#include "kvhart_master.h"
#include "workerlog.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>

Q_LOGGING_CATEGORY(lcWorker, "hart.worker")

namespace {

struct Request
{
    const char *text;
    hartThread::Bit bit;
};

// Requests that simply set their bit.
const Request kRequests[] = {
        {"close port", hartThread::ClosePort},
        {"search meter", hartThread::SearchMeter},
        {"search meter 1-15", hartThread::SearchMeter1to15},
        {"read tramsmeter info", hartThread::ReadTransmitterInfo},
        {"read meter info", hartThread::ReadMeterInfo},
        {"write meter info", hartThread::WriteMeterInfo},
        {"read more info", hartThread::ReadMoreInfo},
        {"write addr info", hartThread::WriteAddrInfo},
        {"read range info", hartThread::ReadRangeInfo},
        {"write range info", hartThread::WriteRangeInfo},
        {"read qianyi range info", hartThread::ReadRerangeInfo},
        {"lingdianqianyi", hartThread::ZeroShift},
        {"liangchengqianyi", hartThread::SpanShift},
        {"read shuchushezhi", hartThread::ReadOutputSettings},
        {"write shuchushezhi", hartThread::WriteOutputSettings},
        {"enter dianliujiaozhun", hartThread::EnterCurrentTrim},
        {"set fix current", hartThread::SetFixCurrent},
        {"exit fix current", hartThread::ExitFixCurrent},
        {"jiaozhun4ma", hartThread::Trim4mA},
        {"jiaozhun20ma", hartThread::Trim20mA},
        {"enter dianliuceshi", hartThread::EnterCurrentTest},
        {"PV clear", hartThread::PvClear},
        {"PV clear reset", hartThread::PvClearReset},
        {"read chuanganqipeizhishuju", hartThread::ReadSensorConfig},
        {"write chuanganqipeizhishuju", hartThread::WriteSensorConfig},
        {"read jiaozhunpeizhishuju", hartThread::ReadCalibrationConfig},
        {"read jiaozhunshuju", hartThread::ReadCalibrationData},
        {"write jiaozhunshuju", hartThread::WriteCalibrationData},
        {"read ADC", hartThread::ReadAdc},
        {"read yonghujiaozhunshuju", hartThread::ReadUserCalibration},
        {"write yonghujiaozhunshuju", hartThread::WriteUserCalibration},
        {"gongchangdianliujiaozhun", hartThread::FactoryCurrentCalibration},
        {"write gongchangdianliujiaozhunshuju", hartThread::WriteFactoryCurrentData},
        {"read xianshishezhi", hartThread::ReadDisplay},
        {"write xianshishezhi", hartThread::WriteDisplay},
        {"fac save", hartThread::FactorySave},
        {"single temp compensation mode", hartThread::SingleTempMode},
        {"read modbus custom reg", hartThread::ReadModbus},
        {"write modbus custom reg", hartThread::WriteModbus},
        {"read zhuanyoushezhi", hartThread::ReadProprietary},
        {"write zhuanyoushezhi", hartThread::WriteProprietary},
        {"write all", hartThread::WriteAll},
        {"read SecondNonlinearityCorrection", hartThread::ReadSecondCorrection},
        {"write SecondNonlinearityCorrection", hartThread::WriteSecondCorrection},
        {"read loop check setup", hartThread::ReadLoopCheckSetup},
        {"read loop check point", hartThread::ReadLoopCheckPoint},
        {"scan bus", hartThread::ScanBus},
        {"select meter", hartThread::SelectMeter},
        {"read health", hartThread::ReadHealth},
        {"acknowledge status", hartThread::AcknowledgeStatus},
        {"reset config changed", hartThread::ResetConfigChanged},
};

// Serving order once a device is found (the searches come first).
const hartThread::Bit kServingOrder[] = {
        hartThread::KeepAlive,
        hartThread::ReadTransmitterInfo,
        hartThread::ReadMeterInfo,
        hartThread::WriteMeterInfo,
        hartThread::ReadMoreInfo,
        hartThread::WriteAddrInfo,
        hartThread::ReadRangeInfo,
        hartThread::WriteRangeInfo,
        hartThread::ReadRerangeInfo,
        hartThread::ZeroShift,
        hartThread::SpanShift,
        hartThread::ReadOutputSettings,
        hartThread::WriteOutputSettings,
        hartThread::EnterCurrentTrim,
        hartThread::SetFixCurrent,
        hartThread::ExitFixCurrent,
        hartThread::Trim4mA,
        hartThread::Trim20mA,
        hartThread::EnterCurrentTest,
        hartThread::PvClear,
        hartThread::PvClearReset,
        hartThread::ReadSensorConfig,
        hartThread::WriteSensorConfig,
        hartThread::ReadCalibrationConfig,
        hartThread::ReadCalibrationData,
        hartThread::WriteCalibrationData,
        hartThread::ReadAdc,
        hartThread::ReadUserCalibration,
        hartThread::WriteUserCalibration,
        hartThread::FactoryCurrentCalibration,
        hartThread::WriteFactoryCurrentData,
        hartThread::ReadPvFirst,
        hartThread::ReadDisplay,
        hartThread::WriteDisplay,
        hartThread::FactorySave,
        hartThread::SingleTempMode,
        hartThread::ReadModbus,
        hartThread::WriteModbus,
        hartThread::ReadProprietary,
        hartThread::WriteProprietary,
        hartThread::WriteAll,
        hartThread::ReadSecondCorrection,
        hartThread::WriteSecondCorrection,
        hartThread::ReadLoopCheckSetup,
        hartThread::ReadLoopCheckPoint,
        hartThread::FactoryTest,
        hartThread::StopFactoryTest,
        hartThread::ReadHealth,
        hartThread::AcknowledgeStatus,
        hartThread::ResetConfigChanged,
};

} // namespace

hartThread::hartThread(QObject *parent)
    : QThread(parent)
    , m_master(new kvhart_master(this))
{
    m_master->pollingAddress = 0;
    connect(&m_tickTimer, &QTimer::timeout, this, &hartThread::tickTimerSlot);
    m_tickTimer.start(100);
}

hartThread::~hartThread()
{
    stop();
}

void hartThread::stop()
{
    requestInterruption();
    m_master->abort();
    {
        std::lock_guard<std::mutex> lock(m_pauseLock);
        m_pauseWake.notify_all();
    }
    wait();
}

bool hartThread::testBit(Bit b) const
{
    return m_flags[b / 8].load() & bitMask(b);
}

void hartThread::setBit(Bit b)
{
    m_flags[b / 8].fetch_or(bitMask(b));
}

void hartThread::clearBit(Bit b)
{
    m_flags[b / 8].fetch_and(std::uint8_t(~bitMask(b)));
}

void hartThread::clearAllExcept(std::initializer_list<Bit> keep)
{
    static_assert(BitCount <= 8 * 8, "every request bit needs its place in m_flags");
    std::uint8_t keepMask[8] = {};
    for (Bit b : keep)
        keepMask[b / 8] |= bitMask(b);
    QStringList dropped;
    for (std::size_t i = 0; i < m_flags.size(); ++i) {
        const std::uint8_t was = m_flags[i].fetch_and(keepMask[i]);
        const std::uint8_t gone = std::uint8_t(was & ~keepMask[i]);
        for (int bit = 0; bit < 8; ++bit) {
            if (gone & (1u << bit))
                dropped << requestText(Bit(i * 8 + std::size_t(bit)));
        }
    }
    if (!dropped.isEmpty())
        emit requestsDiscarded(dropped);
}

QString hartThread::requestText(Bit b)
{
    switch (b) {
    case ReadPvFirst:
    case ReadPvPeriodic: return QStringLiteral("read PV");
    case KeepAlive: return QStringLiteral("keep alive");
    case FactoryTest: return QStringLiteral("start chuchang jiance");
    case StopFactoryTest: return QStringLiteral("stop chuchang jiance");
    default: break;
    }
    for (const Request &r : kRequests)
        if (r.bit == b)
            return QLatin1String(r.text);
    return QString();
}

QStringList hartThread::vocabulary()
{
    QStringList all{QStringLiteral("open port"), QStringLiteral("read PV"),
                    QStringLiteral("stop read PV"), QStringLiteral("stop read ADC"),
                    QStringLiteral("start chuchang jiance"), QStringLiteral("stop chuchang jiance")};
    for (const Request &r : kRequests)
        all << QLatin1String(r.text);
    return all;
}

bool hartThread::isRequestPending(const QString &request) const
{
    if (request == QLatin1String("read PV"))
        return testBit(ReadPvFirst) || testBit(ReadPvPeriodic);
    if (request == QLatin1String("stop chuchang jiance"))
        return testBit(StopFactoryTest);
    if (request == QLatin1String("start chuchang jiance"))
        return testBit(FactoryTest);
    for (const Request &r : kRequests)
        if (request == QLatin1String(r.text))
            return testBit(r.bit);
    return false;
}

void hartThread::receiveMessageFromMainThread(QString Message)
{
    if (Message == QLatin1String("open port")) {
        // A close still pending belongs to the port before this one (a vanished modem
        // reopened at once); served later, it would shut the port just opened.
        std::lock_guard<std::mutex> lock(m_portLock);
        m_portOpen.store(true);
        clearBit(ClosePort);
        m_opens.fetch_add(1);
    } else if (Message == QLatin1String("read PV")) {
        // First read pending, periodic reading off, as one atomic step.
        std::uint8_t expected = m_flags[ReadPvFirst / 8].load();
        std::uint8_t wanted;
        do {
            wanted = std::uint8_t((expected | bitMask(ReadPvFirst)) & ~bitMask(ReadPvPeriodic));
        } while (!m_flags[ReadPvFirst / 8].compare_exchange_weak(expected, wanted));
    } else if (Message == QLatin1String("stop read PV")) {
        m_flags[ReadPvFirst / 8].fetch_and(
                std::uint8_t(~(bitMask(ReadPvFirst) | bitMask(ReadPvPeriodic))));
    } else if (Message == QLatin1String("stop read ADC")) {
        clearBit(ReadAdc);
    } else if (Message == QLatin1String("start chuchang jiance")) {
        qCDebug(lcWorker, "start chuchang jiance");
        setBit(FactoryTest);
    } else if (Message == QLatin1String("stop chuchang jiance")) {
        clearBit(FactoryTest);
        setBit(StopFactoryTest);
    } else {
        for (const Request &r : kRequests) {
            if (Message == QLatin1String(r.text)) {
                setBit(r.bit);
                break;
            }
        }
    }
}

void hartThread::tickTimerSlot()
{
    std::uint32_t count = m_tickCount.load() + 1;
    if (count > 50000)
        count = 0;
    m_tickCount.store(count);
    if (count % 100 != 0)
        return;
    bool supported;
    {
        QMutexLocker lock(&mutex);
        supported = isMakerDevice(deviceData);
    }
    if (supported)
        setBit(KeepAlive);
}

void hartThread::run()
{
    while (!isInterruptionRequested()) {
        if (!pause(20))
            break;
        if (testBit(ClosePort))
            serveClosePort();
        if (!m_portOpen.load()) {
            clearAllExcept({SearchMeter});
            continue;
        }
        if (testBit(SearchMeter)) {
            m_serving = SearchMeter;
            searchMeter();
        }
        if (testBit(SearchMeter1to15)) {
            m_serving = SearchMeter1to15;
            searchMeter1to15();
        }
        if (testBit(ScanBus)) {
            m_serving = ScanBus;
            scanBus();
        }
        if (testBit(SelectMeter)) {
            m_serving = SelectMeter;
            selectMeter();
        }
        if (!m_deviceFound.load()) {
            clearAllExcept({ClosePort, SearchMeter});
            continue;
        }
        for (Bit b : kServingOrder) {
            if (isInterruptionRequested())
                break;
            serve(b);
        }
    }
}

void hartThread::serveClosePort()
{
    std::uint32_t opens;
    {
        std::lock_guard<std::mutex> lock(m_portLock);
        if (!testBit(ClosePort))
            return; // an "open port" overtook it
        // Closed before the bit goes: whoever sees no close pending then sees it closed.
        m_portOpen.store(false);
        clearBit(ClosePort);
        opens = m_opens.load();
    }
    m_master->setRoute(nullptr);
    // Answered from this object's thread, queued behind the results sent so far: an open
    // that reaches the worker before the answer is handled makes the answer stale.
    QMetaObject::invokeMethod(
            this,
            [this, opens] {
                if (m_opens.load() == opens)
                    send(QStringLiteral("close port succeed"));
            },
            Qt::QueuedConnection);
}

void hartThread::serve(Bit b)
{
    m_refused = false;
    const std::uint32_t tick = m_tickCount.load();
    if (b == ReadPvFirst) {
        // The two "read PV" bits form one state: first read, then periodic reading.
        if (testBit(ReadPvFirst) || (testBit(ReadPvPeriodic) && tick % 10 == 0)) {
            m_serving = ReadPvFirst;
            readPv();
        }
        return;
    }
    if (b == ReadHealth && !testBit(b)) {
        // "More status available" asks for command 48 by itself, now and then.
        if (isAdditionalStatusDue())
            readHealth(false);
        return;
    }
    if (!testBit(b))
        return;
    if ((b == ReadAdc && tick % 10 != 0) || (b == FactoryTest && tick % 2 != 0))
        return;
    m_serving = b;

    switch (b) {
    case KeepAlive: keepAlive(); break;
    case ReadTransmitterInfo: readTransmitterInfo(QStringLiteral("read tramsmeter info")); break;
    case ReadMeterInfo: readMeterInfo(); break;
    case WriteMeterInfo: writeMeterInfo(); break;
    case ReadMoreInfo: readMoreInfo(); break;
    case WriteAddrInfo: writeAddrInfo(); break;
    case ReadRangeInfo: readTransmitterInfo(QStringLiteral("read range info")); break;
    case WriteRangeInfo: writeRangeInfo(); break;
    case ReadRerangeInfo: readRerangeInfo(); break;
    case ZeroShift: shiftRange(false); break;
    case SpanShift: shiftRange(true); break;
    case ReadOutputSettings: readOutputSettings(); break;
    case WriteOutputSettings: writeOutputSettings(); break;
    case EnterCurrentTrim:
    case SetFixCurrent:
    case ExitFixCurrent:
    case Trim4mA:
    case Trim20mA:
    case EnterCurrentTest: fixedCurrentOperation(b); break;
    case PvClear: pvClear(); break;
    case PvClearReset: pvClearReset(); break;
    case ReadSensorConfig: readSensorConfig(); break;
    case WriteSensorConfig: writeSensorConfig(); break;
    case ReadCalibrationConfig: readCalibrationConfigOp(); break;
    case ReadCalibrationData: readCalibrationData(); break;
    case WriteCalibrationData: writeCalibrationData(); break;
    case ReadAdc: readAdc(); break;
    case ReadUserCalibration: readUserCalibration(); break;
    case WriteUserCalibration: writeUserCalibration(); break;
    case FactoryCurrentCalibration: factoryCurrentCalibration(); break;
    case WriteFactoryCurrentData: writeFactoryCurrentData(); break;
    case ReadDisplay:
        memoryReadOperation(QStringLiteral("read xianshishezhi"), 0x007A, 8, 10, 10, 100);
        clearBit(b);
        break;
    case WriteDisplay:
        memoryWriteOperation(QStringLiteral("write xianshishezhi"), 0x007A, 8, 10, 10, 90, false,
                             true);
        clearBit(b);
        break;
    case FactorySave:
        unlockDevice();
        factorySave();
        clearBit(b);
        break;
    case SingleTempMode: singleTempMode(); break;
    case ReadModbus: readModbus(); break;
    case WriteModbus: writeModbus(); break;
    case ReadProprietary:
        memoryReadOperation(QStringLiteral("read zhuanyoushezhi"), 0x0088, 28, 20, 10, 100);
        clearBit(b);
        break;
    case WriteProprietary:
        memoryWriteOperation(QStringLiteral("write zhuanyoushezhi"), 0x0088, 28, 5, 5, 90, false,
                             false);
        clearBit(b);
        break;
    case WriteAll: writeAll(); break;
    case ReadSecondCorrection:
        memoryReadOperation(QStringLiteral("read SecondNonlinearityCorrection"), 0x030A, 62, 5, 10,
                            100);
        clearBit(b);
        break;
    case WriteSecondCorrection:
        memoryWriteOperation(QStringLiteral("write SecondNonlinearityCorrection"), 0x030A, 62, 5,
                             10, 100, true, false);
        clearBit(b);
        break;
    case ReadLoopCheckSetup: readLoopCheckSetup(); break;
    case ReadLoopCheckPoint: readLoopCheckPoint(); break;
    case ReadHealth: readHealth(true); break;
    case AcknowledgeStatus: acknowledgeStatus(); break;
    case ResetConfigChanged: resetConfigChanged(); break;
    case FactoryTest: factoryTestPoll(); break;
    case StopFactoryTest: stopFactoryTest(); break;
    default: clearBit(b); break;
    }
}

void hartThread::send(const QString &message)
{
    emit sendMessageToMainThread(message);
}

void hartThread::progress(int value)
{
    send(QStringLiteral("set progressBar:%1").arg(value));
}

bool hartThread::pause(int ms)
{
    std::unique_lock<std::mutex> lock(m_pauseLock);
    m_pauseWake.wait_for(lock, std::chrono::milliseconds(ms),
                         [this] { return isInterruptionRequested(); });
    return !isInterruptionRequested();
}

bool hartThread::command(std::uint8_t cmd, const std::uint8_t *data, std::uint8_t length,
                         Reply *reply)
{
    m_refused = false;
    if (!pause(20))
        return false;
    if (m_master->transact(cmd, data, length, reply ? reply->data : nullptr,
                           reply ? sizeof reply->data : 0)
        != 0)
        return false;
    if (reply)
        reply->length = std::min<std::uint8_t>(m_master->responseDataLength, sizeof reply->data);
    m_fieldStatus.store(m_master->deviceStatus);
    reportDeviceStatus();
    const std::uint8_t code = m_master->responseCode;
    if (isRefusal(code)) {
        qCDebug(lcWorker, "cmd %d refused, response code %d", int(cmd), int(code));
        emit commandRefused(cmd, code);
        m_refused = true;
        emit refusedDuring(requestText(m_serving), cmd, code);
        return false;
    }
    if (reply && reply->length < reply->needed) {
        qCDebug(lcWorker, "cmd %d answered %d of %d bytes", int(cmd), int(reply->length),
                int(reply->needed));
        return false;
    }
    return true;
}

bool hartThread::isRefusal(std::uint8_t code)
{
    if (code == 0 || code == 8 || code == 14 || (code >= 24 && code <= 27) || code == 30
        || code == 31 || (code >= 96 && code <= 127))
        return false;
    return true; // 1-7, 9-13, 15-23, 28, 29, 32-95 and 128-255
}

void hartThread::reportDeviceStatus()
{
    const QStringList texts = m_status.report(m_master->responseCode, m_master->deviceStatus);
    for (const QString &t : texts)
        send(t);
}

// Operations built on HART universal and common-practice commands; they work with any
// HART field device.
#include "devicedata.h"
#include "healthrecord.h"
#include "hartcodec.h"
#include "hartthread.h"
#include "kvhart_master.h"

#include <QMutexLocker>

#include <cstring>

namespace {

// Little-endian record fields <- big-endian payload fields.
void takeFloat(float &field, const hartThread::Reply &r, std::size_t offset)
{
    if (r.covers(offset, 4))
        field = getFloatBE(r.data + offset);
}

void takeByte(std::uint8_t &field, const hartThread::Reply &r, std::size_t offset)
{
    if (r.covers(offset, 1))
        field = r.data[offset];
}

void takeByte(std::uint16_t &field, const hartThread::Reply &r, std::size_t offset)
{
    if (r.covers(offset, 1))
        field = r.data[offset];
}

template<std::size_t N>
void takeBytes(std::uint8_t (&field)[N], const hartThread::Reply &r, std::size_t offset)
{
    if (r.covers(offset, N))
        std::memcpy(field, r.data + offset, N);
}

} // namespace

bool hartThread::readCommand0()
{
    Reply r(12);
    if (!command(0, nullptr, 0, &r))
        return false;
    QMutexLocker lock(&mutex);
    takeByte(deviceData.manufacturerId, r, 1);
    takeByte(deviceData.deviceType, r, 2);
    if (r.covers(3, 1)) {
        deviceData.devicePreambles = r.data[3];
        m_master->preambleCount = r.data[3];
    }
    takeByte(deviceData.universalRevision, r, 4);
    takeByte(deviceData.deviceRevision, r, 5);
    takeByte(deviceData.softwareRevision, r, 6);
    takeByte(deviceData.hardwareRevision, r, 7);
    takeIdentity(healthRecord, r.data, r.length);
    healthRecord.fieldStatus = m_master->deviceStatus;
    return true;
}

bool hartThread::readCommand14()
{
    Reply r(16);
    if (!command(14, nullptr, 0, &r))
        return false;
    QMutexLocker lock(&mutex);
    takeBytes(deviceData.sensorSerial, r, 0);
    takeByte(deviceData.sensorUnits, r, 3);
    takeFloat(deviceData.sensorUpperLimit, r, 4);
    takeFloat(deviceData.sensorLowerLimit, r, 8);
    takeFloat(deviceData.minimumSpan, r, 12);
    return true;
}

bool hartThread::readCommand15(Fields15 fields)
{
    Reply r(17);
    if (!command(15, nullptr, 0, &r))
        return false;
    QMutexLocker lock(&mutex);
    if (fields == Fields15::All || fields == Fields15::Range) {
        takeByte(deviceData.pvUnits, r, 2);
        takeFloat(deviceData.upperRangeValue, r, 3);
        takeFloat(deviceData.lowerRangeValue, r, 7);
    }
    if (fields == Fields15::All || fields == Fields15::Output) {
        takeByte(deviceData.transferFunction, r, 1);
        takeFloat(deviceData.damping, r, 11);
    }
    if (fields == Fields15::All) {
        takeByte(deviceData.alarmSelection, r, 0);
        takeByte(deviceData.writeProtect, r, 15);
        takeByte(deviceData.distributorCode, r, 16);
    }
    return true;
}

bool hartThread::searchAt(std::uint8_t address)
{
    // A search asks the line itself, never a device behind a gateway picked before.
    m_master->setRoute(nullptr);
    m_master->setPollingAddress(address);
    return readCommand0() && readCommand14() && readCommand15(Fields15::All);
}

void hartThread::searchMeter()
{
    m_deviceFound.store(false);
    progress(10);
    m_master->setRoute(nullptr);
    m_master->setPollingAddress(0);
    const bool ok = readCommand0() && (progress(40), readCommand14())
            && (progress(70), readCommand15(Fields15::All));
    clearBit(SearchMeter);
    if (!ok) {
        send(QStringLiteral("search meter failed"));
        progress(100);
        return;
    }
    announceFound();
}

// Every way to a device ends alike, so the window treats each as a search.
void hartThread::announceFound()
{
    send(QStringLiteral("search meter succeed"));
    progress(100);
    clearBit(SearchMeter1to15);
    m_deviceFound.store(true);
}

void hartThread::searchMeter1to15()
{
    m_deviceFound.store(false);
    for (int k = 0; k < 15 && !isInterruptionRequested(); ++k) {
        const std::uint8_t address = std::uint8_t(k + 1);
        send(QStringLiteral("search meter addr:%1").arg(address));
        progress(k * 90 / 15 + 10);
        if (searchAt(address)) {
            clearBit(SearchMeter);
            announceFound();
            return;
        }
    }
    clearBit(SearchMeter1to15);
    send(QStringLiteral("search meter 1-15 failed"));
    progress(100);
}

// "read tramsmeter info" and "read range info" share one sequence: commands 14 and 15.
void hartThread::readTransmitterInfo(const QString &request)
{
    progress(10);
    const bool ok = readCommand14() && (progress(60), readCommand15(Fields15::All));
    send(request + (ok ? QLatin1String(" succeed") : QLatin1String(" failed")));
    progress(100);
    clearBit(request == QLatin1String("read range info") ? ReadRangeInfo : ReadTransmitterInfo);
}

void hartThread::readMeterInfo()
{
    auto read12 = [this] {
        Reply r(24);
        if (!command(12, nullptr, 0, &r))
            return false;
        QMutexLocker lock(&mutex);
        takeBytes(deviceData.message, r, 0);
        return true;
    };
    auto read13 = [this] {
        Reply r(21);
        if (!command(13, nullptr, 0, &r))
            return false;
        QMutexLocker lock(&mutex);
        takeBytes(deviceData.tag, r, 0);
        takeBytes(deviceData.descriptor, r, 6);
        takeByte(deviceData.dateDay, r, 18);
        takeByte(deviceData.dateMonth, r, 19);
        takeByte(deviceData.dateYear, r, 20);
        return true;
    };
    auto read16 = [this] {
        Reply r(3);
        if (!command(16, nullptr, 0, &r))
            return false;
        QMutexLocker lock(&mutex);
        takeBytes(deviceData.finalAssemblyNumber, r, 0);
        return true;
    };
    progress(10);
    const bool ok = read12() && (progress(40), read13()) && (progress(70), read16());
    send(ok ? QStringLiteral("read meter info succeed") : QStringLiteral("read meter info failed"));
    progress(100);
    clearBit(ReadMeterInfo);
}

void hartThread::writeMeterInfo()
{
    std::uint8_t message[24], tagDate[21], assembly[3];
    {
        QMutexLocker lock(&mutex);
        std::memcpy(message, deviceData.message, sizeof message);
        std::memcpy(tagDate, deviceData.tag, 6);
        std::memcpy(tagDate + 6, deviceData.descriptor, 12);
        tagDate[18] = deviceData.dateDay;
        tagDate[19] = deviceData.dateMonth;
        tagDate[20] = deviceData.dateYear;
        std::memcpy(assembly, deviceData.finalAssemblyNumber, sizeof assembly);
    }
    progress(10);
    const bool ok = command(17, message, 24) && (progress(40), command(18, tagDate, 21))
            && (progress(70), command(19, assembly, 3));
    send(ok ? QStringLiteral("write meter info succeed")
            : QStringLiteral("write meter info failed"));
    progress(100);
    clearBit(WriteMeterInfo);
}

void hartThread::readMoreInfo()
{
    progress(10);
    const bool ok = readCommand15(Fields15::All);
    send(ok ? QStringLiteral("read more info succeed") : QStringLiteral("read more info failed"));
    progress(100);
    clearBit(ReadMoreInfo);
}

void hartThread::writeAddrInfo()
{
    std::uint8_t address;
    {
        QMutexLocker lock(&mutex);
        address = deviceData.newPollingAddress;
    }
    progress(10);
    const bool ok = command(6, &address, 1);
    if (ok)
        m_master->setPollingAddress(address);
    send(ok ? QStringLiteral("write addr info succeed") : QStringLiteral("write addr info failed"));
    progress(100);
    clearBit(WriteAddrInfo);
}

void hartThread::writeRangeInfo()
{
    std::uint8_t request[9];
    {
        QMutexLocker lock(&mutex);
        request[0] = std::uint8_t(deviceData.pvUnits);
        putFloatBE(request + 1, deviceData.upperRangeValue);
        putFloatBE(request + 5, deviceData.lowerRangeValue);
    }
    progress(10);
    Reply r;
    const bool ok = command(35, request, 9, &r);
    if (ok) {
        QMutexLocker lock(&mutex);
        takeByte(deviceData.pvUnits, r, 0);
        takeFloat(deviceData.upperRangeValue, r, 1);
        takeFloat(deviceData.lowerRangeValue, r, 5);
    }
    send(ok ? QStringLiteral("write range info succeed")
            : QStringLiteral("write range info failed"));
    progress(100);
    clearBit(WriteRangeInfo);
}

void hartThread::readRerangeInfo()
{
    progress(10);
    const bool ok = readCommand15(Fields15::Range);
    send(ok ? QStringLiteral("read qianyi range info succeed")
            : QStringLiteral("read qianyi range info failed"));
    progress(100);
    clearBit(ReadRerangeInfo);
}

// Zero shift (command 37) and span shift (command 36): the range is read back even
// when the shift itself failed, so the page shows what the device now holds.
void hartThread::shiftRange(bool upper)
{
    const QString request =
            upper ? QStringLiteral("liangchengqianyi") : QStringLiteral("lingdianqianyi");
    progress(10);
    const bool shifted = command(upper ? 36 : 37);
    progress(60);
    const bool read = readCommand15(Fields15::Range);
    send(request + (shifted && read ? QLatin1String(" succeed") : QLatin1String(" failed")));
    progress(100);
    clearBit(upper ? SpanShift : ZeroShift);
}

void hartThread::readOutputSettings()
{
    progress(10);
    const bool ok = readCommand15(Fields15::Output);
    send(ok ? QStringLiteral("read shuchushezhi succeed")
            : QStringLiteral("read shuchushezhi failed"));
    progress(100);
    clearBit(ReadOutputSettings);
}

void hartThread::writeOutputSettings()
{
    std::uint8_t damping[4], transfer;
    {
        QMutexLocker lock(&mutex);
        putFloatBE(damping, deviceData.damping);
        transfer = deviceData.transferFunction;
    }
    progress(10);
    Reply r;
    bool ok = command(34, damping, 4, &r);
    if (ok) {
        {
            QMutexLocker lock(&mutex);
            takeFloat(deviceData.damping, r, 0);
        }
        progress(60);
        Reply r47;
        ok = command(47, &transfer, 1, &r47);
        if (ok) {
            QMutexLocker lock(&mutex);
            takeByte(deviceData.transferFunction, r47, 0);
        }
    }
    if (ok) {
        progress(100);
        send(QStringLiteral("write shuchushezhi succeed"));
    } else {
        send(QStringLiteral("write shuchushezhi failed"));
        progress(100);
    }
    clearBit(WriteOutputSettings);
}

void hartThread::fixedCurrentOperation(Bit b)
{
    struct Row
    {
        Bit bit;
        const char *request;
        std::uint8_t command;
        bool withProgress;
    };
    static const Row rows[] = {
            {EnterCurrentTrim, "enter dianliujiaozhun", 40, true},
            {SetFixCurrent, "set fix current", 40, false},
            {ExitFixCurrent, "exit fix current", 40, false},
            {Trim4mA, "jiaozhun4ma", 45, false},
            {Trim20mA, "jiaozhun20ma", 46, false},
            {EnterCurrentTest, "enter dianliuceshi", 40, true},
    };
    const Row *row = nullptr;
    for (const Row &candidate : rows)
        if (candidate.bit == b)
            row = &candidate;
    if (!row)
        return;

    float value;
    {
        QMutexLocker lock(&mutex);
        if (b == Trim4mA || b == Trim20mA) {
            value = deviceData.measuredCurrent;
        } else if (b == ExitFixCurrent) {
            value = 0.0f;
        } else {
            // A loop current below 3.8 mA would read as a fault; the test starts there.
            if (b == EnterCurrentTest && deviceData.fixedCurrent < 3.8f)
                deviceData.fixedCurrent = 3.8f;
            value = deviceData.fixedCurrent;
        }
    }
    std::uint8_t request[4];
    putFloatBE(request, value);
    if (row->withProgress)
        progress(10);
    const bool ok = command(row->command, request, 4);
    send(QLatin1String(row->request) + (ok ? QLatin1String(" succeed") : QLatin1String(" failed")));
    if (row->withProgress)
        progress(100);
    clearBit(b);
}

void hartThread::pvClear()
{
    progress(10);
    const bool ok = command(43);
    send(ok ? QStringLiteral("PV clear succeed") : QStringLiteral("PV clear failed"));
    progress(100);
    clearBit(PvClear);
}

void hartThread::readPv()
{
    if (testBit(ReadPvFirst)) {
        progress(10);
        if (!readCommand15(Fields15::All)) {
            // Unanswered: retried on the next pass. Refused: it would be on every pass.
            if (m_refused)
                clearBit(ReadPvFirst);
            return;
        }
        // Only move on to periodic reading if no "stop read PV" came meanwhile.
        std::uint8_t expected = m_flags[ReadPvFirst / 8].load();
        while (expected & bitMask(ReadPvFirst)) {
            const std::uint8_t wanted =
                    std::uint8_t((expected & ~bitMask(ReadPvFirst)) | bitMask(ReadPvPeriodic));
            if (m_flags[ReadPvFirst / 8].compare_exchange_weak(expected, wanted))
                break;
        }
        send(QStringLiteral("read guochengjiankong PV succeed"));
        progress(100);
        return;
    }
    Reply r1(5);
    if (!command(1, nullptr, 0, &r1))
        return;
    {
        QMutexLocker lock(&mutex);
        takeByte(deviceData.pvUnits, r1, 0);
        takeFloat(deviceData.pv, r1, 1);
    }
    Reply r2(8);
    if (!command(2, nullptr, 0, &r2))
        return;
    {
        QMutexLocker lock(&mutex);
        takeFloat(deviceData.loopCurrent, r2, 0);
        takeFloat(deviceData.percentOfRange, r2, 4);
    }
    send(QStringLiteral("read PV succeed"));
}

// The loop check's identity and range: tag (command 13), then unit, range and transfer
// function (command 15), so the errors are worked out against what the device holds now.
void hartThread::readLoopCheckSetup()
{
    auto read13 = [this] {
        Reply r(18);
        if (!command(13, nullptr, 0, &r))
            return false;
        QMutexLocker lock(&mutex);
        takeBytes(deviceData.tag, r, 0);
        takeBytes(deviceData.descriptor, r, 6);
        return true;
    };
    progress(10);
    const bool ok = read13() && (progress(50), readCommand15(Fields15::All));
    send(ok ? QStringLiteral("read loop check setup succeed")
            : QStringLiteral("read loop check setup failed"));
    progress(100);
    clearBit(ReadLoopCheckSetup);
}

// One loop-check reading: PV (command 1), then loop current and percent of range (command
// 2). Both or neither: a half reading would pair one point's PV with another's current.
void hartThread::readLoopCheckPoint()
{
    progress(10);
    Reply r1(5), r2(8);
    const bool ok = command(1, nullptr, 0, &r1) && (progress(50), command(2, nullptr, 0, &r2));
    if (ok) {
        QMutexLocker lock(&mutex);
        takeByte(deviceData.pvUnits, r1, 0);
        takeFloat(deviceData.pv, r1, 1);
        takeFloat(deviceData.loopCurrent, r2, 0);
        takeFloat(deviceData.percentOfRange, r2, 4);
    }
    send(ok ? QStringLiteral("read loop check point succeed")
            : QStringLiteral("read loop check point failed"));
    progress(100);
    clearBit(ReadLoopCheckPoint);
}

// Operations that use the device-specific commands 128..137 of the maker's own
// transmitters: identity gate, chunked memory transfer, saves and the pages built on them.
#include "devicedata.h"
#include "hartcodec.h"
#include "hartthread.h"
#include "kvhart_master.h"
#include "workerlog.h"

#include <QMutexLocker>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint16_t kRegUnlock = 6;
constexpr std::uint16_t kUnlockValue = 0x00C5;
constexpr std::uint16_t kRegUserSave = 10;
constexpr std::uint16_t kRegFactorySave = 90;
constexpr std::uint16_t kRegWriteEnable = 128;
constexpr std::uint16_t kRegSingleTempPoint = 129;
constexpr std::uint16_t kChunk = 20;

int between(int start, int end, std::uint32_t done, std::uint32_t total)
{
    return int((end - start) * std::int64_t(done) / std::int64_t(total) + start);
}

QString outcome(const QString &request, bool ok)
{
    return request + (ok ? QLatin1String(" succeed") : QLatin1String(" failed"));
}

} // namespace

bool hartThread::isSupportedDevice()
{
    QMutexLocker lock(&mutex);
    return isMakerDevice(deviceData);
}

bool hartThread::writeRegister(std::uint16_t reg, std::uint16_t value)
{
    std::uint8_t request[4];
    putU16BE(request, reg);
    putU16BE(request + 2, value);
    return command(136, request, 4);
}

bool hartThread::unlockDevice()
{
    return isSupportedDevice() && writeRegister(kRegUnlock, kUnlockValue);
}

void hartThread::keepAlive()
{
    writeRegister(kRegUnlock, kUnlockValue);
    clearBit(KeepAlive);
}

bool hartThread::readDeviceMemory(std::uint16_t address, std::uint16_t length, int start, int end)
{
    progress(start);
    if (length == 0)
        return false;
    std::uint32_t offset = 0;
    while (offset < length) {
        const std::uint8_t n = std::uint8_t(std::min<std::uint32_t>(kChunk, length - offset));
        std::uint8_t request[3];
        putU16BE(request, std::uint16_t(address + offset));
        request[2] = n;
        Reply r(std::uint8_t(3 + n));
        if (!command(134, request, 3, &r))
            return false;
        // Only the chunk asked for, whole, is stored: anything else leaves a gap that would
        // pass for the transmitter's memory.
        const std::uint16_t echoed = getU16BE(r.data);
        const std::uint8_t echoedLength = r.data[2];
        if (echoed != std::uint16_t(address + offset) || echoedLength != n) {
            qCDebug(lcWorker, "memory read answered 0x%04X+%d for 0x%04X+%d", echoed,
                    int(echoedLength), unsigned(address + offset), int(n));
            return false;
        }
        {
            QMutexLocker lock(&mutex);
            if (std::uint8_t *dest = deviceMemory(deviceData, echoed, echoedLength))
                std::memcpy(dest, r.data + 3, echoedLength);
        }
        offset += n;
        if (offset < length)
            progress(between(start, end, offset, length));
    }
    progress(end);
    return true;
}

bool hartThread::writeDeviceMemory(std::uint16_t address, std::uint16_t length, int start, int end)
{
    progress(start);
    if (!writeRegister(kRegWriteEnable, 1))
        return false;
    std::uint32_t offset = 0;
    while (offset < length) {
        const std::uint8_t n = std::uint8_t(std::min<std::uint32_t>(kChunk, length - offset));
        std::uint8_t request[3 + kChunk] = {};
        putU16BE(request, std::uint16_t(address + offset));
        request[2] = n;
        {
            QMutexLocker lock(&mutex);
            const std::uint8_t *src = deviceMemory(deviceData, std::uint16_t(address + offset), n);
            if (!src)
                return false;
            std::memcpy(request + 3, src, n);
        }
        offset += n;
        qCDebug(lcWorker, "%s",
                qPrintable(
                        QStringLiteral("hart write mem,len = %1,i = %2").arg(length).arg(offset)));
        if (!command(133, request, sizeof request))
            return false; // writes stay enabled until the next transfer ends
        if (offset < length)
            progress(between(start, end, offset, length));
    }
    progress(end);
    return writeRegister(kRegWriteEnable, 0);
}

void hartThread::factorySave()
{
    send(writeRegister(kRegFactorySave, 0) ? QStringLiteral("fac save succeed")
                                           : QStringLiteral("fac save failed"));
    progress(100);
}

void hartThread::userSave()
{
    send(writeRegister(kRegUserSave, 0) ? QStringLiteral("user save succeed")
                                        : QStringLiteral("user save failed"));
    progress(100);
}

void hartThread::finish(const QString &request, bool ok, Save save)
{
    if (!ok) {
        progress(100);
        send(outcome(request, false));
        return;
    }
    send(outcome(request, true));
    if (save == Save::Factory)
        factorySave();
    else if (save == Save::User)
        userSave();
}

// Configuration reads close with P 100 before success but after failure.
void hartThread::finishConfigRead(const QString &request, bool ok)
{
    if (ok)
        progress(100);
    send(outcome(request, ok));
    if (!ok)
        progress(100);
}

void hartThread::readSensorConfig()
{
    const QString request = QStringLiteral("read chuanganqipeizhishuju");
    Reply r(22);
    const bool ok = unlockDevice() && (progress(10), command(128, nullptr, 0, &r));
    if (ok) {
        QMutexLocker lock(&mutex);
        deviceData.sensorType = r.data[0];
        deviceData.tempCompMode = r.data[1];
        deviceData.currentSource = r.data[2];
        deviceData.voltageSource = r.data[3];
        deviceData.pressureGain = r.data[4];
        deviceData.temperatureGain = r.data[5];
        std::memcpy(deviceData.sensorSerial, r.data + 6, 3);
        deviceData.sensorUnits = r.data[9];
        deviceData.sensorUpperLimit = getFloatBE(r.data + 10);
        deviceData.sensorLowerLimit = getFloatBE(r.data + 14);
        deviceData.minimumSpan = getFloatBE(r.data + 18);
    }
    finishConfigRead(request, ok);
    clearBit(ReadSensorConfig);
}

void hartThread::writeSensorConfig()
{
    const QString request = QStringLiteral("write chuanganqipeizhishuju");
    bool ok = unlockDevice();
    if (ok) {
        std::uint8_t data[22];
        {
            QMutexLocker lock(&mutex);
            data[0] = deviceData.sensorType;
            data[1] = deviceData.tempCompMode;
            data[2] = deviceData.currentSource;
            data[3] = deviceData.voltageSource;
            data[4] = deviceData.pressureGain;
            data[5] = deviceData.temperatureGain;
            std::memcpy(data + 6, deviceData.sensorSerial, 3);
            data[9] = deviceData.sensorUnits;
            putFloatBE(data + 10, deviceData.sensorUpperLimit);
            putFloatBE(data + 14, deviceData.sensorLowerLimit);
            putFloatBE(data + 18, deviceData.minimumSpan);
        }
        progress(10);
        ok = command(129, data, 22);
    }
    if (ok) {
        progress(90);
        // The transmitter re-initialises its front end before it can store anything.
        if (pause(3000)) {
            factorySave();
            send(outcome(request, true));
        }
    } else {
        send(outcome(request, false));
    }
    clearBit(WriteSensorConfig);
}

bool hartThread::readCalibrationConfig(bool withText, bool unitsOnly)
{
    Reply r(13);
    if (!command(130, nullptr, 0, &r))
        return false;
    QMutexLocker lock(&mutex);
    deviceData.factoryUnits = r.data[2];
    if (unitsOnly)
        return true;
    deviceData.NonlinearityCorrectionNum = r.data[0];
    deviceData.TempCompensationNum = r.data[1];
    deviceData.pvUnits = r.data[3];
    deviceData.pvDecimals = r.data[4];
    deviceData.lowerRangeValue = getFloatBE(r.data + 5);
    deviceData.upperRangeValue = getFloatBE(r.data + 9);
    if (withText && r.covers(13, 9))
        std::memcpy(deviceData.customUnitText, r.data + 13, 9);
    return true;
}

void hartThread::readCalibrationConfigOp()
{
    const QString request = QStringLiteral("read jiaozhunpeizhishuju");
    const bool ok = unlockDevice() && (progress(10), readCalibrationConfig(false));
    finishConfigRead(request, ok);
    clearBit(ReadCalibrationConfig);
}

// Command 130 first (all of it, or only the factory unit), then one memory block.
void hartThread::readConfigAndMemory(const QString &request, bool unitsOnly, std::uint16_t address,
                                     std::uint16_t length)
{
    if (!unlockDevice() || (progress(10), !readCalibrationConfig(!unitsOnly, unitsOnly))) {
        send(outcome(request, false));
        progress(100);
    } else {
        progress(20);
        finish(request, readDeviceMemory(address, length, 20, 100), Save::None);
    }
}

void hartThread::readCalibrationData()
{
    readConfigAndMemory(QStringLiteral("read jiaozhunshuju"), false, 0x0114, 908);
    clearBit(ReadCalibrationData);
}

void hartThread::writeCalibrationData()
{
    const QString request = QStringLiteral("write jiaozhunshuju");
    bool ok = unlockDevice() && (progress(5), writeRegister(kRegWriteEnable, 1));
    if (ok) {
        progress(10);
        std::uint8_t data[22];
        {
            QMutexLocker lock(&mutex);
            data[0] = std::uint8_t(deviceData.NonlinearityCorrectionNum);
            data[1] = std::uint8_t(deviceData.TempCompensationNum);
            data[2] = deviceData.factoryUnits;
            data[3] = std::uint8_t(deviceData.pvUnits);
            data[4] = std::uint8_t(deviceData.pvDecimals);
            putFloatBE(data + 5, deviceData.lowerRangeValue);
            putFloatBE(data + 9, deviceData.upperRangeValue);
            std::memcpy(data + 13, deviceData.customUnitText, 9);
        }
        progress(15);
        ok = command(131, data, 22);
    }
    if (ok) {
        progress(20);
        qCDebug(lcWorker, "num=%d", 908);
        ok = writeDeviceMemory(0x0114, 908, 20, 80) && writeDeviceMemory(0x009C, 8, 80, 90);
    }
    finish(request, ok, Save::Factory);
    clearBit(WriteCalibrationData);
}

void hartThread::readAdc()
{
    // Periodic: the bit stays set and nothing is said when a cycle fails.
    if (!unlockDevice())
        return;
    Reply r1(5);
    if (command(1, nullptr, 0, &r1)) {
        {
            QMutexLocker lock(&mutex);
            if (r1.covers(1, 4))
                deviceData.pv = getFloatBE(r1.data + 1);
        }
        Reply r2(8);
        if (command(2, nullptr, 0, &r2)) {
            QMutexLocker lock(&mutex);
            if (r2.covers(0, 8)) {
                deviceData.loopCurrent = getFloatBE(r2.data);
                deviceData.percentOfRange = getFloatBE(r2.data + 4);
            }
        }
    }
    std::uint8_t selector = 0;
    Reply s0(25);
    if (!command(132, &selector, 1, &s0))
        return;
    if (s0.covers(1, 24)) {
        QMutexLocker lock(&mutex);
        deviceData.sensorSignal = getFloatBE(s0.data + 1);
        deviceData.tempCompSignal = getFloatBE(s0.data + 5);
        deviceData.secondNonlinearitySignal = getFloatBE(s0.data + 9);
        deviceData.auxSignal1 = getFloatBE(s0.data + 13);
        deviceData.auxSignal2 = getFloatBE(s0.data + 17);
        deviceData.internalTemperature = getFloatBE(s0.data + 21);
    }
    selector = 1;
    Reply s1(5);
    if (!command(132, &selector, 1, &s1))
        return;
    if (s1.covers(1, 4)) {
        QMutexLocker lock(&mutex);
        deviceData.userCalibrationSignal = getFloatBE(s1.data + 1);
    }
    send(QStringLiteral("read ADC succeed"));
}

void hartThread::readUserCalibration()
{
    readConfigAndMemory(QStringLiteral("read yonghujiaozhunshuju"), true, 0x0348, 28);
    clearBit(ReadUserCalibration);
}

void hartThread::writeUserCalibration()
{
    const QString request = QStringLiteral("write yonghujiaozhunshuju");
    const bool ok = unlockDevice() && (progress(5), writeRegister(kRegWriteEnable, 1))
            && (progress(10), writeDeviceMemory(0x0348, 28, 10, 90));
    progress(100);
    send(outcome(request, ok));
    if (ok)
        userSave();
    clearBit(WriteUserCalibration);
}

void hartThread::factoryCurrentCalibration()
{
    std::uint8_t data[3];
    bool enter;
    {
        QMutexLocker lock(&mutex);
        data[0] = deviceData.factoryCurrentMode;
        putU16BE(data + 1, deviceData.factoryCurrentDacCode);
        enter = deviceData.factoryCurrentMode != 0;
    }
    const QString request = enter ? QStringLiteral("enter gongchangdianliujiaozhun")
                                  : QStringLiteral("exit gongchangdianliujiaozhun");
    // A failed enter is not repeated: the window ends the calibration on its failure. Cleared
    // before the exchange, so an exit asked for meanwhile survives it.
    if (enter)
        clearBit(FactoryCurrentCalibration);
    bool ok = false;
    if (!unlockDevice()) {
        send(outcome(request, false));
    } else {
        progress(10);
        ok = command(135, data, 3);
        if (ok) {
            progress(100);
            send(outcome(request, true));
        } else {
            send(outcome(request, false));
            progress(100);
        }
    }
    // A transmitter left in this mode drives a raw converter code into the loop: an exit
    // that went unanswered stays pending and is asked again on every pass. One the device
    // answered or refused ends, unless a new calibration's enter was asked for meanwhile.
    if (!enter && (ok || m_refused || !isSupportedDevice())) {
        QMutexLocker lock(&mutex);
        if (deviceData.factoryCurrentMode == 0)
            clearBit(FactoryCurrentCalibration);
    }
}

void hartThread::writeFactoryCurrentData()
{
    const QString request = QStringLiteral("write gongchangdianliujiaozhunshuju");
    qCDebug(lcWorker, "write_gongchangdianliujiaozhunshuju");
    finish(request, unlockDevice() && writeDeviceMemory(0x0364, 316, 0, 90), Save::Factory);
    clearBit(WriteFactoryCurrentData);
}

// Gate, optional leading progress, one memory read, then the result.
void hartThread::memoryReadOperation(const QString &request, std::uint16_t address,
                                     std::uint16_t length, int leading, int start, int end)
{
    finish(request,
           unlockDevice() && (progress(leading), readDeviceMemory(address, length, start, end)),
           Save::None);
}

// Gate, leading progress, one memory write, then the result and a user or factory save.
void hartThread::memoryWriteOperation(const QString &request, std::uint16_t address,
                                      std::uint16_t length, int leading, int start, int end,
                                      bool factory, bool progressBeforeSucceed)
{
    const bool ok =
            unlockDevice() && (progress(leading), writeDeviceMemory(address, length, start, end));
    if (ok && progressBeforeSucceed)
        progress(100);
    finish(request, ok, factory ? Save::Factory : Save::User);
}

void hartThread::readModbus()
{
    const QString request = QStringLiteral("read modbus custom reg");
    finish(request,
           unlockDevice() && readDeviceMemory(0x04A2, 2, 20, 30)
                   && readDeviceMemory(0x04A4, 222, 30, 100),
           Save::None);
    clearBit(ReadModbus);
}

void hartThread::writeModbus()
{
    const QString request = QStringLiteral("write modbus custom reg");
    finish(request,
           unlockDevice() && (progress(5), writeDeviceMemory(0x04A2, 2, 5, 20))
                   && writeDeviceMemory(0x04A4, 222, 20, 90),
           Save::Factory);
    clearBit(WriteModbus);
}

void hartThread::pvClearReset()
{
    // Not gated: the zero correction word is written for any device that takes it.
    progress(10);
    finish(QStringLiteral("PV clear reset"), writeDeviceMemory(0x0360, 4, 10, 90), Save::User);
    clearBit(PvClearReset);
}

void hartThread::singleTempMode()
{
    std::uint16_t point;
    {
        QMutexLocker lock(&mutex);
        point = deviceData.singleTempPoint;
    }
    if (unlockDevice() && writeRegister(kRegSingleTempPoint, point)) {
        send(QStringLiteral("single temp compensation mode succeed"));
        clearBit(SingleTempMode);
    } else if (m_refused) {
        clearBit(SingleTempMode); // asked again, a refusal would only be refused again
    }
}

void hartThread::writeAll()
{
    finish(QStringLiteral("write all"),
           unlockDevice() && (progress(5), writeDeviceMemory(0x0076, 1292, 5, 90)), Save::Factory);
    clearBit(WriteAll);
}

void hartThread::factoryTestPoll()
{
    // Command 137 means something else on every other model; and one that never answers
    // would cost a whole retry budget on every pass.
    if (!isSupportedDevice()) {
        clearBit(FactoryTest);
        return;
    }
    std::uint8_t request[20] = {};
    {
        QMutexLocker lock(&mutex);
        request[0] = deviceData.factoryTestSelector;
    }
    Reply r;
    if (!command(137, request, sizeof request, &r))
        return;
    {
        QMutexLocker lock(&mutex);
        if (r.covers(0, 1))
            deviceData.factoryTestStatus = r.data[0];
        if (r.covers(1, 4))
            deviceData.tempCompSignal = getFloatBE(r.data + 1);
    }
    send(QStringLiteral("read chuchang jiance succeed"));
}

void hartThread::stopFactoryTest()
{
    std::uint8_t request[20] = {};
    // Sent on every page change: only the maker's own transmitter gets it.
    if (isSupportedDevice() && !command(137, request, sizeof request)) {
        if (m_refused)
            clearBit(StopFactoryTest);
        return; // unanswered: repeated on the next pass until the device acknowledges
    }
    {
        QMutexLocker lock(&mutex);
        deviceData.factoryTestStatus = 0;
    }
    clearBit(StopFactoryTest);
}

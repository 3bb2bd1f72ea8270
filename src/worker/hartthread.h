// The device worker: turns request strings into pending bits and serves them, one
// blocking HART operation after another, on its own thread.
#pragma once

#include "devicestatus.h"
#include "subdeviceroute.h"

#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class kvhart_master;

class hartThread : public QThread
{
    Q_OBJECT

public:
    explicit hartThread(QObject *parent = nullptr);
    // Stops the run loop in order (interrupt, abort the waiting transaction, wait).
    ~hartThread() override;

    // Guards deviceData. Held for copies only, never across a transaction.
    QMutex mutex;

    kvhart_master *master() const { return m_master; }

    // Ends the run loop promptly: a waiting transaction fails at once. Safe to call twice.
    void stop();

    bool isPortOpen() const { return m_portOpen.load(); }
    bool isDeviceFound() const { return m_deviceFound.load(); }
    std::uint32_t tickCount() const { return m_tickCount.load(); }
    void setTickCount(std::uint32_t count) { m_tickCount.store(count); }
    bool isRequestPending(const QString &request) const;
    // Every request string the worker serves.
    static QStringList vocabulary();

    // Bus work of a higher layer (the multidrop scan, the find by tag), run on this thread
    // by the request "scan bus" once the port is open, device found or not. It returns
    // false when it was cancelled, and at once when the master is aborted.
    using BusJob = std::function<bool(kvhart_master &)>;
    void setBusJob(BusJob job);
    // The device "select meter" makes the one the pages talk to, as a scan saw it: its
    // polling address (above 63: unknown, the master's is kept) and command-0 data; a device
    // behind a gateway also its route, which every request to it then takes.
    void setSelection(std::uint8_t pollingAddress, const QByteArray &command0,
                      const SubDeviceRoute *route = nullptr);

signals:
    void sendMessageToMainThread(QString Message);
    // The device answered a command with a response code of the error class: emitted on the
    // worker thread before the operation's failure result, so a queued receiver sees it first.
    void commandRefused(quint8 command, quint8 responseCode);
    // The same, naming the request being served ("read PV", "keep alive", "write range info").
    void refusedDuring(QString request, quint8 command, quint8 responseCode);
    // Requests dropped unserved (the port closed, no device found), by their request strings.
    void requestsDiscarded(QStringList requests);

public slots:
    void receiveMessageFromMainThread(QString Message);
    void tickTimerSlot();

protected:
    void run() override;

public:
    // Request bits: byte * 8 + bit.
    enum Bit : std::uint8_t {
        ClosePort = 0,
        SearchMeter,
        SearchMeter1to15,
        ReadTransmitterInfo,
        ReadMeterInfo,
        WriteMeterInfo,
        ReadMoreInfo,
        WriteAddrInfo,
        ReadRangeInfo = 8,
        WriteRangeInfo,
        ReadRerangeInfo,
        ZeroShift,
        SpanShift,
        ReadOutputSettings,
        WriteOutputSettings,
        EnterCurrentTrim,
        SetFixCurrent = 16,
        ExitFixCurrent,
        Trim4mA,
        Trim20mA,
        EnterCurrentTest,
        PvClear,
        PvClearReset,
        ReadSensorConfig,
        WriteSensorConfig = 24,
        ReadCalibrationConfig,
        ReadCalibrationData,
        WriteCalibrationData,
        ReadAdc,
        ReadUserCalibration,
        WriteUserCalibration,
        FactoryCurrentCalibration,
        WriteFactoryCurrentData = 32,
        ReadPvFirst,
        ReadPvPeriodic,
        ReadDisplay,
        WriteDisplay,
        FactorySave,
        SingleTempMode,
        KeepAlive = 41,
        ReadModbus,
        WriteModbus,
        ReadProprietary,
        WriteProprietary,
        WriteAll,
        FactoryTest,
        StopFactoryTest = 48,
        ReadSecondCorrection,
        WriteSecondCorrection,
        ReadLoopCheckSetup,
        ReadLoopCheckPoint,
        ScanBus,
        SelectMeter,
        ReadHealth,
        AcknowledgeStatus,
        ResetConfigChanged,
        BitCount
    };

    // Data of one accepted response; only bytes the device actually sent are taken. A reply
    // made with the number of bytes its caller stores fails the command when it is shorter.
    struct Reply
    {
        Reply() = default;
        explicit Reply(std::uint8_t neededBytes) : needed(neededBytes) { }
        std::uint8_t data[33] = {};
        std::uint8_t length = 0;
        std::uint8_t needed = 0;
        bool covers(std::size_t offset, std::size_t size) const { return offset + size <= length; }
    };

    static constexpr std::uint8_t bitMask(Bit b) { return std::uint8_t(1u << (b % 8)); }
    // Response codes with which the device says it did not do what was asked (and codes
    // with bit 7 set, a communication-error summary); the rest are warnings or success.
    static bool isRefusal(std::uint8_t responseCode);

private:
    static QString requestText(Bit b);
    bool testBit(Bit b) const;
    void setBit(Bit b);
    void clearBit(Bit b);
    void clearAllExcept(std::initializer_list<Bit> keep);
    void serve(Bit b);
    void serveClosePort();

    // Operation helpers (worker thread only).
    void send(const QString &message);
    void progress(int value);
    bool pause(int ms);
    // One HART command after the 20 ms pause. The status report runs on every answer; an
    // answer of the error class, or shorter than the reply needs, then fails the command.
    bool command(std::uint8_t cmd, const std::uint8_t *data = nullptr, std::uint8_t length = 0,
                 Reply *reply = nullptr);
    void reportDeviceStatus();

    // Standard operations.
    bool searchAt(std::uint8_t address);
    void searchMeter();
    void searchMeter1to15();
    enum class Fields15 { All, Range, Output };
    bool readCommand0();
    void announceFound();
    bool readCommand14();
    bool readCommand15(Fields15 fields);
    void readTransmitterInfo(const QString &request);
    void readMeterInfo();
    void writeMeterInfo();
    void readMoreInfo();
    void writeAddrInfo();
    void writeRangeInfo();
    void readRerangeInfo();
    void shiftRange(bool upper);
    void readOutputSettings();
    void writeOutputSettings();
    void fixedCurrentOperation(Bit b);
    void pvClear();
    void readPv();
    void readLoopCheckSetup();
    void readLoopCheckPoint();
    void scanBus();
    void selectMeter();

    // Health reads (healthops.cpp).
    void readHealth(bool variables);
    bool isAdditionalStatusDue();
    void acknowledgeStatus();
    void resetConfigChanged();
    void keepFieldStatus();

    // Device-specific operations.
    bool unlockDevice();
    bool isSupportedDevice();
    bool writeRegister(std::uint16_t reg, std::uint16_t value);
    bool readDeviceMemory(std::uint16_t address, std::uint16_t length, int start, int end);
    bool writeDeviceMemory(std::uint16_t address, std::uint16_t length, int start, int end);
    void factorySave();
    void userSave();
    enum class Save { None, User, Factory };
    // The common ending: the success string and the save, or P 100 and the failure string.
    void finish(const QString &request, bool ok, Save save);
    void finishConfigRead(const QString &request, bool ok);
    void keepAlive();
    void readSensorConfig();
    void writeSensorConfig();
    bool readCalibrationConfig(bool withText, bool unitsOnly = false);
    void readCalibrationConfigOp();
    void readConfigAndMemory(const QString &request, bool unitsOnly, std::uint16_t address,
                             std::uint16_t length);
    void readCalibrationData();
    void writeCalibrationData();
    void readAdc();
    void readUserCalibration();
    void writeUserCalibration();
    void factoryCurrentCalibration();
    void writeFactoryCurrentData();
    void memoryReadOperation(const QString &request, std::uint16_t address, std::uint16_t length,
                             int leading, int start, int end);
    void readModbus();
    void writeModbus();
    void memoryWriteOperation(const QString &request, std::uint16_t address, std::uint16_t length,
                              int leading, int start, int end, bool factory,
                              bool progressBeforeSucceed);
    void pvClearReset();
    void singleTempMode();
    void writeAll();
    void factoryTestPoll();
    void stopFactoryTest();

    kvhart_master *m_master;
    // The last command failed on the device's refusal, not on silence (worker thread only).
    bool m_refused = false;
    QTimer m_tickTimer;
    DeviceStatusReporter m_status;
    std::array<std::atomic<std::uint8_t>, 8> m_flags{};
    std::atomic<bool> m_portOpen{false};
    // Orders "open port" against the serving of "close port": a close the user has
    // overtaken by reopening must neither close the new port nor answer.
    std::mutex m_portLock;
    std::atomic<std::uint32_t> m_opens{0};
    std::atomic<bool> m_deviceFound{false};
    std::atomic<std::uint32_t> m_tickCount{0};
    // The request served now (worker thread only): names the operation of a refusal.
    Bit m_serving = KeepAlive;

    std::mutex m_busLock; // the bus job and the selection, handed over from the window
    BusJob m_busJob;
    std::uint8_t m_selectedAddress = 0;
    QByteArray m_selectedCommand0;
    bool m_selectedRouted = false;
    SubDeviceRoute m_selectedRoute;
    std::atomic<std::uint8_t> m_fieldStatus{0}; // of the last answer
    std::int64_t m_additionalReadMs = -1;       // worker thread only

    std::mutex m_pauseLock;
    std::condition_variable m_pauseWake;
};

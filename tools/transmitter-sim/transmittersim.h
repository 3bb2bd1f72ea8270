// A HART field device on a pseudo-terminal: the stand-in transmitter for end-to-end
// tests and demo runs. One serving thread owns the line; the public API is thread-safe.
#pragma once

#include "fielddevice.h"
#include "requestparser.h"
#include "simconfig.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <memory>
#include <vector>
#include <mutex>
#include <random>
#include <thread>

// One request addressed to this device, as it was received.
struct SimRequest
{
    quint8 command = 0;
    QByteArray data;
    bool longFrame = false;
    bool answered = false;
    quint8 responseCode = 0; // of the answer, if any
};

class TransmitterSim
{
public:
    using Faults = SimFaults;

    explicit TransmitterSim(const SimConfig &config = SimConfig());
    ~TransmitterSim();
    TransmitterSim(const TransmitterSim &) = delete;
    TransmitterSim &operator=(const TransmitterSim &) = delete;

    // Opens the pseudo-terminal and starts serving. With linkPath, a symbolic link to the
    // port is created there (a stale link is replaced; any other file is left alone).
    bool start(const QString &linkPath = QString());
    void stop(); // joins the serving thread and removes the link
    bool isRunning() const;
    QString portPath() const; // the /dev/pts/N that clients open
    QString linkPath() const;
    QString errorString() const;

    void setFaults(const Faults &faults); // also restarts the fault counters
    Faults faults() const;
    void setFixedPv(float value); // NaN: moving PV
    void setKeyBits(quint8 bits); // command 137 status byte: bit 0 M, bit 1 S, bit 2 Z pressed
    void setTemperatureSignal(float value); // with nothing shorted to T
    // The factory test bench: what is shorted to T, and where the sensor simulator stands.
    void setBenchWiring(BenchWiring wiring);
    void setBenchPv(BenchPv pv);
    // The loop-check bench: the process value the reference applies (the PV follows it from
    // now on), and a sensor offset (PV units) and gain error (percent of reading).
    void setAppliedPv(float value);
    float appliedPv() const;
    void setSensorError(float offset, float gainPercent);
    float sensorOffset() const;
    // The output stage's drift: the loop carries offsetMa more than command 2 reports,
    // which only an ammeter in the loop can see.
    void setOutputOffset(float offsetMa);
    float outputOffset() const;
    void setDeviceId(quint32 id); // a different transmitter answers from now on
    float sensorGainPercent() const;
    BenchWiring benchWiring() const;
    BenchPv benchPv() const;
    quint8 keyBits() const;
    float temperatureSignal() const; // as the T input reads it now
    // Command 48's bytes (shorter: the rest 0); extendedStatus sets byte 6 alone.
    void setAdditionalStatus(const QByteArray &bytes);
    QByteArray additionalStatus() const;
    // Status byte of PV..QV (0..3) in command 9; 0xC0 is good, not limited.
    void setVariableStatus(int variable, quint8 status);
    quint8 variableStatus(int variable) const;
    quint16 configChangeCounter() const;
    void changeConfigurationLocally(); // as with the device's keys: flag set, counter up
    bool configChanged() const;
    bool moreStatusAvailable() const;
    void setPace(bool on);
    void setUnlockTimeoutMs(int ms);
    // One line per request and per answer, in hex. "-" = stderr, empty = off.
    bool setTraceLog(const QString &path);

    QByteArray memory(quint16 address, quint16 length) const; // empty when out of range
    void setMemory(quint16 address, const QByteArray &bytes);
    quint16 registerValue(quint16 reg) const; // last value written by command 136
    bool writeEnabled() const;
    bool currentFixed() const;
    float zeroTrimMa() const; // ammeter reading of the last accepted command 45
    float gainTrimMa() const; // and of command 46
    quint8 pollingAddress() const;
    int userSaveCount() const;
    int factorySaveCount() const;

    // A request frame that came over HART-IP (no preambles): taken as one from the line, with
    // the same faults, and answered at once. The answer frame without preambles; empty when
    // the device stays silent or the frame is not for it. delayMs: how long to hold it back.
    QByteArray answerFrame(const QByteArray &frame, int *delayMs = nullptr);

    QVector<SimRequest> requests() const;
    void clearRequests();
    int answeredCount() const;
    int droppedFrameCount() const; // bad checksum or over-long

private:
    struct PendingAnswer
    {
        QByteArray bytes;
        qint64 dueUs = 0;
        qint64 startUs = -1; // first byte written
        int sent = 0;
        bool paced = false;
    };

    void serve();
    void receive(const std::uint8_t *bytes, std::size_t count, qint64 nowUs);
    void handleRequest(const ParsedRequest &request, qint64 nowUs, QByteArray *direct = nullptr);
    bool claims(const FieldDevice &device, const ParsedRequest &request) const;
    // Queued for the line, or handed back through direct (HART-IP) without the preambles.
    void answer(FieldDevice &device, const ParsedRequest &request, qint64 nowUs,
                QByteArray *direct = nullptr);
    QByteArray buildAnswer(const ParsedRequest &request, const DeviceReply &reply);
    static bool isGatewayCommand(std::uint8_t command);
    DeviceReply gatewayExecute(const ParsedRequest &request, qint64 nowMs);
    qint64 flushOutput(qint64 nowUs);
    // Ahead of every answer not yet begun: the echo is back while the request is sent.
    void queueEcho(QByteArray echo, qint64 nowUs);
    void closeAll();
    qint64 elapsedUs() const;
    void trace(const char *tag, const std::uint8_t *bytes, std::size_t count, qint64 nowUs);

    mutable std::mutex m_mutex; // guards everything below up to the serving-thread section
    SimConfig m_config;
    FieldDevice m_device;
    // Further devices of a multidrop bus (SimConfig::bus), answering behind m_device.
    std::vector<std::unique_ptr<FieldDevice>> m_bus;
    SimFaults m_faults;
    int m_requestsSinceFaults = 0;
    int m_framesSinceFaults = 0; // every frame heard, for the echo's corruption
    int m_answersSinceFaults = 0;
    int m_answered = 0;
    int m_dropped = 0;
    QVector<SimRequest> m_requests;
    std::FILE *m_trace = nullptr;
    bool m_traceOwned = false;
    std::mt19937 m_random{0x48415254u};
    QString m_portPath;
    QString m_linkPath;
    QString m_error;
    int m_answerFrameStart = 0; // of the last answer built, in its bytes
    int m_answerFrameEnd = 0;

    // Serving thread only (set up before it starts, torn down after it ends).
    RequestParser m_parser;
    std::deque<PendingAnswer> m_output;
    qint64 m_lastRxUs = 0;
    // When the bytes received so far would have finished arriving at 1200 baud; a paced
    // device does not answer before its request is off the line.
    qint64 m_lineFreeUs = 0;
    bool m_wantWrite = false;

    int m_masterFd = -1;
    int m_slaveFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_running{false};
    const std::chrono::steady_clock::time_point m_startTime;
};

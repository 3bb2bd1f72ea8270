// The HART primary master: builds request frames, assembles and checks response
// frames byte by byte, and runs the blocking transaction with time-out and retries.
#pragma once

#include "hartcodec.h"
#include "linkcapture.h"
#include "subdeviceroute.h"

#include <QByteArray>
#include <QObject>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Counting semaphore on the standard primitives, so thread checkers see the hand-over.
class FrameSemaphore
{
public:
    void release()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            ++m_count;
        }
        m_wake.notify_one();
    }
    bool tryAcquire()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_count == 0)
            return false;
        --m_count;
        return true;
    }
    bool tryAcquire(int timeoutMs)
    {
        if (timeoutMs <= 0)
            return tryAcquire(); // a zero wait would still sleep in the kernel once
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_wake.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [this] { return m_count > 0; }))
            return false;
        --m_count;
        return true;
    }
    int available() const
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_count;
    }

private:
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    int m_count = 0;
};

// Large enough for the data part of any response frame (short form: 33 bytes).
using HartResponse = std::array<std::uint8_t, 33>;

class kvhart_master : public QObject
{
    Q_OBJECT

public:
    explicit kvhart_master(QObject *parent = nullptr);
    ~kvhart_master() override;

    // 0 = a response was accepted, 1 = no acceptable response after all attempts.
    // At most responseCapacity data bytes are written to response (none when null).
    std::uint8_t transact(std::uint8_t command, const std::uint8_t *data, std::uint8_t length,
                          std::uint8_t *response, std::size_t responseCapacity);
    std::uint8_t transact(std::uint8_t command, const std::uint8_t *data, std::uint8_t length,
                          HartResponse *response)
    {
        return transact(command, data, length, response ? response->data() : nullptr,
                        response ? response->size() : 0);
    }

    // Called for every received byte, in arrival order, on the thread that reads the port.
    void receiveByte(std::uint8_t byte);

    // The steps of one transaction, for callers that interleave them with received bytes
    // themselves (the fuzzer): build the frame and return the bytes to send; forget what
    // earlier attempts received; wait up to waitMs for an accepted answer and take it.
    QByteArray prepareRequest(std::uint8_t command, const std::uint8_t *data, std::uint8_t length);
    void startAttempt();
    bool takeResponse(int waitMs, std::uint8_t command, std::uint8_t *response,
                      std::size_t responseCapacity);
    // The port's side, on the thread that feeds receiveByte, as it takes the attempt's
    // frame (written or not): the receiver starts afresh and the time-out runs from now.
    void requestOnWire();
    // Between an attempt's reset and its frame reaching the wire: bytes now are not its answer.
    bool awaitingWrite() const;
    // Said once by a port that calls requestOnWire for every frame, before the first one:
    // only then does an attempt wait for its frame to be written.
    void reportsWrites()
    {
        std::lock_guard<std::mutex> lock(m_rxLock);
        m_writesReported = true;
    }

    // Makes a waiting and every later transaction fail at once; used at shutdown so
    // the worker never sits out the retry budget.
    void abort();
    bool isAborted() const { return m_aborted.load(); }
    // Addressing as one consistent copy, for readers on other threads (the window).
    struct Addressing
    {
        std::uint8_t pollingAddress;
        std::uint8_t uniqueAddress[5];
    };
    Addressing addressing() const
    {
        std::lock_guard<std::mutex> lock(m_rxLock);
        Addressing a{pollingAddress, {}};
        std::copy(uniqueAddress, uniqueAddress + 5, a.uniqueAddress);
        return a;
    }
    void setPollingAddress(std::uint8_t address)
    {
        std::lock_guard<std::mutex> lock(m_rxLock);
        pollingAddress = address;
    }
    void setUniqueAddress(const std::uint8_t (&address)[5])
    {
        std::lock_guard<std::mutex> lock(m_rxLock);
        std::copy(address, address + 5, uniqueAddress);
    }
    // Null: the device is addressed directly, as it always was.
    void setRoute(const SubDeviceRoute *route)
    {
        std::lock_guard<std::mutex> lock(m_rxLock);
        m_routed = route != nullptr;
        m_route = route ? *route : SubDeviceRoute{};
    }
    bool route(SubDeviceRoute *out) const
    {
        std::lock_guard<std::mutex> lock(m_rxLock);
        if (out)
            *out = m_route;
        return m_routed;
    }
    // Frames up to the wide area for a scope of bus work; the operations keep the 40 bytes.
    void widenFrames(bool on)
    {
        std::lock_guard<std::mutex> lock(m_rxLock);
        m_wide += on ? 1 : -1;
    }
    // The frame the receiver accepted last, as one consistent copy: a second answer to one
    // request (two devices at one polling address) is seen here after the first was taken.
    QByteArray lastFrame() const
    {
        std::lock_guard<std::mutex> lock(m_rxLock);
        return QByteArray(reinterpret_cast<const char *>(rxFrame), rxFrameLength);
    }

    // The traffic recorder told of every attempt and frame; null = none. May be swapped
    // at any time; the sink must outlive the link.
    void setCapture(LinkCaptureSink *sink) { m_capture.store(sink); }
    LinkCaptureSink *capture() const { return m_capture.load(); }

    // Accepted frames not yet taken by a transaction (diagnostics and tests).
    int pendingFrames() const { return m_semaphore.available(); }

    std::uint8_t readUniqueIdentifier(HartResponse *r) { return transact(0, nullptr, 0, r); }
    std::uint8_t readPrimaryVariable(HartResponse *r) { return transact(1, nullptr, 0, r); }
    std::uint8_t readLoopCurrentAndPercent(HartResponse *r) { return transact(2, nullptr, 0, r); }
    std::uint8_t readDynamicVariables(HartResponse *r) { return transact(3, nullptr, 0, r); }
    std::uint8_t writePollingAddress(const std::uint8_t *d, HartResponse *r)
    {
        return transact(6, d, 1, r);
    }
    std::uint8_t readUniqueIdentifierByTag(const std::uint8_t *d, HartResponse *r)
    {
        return transact(11, d, 6, r);
    }
    std::uint8_t readMessage(HartResponse *r) { return transact(12, nullptr, 0, r); }
    std::uint8_t readTagDescriptorDate(HartResponse *r) { return transact(13, nullptr, 0, r); }
    std::uint8_t readTransducerInfo(HartResponse *r) { return transact(14, nullptr, 0, r); }
    std::uint8_t readDeviceInfo(HartResponse *r) { return transact(15, nullptr, 0, r); }
    std::uint8_t readFinalAssemblyNumber(HartResponse *r) { return transact(16, nullptr, 0, r); }
    std::uint8_t writeMessage(const std::uint8_t *d, HartResponse *r)
    {
        return transact(17, d, 24, r);
    }
    std::uint8_t writeTagDescriptorDate(const std::uint8_t *d, HartResponse *r)
    {
        return transact(18, d, 21, r);
    }
    std::uint8_t writeFinalAssemblyNumber(const std::uint8_t *d, HartResponse *r)
    {
        return transact(19, d, 3, r);
    }
    std::uint8_t writeDamping(const std::uint8_t *d, HartResponse *r)
    {
        return transact(34, d, 4, r);
    }
    std::uint8_t writeRangeValues(const std::uint8_t *d, HartResponse *r)
    {
        return transact(35, d, 9, r);
    }
    std::uint8_t setUpperRangeValue() { return transact(36, nullptr, 0, nullptr); }
    std::uint8_t setLowerRangeValue() { return transact(37, nullptr, 0, nullptr); }
    std::uint8_t resetConfigurationChanged() { return transact(38, nullptr, 0, nullptr); }
    std::uint8_t eepromControl(const std::uint8_t *d, HartResponse *r)
    {
        return transact(39, d, 1, r);
    }
    std::uint8_t setFixedCurrent(const std::uint8_t *d, HartResponse *r)
    {
        return transact(40, d, 4, r);
    }
    std::uint8_t performSelfTest() { return transact(41, nullptr, 0, nullptr); }
    std::uint8_t performDeviceReset() { return transact(42, nullptr, 0, nullptr); }
    std::uint8_t setPvZero() { return transact(43, nullptr, 0, nullptr); }
    std::uint8_t writePvUnits(const std::uint8_t *d, HartResponse *r)
    {
        return transact(44, d, 1, r);
    }
    std::uint8_t trimLoopCurrentZero(const std::uint8_t *d, HartResponse *r)
    {
        return transact(45, d, 4, r);
    }
    std::uint8_t trimLoopCurrentGain(const std::uint8_t *d, HartResponse *r)
    {
        return transact(46, d, 4, r);
    }
    std::uint8_t writeTransferFunction(const std::uint8_t *d, HartResponse *r)
    {
        return transact(47, d, 1, r);
    }
    std::uint8_t writeTransducerSerial(const std::uint8_t *d, HartResponse *r)
    {
        return transact(49, d, 3, r);
    }
    std::uint8_t writeResponsePreambles(const std::uint8_t *d, HartResponse *r)
    {
        return transact(59, d, 1, r);
    }

    // Addressing and protocol state. Written only by the worker thread, between transactions.
    std::uint8_t masterBit = 1;
    std::uint8_t pollingAddress = 0;
    std::uint8_t uniqueAddress[5] = {};
    std::uint8_t preambleCount = 7;
    std::uint16_t timeoutMs = 1000;
    std::uint8_t retryCount = 10;

    // Status bytes and data length of the last accepted response.
    std::uint8_t responseCode = 0;
    std::uint8_t deviceStatus = 0;
    std::uint8_t responseDataLength = 0;

    // Receiver state; guarded by m_rxLock because the worker resets it while the
    // window thread feeds bytes.
    std::uint8_t rxCount = 0;
    std::uint8_t rxPreambles = 0;
    // Sized for the wide area; outside bus work and routes a frame still ends at 40 bytes.
    std::uint8_t rxAssembly[hart::kWideFrameAreaSize] = {};
    std::uint8_t rxFrame[hart::kWideFrameAreaSize] = {};
    std::uint8_t rxFrameLength = 0;

    std::uint8_t txFrame[hart::kFrameAreaSize] = {};
    std::uint8_t txBuffer[hart::kTxBufferSize] = {};
    std::uint8_t txFrameLength = 0;

signals:
    // One preamble-plus-frame buffer to write. A byte array rather than a pointer into
    // txBuffer: the queued hand-over must not race the next transaction's frame.
    void SendData(const QByteArray &data);

private:
    RxVerdict judge(std::uint8_t length) const;
    // Under m_rxLock: how long a frame may grow before it is abandoned.
    std::size_t frameLimit() const
    {
        return m_routed || m_wide > 0 ? hart::kWideFrameAreaSize : hart::kFrameAreaSize;
    }
    // A routed answer's inner frame as the device sent it; false when it is not its answer.
    bool unwrap(std::uint8_t command, const std::uint8_t *&payload, std::uint8_t &length);
    void resetReceiver();
    // Sleeps until end; false when aborted meanwhile.
    bool waitUntil(std::chrono::steady_clock::time_point end);

    FrameSemaphore m_semaphore;
    mutable std::mutex m_rxLock;
    std::atomic<bool> m_aborted{false};
    // Under m_rxLock: whether this attempt's frame went out and when; whether a link
    // reports its writes at all (a test double answering SendData itself does not).
    bool m_onWire = false;
    bool m_awaitingWrite = false;
    bool m_writesReported = false;
    std::chrono::steady_clock::time_point m_onWireAt;
    std::atomic<LinkCaptureSink *> m_capture{nullptr};
    // Under m_rxLock: the route of the device addressed, the wide scopes open, and the
    // delimiter and address of the frame on the wire (the gateway's, when routed).
    bool m_routed = false;
    SubDeviceRoute m_route;
    int m_wide = 0;
    bool m_sentOther = false; // the wire carries another frame than txFrame
    std::uint8_t m_sentHead[7] = {};
    bool m_lastRouted = false; // worker thread: the last answer came through a gateway
};

// The wide frame area for a scope of the worker's bus work.
class WideFrames
{
public:
    explicit WideFrames(kvhart_master &master)
        : m_master(master)
    {
        master.widenFrames(true);
    }
    ~WideFrames() { m_master.widenFrames(false); }
    WideFrames(const WideFrames &) = delete;
    WideFrames &operator=(const WideFrames &) = delete;

private:
    kvhart_master &m_master;
};

// Attempts per transaction for a scope of the worker's (a scan of empty addresses); the
// operations' own budget is back when it ends.
class AttemptsOverride
{
public:
    AttemptsOverride(kvhart_master &master, std::uint8_t attempts)
        : m_master(master)
        , m_saved(master.retryCount)
    {
        master.retryCount = std::max<std::uint8_t>(1, attempts);
    }
    ~AttemptsOverride() { m_master.retryCount = m_saved; }
    AttemptsOverride(const AttemptsOverride &) = delete;
    AttemptsOverride &operator=(const AttemptsOverride &) = delete;

private:
    kvhart_master &m_master;
    std::uint8_t m_saved;
};

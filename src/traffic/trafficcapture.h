// The traffic recorder behind the link: a bounded ring of frames and events with running
// counters, fed from the worker and window threads, read by the monitor and the exports.
// Optionally mirrors every frame to a pcapng file, written and flushed on a thread of its own.
#pragma once

#include "linkcapture.h"
#include "trafficrecord.h"

#include <QMap>
#include <QString>

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace traffic {

struct Counters
{
    quint64 transactions = 0;
    quint64 attempts = 0;
    quint64 retries = 0;
    quint64 timeouts = 0;
    quint64 failedTransactions = 0;
    quint64 requests = 0;
    quint64 responses = 0;
    quint64 accepted = 0;
    quint64 badChecksums = 0;
    quint64 otherAddresses = 0; // rejected for the address, or accepted with a foreign one
    quint64 wrongMaster = 0;
    quint64 malformed = 0; // bad delimiter, too short, over-long
    quint64 late = 0;
    quint64 busy = 0;
    quint64 failedWrites = 0;   // requests the port did not take
    quint64 discards = 0;       // input buffers cleared with bytes in them
    quint64 discardedBytes = 0;
    quint64 abandoned = 0;      // frames cut off by a receiver reset
    quint64 collisions = 0;     // echoes unlike the request written
    quint64 incompleteEchoes = 0;
    quint64 fileDropped = 0;    // frames the capture file lost to a stalled disk
    QMap<quint8, quint64> refusals; // error-class response codes of accepted answers
    quint64 answerSamples = 0;
    qint64 medianAnswerUs = -1; // to the millisecond
    qint64 worstAnswerUs = -1;
};

class TrafficCapture : public LinkCaptureSink
{
public:
    static constexpr std::size_t kDefaultCapacity = 100000;
    // Frames waiting for the capture file at most; beyond, they are counted as lost to it.
    static constexpr std::size_t kFileQueueCapacity = 10000;

    explicit TrafficCapture(std::size_t capacity = kDefaultCapacity);
    ~TrafficCapture() override;
    TrafficCapture(const TrafficCapture &) = delete;
    TrafficCapture &operator=(const TrafficCapture &) = delete;

    // LinkCaptureSink
    void attemptStarted(std::uint8_t command, int attempt) override;
    void attemptTimedOut(std::uint8_t command, int failedAttempts, bool retrying) override;
    void requestWritten(const std::uint8_t *bytes, std::size_t length) override;
    void requestFailed(const std::uint8_t *bytes, std::size_t length) override;
    void inputDiscarded(const std::uint8_t *bytes, std::size_t length) override;
    void frameReceived(const std::uint8_t *frame, std::size_t length, RxVerdict verdict) override;
    void echoFailed(EchoFault fault, const std::uint8_t *echo, std::size_t length) override;
    void hartIpMessage(const std::uint8_t *bytes, std::size_t length, bool outgoing,
                       bool ignored) override;

    std::size_t capacity() const { return m_capacity; }
    std::size_t size() const;
    quint64 nextSeq() const; // seq the next record will get
    // Appends to out the held records with seq >= from, oldest first, at most max of them.
    // Returns the seq to ask for next time.
    quint64 copySince(quint64 from, std::vector<Record> &out, std::size_t max) const;
    std::vector<Record> snapshot() const;
    Counters counters() const;
    // Forgets the held records and the counters; seq numbers go on.
    void clear();

    // Wall-clock microseconds since the epoch of the capture clock's zero.
    qint64 originWallUs() const { return m_originWallUs; }

    // Writes every frame from now on to path as pcapng, flushed after each. False (and
    // nothing written, the reason in error) when the file cannot be created.
    bool startFile(const QString &path, QString *error = nullptr);
    void stopFile();
    QString filePath() const;

private:
    qint64 nowUs() const;
    void push(Record &r); // under m_lock
    void noteAnswerTime(qint64 us);
    Record requestRecord(qint64 now, const std::uint8_t *bytes, std::size_t length) const;

    const std::size_t m_capacity;
    const std::chrono::steady_clock::time_point m_origin;
    const qint64 m_originWallUs;

    mutable std::mutex m_lock;
    std::vector<Record> m_ring;
    std::size_t m_head = 0; // index of the oldest record once the ring is full
    quint64 m_nextSeq = 1;
    Counters m_counters;
    // Answer times in 1 ms bins up to 10 s: the median stays exact to the millisecond
    // however long the run, in constant memory.
    std::array<quint32, 10001> m_answerBins{};

    // Where the link stands, as the worker and window threads report it.
    quint32 m_transaction = 0;
    quint8 m_attempt = 0;
    quint8 m_command = 0;
    bool m_waiting = false;
    qint64 m_requestUs = -1;
    qint64 m_lastFrameUs = -1;
    std::array<quint8, kMaxFrameBytes> m_lastRequest{};
    quint8 m_lastRequestLength = 0;

    class FileWriter;
    std::unique_ptr<FileWriter> m_file;
};

} // namespace traffic

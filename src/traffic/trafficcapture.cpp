#include "trafficcapture.h"

#include "pcapngwriter.h"
#include "trafficdecoder.h"
#include "trafficlog.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cstring>

namespace traffic {

// Writes and flushes each frame as it comes, away from the threads that feed the capture,
// so a slow disk never holds up the link and a crash loses nothing already written.
class TrafficCapture::FileWriter
{
public:
    FileWriter(std::unique_ptr<QFile> file, qint64 originWallUs)
        : m_file(std::move(file))
        , m_originWallUs(originWallUs)
        , m_thread([this] { run(); })
    { }
    ~FileWriter()
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }
    // False when the queue is full: the disk has stalled for minutes; keep the link going.
    bool enqueue(const Record &r) { return enqueue(Item{r, QByteArray(), false, QString()}); }
    // A HART-IP session message, written as it went.
    bool enqueueMessage(const Record &stamp, const QByteArray &message, bool toDevice,
                        const QString &comment)
    {
        return enqueue(Item{stamp, message, toDevice, comment});
    }
    QString path() const { return m_file->fileName(); }

private:
    struct Item
    {
        Record record;
        QByteArray message; // set for a session message
        bool toDevice;
        QString comment;
    };
    bool enqueue(Item item)
    {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_queue.size() >= kFileQueueCapacity)
                return false;
            m_queue.push_back(std::move(item));
        }
        m_wake.notify_one();
        return true;
    }

    void run()
    {
        m_file->write(pcapng::fileHeader());
        m_file->flush();
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty() && m_stopping)
                break;
            const Item item = std::move(m_queue.front());
            m_queue.pop_front();
            lock.unlock();
            const Record &r = item.record;
            m_file->write(item.message.isEmpty()
                                  ? pcapng::packetBlock(r, m_originWallUs)
                                  : pcapng::messageBlock(item.message, item.toDevice, r.timeUs,
                                                         m_originWallUs, quint16(r.seq & 0xFFFF),
                                                         item.comment));
            m_file->flush();
            lock.lock();
        }
        m_file->close();
    }

    std::unique_ptr<QFile> m_file;
    const qint64 m_originWallUs;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Item> m_queue;
    bool m_stopping = false;
    std::thread m_thread; // last: started once everything above exists
};

TrafficCapture::TrafficCapture(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(1, capacity))
    , m_origin(std::chrono::steady_clock::now())
    , m_originWallUs(QDateTime::currentMSecsSinceEpoch() * 1000)
{ }

TrafficCapture::~TrafficCapture()
{
    stopFile();
}

qint64 TrafficCapture::nowUs() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now()
                                                                 - m_origin)
            .count();
}

void TrafficCapture::push(Record &r)
{
    r.seq = m_nextSeq++;
    if (r.isFrame()) {
        r.gapUs = m_lastFrameUs < 0 ? -1 : r.timeUs - m_lastFrameUs;
        m_lastFrameUs = r.timeUs;
        if (m_file && !m_file->enqueue(r))
            ++m_counters.fileDropped;
    }
    if (m_ring.size() < m_capacity) {
        m_ring.push_back(r);
    } else {
        m_ring[m_head] = r;
        m_head = (m_head + 1) % m_capacity;
    }
}

void TrafficCapture::hartIpMessage(const std::uint8_t *bytes, std::size_t length, bool outgoing,
                                   bool ignored)
{
    constexpr std::uint8_t kTokenPassingPdu = 3;
    // PDUs reach the capture as the frames they carry; the rest of the session goes to the
    // file as it went, so Wireshark shows the session whole.
    if (length < 3 || (bytes[2] == kTokenPassingPdu && !ignored))
        return;
    const QByteArray message(reinterpret_cast<const char *>(bytes), int(std::min<std::size_t>(
                                                                             length, 1024)));
    const qint64 now = nowUs();
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_file)
        return;
    Record stamp;
    stamp.timeUs = now;
    stamp.seq = m_nextSeq; // only for the IP header's identification
    if (!m_file->enqueueMessage(stamp, message, outgoing,
                                ignored ? QStringLiteral("✖ 序号不符，已忽略") : QString()))
        ++m_counters.fileDropped;
}

void TrafficCapture::attemptStarted(std::uint8_t command, int attempt)
{
    const qint64 now = nowUs();
    std::lock_guard<std::mutex> lock(m_lock);
    if (attempt == 0) {
        ++m_transaction;
        ++m_counters.transactions;
    } else {
        ++m_counters.retries;
        Record r;
        r.timeUs = now;
        r.kind = Kind::Retry;
        r.verdict = Verdict::Sent;
        r.transaction = m_transaction;
        r.attempt = quint8(std::min(attempt + 1, 255));
        r.command = command;
        push(r);
    }
    ++m_counters.attempts;
    m_attempt = quint8(std::min(attempt + 1, 255));
    m_command = command;
    m_waiting = true;
    m_requestUs = -1;
}

void TrafficCapture::attemptTimedOut(std::uint8_t command, int failedAttempts, bool retrying)
{
    const qint64 now = nowUs();
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_counters.timeouts;
    if (!retrying)
        ++m_counters.failedTransactions;
    m_waiting = false;
    Record r;
    r.timeUs = now;
    r.kind = Kind::Timeout;
    r.verdict = retrying ? Verdict::Sent : Verdict::Failed;
    r.transaction = m_transaction;
    r.attempt = quint8(std::clamp(failedAttempts, 0, 255));
    r.command = command;
    push(r);
}

Record TrafficCapture::requestRecord(qint64 now, const std::uint8_t *bytes,
                                     std::size_t length) const
{
    std::size_t preambles = 0;
    while (preambles < length && bytes[preambles] == 0xFF)
        ++preambles;
    const std::size_t frameLength = std::min(length - preambles, kMaxFrameBytes);
    Record r;
    r.timeUs = now;
    r.kind = Kind::Request;
    r.verdict = Verdict::Sent;
    r.transaction = m_transaction;
    r.attempt = m_attempt;
    r.preambles = quint8(std::min<std::size_t>(preambles, 255));
    r.length = quint8(frameLength);
    std::memcpy(r.bytes.data(), bytes + preambles, frameLength);
    r.command = frameLength > 2 ? commandOf(r.bytes.data(), frameLength) : m_command;
    return r;
}

void TrafficCapture::requestWritten(const std::uint8_t *bytes, std::size_t length)
{
    const qint64 now = nowUs();
    std::lock_guard<std::mutex> lock(m_lock);
    Record r = requestRecord(now, bytes, length);
    ++m_counters.requests;
    m_requestUs = now;
    m_lastRequest = r.bytes;
    m_lastRequestLength = r.length;
    push(r);
}

void TrafficCapture::requestFailed(const std::uint8_t *bytes, std::size_t length)
{
    const qint64 now = nowUs();
    std::lock_guard<std::mutex> lock(m_lock);
    // Nothing went out: an answer that follows cannot be this attempt's.
    Record r = requestRecord(now, bytes, length);
    r.verdict = Verdict::Failed;
    ++m_counters.failedWrites;
    push(r);
}

void TrafficCapture::inputDiscarded(const std::uint8_t *bytes, std::size_t length)
{
    const qint64 now = nowUs();
    std::lock_guard<std::mutex> lock(m_lock);
    Record r;
    r.timeUs = now;
    r.kind = Kind::Discarded;
    r.verdict = Verdict::Discarded;
    r.transaction = m_transaction;
    r.attempt = m_attempt;
    r.command = m_command;
    r.discarded = QByteArray(reinterpret_cast<const char *>(bytes), int(length));
    ++m_counters.discards;
    m_counters.discardedBytes += length;
    push(r);
}

void TrafficCapture::echoFailed(EchoFault fault, const std::uint8_t *echo, std::size_t length)
{
    const qint64 now = nowUs();
    std::lock_guard<std::mutex> lock(m_lock);
    Record r;
    r.timeUs = now;
    r.kind = Kind::Echo;
    r.verdict = fault == EchoFault::Mismatch ? Verdict::Collision : Verdict::EchoIncomplete;
    r.transaction = m_transaction;
    r.attempt = m_attempt;
    r.command = m_command;
    r.discarded = QByteArray(reinterpret_cast<const char *>(echo), int(length));
    ++(fault == EchoFault::Mismatch ? m_counters.collisions : m_counters.incompleteEchoes);
    push(r);
}

void TrafficCapture::frameReceived(const std::uint8_t *frame, std::size_t length,
                                   RxVerdict verdict)
{
    const qint64 now = nowUs();
    length = std::min(length, kMaxFrameBytes);
    std::lock_guard<std::mutex> lock(m_lock);
    Record r;
    r.timeUs = now;
    r.kind = Kind::Response;
    r.transaction = m_transaction;
    r.attempt = m_attempt;
    r.length = quint8(length);
    std::memcpy(r.bytes.data(), frame, length);
    r.command = length > 2 ? commandOf(r.bytes.data(), length) : 0;
    ++m_counters.responses;
    switch (verdict) {
    case RxVerdict::Accepted: {
        // Late is the master's own judgement: after it reported the attempt's time-out, or
        // once the attempt has its answer. Before this attempt's request went out (both
        // happen on this thread, in order) an answer can only belong to an earlier one.
        // Not the clock: the master's wait starts a little after the attempt is announced.
        const bool inTime = m_waiting && m_requestUs >= 0;
        r.verdict = inTime ? Verdict::Accepted : Verdict::Late;
        r.addressMismatch = !sameAddress(r.bytes.data(), length, m_lastRequest.data(),
                                         m_lastRequestLength);
        if (r.addressMismatch)
            ++m_counters.otherAddresses;
        if (!inTime) {
            ++m_counters.late;
            break;
        }
        ++m_counters.accepted;
        m_waiting = false;
        if (m_requestUs >= 0)
            noteAnswerTime(now - m_requestUs);
        const Status status = statusOf(r.bytes.data(), length);
        if (status.valid && !status.communicationError) {
            if (status.responseCode == kBusyCode)
                ++m_counters.busy;
            if (isErrorCode(status.responseCode))
                ++m_counters.refusals[status.responseCode];
        }
        break;
    }
    case RxVerdict::BadChecksum:
        r.verdict = Verdict::BadChecksum;
        ++m_counters.badChecksums;
        break;
    case RxVerdict::BadDelimiter:
        r.verdict = Verdict::BadDelimiter;
        ++m_counters.malformed;
        break;
    case RxVerdict::TooShort:
        r.verdict = Verdict::TooShort;
        ++m_counters.malformed;
        break;
    case RxVerdict::OtherAddress:
        r.verdict = Verdict::OtherAddress;
        ++m_counters.otherAddresses;
        break;
    case RxVerdict::WrongMaster:
        r.verdict = Verdict::WrongMaster;
        ++m_counters.otherAddresses;
        ++m_counters.wrongMaster;
        break;
    case RxVerdict::Overlong:
        r.verdict = Verdict::Overlong;
        ++m_counters.malformed;
        break;
    case RxVerdict::Abandoned:
        r.verdict = Verdict::Abandoned;
        ++m_counters.abandoned;
        break;
    }
    push(r);
}

void TrafficCapture::noteAnswerTime(qint64 us)
{
    const qint64 bin = std::clamp<qint64>(us / 1000, 0, qint64(m_answerBins.size()) - 1);
    ++m_answerBins[std::size_t(bin)];
    ++m_counters.answerSamples;
    m_counters.worstAnswerUs = std::max(m_counters.worstAnswerUs, us);
}

std::size_t TrafficCapture::size() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_ring.size();
}

quint64 TrafficCapture::nextSeq() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nextSeq;
}

quint64 TrafficCapture::copySince(quint64 from, std::vector<Record> &out, std::size_t max) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    const std::size_t n = m_ring.size();
    if (n == 0)
        return std::max(from, m_nextSeq);
    const quint64 oldest = m_ring[m_head].seq;
    from = std::max(from, oldest);
    // Seq numbers in the ring are consecutive from the oldest.
    std::size_t offset = std::size_t(std::min<quint64>(from - oldest, n));
    const std::size_t count = std::min(n - offset, max);
    out.reserve(out.size() + count);
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(m_ring[(m_head + offset + i) % n]);
    return from + count;
}

std::vector<Record> TrafficCapture::snapshot() const
{
    std::vector<Record> out;
    copySince(0, out, m_capacity);
    return out;
}

Counters TrafficCapture::counters() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    Counters c = m_counters;
    if (c.answerSamples > 0) {
        const quint64 half = (c.answerSamples + 1) / 2;
        quint64 seen = 0;
        for (std::size_t i = 0; i < m_answerBins.size(); ++i) {
            seen += m_answerBins[i];
            if (seen >= half) {
                c.medianAnswerUs = qint64(i) * 1000;
                break;
            }
        }
    }
    return c;
}

void TrafficCapture::clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_ring.clear();
    m_ring.shrink_to_fit();
    m_head = 0;
    m_counters = Counters();
    m_answerBins.fill(0);
    m_lastFrameUs = -1;
}

bool TrafficCapture::startFile(const QString &path, QString *error)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        qCWarning(lcTraffic, "cannot write the capture file %s: %s", qPrintable(path),
                  qPrintable(file->errorString()));
        if (error)
            *error = file->errorString();
        return false;
    }
    auto writer = std::make_unique<FileWriter>(std::move(file), m_originWallUs);
    std::unique_ptr<FileWriter> previous;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        previous = std::move(m_file);
        m_file = std::move(writer);
    }
    qCDebug(lcTraffic, "capturing to %s", qPrintable(path));
    return true; // previous is joined here, outside the lock
}

void TrafficCapture::stopFile()
{
    std::unique_ptr<FileWriter> previous;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        previous = std::move(m_file);
    }
}

QString TrafficCapture::filePath() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_file ? m_file->path() : QString();
}

} // namespace traffic

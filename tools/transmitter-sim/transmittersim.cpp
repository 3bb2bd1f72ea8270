// Line side of the simulated transmitter: the pseudo-terminal, the serving thread,
// answer framing, pacing and the injected faults.
#include "transmittersim.h"

#include "hartcodec.h"

#include <QLoggingCategory>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSim, "hart.sim")

namespace {

// 11 bits per character (start, 8 data, parity, stop) at 1200 baud: 9166.67 us.
constexpr qint64 kCharTimeNumUs = 55000;
constexpr qint64 kCharTimeDenom = 6;
// A pause this long inside a frame means the rest of it was lost.
constexpr qint64 kInterByteGapUs = 100000;
constexpr std::size_t kMaxLongAnswerData = 29;
constexpr std::size_t kMaxShortAnswerData = 33;
constexpr std::size_t kMaxWideAnswerData = 253;
constexpr std::size_t kMaxQueuedAnswers = 32;
constexpr int kMaxResponsePreambles = 20;
constexpr int kMaxLoggedRequests = 10000;

QString hexLine(const std::uint8_t *bytes, std::size_t count)
{
    QString text;
    text.reserve(int(count * 3));
    for (std::size_t i = 0; i < count; ++i) {
        if (i)
            text += QLatin1Char(' ');
        text += QString::asprintf("%02X", bytes[i]);
    }
    return text;
}

} // namespace

TransmitterSim::TransmitterSim(const SimConfig &config)
    : m_config(config)
    , m_device(config)
    , m_faults(config.faults)
    , m_startTime(std::chrono::steady_clock::now())
{
    for (const SimBusDevice &member : config.bus) {
        SimConfig c = config;
        c.bus.clear();
        c.gateway = false;
        c.pollingAddress = member.pollingAddress;
        c.tag = member.tag;
        c.universalRevision = member.universalRevision;
        c.deviceId = member.deviceId;
        m_bus.push_back(std::make_unique<FieldDevice>(c));
    }
}

TransmitterSim::~TransmitterSim()
{
    stop();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_traceOwned && m_trace)
        std::fclose(m_trace);
}

qint64 TransmitterSim::elapsedUs() const
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now()
                                                                 - m_startTime)
            .count();
}

bool TransmitterSim::start(const QString &linkPath)
{
    if (m_running)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_error.clear();

    auto fail = [this](const QString &what) {
        m_error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
        closeAll();
        return false;
    };

    if (::openpty(&m_masterFd, &m_slaveFd, nullptr, nullptr, nullptr) != 0)
        return fail(QStringLiteral("openpty"));
    char name[128] = {};
    if (::ptsname_r(m_masterFd, name, sizeof name) != 0)
        return fail(QStringLiteral("ptsname"));
    m_portPath = QString::fromLocal8Bit(name);

    // Raw line on the slave side. The slave descriptor stays open for the whole run so the
    // master never sees a hang-up while no client has the port open.
    termios tio{};
    if (::tcgetattr(m_slaveFd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B1200);
        ::cfsetospeed(&tio, B1200);
        ::tcsetattr(m_slaveFd, TCSANOW, &tio);
    }
    ::fcntl(m_masterFd, F_SETFL, ::fcntl(m_masterFd, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_masterFd, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slaveFd, F_SETFD, FD_CLOEXEC);
    if (::pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return fail(QStringLiteral("pipe"));

    if (!linkPath.isEmpty()) {
        const QByteArray link = linkPath.toLocal8Bit();
        struct stat st
        {
        };
        if (::lstat(link.constData(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                errno = EEXIST;
                return fail(linkPath);
            }
            ::unlink(link.constData());
        }
        if (::symlink(name, link.constData()) != 0)
            return fail(linkPath);
        m_linkPath = linkPath;
    }

    m_parser.reset();
    m_output.clear();
    m_wantWrite = false;
    m_stopping = false;
    m_running = true;
    m_thread = std::thread(&TransmitterSim::serve, this);
    return true;
}

void TransmitterSim::stop()
{
    if (!m_running)
        return;
    m_stopping = true;
    const char wake = 1;
    [[maybe_unused]] const auto written = ::write(m_wakePipe[1], &wake, 1);
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    closeAll();
    m_running = false;
}

void TransmitterSim::closeAll()
{
    if (!m_linkPath.isEmpty()) {
        // Only remove the link if it is still ours; another instance may have taken it over.
        const QByteArray link = m_linkPath.toLocal8Bit();
        char target[256] = {};
        const ssize_t n = ::readlink(link.constData(), target, sizeof target - 1);
        if (n > 0 && QString::fromLocal8Bit(target, int(n)) == m_portPath)
            ::unlink(link.constData());
        m_linkPath.clear();
    }
    for (int *fd : {&m_masterFd, &m_slaveFd, &m_wakePipe[0], &m_wakePipe[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    m_output.clear();
}

bool TransmitterSim::isRunning() const
{
    return m_running;
}

QString TransmitterSim::portPath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_portPath;
}

QString TransmitterSim::linkPath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_linkPath;
}

QString TransmitterSim::errorString() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_error;
}

void TransmitterSim::serve()
{
    std::uint8_t buffer[256];
    while (!m_stopping) {
        const qint64 next = flushOutput(elapsedUs());
        int timeoutMs = -1;
        if (next >= 0)
            timeoutMs = int(std::max<qint64>(0, (next - elapsedUs() + 999) / 1000));

        pollfd fds[2] = {{m_masterFd, short(POLLIN | (m_wantWrite ? POLLOUT : 0)), 0},
                         {m_wakePipe[0], POLLIN, 0}};
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            qCWarning(lcSim, "poll failed: %s", std::strerror(errno));
            break;
        }
        if (fds[1].revents & POLLIN) {
            while (::read(m_wakePipe[0], buffer, sizeof buffer) > 0) { }
        }
        if (m_stopping)
            break;
        if (fds[0].revents & POLLOUT)
            m_wantWrite = false;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = ::read(m_masterFd, buffer, sizeof buffer);
            if (n > 0)
                receive(buffer, std::size_t(n), elapsedUs());
            else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                ::usleep(10000); // hang-up; cannot happen while the slave is held open, but never
                                 // spin
        }
    }
}

void TransmitterSim::receive(const std::uint8_t *bytes, std::size_t count, qint64 nowUs)
{
    m_lineFreeUs = std::max(m_lineFreeUs, nowUs) + qint64(count) * kCharTimeNumUs / kCharTimeDenom;
    if (m_parser.collecting() && nowUs - m_lastRxUs > kInterByteGapUs)
        m_parser.reset();
    m_lastRxUs = nowUs;
    bool echo = false;
    int corruptEchoEvery = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        echo = m_faults.echo || m_faults.corruptEchoEvery > 0;
        corruptEchoEvery = m_faults.corruptEchoEvery;
    }
    QByteArray echoed;
    if (echo)
        echoed = QByteArray(reinterpret_cast<const char *>(bytes), int(count));
    for (std::size_t i = 0; i < count; ++i) {
        const RequestParser::Result result = m_parser.feed(bytes[i]);
        if (echo && result != RequestParser::Result::Pending) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (corruptEchoEvery > 0 && ++m_framesSinceFaults % corruptEchoEvery == 0)
                echoed[int(i)] = char(echoed[int(i)] ^ 0x5A);
        }
        switch (result) {
        case RequestParser::Result::Pending: break;
        case RequestParser::Result::Frame: handleRequest(m_parser.request(), nowUs); break;
        case RequestParser::Result::BadChecksum:
        case RequestParser::Result::Overlong: {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_dropped;
            trace("drop", m_parser.frameBytes(), m_parser.frameByteCount(), nowUs);
            break;
        }
        }
    }
    if (echo)
        queueEcho(echoed, nowUs);
}

void TransmitterSim::queueEcho(QByteArray echo, qint64 nowUs)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        trace("echo", reinterpret_cast<const std::uint8_t *>(echo.constData()),
              std::size_t(echo.size()), nowUs);
    }
    PendingAnswer pending;
    pending.bytes = std::move(echo);
    pending.dueUs = nowUs;
    const auto notBegun = std::find_if(m_output.begin(), m_output.end(),
                                       [](const PendingAnswer &a) { return a.startUs < 0; });
    m_output.insert(notBegun, std::move(pending));
}

QByteArray TransmitterSim::answerFrame(const QByteArray &frame, int *delayMs)
{
    const qint64 nowUs = elapsedUs();
    RequestParser parser;
    parser.feed(0xFF);
    parser.feed(0xFF);
    QByteArray answer;
    for (char c : frame) {
        const RequestParser::Result r = parser.feed(static_cast<std::uint8_t>(c));
        if (r == RequestParser::Result::Frame) {
            handleRequest(parser.request(), nowUs, &answer);
            break;
        }
        if (r != RequestParser::Result::Pending) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_dropped;
            break;
        }
    }
    if (delayMs) {
        std::lock_guard<std::mutex> lock(m_mutex);
        *delayMs = std::max(0, m_faults.delayMs);
    }
    return answer;
}

bool TransmitterSim::claims(const FieldDevice &device, const ParsedRequest &request) const
{
    // Short frames only reach command 0; everything else needs the unique address, but for
    // the find by tag, which goes to every device and is answered by the one that has it.
    if (!request.longFrame)
        return request.command == 0 && device.isShortAddressMine(request.address[0]);
    if (request.command == 11 && device.isMultidrop()
        && (FieldDevice::isBroadcast(request.address.data())
            || device.isLongAddressMine(request.address.data())))
        return device.hasTag(request.data, request.dataLength);
    if (request.command == 21 && FieldDevice::isBroadcast(request.address.data()))
        return device.hasLongTag(request.data, request.dataLength);
    return device.isLongAddressMine(request.address.data());
}

void TransmitterSim::handleRequest(const ParsedRequest &request, qint64 nowUs, QByteArray *direct)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    // Devices sharing a polling address all answer; on this line one after the other.
    // Over HART-IP a request has one answer: the first device that claims it gives it.
    bool anyone = false;
    if (claims(m_device, request)) {
        anyone = true;
        answer(m_device, request, nowUs, direct);
    }
    for (const auto &device : m_bus) {
        // Behind a gateway the devices hear only what it passes on.
        if ((direct && anyone) || m_config.gateway)
            break;
        if (claims(*device, request)) {
            anyone = true;
            answer(*device, request, nowUs, direct);
        }
    }
    if (!anyone)
        trace("other", request.frame, request.frameLength, nowUs);
}

void TransmitterSim::answer(FieldDevice &device, const ParsedRequest &request, qint64 nowUs,
                            QByteArray *direct)
{
    trace("rx", request.frame, request.frameLength, nowUs);

    SimRequest entry;
    entry.command = request.command;
    entry.data = QByteArray(reinterpret_cast<const char *>(request.data), int(request.dataLength));
    entry.longFrame = request.longFrame;

    ++m_requestsSinceFaults;
    const SimFaults &f = m_faults;
    const bool unanswered = f.silent || f.silentCommands.contains(request.command)
            || m_requestsSinceFaults <= f.ignoreFirst
            || (f.failAfter > 0 && m_answersSinceFaults >= f.failAfter);
    if (m_requests.size() >= kMaxLoggedRequests)
        m_requests.remove(0, kMaxLoggedRequests / 2); // a long demo run must not grow without bound
    if (unanswered) {
        trace("mute", nullptr, 0, nowUs);
        m_requests.append(entry);
        return;
    }

    const qint64 nowMs = nowUs / 1000;
    const auto forced = f.responseCodeFor.constFind(request.command);
    const bool transient = m_answersSinceFaults < f.transientAnswers;
    const DeviceReply reply = transient ? device.refuse(f.transientCode, nowMs)
            : forced != f.responseCodeFor.constEnd()
            ? device.refuse(forced.value(), nowMs)
            : m_config.gateway && &device == &m_device && isGatewayCommand(request.command)
            ? gatewayExecute(request, nowMs)
            : device.execute(request.command, request.data, request.dataLength, nowMs);
    ++m_answersSinceFaults;
    ++m_answered;
    entry.answered = true;
    entry.responseCode = reply.responseCode;
    m_requests.append(entry);

    PendingAnswer pending;
    pending.bytes = buildAnswer(request, reply);
    if (direct) {
        *direct = pending.bytes.mid(m_answerFrameStart, m_answerFrameEnd - m_answerFrameStart);
        return;
    }
    pending.dueUs = nowUs + qint64(std::max(0, f.delayMs)) * 1000;
    pending.paced = m_config.pace;
    if (pending.paced)
        pending.dueUs = std::max(pending.dueUs, m_lineFreeUs);
    trace("tx", reinterpret_cast<const std::uint8_t *>(pending.bytes.constData()),
          std::size_t(pending.bytes.size()), nowUs);
    if (m_output.size() >= kMaxQueuedAnswers)
        m_output.pop_front(); // nobody is reading; keep the newest
    m_output.push_back(std::move(pending));
}

bool TransmitterSim::isGatewayCommand(std::uint8_t command)
{
    return command == 74 || command == 77 || command == 84;
}

// Card 0 with one channel per sub-device. Under m_mutex.
DeviceReply TransmitterSim::gatewayExecute(const ParsedRequest &request, qint64 nowMs)
{
    DeviceReply reply = m_device.refuse(0, nowMs);
    const std::uint8_t *in = request.data;
    const std::size_t n = request.dataLength;
    const auto u8 = [&reply](unsigned v) { reply.data.push_back(std::uint8_t(v)); };
    const int count = int(m_bus.size());
    switch (request.command) {
    case 74:
        u8(1);         // cards
        u8(count);     // channels per card
        u8(1);         // sub-devices per channel
        u8((count + 1) >> 8); // devices seen, the gateway itself with them
        u8(count + 1);
        u8(1); // delayed responses
        u8(1); // primary master
        u8(3); // retries
        return reply;
    case 84: {
        if (n < 2)
            return m_device.refuse(hartrc::tooFewDataBytes, nowMs);
        const int index = in[0] << 8 | in[1];
        if (index < 1 || index > count)
            return m_device.refuse(hartrc::invalidSelection, nowMs);
        FieldDevice &sub = *m_bus[std::size_t(index - 1)];
        const DeviceReply id = sub.execute(0, nullptr, 0, nowMs);
        if (id.data.size() < 12)
            return m_device.refuse(hartrc::invalidSelection, nowMs);
        u8(index >> 8);
        u8(index);
        u8(0);         // card
        u8(index - 1); // channel
        // The 16-bit manufacturer of revision 7, else the 8-bit one.
        if (id.data.size() >= 19) {
            u8(id.data[17]);
            u8(id.data[18]);
        } else {
            u8(0);
            u8(id.data[1]);
        }
        u8(id.data[1]); // expanded device type
        u8(id.data[2]);
        u8(id.data[9]);
        u8(id.data[10]);
        u8(id.data[11]);
        u8(id.data[4]);
        for (char c : sub.longTag())
            u8(std::uint8_t(c));
        return reply;
    }
    case 77: {
        // Card, channel, preambles, then the frame without its checksum.
        if (n < 3 + 4)
            return m_device.refuse(hartrc::tooFewDataBytes, nowMs);
        if (in[0] != 0 || in[1] >= count)
            return m_device.refuse(hartrc::invalidSelection, nowMs);
        const bool isLong = in[3] == 0x82;
        const std::size_t header = isLong ? 8 : 4; // from the delimiter to the byte count
        if ((in[3] != 0x02 && !isLong) || n < 3 + header || n < 3 + header + in[3 + header - 1])
            return m_device.refuse(hartrc::tooFewDataBytes, nowMs);
        FieldDevice &sub = *m_bus[in[1]];
        const std::uint8_t *address = in + 4;
        if (isLong ? !sub.isLongAddressMine(address) : !sub.isShortAddressMine(address[0]))
            return m_device.refuse(hartrc::invalidSelection, nowMs); // nobody there answers
        const std::uint8_t command = in[3 + header - 2];
        const std::uint8_t length = in[3 + header - 1];
        const DeviceReply inner = sub.execute(command, in + 3 + header, length, nowMs);
        u8(in[0]);
        u8(in[1]);
        u8(isLong ? 0x86 : 0x06);
        u8((address[0] & 0x3F) | 0x80); // answering the primary master
        if (isLong)
            for (int i = 1; i < 5; ++i)
                u8(address[i]);
        u8(command);
        u8(inner.data.size() + 2);
        u8(inner.responseCode);
        u8(inner.status);
        reply.data.insert(reply.data.end(), inner.data.begin(), inner.data.end());
        return reply;
    }
    default:
        return m_device.refuse(hartrc::notImplemented, nowMs);
    }
}

QByteArray TransmitterSim::buildAnswer(const ParsedRequest &request, const DeviceReply &reply)
{
    const SimFaults &f = m_faults;
    std::uniform_int_distribution<int> garbageByte(0x00, 0xFE);
    std::uniform_int_distribution<int> garbageCount(1, 4);
    QByteArray out;
    auto noise = [&] {
        for (int i = garbageCount(m_random); i > 0; --i)
            out.append(char(garbageByte(m_random)));
    };
    if (f.noise)
        noise();
    if (f.foreignFrames) {
        const bool otherMaster = m_answersSinceFaults % 2 == 0;
        out.append(5, char(0xFF));
        const int start = out.size();
        out.append(char(request.longFrame ? 0x86 : 0x06));
        const int addressLength = request.longFrame ? 5 : 1;
        for (int i = 0; i < addressLength; ++i) {
            const std::uint8_t a = request.address[std::size_t(i)];
            out.append(char(i == 0 ? (a ^ (otherMaster ? 0xBF : 0x3F)) : ~a));
        }
        out.append(char(request.command + 1));
        out.append(char(2));
        out.append('\0');
        out.append('\0');
        out.append(char(xorChecksum(reinterpret_cast<const std::uint8_t *>(out.constData()) + start,
                                    std::size_t(out.size() - start))));
    }

    out.append(std::min<int>(m_config.responsePreambles, kMaxResponsePreambles), char(0xFF));
    const int frameStart = out.size();
    // The long tag, a gateway's summaries and wrapped answers go past the 40-byte frame.
    const bool wide = request.command == 20 || request.command == 22 || request.command == 77
            || request.command == 84;
    const std::size_t maxData = wide ? kMaxWideAnswerData
            : request.longFrame      ? kMaxLongAnswerData
                                     : kMaxShortAnswerData;
    const std::size_t dataLength = std::min(reply.data.size(), maxData);
    if (reply.data.size() > maxData)
        qCWarning(lcSim, "answer to command %d cut to %zu data bytes", request.command, maxData);

    out.append(char(request.longFrame ? 0x86 : 0x06));
    const int addressLength = request.longFrame ? 5 : 1;
    for (int i = 0; i < addressLength; ++i) {
        std::uint8_t a = request.address[std::size_t(i)];
        if (f.wrongAddress) {
            if (!request.longFrame)
                a = std::uint8_t((a & 0xF0) | ((a + 1) & 0x0F));
            else if (i == 0)
                a = std::uint8_t((a & 0xC0) | ((a + 1) & 0x3F));
            else
                a = std::uint8_t(~a);
        }
        out.append(char(a));
    }
    out.append(char(request.command));
    out.append(char(2 + dataLength));
    out.append(char(reply.responseCode));
    out.append(char(reply.status));
    out.append(reinterpret_cast<const char *>(reply.data.data()), int(dataLength));
    std::uint8_t sum =
            xorChecksum(reinterpret_cast<const std::uint8_t *>(out.constData()) + frameStart,
                        std::size_t(out.size() - frameStart));
    if (f.corruptEvery > 0 && m_answersSinceFaults % f.corruptEvery == 0)
        sum ^= 0xFF;
    out.append(char(sum));
    m_answerFrameStart = frameStart;
    m_answerFrameEnd = out.size();

    if (f.noise)
        noise();
    return out;
}

qint64 TransmitterSim::flushOutput(qint64 nowUs)
{
    while (!m_output.empty()) {
        PendingAnswer &answer = m_output.front();
        if (nowUs < answer.dueUs)
            return answer.dueUs;
        if (answer.startUs < 0)
            answer.startUs = nowUs;
        int allowed = answer.bytes.size();
        if (answer.paced)
            allowed = int(std::min<qint64>(
                    allowed, 1 + (nowUs - answer.startUs) * kCharTimeDenom / kCharTimeNumUs));
        if (allowed > answer.sent) {
            const ssize_t n = ::write(m_masterFd, answer.bytes.constData() + answer.sent,
                                      std::size_t(allowed - answer.sent));
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    m_wantWrite = true;
                    return -1;
                }
                qCWarning(lcSim, "write failed: %s", std::strerror(errno));
                m_output.pop_front();
                continue;
            }
            answer.sent += int(n);
        }
        if (answer.sent >= answer.bytes.size()) {
            m_output.pop_front();
            continue;
        }
        if (!answer.paced) {
            m_wantWrite = true; // short write: wait until the line takes more
            return -1;
        }
        return answer.startUs + qint64(answer.sent) * kCharTimeNumUs / kCharTimeDenom;
    }
    return -1;
}

void TransmitterSim::trace(const char *tag, const std::uint8_t *bytes, std::size_t count,
                           qint64 nowUs)
{
    if (!m_trace)
        return;
    std::fprintf(m_trace, "%10.3f %-5s %s\n", double(nowUs) / 1000.0, tag,
                 qPrintable(hexLine(bytes, count)));
    std::fflush(m_trace);
}

void TransmitterSim::setFaults(const Faults &faults)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults = faults;
    m_requestsSinceFaults = 0;
    m_framesSinceFaults = 0;
    m_answersSinceFaults = 0;
}

TransmitterSim::Faults TransmitterSim::faults() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_faults;
}

void TransmitterSim::setFixedPv(float value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setFixedPv(value);
}

void TransmitterSim::setKeyBits(quint8 bits)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setKeyBits(bits);
}

void TransmitterSim::setAdditionalStatus(const QByteArray &bytes)
{
    std::array<std::uint8_t, 25> all{};
    std::copy_n(bytes.constData(), std::min<std::size_t>(all.size(), std::size_t(bytes.size())),
                all.begin());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setAdditionalStatus(all);
}

QByteArray TransmitterSim::additionalStatus() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto &all = m_device.additionalStatus();
    return QByteArray(reinterpret_cast<const char *>(all.data()), int(all.size()));
}

void TransmitterSim::setVariableStatus(int variable, quint8 status)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setVariableStatus(variable, status);
}

quint8 TransmitterSim::variableStatus(int variable) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.variableStatus(variable);
}

quint16 TransmitterSim::configChangeCounter() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.configChangeCounter();
}

void TransmitterSim::changeConfigurationLocally()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.changeConfigurationLocally();
}

bool TransmitterSim::configChanged() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.configChanged();
}

bool TransmitterSim::moreStatusAvailable() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.moreStatusAvailable();
}

void TransmitterSim::setTemperatureSignal(float value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setTemperatureSignal(value);
}

void TransmitterSim::setBenchWiring(BenchWiring wiring)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setBenchWiring(wiring);
}

void TransmitterSim::setBenchPv(BenchPv pv)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setBenchPv(pv);
}

void TransmitterSim::setAppliedPv(float value)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setAppliedPv(value);
}

float TransmitterSim::appliedPv() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.appliedPv();
}

void TransmitterSim::setSensorError(float offset, float gainPercent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setSensorError(offset, gainPercent);
}

void TransmitterSim::setOutputOffset(float offsetMa)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setOutputOffset(offsetMa);
}

float TransmitterSim::outputOffset() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.outputOffset();
}

void TransmitterSim::setDeviceId(quint32 id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setDeviceId(id);
}

float TransmitterSim::sensorOffset() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.sensorOffset();
}

float TransmitterSim::sensorGainPercent() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.sensorGainPercent();
}

BenchWiring TransmitterSim::benchWiring() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.benchWiring();
}

BenchPv TransmitterSim::benchPv() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.benchPv();
}

quint8 TransmitterSim::keyBits() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.keyBits();
}

float TransmitterSim::temperatureSignal() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.temperatureSignal();
}

void TransmitterSim::setPace(bool on)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_config.pace = on;
}

void TransmitterSim::setUnlockTimeoutMs(int ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.setUnlockTimeoutMs(ms);
}

bool TransmitterSim::setTraceLog(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_traceOwned && m_trace)
        std::fclose(m_trace);
    m_trace = nullptr;
    m_traceOwned = false;
    if (path.isEmpty())
        return true;
    if (path == QLatin1String("-")) {
        m_trace = stderr;
        return true;
    }
    m_trace = std::fopen(path.toLocal8Bit().constData(), "a");
    m_traceOwned = m_trace != nullptr;
    return m_trace != nullptr;
}

QByteArray TransmitterSim::memory(quint16 address, quint16 length) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QByteArray bytes(length, '\0');
    if (!m_device.memory().read(address, reinterpret_cast<std::uint8_t *>(bytes.data()), length))
        return QByteArray();
    return bytes;
}

void TransmitterSim::setMemory(quint16 address, const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_device.memory().write(address, reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                            std::size_t(bytes.size()));
}

quint16 TransmitterSim::registerValue(quint16 reg) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.registerValue(reg);
}

bool TransmitterSim::writeEnabled() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.writeEnabled();
}

bool TransmitterSim::currentFixed() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.currentFixed();
}

float TransmitterSim::zeroTrimMa() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.zeroTrimMa();
}

float TransmitterSim::gainTrimMa() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.gainTrimMa();
}

quint8 TransmitterSim::pollingAddress() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.pollingAddress();
}

int TransmitterSim::userSaveCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.userSaves();
}

int TransmitterSim::factorySaveCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_device.factorySaves();
}

QVector<SimRequest> TransmitterSim::requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

void TransmitterSim::clearRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

int TransmitterSim::answeredCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_answered;
}

int TransmitterSim::droppedFrameCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dropped;
}

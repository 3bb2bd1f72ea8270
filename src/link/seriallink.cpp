#include "seriallink.h"

#include "kvhart_master.h"
#include "linklog.h"

#include <QMetaObject>

#include <algorithm>

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

namespace {
std::int64_t monotonicUs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}
} // namespace

SerialLink::SerialLink(kvhart_master *master, QObject *parent)
    : QObject(parent)
    , m_master(master)
{
    m_master->reportsWrites();
    connect(&m_port, &QSerialPort::readyRead, this, &SerialLink::readMySerialPort);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialLink::onError);
    connect(&m_rtsTimer, &MMTimer::timeout, this, &SerialLink::hartRTSTimerTimerout);
    // Drop RTS on the timer thread right at the due time; the window thread's
    // hartRTSTimerTimerout then only confirms it. A busy window cannot stretch the window.
    m_rtsTimer.setExpiryAction([this] {
        const int fd = m_rtsFd.load();
        if (fd >= 0) {
            int bits = TIOCM_RTS;
            ::ioctl(fd, TIOCMBIC, &bits);
        }
        m_lastLatenessUs.store(monotonicUs() - m_rtsDueUs.load());
    });
}

SerialLink::~SerialLink()
{
    close();
}

bool SerialLink::open(const QString &portText)
{
    close();
    const SerialPortText text = parseSerialPortText(portText);
    m_portName = text.name;
    if (!text.error.isEmpty()) {
        qCWarning(lcSerial, "%s: %s", qPrintable(portText), qPrintable(text.error));
        m_lastOpenError = QSerialPort::UnsupportedOperationError;
        return false;
    }
    m_options = text.over(m_options);
    const QString &portName = m_portName;
    m_port.setPortName(portName);
    if (!m_port.open(QIODevice::ReadWrite)) {
        m_lastOpenError = m_port.error();
        m_port.close();
        return false;
    }
    m_port.setBaudRate(QSerialPort::Baud1200, QSerialPort::AllDirections);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::OddParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    m_rtsFailureReported = false;
    m_txBytes = m_rxBytes = 0;
    m_collisions = m_incompleteEchoes = m_rtsRequests = 0;
    m_lastOpenError = QSerialPort::NoError;
    if (m_options != SerialOptions())
        qCDebug(lcSerial, "%s: %s%s", qPrintable(m_portName),
                m_options.modemKeysItself ? "modem keys itself, no RTS keying" : "RTS keying",
                m_options.echo ? ", echo checked" : "");
    return true;
}

void SerialLink::setOptions(const SerialOptions &options)
{
    m_options = options;
    m_echoState = EchoState::None;
    m_echoSent.clear();
    m_echoReceived.clear();
    m_afterCollision.clear();
}

void SerialLink::close()
{
    setOptions(m_options);
    m_rtsTimer.stop();
    m_rtsFd.store(-1);
    if (m_port.isOpen())
        m_port.close();
}

bool SerialLink::isOpen() const
{
    return m_port.isOpen();
}

bool SerialLink::setRts(bool on)
{
    ++m_rtsRequests;
    for (int attempt = 0; attempt < kRtsAttempts; ++attempt) {
        if (m_port.setRequestToSend(on))
            return true;
    }
    // A pseudo-terminal or a modem without the line refuses every time; say so once.
    m_port.clearError();
    if (!m_rtsFailureReported) {
        m_rtsFailureReported = true;
        qCDebug(lcSerial, "RTS request failed on %s", qPrintable(m_portName));
    }
    return false;
}

void SerialLink::writeMySerialPort(const QByteArray &data)
{
    LinkCaptureSink *sink = m_master->capture();
    const auto *bytes = reinterpret_cast<const std::uint8_t *>(data.constData());
    const auto length = std::size_t(data.size());
    m_master->requestOnWire();
    if (!m_port.isOpen()) {
        if (sink)
            sink->requestFailed(bytes, length);
        return;
    }
    if (m_echoState != EchoState::None)
        endEcho();
    if (sink)
        captureWaitingInput(sink);
    m_afterCollision.clear();
    m_port.clear(QSerialPort::AllDirections);
    if (!m_port.isOpen()) {
        if (sink)
            sink->requestFailed(bytes, length); // clearing found the port gone (portLost sent)
        return;
    }
    const bool keyed = !m_options.modemKeysItself;
    if (keyed)
        setRts(true);
    m_writeFailed = false;
    // Before the bytes go out: their echo may be back before this function returns.
    if (m_options.echo)
        expectEcho(data);
    const qint64 written = m_port.write(data);
    if (written > 0)
        m_txBytes += written;
    if (m_options.echo && written != data.size())
        expectEcho(data.left(int(std::max<qint64>(0, written))));
    // QSerialPort writes from the event loop; push the bytes out now so the RTS
    // window is timed from the moment they reach the driver.
    m_port.flush();
    if (keyed) {
        const int period = rtsPeriodMs(data.size());
        m_rtsFd.store(int(m_port.handle()));
        m_rtsDueUs.store(monotonicUs() + std::int64_t(period) * 1000);
        m_rtsTimer.start(period);
    }
    // Recorded once the release is timed, so capturing cannot stretch the RTS window.
    if (!sink)
        return;
    if (written != data.size() || m_writeFailed || !m_port.isOpen())
        sink->requestFailed(bytes, length);
    else
        sink->requestWritten(bytes, length);
}

void SerialLink::captureWaitingInput(LinkCaptureSink *sink)
{
    // What the port has buffered, then what the driver still holds: the clear would drop
    // both unseen. Bounded, so a flooding line cannot hold the window thread here. The line
    // after a collision was dropped unseen as well; it goes first.
    QByteArray waiting = m_afterCollision + m_port.read(m_port.bytesAvailable());
    m_afterCollision.clear();
    const int fd = int(m_port.handle());
    char chunk[kReadChunk];
    while (fd >= 0 && waiting.size() < kMaxDiscardCapture) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        waiting.append(chunk, int(n));
    }
    if (waiting.isEmpty())
        return;
    m_rxBytes += waiting.size();
    sink->inputDiscarded(reinterpret_cast<const std::uint8_t *>(waiting.constData()),
                         std::size_t(waiting.size()));
}

void SerialLink::hartRTSTimerTimerout()
{
    // A late expiry of an earlier window must not cut the frame now on the wire.
    if (m_rtsTimer.isActive() && monotonicUs() < m_rtsDueUs.load() - 1000)
        return;
    const bool wasActive = m_rtsTimer.isActive();
    if (m_port.isOpen())
        setRts(false);
    m_rtsTimer.stop();
    m_rtsFd.store(-1);
    if (wasActive)
        emit rtsReleased(m_lastLatenessUs.load(), monotonicUs() - m_rtsDueUs.load());
}

void SerialLink::readMySerialPort()
{
    // Read before the next request's write though it came first: the write's clear would
    // have thrown it away, so it is kept as that clear keeps it, never taken as the answer.
    if (m_master->awaitingWrite()) {
        if (LinkCaptureSink *sink = m_master->capture())
            captureWaitingInput(sink);
        else
            m_port.clear(QSerialPort::Input);
        return;
    }
    char buffer[kReadChunk];
    const qint64 n = m_port.read(buffer, sizeof buffer);
    if (n > 0)
        m_rxBytes += n;
    const qint64 echoed = m_echoState == EchoState::None ? 0 : takeEcho(buffer, n);
    for (qint64 i = echoed; i < n; ++i)
        m_master->receiveByte(static_cast<std::uint8_t>(buffer[i]));
    // readyRead only fires for new data; fetch a remainder on the next turn of the loop.
    if (n == kReadChunk && m_port.bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &SerialLink::readMySerialPort, Qt::QueuedConnection);
}

void SerialLink::expectEcho(const QByteArray &written)
{
    m_echoSent = written;
    m_echoReceived.clear();
    m_echoState = written.isEmpty() ? EchoState::None : EchoState::Awaited;
}

qint64 SerialLink::takeEcho(const char *bytes, qint64 n)
{
    if (n <= 0)
        return 0;
    if (m_echoState == EchoState::Collided) {
        // Whatever follows a collision is not this attempt's answer: it fails as on a silent
        // line, and the capture gets these bytes with the next frame's clear.
        const int room = kMaxDiscardCapture - m_afterCollision.size();
        m_afterCollision.append(bytes, int(std::min<qint64>(n, std::max(0, room))));
        return n;
    }
    const qint64 take = std::min<qint64>(n, m_echoSent.size() - m_echoReceived.size());
    m_echoReceived.append(bytes, int(take));
    if (m_echoReceived.size() < m_echoSent.size())
        return take;
    if (m_echoReceived == m_echoSent) {
        m_echoState = EchoState::None;
        return take;
    }
    reportEcho(EchoFault::Mismatch);
    m_echoState = EchoState::Collided;
    return take + takeEcho(bytes + take, n - take);
}

void SerialLink::endEcho()
{
    if (m_echoState == EchoState::Awaited)
        reportEcho(m_echoSent.startsWith(m_echoReceived) ? EchoFault::Incomplete
                                                         : EchoFault::Mismatch);
    m_echoState = EchoState::None;
}

void SerialLink::reportEcho(EchoFault fault)
{
    const qint64 count = fault == EchoFault::Mismatch ? ++m_collisions : ++m_incompleteEchoes;
    qCDebug(lcSerial, "%s on %s (%lld so far): sent %s, echo %s",
            fault == EchoFault::Mismatch ? "echo mismatch, collision" : "echo incomplete",
            qPrintable(m_portName), count, m_echoSent.toHex(' ').constData(),
            m_echoReceived.toHex(' ').constData());
    if (LinkCaptureSink *sink = m_master->capture())
        sink->echoFailed(fault, reinterpret_cast<const std::uint8_t *>(m_echoReceived.constData()),
                         std::size_t(m_echoReceived.size()));
}

bool SerialLink::hungUp() const
{
    pollfd p{int(m_port.handle()), POLLIN, 0};
    if (::poll(&p, 1, 0) < 0)
        return true;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void SerialLink::onError(QSerialPort::SerialPortError error)
{
    // A vanished device shows as a resource error on a real port and as endless read
    // errors (EIO) on a pseudo-terminal; either way the port is gone.
    if (error == QSerialPort::WriteError || error == QSerialPort::ResourceError)
        m_writeFailed = true;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError
        && error != QSerialPort::WriteError)
        return;
    if (!m_port.isOpen())
        return;
    // A read notification whose input the request's flush has just discarded reads
    // nothing (EAGAIN), and Qt reports that as a read error too. Only a port that has hung
    // up, or that the system no longer knows, is gone.
    if (error != QSerialPort::ResourceError && !hungUp()) {
        m_port.clearError();
        return;
    }
    qCDebug(lcSerial, "port %s lost", qPrintable(m_portName));
    close();
    emit portLost();
}

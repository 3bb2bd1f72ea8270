#include "hartiplink.h"

#include "kvhart_master.h"
#include "linklog.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslPreSharedKeyAuthenticator>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

Q_LOGGING_CATEGORY(lcHartIp, "hart.link.hartip")

namespace {
// Name lookup, TCP connect and TLS handshake together.
constexpr int kConnectTimeoutMs = 5000;
constexpr int kMaxInitiateAttempts = 3;

// TLS 1.2 with a pre-shared key only: with TLS 1.3 a server may resume without the PSK.
QList<QSslCipher> pskCiphers()
{
    static const char *const names[] = {"ECDHE-PSK-AES128-CBC-SHA256", "PSK-AES128-GCM-SHA256",
                                        "PSK-AES256-GCM-SHA384", "PSK-AES128-CBC-SHA256",
                                        "PSK-AES256-CBC-SHA384"};
    QList<QSslCipher> out;
    const QList<QSslCipher> supported = QSslConfiguration::supportedCiphers();
    for (const char *name : names)
        for (const QSslCipher &c : supported)
            if (c.name() == QLatin1String(name))
                out << c;
    return out;
}

QString hostPort(const hartip::Address &a)
{
    return QStringLiteral("%1:%2").arg(a.host).arg(a.port);
}
} // namespace

HartIpLink::HartIpLink(kvhart_master *master, QObject *parent)
    : QObject(parent)
    , m_master(master)
{
    m_thread.setObjectName(QStringLiteral("hartip"));
    m_thread.start();
    moveToThread(&m_thread);
    QMetaObject::invokeMethod(
            this,
            [this] {
                m_initiateTimer = new QTimer(this);
                m_initiateTimer->setSingleShot(true);
                connect(m_initiateTimer, &QTimer::timeout, this, &HartIpLink::onInitiateTimeout);
                m_keepAliveTimer = new QTimer(this);
                connect(m_keepAliveTimer, &QTimer::timeout, this, &HartIpLink::sendKeepAlive);
                m_connectTimer = new QTimer(this);
                m_connectTimer->setSingleShot(true);
                connect(m_connectTimer, &QTimer::timeout, this, [this] {
                    fail(Failure::NoAnswer, hostPort(m_address));
                });
            },
            Qt::BlockingQueuedConnection);
}

HartIpLink::~HartIpLink()
{
    close();
    QMetaObject::invokeMethod(
            this,
            [this] {
                delete m_initiateTimer;
                delete m_keepAliveTimer;
                delete m_connectTimer;
                m_initiateTimer = m_keepAliveTimer = m_connectTimer = nullptr;
            },
            Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

bool HartIpLink::open(const QString &portName)
{
    close();
    hartip::Address address;
    QString why;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_portName = portName;
    }
    if (!hartip::parseAddress(portName, &address, &why)) {
        setFailure(Failure::BadAddress, why, 0);
        return false;
    }
    hartip::PreSharedKey key;
    if (address.scheme == hartip::Scheme::Tls) {
        if (!hartip::loadPreSharedKey(address.pskFile, &key, &why)) {
            Failure f = Failure::KeyInvalid;
            if (address.pskFile.isEmpty())
                f = Failure::KeyNone;
            else if (why.contains(QLatin1String("0600")))
                f = Failure::KeyFileMode;
            else if (why.contains(QLatin1String("not found"))
                     || why.contains(QLatin1String("cannot be read")))
                f = Failure::KeyFileMissing;
            setFailure(f, address.pskFile, 0);
            return false;
        }
        if (pskCiphers().isEmpty()) {
            setFailure(Failure::Network, QStringLiteral("TLS with a pre-shared key is not available"),
                       0);
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_scheme = address.scheme;
    }
    setFailure(Failure::None, QString(), 0);
    m_opening.store(true);
    QMetaObject::invokeMethod(this, [this, address, key] { startSession(address, key); },
                              Qt::QueuedConnection);
    return true;
}

void HartIpLink::close()
{
    if (QThread::currentThread() == &m_thread) {
        endSession(true);
        return;
    }
    QMetaObject::invokeMethod(this, [this] { endSession(true); }, Qt::BlockingQueuedConnection);
}

QString HartIpLink::portName() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_portName;
}

hartip::Scheme HartIpLink::scheme() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_scheme;
}

HartIpLink::Failure HartIpLink::failure() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_failure;
}

QString HartIpLink::failureDetail() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_failureDetail;
}

std::uint8_t HartIpLink::failureStatus() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_failureStatus;
}

void HartIpLink::setFailure(Failure failure, const QString &detail, std::uint8_t status)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_failure = failure;
    m_failureDetail = detail;
    m_failureStatus = status;
}

void HartIpLink::send(const QByteArray &wire)
{
    if (QThread::currentThread() == &m_thread)
        sendOnThread(wire);
    else
        QMetaObject::invokeMethod(this, [this, wire] { sendOnThread(wire); },
                                  Qt::QueuedConnection);
}

// ---------------------------------------------------------------------------------------
// Session thread.

void HartIpLink::startSession(const hartip::Address &address, const hartip::PreSharedKey &key)
{
    endSession(false);
    m_opening.store(true);
    m_address = address;
    m_stream.clear();
    m_initiateAttempts = 0;
    m_version = address.scheme == hartip::Scheme::Tls ? 2 : 1;
    m_wrongSequence.store(0);
    m_keepAlives.store(0);

    if (address.scheme == hartip::Scheme::Udp) {
        m_udp = new QUdpSocket(this);
        m_socket = m_udp;
    } else if (address.scheme == hartip::Scheme::Tcp) {
        m_socket = new QTcpSocket(this);
    } else {
        auto *ssl = new QSslSocket(this);
        QSslConfiguration config = ssl->sslConfiguration();
        config.setProtocol(QSsl::TlsV1_2);
        config.setCiphers(pskCiphers());
        config.setPeerVerifyMode(QSslSocket::VerifyNone);
        ssl->setSslConfiguration(config);
        connect(ssl, &QSslSocket::preSharedKeyAuthenticationRequired, this,
                [key](QSslPreSharedKeyAuthenticator *auth) {
                    auth->setIdentity(key.identity);
                    auth->setPreSharedKey(key.key);
                });
        connect(ssl, &QSslSocket::encrypted, this, &HartIpLink::onConnected);
        m_socket = ssl;
    }
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QAbstractSocket::readyRead, this, &HartIpLink::onReadable);
    connect(m_socket, &QAbstractSocket::errorOccurred, this, &HartIpLink::onSocketError);
    connect(m_socket, &QAbstractSocket::disconnected, this, &HartIpLink::onDisconnected);
    if (address.scheme == hartip::Scheme::Tls) {
        static_cast<QSslSocket *>(m_socket)->connectToHostEncrypted(address.host, address.port);
    } else {
        connect(m_socket, &QAbstractSocket::connected, this, &HartIpLink::onConnected);
        m_socket->connectToHost(address.host, address.port);
    }
    m_connectTimer->start(kConnectTimeoutMs);
}

void HartIpLink::endSession(bool sayClose)
{
    m_connectTimer->stop();
    m_initiateTimer->stop();
    m_keepAliveTimer->stop();
    const bool wasOpen = m_open.exchange(false);
    m_opening.store(false);
    m_pduOutstanding = false;
    if (!m_socket)
        return;
    QAbstractSocket *socket = m_socket;
    m_socket = nullptr;
    m_udp = nullptr;
    socket->disconnect(this);
    if (wasOpen && sayClose && socket->state() == QAbstractSocket::ConnectedState) {
        // Tells the server at once rather than holding one of its sessions to the timer.
        const QByteArray message =
                hartip::encode({m_version, hartip::MessageType::Request,
                                hartip::MessageId::SessionClose, 0, ++m_sequence, 0});
        socket->write(message);
        socket->flush();
        if (LinkCaptureSink *sink = m_master->capture())
            sink->hartIpMessage(reinterpret_cast<const std::uint8_t *>(message.constData()),
                                std::size_t(message.size()), true, false);
        if (m_address.scheme != hartip::Scheme::Udp) {
            socket->disconnectFromHost();
            if (socket->state() != QAbstractSocket::UnconnectedState)
                socket->waitForDisconnected(200);
        }
    }
    socket->abort();
    socket->deleteLater(); // we may be inside one of its signals

}

void HartIpLink::fail(Failure failure, const QString &detail, std::uint8_t status)
{
    const bool wasOpen = m_open.load();
    const bool wasOpening = m_opening.load();
    setFailure(failure, detail, status);
    qCDebug(lcHartIp, "session with %s ended: %d %s", qPrintable(hostPort(m_address)),
            int(failure), qPrintable(detail));
    endSession(false);
    if (wasOpening && !wasOpen)
        emit opened(false);
    else if (wasOpen)
        emit portLost();
}

void HartIpLink::onConnected()
{
    m_connectTimer->stop();
    sendInitiate();
}

void HartIpLink::sendInitiate()
{
    ++m_initiateAttempts;
    m_initiateSequence = m_sequence + 1;
    transmit(hartip::MessageId::SessionInitiate,
             hartip::initiateBody(m_requestedInactivityMs.load()));
    m_initiateTimer->start(std::max(1, int(m_master->timeoutMs)));
}

void HartIpLink::onInitiateTimeout()
{
    // A datagram may be lost; a stream is not, but a silent server is as silent either way.
    const int attempts = std::clamp(int(m_master->retryCount), 1, kMaxInitiateAttempts);
    if (m_initiateAttempts < attempts && m_socket) {
        sendInitiate();
        return;
    }
    fail(Failure::NoAnswer, hostPort(m_address));
}

void HartIpLink::onSocketError()
{
    if (!m_socket)
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    const QString words = m_socket->errorString();
    if (m_open.load()) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            fail(Failure::SessionClosed);
        else if (m_address.scheme == hartip::Scheme::Udp
                 && error != QAbstractSocket::ConnectionRefusedError)
            qCDebug(lcHartIp, "datagram error: %s", qPrintable(words)); // an attempt is lost
        else
            fail(error == QAbstractSocket::ConnectionRefusedError ? Failure::SessionClosed
                                                                 : Failure::Network,
                 words);
        return;
    }
    switch (error) {
    case QAbstractSocket::HostNotFoundError: fail(Failure::HostNotFound, m_address.host); break;
    case QAbstractSocket::ConnectionRefusedError: fail(Failure::Refused, hostPort(m_address)); break;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
        fail(Failure::TlsRefused, words);
        break;
    case QAbstractSocket::RemoteHostClosedError:
        // A TLS server that does not know the identity or key just hangs up.
        if (m_address.scheme == hartip::Scheme::Tls
            && !static_cast<QSslSocket *>(m_socket)->isEncrypted())
            fail(Failure::TlsRefused, words);
        else
            fail(Failure::NoAnswer, hostPort(m_address));
        break;
    default: fail(Failure::Network, words); break;
    }
}

void HartIpLink::onDisconnected()
{
    if (m_socket && m_open.load())
        fail(Failure::SessionClosed);
}

void HartIpLink::transmit(hartip::MessageId id, const QByteArray &body)
{
    if (!m_socket)
        return;
    const QByteArray message = hartip::encode(
            {m_version, hartip::MessageType::Request, id, 0, ++m_sequence, 0}, body);
    if (m_udp)
        m_udp->write(message); // connected: to the server only
    else
        m_socket->write(message);
    if (LinkCaptureSink *sink = m_master->capture())
        sink->hartIpMessage(reinterpret_cast<const std::uint8_t *>(message.constData()),
                            std::size_t(message.size()), true, false);
    if (m_open.load()) {
        // Any message keeps the session; the keep-alive is only for idle stretches.
        const std::uint32_t granted = std::max<std::uint32_t>(m_grantedInactivityMs.load(), 50);
        m_keepAliveTimer->start(int(std::min<std::uint32_t>(granted * 2 / 5, 1u << 30)));
    }
}

void HartIpLink::sendKeepAlive()
{
    if (!m_open.load())
        return;
    m_keepAlives.fetch_add(1);
    transmit(hartip::MessageId::KeepAlive, QByteArray());
}

void HartIpLink::sendOnThread(const QByteArray &wire)
{
    // The attempt's time-out runs from here, as from a serial write.
    m_master->requestOnWire();
    if (!m_open.load() || !m_socket)
        return; // the master's attempt times out as on a closed serial port
    int start = 0;
    while (start < wire.size() && static_cast<unsigned char>(wire[start]) == 0xFF)
        ++start;
    transmit(hartip::MessageId::TokenPassingPdu, wire.mid(start));
    m_pduSequence = m_sequence;
    m_pduOutstanding = true;
    if (LinkCaptureSink *sink = m_master->capture())
        sink->requestWritten(reinterpret_cast<const std::uint8_t *>(wire.constData()),
                             std::size_t(wire.size()));
}

void HartIpLink::onReadable()
{
    if (!m_socket)
        return;
    if (m_udp) {
        while (m_udp && m_udp->hasPendingDatagrams()) {
            QByteArray datagram(int(std::max<qint64>(0, m_udp->pendingDatagramSize())), '\0');
            const qint64 n = m_udp->readDatagram(datagram.data(), datagram.size());
            if (n < hartip::kHeaderSize)
                continue;
            datagram.truncate(int(n));
            hartip::Header header;
            if (!hartip::decodeHeader(datagram.constData(), datagram.size(), &header)
                || header.byteCount > datagram.size()) {
                qCDebug(lcHartIp, "malformed datagram of %d bytes dropped", datagram.size());
                continue;
            }
            handleMessage(header, datagram.mid(hartip::kHeaderSize,
                                               header.byteCount - hartip::kHeaderSize));
        }
        return;
    }
    m_stream += m_socket->readAll();
    while (m_socket && m_stream.size() >= hartip::kHeaderSize) {
        hartip::Header header;
        if (!hartip::decodeHeader(m_stream.constData(), m_stream.size(), &header)) {
            // Out of step with the stream: nothing after this can be trusted.
            if (m_open.load())
                fail(Failure::Network, QStringLiteral("malformed HART-IP message"));
            else
                fail(Failure::NoAnswer, hostPort(m_address));
            return;
        }
        if (m_stream.size() < header.byteCount)
            return;
        const QByteArray body =
                m_stream.mid(hartip::kHeaderSize, header.byteCount - hartip::kHeaderSize);
        m_stream.remove(0, header.byteCount);
        handleMessage(header, body);
    }
}

void HartIpLink::handleMessage(const hartip::Header &header, const QByteArray &body)
{
    const bool answer = header.type == hartip::MessageType::Response
            || header.type == hartip::MessageType::Error || header.type == hartip::MessageType::Nak;
    const bool expected = header.id == hartip::MessageId::TokenPassingPdu
            ? m_pduOutstanding && header.sequence == m_pduSequence
            : header.id != hartip::MessageId::SessionInitiate
                    || header.sequence == m_initiateSequence;
    if (LinkCaptureSink *sink = m_master->capture()) {
        const QByteArray whole = hartip::encode(header, body);
        sink->hartIpMessage(reinterpret_cast<const std::uint8_t *>(whole.constData()),
                            std::size_t(whole.size()), false, answer && !expected);
    }

    if (header.type == hartip::MessageType::Request
        && header.id == hartip::MessageId::SessionClose) {
        if (m_open.load())
            fail(Failure::SessionClosed);
        return;
    }
    if (!answer)
        return;
    if (!expected) {
        m_wrongSequence.fetch_add(1);
        qCDebug(lcHartIp, "answer with sequence number %u ignored", unsigned(header.sequence));
        return;
    }

    switch (header.id) {
    case hartip::MessageId::SessionInitiate: {
        if (!m_opening.load() || m_open.load())
            return;
        const bool accepted = header.type == hartip::MessageType::Response
                && (header.status == hartip::status::success
                    || header.status == hartip::status::nearestValue);
        if (!accepted) {
            fail(Failure::Nak, QString(), header.status);
            return;
        }
        m_initiateTimer->stop();
        std::uint8_t masterType = 0;
        std::uint32_t granted = m_requestedInactivityMs.load();
        if (!hartip::parseInitiateBody(body, &masterType, &granted) || granted == 0)
            granted = m_requestedInactivityMs.load();
        m_grantedInactivityMs.store(granted);
        m_opening.store(false);
        m_open.store(true);
        qCDebug(lcHartIp, "session with %s open, inactivity close %u ms",
                qPrintable(hostPort(m_address)), unsigned(granted));
        m_keepAliveTimer->start(int(std::max<std::uint32_t>(granted, 50) * 2 / 5));
        emit opened(true);
        return;
    }
    case hartip::MessageId::TokenPassingPdu: {
        m_pduOutstanding = false;
        if (header.type != hartip::MessageType::Response) {
            // The server kept no session for us (its timer ran out) or refused the PDU.
            qCDebug(lcHartIp, "PDU refused with status %u", unsigned(header.status));
            if (header.status == hartip::status::noSessionAvailable)
                fail(Failure::SessionClosed);
            return;
        }
        // The receiver hunts for two preambles before a delimiter; the PDU carries none.
        m_master->receiveByte(0xFF);
        m_master->receiveByte(0xFF);
        for (char c : body)
            m_master->receiveByte(static_cast<std::uint8_t>(c));
        return;
    }
    default: return; // keep-alive and close answers carry nothing
    }
}

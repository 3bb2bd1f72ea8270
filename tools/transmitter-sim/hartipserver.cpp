#include "hartipserver.h"

#include "transmittersim.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslPreSharedKeyAuthenticator>
#include <QSslSocket>
#include <QTcpServer>
#include <QTimer>
#include <QUdpSocket>

#include <functional>

Q_LOGGING_CATEGORY(lcSimIp, "hart.sim.hartip")

namespace {

constexpr int kIdleCheckMs = 20;
constexpr std::uint8_t kNotImplemented = 64;

// Hands every accepted connection to a factory, so TLS sockets are TLS from the first byte.
class SocketServer : public QTcpServer
{
public:
    std::function<QTcpSocket *(qintptr)> factory;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (QTcpSocket *socket = factory(descriptor))
            addPendingConnection(socket);
    }
};

QList<QSslCipher> pskCiphers()
{
    QList<QSslCipher> out;
    for (const QSslCipher &c : QSslConfiguration::supportedCiphers())
        if (c.name().contains(QLatin1String("PSK")) && c.protocol() != QSsl::TlsV1_3
            && !c.name().contains(QLatin1String("RSA")))
            out << c;
    return out;
}

QElapsedTimer &serverClock()
{
    static QElapsedTimer t = [] {
        QElapsedTimer e;
        e.start();
        return e;
    }();
    return t;
}

} // namespace

HartIpServer::HartIpServer(TransmitterSim &device, QObject *parent)
    : QObject(parent)
    , m_device(device)
{
    serverClock();
    m_thread.setObjectName(QStringLiteral("sim-hartip"));
    m_thread.start();
    moveToThread(&m_thread);
}

HartIpServer::~HartIpServer()
{
    stop();
    m_thread.quit();
    m_thread.wait();
}

qint64 HartIpServer::nowMs() const
{
    return serverClock().elapsed();
}

bool HartIpServer::start(hartip::Scheme scheme, quint16 port, const QByteArray &identity,
                         const QByteArray &key)
{
    stop();
    m_identity = identity;
    m_key = key;
    bool ok = false;
    QMetaObject::invokeMethod(this, [&] { startOnThread(scheme, port, &ok); },
                              Qt::BlockingQueuedConnection);
    return ok;
}

void HartIpServer::stop()
{
    QMetaObject::invokeMethod(this, [this] { stopOnThread(); }, Qt::BlockingQueuedConnection);
}

QString HartIpServer::url() const
{
    const char *scheme = m_scheme == hartip::Scheme::Udp ? "hartip"
            : m_scheme == hartip::Scheme::Tcp            ? "hartip+tcp"
                                                         : "hartips";
    return QStringLiteral("%1://127.0.0.1:%2").arg(QLatin1String(scheme)).arg(port());
}

QString HartIpServer::errorString() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_error;
}

void HartIpServer::setFaults(const HartIpServerFaults &faults)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_faults = faults;
}

void HartIpServer::startOnThread(hartip::Scheme scheme, quint16 port, bool *ok)
{
    m_scheme = scheme;
    m_idleTimer = new QTimer(this);
    connect(m_idleTimer, &QTimer::timeout, this, &HartIpServer::checkIdle);
    m_idleTimer->start(kIdleCheckMs);
    QString error;
    if (scheme == hartip::Scheme::Udp) {
        m_udp = new QUdpSocket(this);
        connect(m_udp, &QUdpSocket::readyRead, this, &HartIpServer::readUdp);
        if (!m_udp->bind(QHostAddress::LocalHost, port))
            error = m_udp->errorString();
        else
            m_port.store(m_udp->localPort());
    } else {
        auto *server = new SocketServer;
        server->setParent(this);
        const bool tls = scheme == hartip::Scheme::Tls;
        server->factory = [this, tls](qintptr descriptor) -> QTcpSocket * {
            if (!tls) {
                auto *socket = new QTcpSocket;
                socket->setSocketDescriptor(descriptor);
                return socket;
            }
            auto *ssl = new QSslSocket;
            if (!ssl->setSocketDescriptor(descriptor)) {
                delete ssl;
                return nullptr;
            }
            QSslConfiguration config = ssl->sslConfiguration();
            config.setProtocol(QSsl::TlsV1_2);
            config.setCiphers(pskCiphers());
            config.setPeerVerifyMode(QSslSocket::VerifyNone);
            ssl->setSslConfiguration(config);
            const QByteArray identity = m_identity;
            const QByteArray key = m_key;
            connect(ssl, &QSslSocket::preSharedKeyAuthenticationRequired, ssl,
                    [identity, key](QSslPreSharedKeyAuthenticator *auth) {
                        // An unknown identity gets no key: the handshake fails.
                        if (auth->identity() == identity)
                            auth->setPreSharedKey(key);
                    });
            ssl->startServerEncryption();
            return ssl;
        };
        m_tcp = server;
        connect(m_tcp, &QTcpServer::newConnection, this, &HartIpServer::acceptTcp);
        if (!m_tcp->listen(QHostAddress::LocalHost, port))
            error = m_tcp->errorString();
        else
            m_port.store(m_tcp->serverPort());
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_error = error;
    }
    *ok = error.isEmpty();
    if (!*ok)
        stopOnThread();
}

void HartIpServer::stopOnThread()
{
    for (auto it = m_streams.begin(); it != m_streams.end(); ++it) {
        it.key()->disconnect(this);
        it.key()->abort();
        it.key()->deleteLater();
    }
    m_streams.clear();
    m_udpSessions.clear();
    delete m_udp;
    m_udp = nullptr;
    delete m_tcp;
    m_tcp = nullptr;
    delete m_idleTimer;
    m_idleTimer = nullptr;
    m_active.store(0);
    m_port.store(0);
}

void HartIpServer::acceptTcp()
{
    while (m_tcp && m_tcp->hasPendingConnections()) {
        QTcpSocket *socket = m_tcp->nextPendingConnection();
        socket->setParent(this);
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        Session session;
        session.lastActivityMs = nowMs();
        m_streams.insert(socket, session);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readStream(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { dropStream(socket); });
        connect(socket, &QAbstractSocket::errorOccurred, this,
                [socket](QAbstractSocket::SocketError e) {
                    qCDebug(lcSimIp, "connection error %d: %s", int(e),
                            qPrintable(socket->errorString()));
                });
    }
}

void HartIpServer::dropStream(QAbstractSocket *socket)
{
    auto it = m_streams.find(socket);
    if (it == m_streams.end())
        return;
    if (it->initiated)
        m_active.fetch_sub(1);
    m_streams.erase(it);
    socket->disconnect(this);
    socket->deleteLater();
}

void HartIpServer::readStream(QAbstractSocket *socket)
{
    auto it = m_streams.find(socket);
    if (it == m_streams.end())
        return;
    it->stream += socket->readAll();
    while (it->stream.size() >= hartip::kHeaderSize) {
        hartip::Header header;
        if (!hartip::decodeHeader(it->stream.constData(), it->stream.size(), &header)) {
            qCDebug(lcSimIp, "stream out of step; connection closed");
            socket->abort();
            dropStream(socket);
            return;
        }
        if (it->stream.size() < header.byteCount)
            return;
        const QByteArray body =
                it->stream.mid(hartip::kHeaderSize, header.byteCount - hartip::kHeaderSize);
        it->stream.remove(0, header.byteCount);
        bool closeAfter = false;
        handle(QString(), *it, header, body,
               [socket](const QByteArray &bytes) { socket->write(bytes); }, &closeAfter);
        if (closeAfter) {
            socket->disconnectFromHost();
            return;
        }
        it = m_streams.find(socket);
        if (it == m_streams.end())
            return;
    }
}

void HartIpServer::readUdp()
{
    while (m_udp && m_udp->hasPendingDatagrams()) {
        QByteArray datagram(int(std::max<qint64>(0, m_udp->pendingDatagramSize())), '\0');
        QHostAddress peer;
        quint16 peerPort = 0;
        const qint64 n = m_udp->readDatagram(datagram.data(), datagram.size(), &peer, &peerPort);
        if (n < hartip::kHeaderSize)
            continue;
        datagram.truncate(int(n));
        hartip::Header header;
        if (!hartip::decodeHeader(datagram.constData(), datagram.size(), &header)
            || header.byteCount > datagram.size())
            continue;
        const QString key = QStringLiteral("%1:%2").arg(peer.toString()).arg(peerPort);
        Session &session = m_udpSessions[key];
        bool closeAfter = false;
        QUdpSocket *udp = m_udp;
        handle(key, session, header,
               datagram.mid(hartip::kHeaderSize, header.byteCount - hartip::kHeaderSize),
               [udp, peer, peerPort](const QByteArray &bytes) {
                   udp->writeDatagram(bytes, peer, peerPort);
               },
               &closeAfter);
        if (closeAfter || !m_udpSessions.value(key).initiated)
            m_udpSessions.remove(key);
    }
}

void HartIpServer::handle(const QString &key, Session &session, const hartip::Header &header,
                          const QByteArray &body,
                          const std::function<void(const QByteArray &)> &reply, bool *closeAfter)
{
    (void)key;
    if (header.type != hartip::MessageType::Request)
        return;
    HartIpServerFaults faults;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        faults = m_faults;
    }
    hartip::Header answer = header;
    answer.type = hartip::MessageType::Response;
    answer.status = hartip::status::success;
    auto refuse = [&](hartip::MessageType type, std::uint8_t status, const QByteArray &b) {
        answer.type = type;
        answer.status = status;
        reply(hartip::encode(answer, b));
    };
    if (header.version != 1 && header.version != 2) {
        refuse(hartip::MessageType::Error, hartip::status::versionNotSupported, QByteArray());
        return;
    }
    session.lastActivityMs = nowMs();

    switch (header.id) {
    case hartip::MessageId::SessionInitiate: {
        std::uint8_t masterType = 0;
        std::uint32_t requested = 0;
        if (faults.initiateStatus != 0) {
            refuse(hartip::MessageType::Error, faults.initiateStatus, body);
            return;
        }
        if (!hartip::parseInitiateBody(body, &masterType, &requested)) {
            refuse(hartip::MessageType::Error, hartip::status::tooFewBytes, QByteArray());
            return;
        }
        if (masterType > 1) {
            refuse(hartip::MessageType::Error, hartip::status::invalidMasterType, body);
            return;
        }
        if (session.initiated) {
            refuse(hartip::MessageType::Error, hartip::status::sessionExists, body);
            return;
        }
        if (m_active.load() >= m_maxSessions.load()) {
            refuse(hartip::MessageType::Error, hartip::status::noSessionAvailable, body);
            return;
        }
        const std::uint32_t longest = m_maxInactivityMs.load();
        const std::uint32_t granted = std::min(requested == 0 ? longest : requested, longest);
        session.initiated = true;
        session.inactivityMs = granted;
        session.pdus = 0;
        m_active.fetch_add(1);
        m_opened.fetch_add(1);
        answer.status =
                granted != requested ? hartip::status::nearestValue : hartip::status::success;
        QByteArray b = hartip::initiateBody(granted);
        b[0] = char(masterType);
        reply(hartip::encode(answer, b));
        return;
    }
    case hartip::MessageId::SessionClose:
        if (session.initiated) {
            session.initiated = false;
            m_active.fetch_sub(1);
            m_closes.fetch_add(1);
        }
        reply(hartip::encode(answer));
        *closeAfter = true;
        return;
    case hartip::MessageId::KeepAlive:
        if (!session.initiated) {
            refuse(hartip::MessageType::Nak, hartip::status::noSessionAvailable, QByteArray());
            return;
        }
        m_keepAlives.fetch_add(1);
        reply(hartip::encode(answer));
        return;
    case hartip::MessageId::TokenPassingPdu: {
        if (!session.initiated) {
            refuse(hartip::MessageType::Nak, hartip::status::noSessionAvailable, QByteArray());
            return;
        }
        const int index = session.pdus++;
        int delayMs = 0;
        const QByteArray frame = m_device.answerFrame(body, &delayMs);
        if (frame.isEmpty())
            return; // the device stayed silent
        if (index == 0 && faults.dropFirstReply)
            return;
        if (index == 0 && faults.wrongSequence)
            answer.sequence = std::uint16_t(answer.sequence + 0x100);
        m_answered.fetch_add(1);
        const QByteArray message = hartip::encode(answer, frame);
        if (delayMs > 0)
            QTimer::singleShot(delayMs, this, [reply, message] { reply(message); });
        else
            reply(message);
        return;
    }
    default:
        refuse(hartip::MessageType::Error, kNotImplemented, QByteArray());
        return;
    }
}

void HartIpServer::checkIdle()
{
    int closeIdle = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        closeIdle = m_faults.closeIdleAfterMs;
    }
    const qint64 now = nowMs();
    auto expired = [&](const Session &s) {
        const qint64 limit = closeIdle > 0 ? closeIdle : qint64(s.inactivityMs);
        return s.initiated && now - s.lastActivityMs > limit;
    };
    for (auto it = m_udpSessions.begin(); it != m_udpSessions.end();) {
        if (expired(*it)) {
            m_active.fetch_sub(1);
            m_timedOut.fetch_add(1);
            it = m_udpSessions.erase(it);
        } else {
            ++it;
        }
    }
    QList<QAbstractSocket *> closing;
    for (auto it = m_streams.begin(); it != m_streams.end(); ++it)
        if (expired(*it)) {
            it->initiated = false;
            m_active.fetch_sub(1);
            closing << it.key();
        }
    for (QAbstractSocket *socket : closing) {
        m_timedOut.fetch_add(1);
        socket->disconnectFromHost(); // dropStream follows on disconnected
    }
}

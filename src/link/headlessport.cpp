#include "headlessport.h"

#include "kvhart_master.h"

#include <QEventLoop>
#include <QTimer>

namespace {

// Beyond every time-out of the session set-up; only a stuck network stack reaches it.
constexpr int kOpenBoundMs = 60000;

const char *serialFailure(QSerialPort::SerialPortError error)
{
    switch (error) {
    case QSerialPort::DeviceNotFoundError: return "no such port";
    case QSerialPort::PermissionError: return "permission denied or in use";
    case QSerialPort::OpenError: return "already open";
    default: return "the port cannot be opened";
    }
}

} // namespace

HeadlessPort::HeadlessPort(kvhart_master *master, QObject *parent)
    : QObject(parent)
    , m_master(master)
{ }

HeadlessPort::~HeadlessPort()
{
    close();
}

LinkTransport *HeadlessPort::transport() const
{
    if (m_ip)
        return m_ip.get();
    return m_serial.get();
}

bool HeadlessPort::open(const QString &name, QString *why)
{
    close();
    if (!hartip::looksLikeUrl(name)) {
        m_serial = std::make_unique<SerialLink>(m_master);
        if (!m_serial->open(name)) {
            if (why)
                *why = QString::fromLatin1(serialFailure(m_serial->lastOpenError()));
            m_serial.reset();
            return false;
        }
        connect(m_master, &kvhart_master::SendData, m_serial.get(),
                &SerialLink::writeMySerialPort, Qt::QueuedConnection);
        connect(m_serial.get(), &SerialLink::portLost, this, &HeadlessPort::portLost);
        return true;
    }
    m_ip = std::make_unique<HartIpLink>(m_master);
    HartIpLink *link = m_ip.get();
    // The link sends from any thread, and a closed one times the attempt out itself.
    connect(m_master, &kvhart_master::SendData, link, &HartIpLink::send, Qt::DirectConnection);
    connect(link, &HartIpLink::portLost, this, &HeadlessPort::portLost);
    bool ok = false;
    if (link->open(name)) {
        QEventLoop loop;
        connect(link, &HartIpLink::opened, &loop, [&](bool opened) {
            ok = opened;
            loop.quit();
        });
        QTimer::singleShot(kOpenBoundMs, &loop, &QEventLoop::quit);
        if (link->isOpening())
            loop.exec();
        ok = ok || link->isOpen();
    }
    if (!ok) {
        if (why)
            *why = failureReason(*link);
        m_ip.reset();
    }
    return ok;
}

void HeadlessPort::close()
{
    if (m_ip)
        m_ip->close();
    if (m_serial)
        m_serial->close();
    m_ip.reset();
    m_serial.reset();
}

QString HeadlessPort::failureReason(const HartIpLink &link)
{
    using F = HartIpLink::Failure;
    const QString detail = link.failureDetail();
    switch (link.failure()) {
    case F::BadAddress:
        return QStringLiteral("not a HART-IP address (hartip://HOST[:PORT], "
                              "hartip+tcp://HOST[:PORT] or hartips://HOST[:PORT]?psk=FILE)");
    case F::KeyFileMissing: return QStringLiteral("key file %1 missing or unreadable").arg(detail);
    case F::KeyFileMode:
        return QStringLiteral("key file %1 must be readable by its owner only (mode 0600)")
                .arg(detail);
    case F::KeyInvalid:
        return QStringLiteral("the key file must hold one line IDENTITY:KEY, the key 32 hex digits");
    case F::KeyNone:
        return QStringLiteral("no key file (?psk=FILE) and no HARTIP_PSK_IDENTITY and HARTIP_PSK_KEY");
    case F::HostNotFound: return QStringLiteral("host %1 not found").arg(detail);
    case F::Refused: return QStringLiteral("%1 refused the connection").arg(detail);
    case F::NoAnswer: return QStringLiteral("%1 did not answer the session request").arg(detail);
    case F::Nak:
        return QStringLiteral("the server refused the session (status %1)").arg(link.failureStatus());
    case F::TlsRefused: return QStringLiteral("TLS handshake failed: identity or key not accepted");
    case F::Network: return QStringLiteral("network error: %1").arg(detail);
    case F::SessionClosed: return QStringLiteral("the server closed the session");
    case F::None: break;
    }
    return QStringLiteral("the session could not be opened");
}

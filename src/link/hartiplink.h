// The HART-IP side of the link: one session with a gateway or a native HART-IP device over
// UDP, TCP or TLS with a pre-shared key. Each frame the master hands over goes out as a
// token-passing PDU without preambles; the answer of the same sequence number is fed to the
// master's receiver, so the master's attempts and time-outs hold unchanged. The sockets live
// on a thread of their own; every public function may be called from any thread.
#pragma once

#include "hartip.h"
#include "linktransport.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <mutex>

class QAbstractSocket;
class QTimer;
class QUdpSocket;
class kvhart_master;

class HartIpLink : public QObject, public LinkTransport
{
    Q_OBJECT

public:
    // Why the last open failed, or why an open session ended.
    enum class Failure {
        None,
        BadAddress,     // detail: what is wrong with it
        KeyFileMissing, // detail: the file
        KeyFileMode,    // detail: the file
        KeyInvalid,
        KeyNone,
        HostNotFound,   // detail: the host
        Refused,        // detail: host:port
        NoAnswer,       // detail: host:port
        Nak,            // status(): the server's status
        TlsRefused,
        Network,        // detail: the system's words
        SessionClosed,  // the server ended the session
    };

    explicit HartIpLink(kvhart_master *master, QObject *parent = nullptr);
    ~HartIpLink() override;

    // Starts opening the session named by a hartip://, hartip+tcp:// or hartips:// address;
    // opened() tells how it went. False at once (and no signal) when the name or the key is
    // unusable; failure() says why.
    bool open(const QString &portName);
    void close() override;
    bool isOpen() const override { return m_open.load(); }
    bool isOpening() const { return m_opening.load(); }
    QString portName() const override;
    void send(const QByteArray &wire) override;

    Failure failure() const;
    QString failureDetail() const;
    std::uint8_t failureStatus() const;

    // The inactivity close time asked for at initiate, and what the server granted.
    void setRequestedInactivityMs(std::uint32_t ms) { m_requestedInactivityMs.store(ms); }
    std::uint32_t grantedInactivityMs() const { return m_grantedInactivityMs.load(); }
    hartip::Scheme scheme() const;
    // Answers dropped for a sequence number other than the request's (diagnostics, tests).
    int wrongSequenceCount() const { return m_wrongSequence.load(); }
    int keepAlivesSent() const { return m_keepAlives.load(); }

signals:
    void opened(bool ok);
    // An open session ended without close(): the server closed it or the network went.
    void portLost();

private:
    void startSession(const hartip::Address &address, const hartip::PreSharedKey &key);
    void endSession(bool sayClose);
    void fail(Failure failure, const QString &detail = QString(), std::uint8_t status = 0);
    void onConnected();
    void onSocketError();
    void onDisconnected();
    void onReadable();
    void onInitiateTimeout();
    void sendInitiate();
    void sendKeepAlive();
    void transmit(hartip::MessageId id, const QByteArray &body);
    void handleMessage(const hartip::Header &header, const QByteArray &body);
    void sendOnThread(const QByteArray &wire);
    void setFailure(Failure failure, const QString &detail, std::uint8_t status);

    kvhart_master *m_master;
    QThread m_thread;

    // Session thread only.
    QAbstractSocket *m_socket = nullptr;
    QUdpSocket *m_udp = nullptr; // m_socket when the scheme is UDP
    QTimer *m_initiateTimer = nullptr;
    QTimer *m_keepAliveTimer = nullptr;
    QTimer *m_connectTimer = nullptr;
    hartip::Address m_address;
    QByteArray m_stream;
    std::uint16_t m_sequence = 0;
    std::uint16_t m_initiateSequence = 0;
    std::uint16_t m_pduSequence = 0;
    bool m_pduOutstanding = false;
    int m_initiateAttempts = 0;
    std::uint8_t m_version = 1;

    std::atomic<bool> m_open{false};
    std::atomic<bool> m_opening{false};
    std::atomic<std::uint32_t> m_requestedInactivityMs{hartip::kDefaultInactivityMs};
    std::atomic<std::uint32_t> m_grantedInactivityMs{0};
    std::atomic<int> m_wrongSequence{0};
    std::atomic<int> m_keepAlives{0};

    mutable std::mutex m_lock; // the copies below
    QString m_portName;
    hartip::Scheme m_scheme = hartip::Scheme::Udp;
    Failure m_failure = Failure::None;
    QString m_failureDetail;
    std::uint8_t m_failureStatus = 0;
};

// The simulated transmitter as a native HART-IP device: sessions over UDP, TCP or TLS with a
// pre-shared key, each token-passing PDU answered by the same device model as on the line.
// Listens on 127.0.0.1 only. Sockets live on a thread of their own; the public API is
// thread-safe.
#pragma once

#include "hartip.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <mutex>

class QAbstractSocket;
class QTcpServer;
class QTimer;
class QUdpSocket;
class TransmitterSim;

// Ways for the server to misbehave. Busy answers are the device's own fault
// (SimFaults::transientAnswers with code 32).
struct HartIpServerFaults
{
    bool dropFirstReply = false;   // the first PDU answer of each session is never sent
    bool wrongSequence = false;    // the first PDU answer of each session has another number
    std::uint8_t initiateStatus = 0; // non-zero: every session initiate is refused with it
    // A session idle this long is closed, whatever timer was granted; 0 = the granted timer.
    int closeIdleAfterMs = 0;
};

class HartIpServer : public QObject
{
    Q_OBJECT

public:
    explicit HartIpServer(TransmitterSim &device, QObject *parent = nullptr);
    ~HartIpServer() override;

    // port 0: any free one. For TLS, the identity and the 16-byte key clients must present.
    bool start(hartip::Scheme scheme, quint16 port = 0, const QByteArray &identity = QByteArray(),
               const QByteArray &key = QByteArray());
    void stop();
    quint16 port() const { return m_port.load(); }
    // The address a client opens: hartip://127.0.0.1:PORT and the like (no ?psk= part).
    QString url() const;
    QString errorString() const;

    void setFaults(const HartIpServerFaults &faults);
    // The longest inactivity close time granted; a longer request gets this and status 8.
    void setMaxInactivityMs(std::uint32_t ms) { m_maxInactivityMs.store(ms); }
    void setMaxSessions(int n) { m_maxSessions.store(n); }

    int sessionsOpened() const { return m_opened.load(); }
    int activeSessions() const { return m_active.load(); }
    int keepAlivesReceived() const { return m_keepAlives.load(); }
    int closesReceived() const { return m_closes.load(); }
    int sessionsTimedOut() const { return m_timedOut.load(); }
    int pdusAnswered() const { return m_answered.load(); }

private:
    struct Session
    {
        bool initiated = false;
        std::uint32_t inactivityMs = 0;
        qint64 lastActivityMs = 0;
        int pdus = 0;
        QByteArray stream;
    };

    void startOnThread(hartip::Scheme scheme, quint16 port, bool *ok);
    void stopOnThread();
    void acceptTcp();
    void readUdp();
    void readStream(QAbstractSocket *socket);
    void dropStream(QAbstractSocket *socket);
    // Handles one message from the peer named key; replies through reply.
    void handle(const QString &key, Session &session, const hartip::Header &header,
                const QByteArray &body, const std::function<void(const QByteArray &)> &reply,
                bool *closeAfter);
    void checkIdle();
    qint64 nowMs() const;

    TransmitterSim &m_device;
    QThread m_thread;

    // Server thread only.
    hartip::Scheme m_scheme = hartip::Scheme::Udp;
    QUdpSocket *m_udp = nullptr;
    QTcpServer *m_tcp = nullptr;
    QTimer *m_idleTimer = nullptr;
    QHash<QString, Session> m_udpSessions; // by peer address and port
    QHash<QAbstractSocket *, Session> m_streams;

    QByteArray m_identity;
    QByteArray m_key;
    mutable std::mutex m_lock; // m_faults and m_error
    HartIpServerFaults m_faults;
    QString m_error;
    std::atomic<quint16> m_port{0};
    std::atomic<std::uint32_t> m_maxInactivityMs{hartip::kDefaultInactivityMs};
    std::atomic<int> m_maxSessions{4};
    std::atomic<int> m_opened{0};
    std::atomic<int> m_active{0};
    std::atomic<int> m_keepAlives{0};
    std::atomic<int> m_closes{0};
    std::atomic<int> m_timedOut{0};
    std::atomic<int> m_answered{0};
};

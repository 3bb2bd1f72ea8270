// The serial side of the HART link: opens the modem's port with the fixed line
// settings, writes each frame with RTS keyed for exactly its transmission time, and
// feeds every received byte to the master's receiver. Lives on the window thread.
// Options: a modem that keys itself gets no RTS keying; on an echoing adapter the echo of
// each frame is taken off the line and checked before anything reaches the receiver.
#pragma once

#include "linkcapture.h"
#include "linktransport.h"
#include "mmtimer.h"
#include "serialoptions.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>

#include <atomic>

class kvhart_master;
class LinkCaptureSink;

class SerialLink : public QObject, public LinkTransport
{
    Q_OBJECT

public:
    explicit SerialLink(kvhart_master *master, QObject *parent = nullptr);
    ~SerialLink() override;

    // Closes whatever is open, opens portName read-write and applies 1200 8-O-1. A suffix
    // ("NAME?echo") sets options over those given to setOptions; a suffix it cannot read
    // fails the open (UnsupportedOperationError).
    bool open(const QString &portName);
    // From the next frame on; an echo still awaited is forgotten.
    void setOptions(const SerialOptions &options);
    SerialOptions options() const { return m_options; }
    // Why the last open failed (NoError after a successful one).
    QSerialPort::SerialPortError lastOpenError() const { return m_lastOpenError; }
    void close() override;
    bool isOpen() const override;
    QString portName() const override { return m_portName; }
    void send(const QByteArray &data) override { writeMySerialPort(data); }
    QSerialPort *port() { return &m_port; }

    // RTS window for a buffer of len bytes: (len + 1.5) characters of 11 bits at 1200 baud.
    static int rtsPeriodMs(int len) { return int((len + 1.5) * 1000 / 1200 * 11); }

    // How late the last RTS release came on the timer thread, against its due time.
    std::int64_t lastRtsLatenessUs() const { return m_lastLatenessUs.load(); }
    // Bytes written and read since the port was opened (diagnostics and benchmarks).
    qint64 bytesWritten() const { return m_txBytes; }
    qint64 bytesRead() const { return m_rxBytes; }
    // Echoes unlike the frame sent, and echoes cut short, since the port was opened.
    qint64 collisions() const { return m_collisions; }
    qint64 incompleteEchoes() const { return m_incompleteEchoes; }
    // RTS changes asked of the port since it was opened (a self-keying modem gets none).
    qint64 rtsRequests() const { return m_rtsRequests; }

    static constexpr int kReadChunk = 300;
    static constexpr int kRtsAttempts = 3;
    static constexpr int kMaxDiscardCapture = 4096;

signals:
    // The port vanished under us (USB modem unplugged, pseudo-terminal closed).
    void portLost();
    // One transmission window ended; latenesses of the timer-thread release and of this
    // (window-thread) confirmation against the due time, in microseconds.
    void rtsReleased(qint64 timerLatenessUs, qint64 windowLatenessUs);

public slots:
    void writeMySerialPort(const QByteArray &data);
    void hartRTSTimerTimerout();
    void readMySerialPort();

private:
    bool setRts(bool on);
    void onError(QSerialPort::SerialPortError error);
    bool hungUp() const;
    void captureWaitingInput(LinkCaptureSink *sink);
    // Takes the echo off the front of n received bytes; returns how many it consumed.
    qint64 takeEcho(const char *bytes, qint64 n);
    void expectEcho(const QByteArray &written);
    void endEcho(); // an echo still incomplete is reported as such
    void reportEcho(EchoFault fault);

    enum class EchoState : std::uint8_t { None, Awaited, Collided };

    kvhart_master *m_master;
    QSerialPort m_port;
    MMTimer m_rtsTimer;
    QString m_portName;
    QSerialPort::SerialPortError m_lastOpenError = QSerialPort::NoError;
    bool m_rtsFailureReported = false;
    bool m_writeFailed = false; // set by onError while a write is under way
    qint64 m_txBytes = 0;
    qint64 m_rxBytes = 0;
    qint64 m_collisions = 0;
    qint64 m_incompleteEchoes = 0;
    qint64 m_rtsRequests = 0;
    SerialOptions m_options;
    EchoState m_echoState = EchoState::None;
    QByteArray m_echoSent;     // what the echo must be
    QByteArray m_echoReceived; // what of it came back so far
    QByteArray m_afterCollision; // the line after a collision, until the next frame
    std::atomic<int> m_rtsFd{-1};
    std::atomic<std::int64_t> m_rtsDueUs{0};
    std::atomic<std::int64_t> m_lastLatenessUs{0};
};

// The serial side of the HART link: opens the modem's port with the fixed line
// settings, writes each frame with RTS keyed for exactly its transmission time, and
// feeds every received byte to the master's receiver. Lives on the window thread.
#pragma once

#include "linktransport.h"
#include "mmtimer.h"

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

    // Closes whatever is open, opens portName read-write and applies 1200 8-O-1.
    bool open(const QString &portName);
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

    kvhart_master *m_master;
    QSerialPort m_port;
    MMTimer m_rtsTimer;
    QString m_portName;
    QSerialPort::SerialPortError m_lastOpenError = QSerialPort::NoError;
    bool m_rtsFailureReported = false;
    bool m_writeFailed = false; // set by onError while a write is under way
    qint64 m_txBytes = 0;
    qint64 m_rxBytes = 0;
    std::atomic<int> m_rtsFd{-1};
    std::atomic<std::int64_t> m_rtsDueUs{0};
    std::atomic<std::int64_t> m_lastLatenessUs{0};
};

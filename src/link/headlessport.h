// The port a headless command names, a serial modem or a HART-IP session, carrying one
// master's frames: opened before the first request, the reason in plain words when it
// cannot be, and closed (the session ended with the server) when the command is done.
#pragma once

#include "hartiplink.h"
#include "seriallink.h"

#include <QObject>
#include <QString>

#include <memory>

class HeadlessPort : public QObject
{
    Q_OBJECT

public:
    explicit HeadlessPort(kvhart_master *master, QObject *parent = nullptr);
    ~HeadlessPort() override;

    // Waits for a HART-IP session to be set up (bounded by the session's own time-outs);
    // false with why set when the port or session cannot be had.
    bool open(const QString &name, QString *why);
    void close();
    LinkTransport *transport() const;

    // In English for a terminal: why a HART-IP port could not be opened or was lost.
    static QString failureReason(const HartIpLink &link);

signals:
    // The port went away or the server ended the session.
    void portLost();

private:
    kvhart_master *m_master;
    std::unique_ptr<SerialLink> m_serial;
    std::unique_ptr<HartIpLink> m_ip;
};

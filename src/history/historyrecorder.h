// Turns what the window does into history events: the requests it sends, the result strings
// it gets back, the device's refusals, backups, restores and factory-test runs. It keeps the
// last read or restored record to give every write its old -> new values. Window thread only;
// it never waits for the store.
#pragma once

#include "devicedata.h"
#include "historyevent.h"
#include "kvhart_master.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QString>

#include <functional>
#include <memory>

class HistoryStore;
struct FactoryRun;
struct TestedTransmitter;

class HistoryRecorder
{
public:
    using DataCopy = std::function<DeviceData()>;
    using AddressingCopy = std::function<kvhart_master::Addressing()>;

    // copy and addressing take the worker's lock themselves. The record as it stands now
    // (the default backup) is the first "known" state.
    HistoryRecorder(HistoryStore &store, DataCopy copy, AddressingCopy addressing);
    ~HistoryRecorder();

    void requestSent(const QString &request);
    void resultReceived(const QString &message);
    void commandRefused(quint8 command, quint8 responseCode);

    void backupSaved(const QString &path, const QByteArray &image, quint16 crc);
    void backupRestored(const QString &path, const QByteArray &image, quint16 crc);
    void factoryTestEnded(const FactoryRun &run, const TestedTransmitter &who);

    // The key of the transmitter found last, empty before the first search.
    QString currentDevice() const { return m_device; }

    // Writes with more fields than this record only the fields whose value changed; the
    // snapshot after them holds the rest.
    static constexpr int kAllFieldsLimit = 40;

private:
    struct Pending
    {
        QDateTime sent;
        QJsonObject values; // what the page set for the request, taken when sent
    };

    void finish(const QString &request, bool ok, const Pending &pending);
    void recordDevice(const DeviceData &d, bool withTexts);
    void learn(const DeviceData &now, const QString &request, bool written);
    HistoryEvent event(const QString &kind) const;

    HistoryStore &m_store;
    DataCopy m_copy;
    AddressingCopy m_addressing;
    std::unique_ptr<DeviceData> m_known;
    QString m_device;
    QHash<QString, Pending> m_pending;
    int m_refusedCommand = -1;
    int m_refusedCode = -1;
};

// Turns what the window does into history events: the requests it sends, the result strings
// it gets back, the device's refusals, backups, restores and factory-test runs. It keeps the
// values last read from (or restored for) the transmitter found to give every write its
// old -> new values; a field not read from it has no old value. Window thread only; it never
// waits for the store.
#pragma once

#include "devicedata.h"
#include "historyevent.h"
#include "kvhart_master.h"

#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class HistoryStore;
namespace history {
struct DeviceField;
}
struct FactoryRun;
struct TestedTransmitter;

class HistoryRecorder
{
public:
    using DataCopy = std::function<DeviceData()>;
    using AddressingCopy = std::function<kvhart_master::Addressing()>;

    // copy and addressing take the worker's lock themselves.
    HistoryRecorder(HistoryStore &store, DataCopy copy, AddressingCopy addressing);
    ~HistoryRecorder();

    void requestSent(const QString &request);
    void resultReceived(const QString &message);
    // The device refused a command while the worker served request.
    void commandRefused(const QString &request, quint8 command, quint8 responseCode);
    // The worker dropped these requests unserved: no result will come for them.
    void requestsDiscarded(const QStringList &requests);

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

    struct Refusal
    {
        int command = -1;
        int code = -1;
    };

    void finish(const QString &request, bool ok, const Pending &pending, const Refusal &refusal);
    void recordDevice(const DeviceData &d, bool withTexts);
    void learn(const DeviceData &now, const QString &request, bool written);
    HistoryEvent event(const QString &kind) const;

    HistoryStore &m_store;
    DataCopy m_copy;
    AddressingCopy m_addressing;
    // The values last read from, written to or restored for the transmitter m_knownFor,
    // and which fields of them are known at all.
    std::unique_ptr<DeviceData> m_known;
    QSet<const history::DeviceField *> m_knownFields;
    QString m_knownFor;
    QString m_device;
    QHash<QString, Pending> m_pending;
    QHash<QString, Refusal> m_refusals;
};

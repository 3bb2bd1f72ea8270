#include "historyrecorder.h"
#include "devicefields.h"
#include "historylog.h"
#include "historystore.h"

#include "factorytest.h"
#include "factorytestlog.h"
#include "pageformat.h"

#include <QJsonArray>
#include <QSet>

#include <cmath>
#include <cstring>

namespace {

// Requests a technician starts; the periodic reads and the page-change housekeeping
// ("read PV", "stop read ADC", "single temp compensation mode", ...) are not events.
bool isOperation(const QString &request)
{
    static const QSet<QString> others = {
            QStringLiteral("search meter"),        QStringLiteral("search meter 1-15"),
            QStringLiteral("select meter"),
            QStringLiteral("enter dianliujiaozhun"), QStringLiteral("set fix current"),
            QStringLiteral("exit fix current"),    QStringLiteral("jiaozhun4ma"),
            QStringLiteral("jiaozhun20ma"),        QStringLiteral("enter dianliuceshi"),
            QStringLiteral("PV clear"),            QStringLiteral("PV clear reset"),
            QStringLiteral("gongchangdianliujiaozhun"), QStringLiteral("fac save")};
    return others.contains(request) || !history::fieldsRead(request).empty()
            || !history::fieldsWritten(request).empty();
}

bool isCurrentRequest(const QString &request)
{
    return request == QLatin1String("enter dianliujiaozhun")
            || request == QLatin1String("set fix current")
            || request == QLatin1String("jiaozhun4ma") || request == QLatin1String("jiaozhun20ma")
            || request == QLatin1String("enter dianliuceshi");
}

bool isRangeResult(const QString &request)
{
    return request == QLatin1String("lingdianqianyi")
            || request == QLatin1String("liangchengqianyi") || request == QLatin1String("PV clear")
            || request == QLatin1String("PV clear reset");
}

// A snapshot follows these: the full calibration read and write all.
bool takesSnapshot(const QString &request)
{
    return request == QLatin1String("read jiaozhunshuju") || request == QLatin1String("write all")
            || request == QLatin1String("write jiaozhunshuju");
}

QByteArray imageOf(const DeviceData &d)
{
    return QByteArray(reinterpret_cast<const char *>(&d) + kMirrorOffset + devmem::kParameterStart,
                      devmem::kParameterSize);
}

QString realText(float v)
{
    return pagefmt::real(v);
}

} // namespace

HistoryRecorder::HistoryRecorder(HistoryStore &store, DataCopy copy, AddressingCopy addressing)
    : m_store(store)
    , m_copy(std::move(copy))
    , m_addressing(std::move(addressing))
    , m_known(std::make_unique<DeviceData>(m_copy()))
{ }
// Nothing is known yet: what the record holds at start is the default backup, no
// transmitter's value.

HistoryRecorder::~HistoryRecorder() = default;

HistoryEvent HistoryRecorder::event(const QString &kind) const
{
    HistoryEvent e;
    e.kind = kind;
    e.device = m_device;
    e.at = QDateTime::currentDateTimeUtc();
    return e;
}

void HistoryRecorder::requestSent(const QString &request)
{
    if (!isOperation(request) || m_pending.contains(request))
        return; // a repeated request is served once
    Pending p;
    p.sent = QDateTime::currentDateTimeUtc();
    if (isCurrentRequest(request)) {
        const DeviceData d = m_copy();
        p.values.insert(QStringLiteral("fixedCurrent"), realText(d.fixedCurrent));
        if (request.startsWith(QLatin1String("jiaozhun")))
            p.values.insert(QStringLiteral("measuredCurrent"), realText(d.measuredCurrent));
    }
    m_pending.insert(request, p);
}

void HistoryRecorder::commandRefused(const QString &request, quint8 command, quint8 responseCode)
{
    m_refusals.insert(request, {command, responseCode});
}

void HistoryRecorder::requestsDiscarded(const QStringList &requests)
{
    for (const QString &r : requests) {
        m_pending.remove(r);
        m_refusals.remove(r);
    }
}

void HistoryRecorder::resultReceived(const QString &message)
{
    bool ok;
    QString base;
    if (message.endsWith(QLatin1String(" succeed"))) {
        ok = true;
        base = message.left(message.size() - 8);
    } else if (message.endsWith(QLatin1String(" failed"))) {
        ok = false;
        base = message.left(message.size() - 7);
    } else {
        return;
    }
    if (base == QLatin1String("enter gongchangdianliujiaozhun")
        || base == QLatin1String("exit gongchangdianliujiaozhun"))
        base = QStringLiteral("gongchangdianliujiaozhun");
    if (base == QLatin1String("search meter") && !m_pending.contains(base)
        && m_pending.contains(QStringLiteral("search meter 1-15")))
        base = QStringLiteral("search meter 1-15");
    // A device chosen from a scan is announced as found, like a search.
    if (base == QLatin1String("search meter") && !m_pending.contains(base)
        && m_pending.contains(QStringLiteral("select meter")))
        base = QStringLiteral("select meter");
    // The refusal of this operation, never one of another (a periodic read, the keep-alive).
    const Refusal refusal = m_refusals.take(base);
    const auto it = m_pending.find(base);
    if (it == m_pending.end())
        return;
    const Pending pending = it.value();
    m_pending.erase(it);
    finish(base, ok, pending, refusal);
}

void HistoryRecorder::finish(const QString &request, bool ok, const Pending &pending,
                             const Refusal &refusal)
{
    const DeviceData now = m_copy();
    const bool search = request.startsWith(QLatin1String("search meter"))
            || request == QLatin1String("select meter");
    if (search) {
        if (ok) {
            const kvhart_master::Addressing a = m_addressing();
            DeviceIdentity id;
            id.manufacturer = now.manufacturerId;
            id.deviceType = now.deviceType;
            id.deviceId = pagefmt::deviceIdentifier(a.uniqueAddress);
            m_device = id.key();
            if (m_device != m_knownFor) {
                // Another transmitter: none of the last one's values are its old values.
                m_knownFor = m_device;
                m_knownFields.clear();
            }
            learn(now, request, false);
            recordDevice(now, false);
        } else {
            m_device.clear();
        }
    }

    HistoryEvent e = event(QStringLiteral("operation"));
    e.request = request;
    e.outcome = ok ? QStringLiteral("succeed") : QStringLiteral("failed");
    if (!ok && refusal.code >= 0) {
        e.responseCode = refusal.code;
        e.payload.insert(QStringLiteral("refusedCommand"), refusal.command);
    }
    e.payload.insert(QStringLiteral("sent"), history::timeText(pending.sent));
    for (auto v = pending.values.begin(); v != pending.values.end(); ++v)
        e.payload.insert(v.key(), v.value());
    if (ok && isRangeResult(request)) {
        e.payload.insert(QStringLiteral("pvUnit"), pagefmt::unitText(std::uint8_t(now.pvUnits)));
        e.payload.insert(QStringLiteral("lowerRangeValue"), realText(now.lowerRangeValue));
        e.payload.insert(QStringLiteral("upperRangeValue"), realText(now.upperRangeValue));
        e.payload.insert(QStringLiteral("pvZeroCorrection"), realText(now.pvZeroCorrection));
    }

    const auto written = history::fieldsWritten(request);
    if (ok && !written.empty()) {
        const bool all = int(written.size()) <= kAllFieldsLimit;
        for (const history::DeviceField *f : written) {
            const bool known = m_knownFields.contains(f);
            if (!known)
                e.changes.append({f->name, QString(), history::fieldText(*f, now), true});
            else if (all || !history::sameValue(*f, *m_known, now))
                e.changes.append({f->name, history::fieldText(*f, *m_known),
                                  history::fieldText(*f, now)});
        }
        learn(now, request, true);
    } else if (ok && !search) {
        learn(now, request, false);
    }
    if (ok && takesSnapshot(request))
        e.image = imageOf(*m_known);
    m_store.record(e);

    if (ok && (request == QLatin1String("read meter info")
               || request == QLatin1String("write meter info")))
        recordDevice(now, true);
}

void HistoryRecorder::learn(const DeviceData &now, const QString &request, bool written)
{
    const auto fields = written ? history::fieldsWritten(request) : history::fieldsRead(request);
    for (const history::DeviceField *f : fields) {
        std::memcpy(reinterpret_cast<char *>(m_known.get()) + f->offset,
                    reinterpret_cast<const char *>(&now) + f->offset, f->size);
        m_knownFields.insert(f);
    }
}

void HistoryRecorder::recordDevice(const DeviceData &d, bool withTexts)
{
    if (m_device.isEmpty())
        return;
    const kvhart_master::Addressing a = m_addressing();
    HistoryEvent e = event(QStringLiteral("device"));
    e.payload.insert(QStringLiteral("manufacturer"), d.manufacturerId);
    e.payload.insert(QStringLiteral("deviceType"), d.deviceType);
    e.payload.insert(QStringLiteral("deviceId"), double(pagefmt::deviceIdentifier(a.uniqueAddress)));
    e.payload.insert(QStringLiteral("sensorSerial"), QString::number(pagefmt::get24(d.sensorSerial)));
    e.payload.insert(QStringLiteral("revisions"),
                     QStringLiteral("universal %1, device %2, software %3, hardware %4")
                             .arg(d.universalRevision)
                             .arg(d.deviceRevision)
                             .arg(d.softwareRevision)
                             .arg(d.hardwareRevision));
    if (withTexts) {
        for (const char *name : {"tag", "descriptor"})
            e.payload.insert(QLatin1String(name),
                             history::fieldText(*history::findField(QLatin1String(name)), d));
    }
    m_store.record(e);
}

void HistoryRecorder::backupSaved(const QString &path, const QByteArray &image, quint16 crc)
{
    HistoryEvent e = event(QStringLiteral("backup"));
    e.outcome = QStringLiteral("succeed");
    e.image = image;
    e.fileName = path;
    e.crc = crc;
    m_store.record(e);
}

void HistoryRecorder::backupRestored(const QString &path, const QByteArray &image, quint16 crc)
{
    if (image.size() == devmem::kParameterSize) {
        std::memcpy(reinterpret_cast<char *>(m_known.get()) + kMirrorOffset
                            + devmem::kParameterStart,
                    image.constData(), std::size_t(image.size()));
        // The file's values are what the pages now hold: the old values of the next writes.
        const std::size_t start = kMirrorOffset + devmem::kParameterStart;
        for (const history::DeviceField &f : history::deviceFields()) {
            if (f.offset >= start && f.offset + f.size <= start + devmem::kParameterSize)
                m_knownFields.insert(&f);
        }
    }
    HistoryEvent e = event(QStringLiteral("restore"));
    e.outcome = QStringLiteral("succeed");
    e.image = image;
    e.fileName = path;
    e.crc = crc;
    m_store.record(e);
}

void HistoryRecorder::factoryTestEnded(const FactoryRun &run, const TestedTransmitter &who)
{
    static const char *const kChecks[FactoryRun::CheckCount] = {"pvZero", "pvFullScale",
                                                               "tempOpen", "tempVMinus",
                                                               "tempVPlus"};
    HistoryEvent e = event(QStringLiteral("factorytest"));
    e.outcome = run.outcome == RunOutcome::Passed ? QStringLiteral("succeed")
                                                  : QStringLiteral("failed");
    QJsonArray steps;
    for (int i = 0; i < FactoryRun::CheckCount; ++i) {
        const float v = run.measured[std::size_t(i)];
        QJsonObject step;
        step.insert(QStringLiteral("check"), QLatin1String(kChecks[i]));
        step.insert(QStringLiteral("value"), std::isnan(v) ? QString() : realText(v));
        // A check reached by a run that went further passed it; the last one reached
        // decides a failed run.
        step.insert(QStringLiteral("verdict"),
                    std::isnan(v) ? QStringLiteral("not reached")
                                  : (run.outcome == RunOutcome::Passed ? QStringLiteral("passed")
                                                                       : QStringLiteral("measured")));
        steps.append(step);
    }
    e.payload.insert(QStringLiteral("steps"), steps);
    e.payload.insert(QStringLiteral("lastStep"), run.lastStep);
    e.payload.insert(QStringLiteral("reason"), run.reason);
    e.payload.insert(QStringLiteral("uniqueId"), who.uniqueId);
    e.payload.insert(QStringLiteral("tag"), who.tag);
    e.payload.insert(QStringLiteral("sensorSerial"), who.sensorSerial);
    e.payload.insert(QStringLiteral("csvHeader"), FactoryTestLog::header());
    e.payload.insert(QStringLiteral("csvRecord"), FactoryTestLog::line(run, who));
    m_store.record(e);
}

// Every value is bound; no SQL is built from data. Dates are ISO text in both engines, so
// comparisons and sorting agree.
#include "standardsregister.h"

#include "historyconnection.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcStandards, "hart.loopcheck.standards")

namespace loopcheck {

namespace {

QString iso(const QDate &d)
{
    return d.isValid() ? d.toString(Qt::ISODate) : QString();
}

QDate date(const QVariant &v)
{
    return QDate::fromString(v.toString(), Qt::ISODate);
}

double real(const QVariant &v, double fallback = 0.0)
{
    bool ok = false;
    const double d = v.toDouble(&ok);
    return ok && std::isfinite(d) ? d : fallback;
}

QString fail(QString *message, const QString &what, const QSqlError &error)
{
    const QString text = QStringLiteral("%1：%2").arg(what, error.text().left(200));
    if (message)
        *message = text;
    qCWarning(lcStandards).noquote() << text;
    return text;
}

int quantityCode(Quantity q)
{
    return int(q);
}

Quantity quantityFrom(int code)
{
    return code == 1 ? Quantity::Current : code == 2 ? Quantity::Temperature : Quantity::Pressure;
}

} // namespace

StandardsDb::StandardsDb(const QString &location)
    : m_location(location)
    , m_name(QStringLiteral("standards-") + QUuid::createUuid().toString(QUuid::Id128))
{ }

StandardsDb::~StandardsDb()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

bool StandardsDb::open(QString *message)
{
    if (m_open)
        return true;
    if (!QSqlDatabase::contains(m_name) && !history::addConnection(m_location, m_name, message))
        return false;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (!db.open()) {
        fail(message, QStringLiteral("标准器登记库无法打开"), db.lastError());
        return false;
    }
    history::tuneConnection(db);
    if (!migrate(message))
        return false;
    m_open = true;
    return true;
}

// The register's own step, apart from the history's events schema: its tables and their
// version row, in one transaction.
bool StandardsDb::migrate(QString *message)
{
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    const bool pg = db.driverName() == QLatin1String("QPSQL");
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS standards_schema_version (version INTEGER NOT NULL)"))) {
        fail(message, QStringLiteral("标准器登记库无法建立"), q.lastError());
        return false;
    }
    int version = 0;
    if (q.exec(QStringLiteral("SELECT MAX(version) FROM standards_schema_version")) && q.next())
        version = q.value(0).toInt();
    if (version > kStandardsSchemaVersion) {
        if (message)
            *message = QStringLiteral("标准器登记库由更新的程序建立（版本 %1），请升级程序").arg(version);
        return false;
    }
    if (version == kStandardsSchemaVersion)
        return true;
    if (!db.transaction()) {
        fail(message, QStringLiteral("标准器登记库无法建立"), db.lastError());
        return false;
    }
    const QString id = pg ? QStringLiteral("id BIGSERIAL PRIMARY KEY")
                          : QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT");
    const QStringList steps = {
            QStringLiteral("CREATE TABLE IF NOT EXISTS reference_standards (%1, name TEXT NOT NULL, "
                           "model TEXT, serial TEXT, quantity INTEGER NOT NULL, range_low DOUBLE PRECISION, "
                           "range_high DOUBLE PRECISION, unit TEXT, u_percent_reading DOUBLE PRECISION, "
                           "u_percent_span DOUBLE PRECISION, u_absolute DOUBLE PRECISION, "
                           "coverage_k DOUBLE PRECISION, certificate_number TEXT, due_date TEXT)")
                    .arg(id),
            QStringLiteral("CREATE TABLE IF NOT EXISTS transmitter_check_settings (device TEXT PRIMARY KEY, "
                           "tag TEXT, tolerance_lower DOUBLE PRECISION, tolerance_upper DOUBLE PRECISION, "
                           "points TEXT, interval_months INTEGER, last_passed TEXT, next_due TEXT)"),
            QStringLiteral("CREATE INDEX IF NOT EXISTS transmitter_check_settings_due "
                           "ON transmitter_check_settings (next_due)"),
            QStringLiteral("INSERT INTO standards_schema_version (version) VALUES (1)")};
    for (const QString &sql : steps) {
        if (!q.exec(sql)) {
            fail(message, QStringLiteral("标准器登记库无法建立"), q.lastError());
            db.rollback();
            return false;
        }
    }
    if (!db.commit()) {
        fail(message, QStringLiteral("标准器登记库无法建立"), db.lastError());
        db.rollback();
        return false;
    }
    return true;
}

QVector<Standard> StandardsDb::standards(QString *message)
{
    QVector<Standard> out;
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.exec(QStringLiteral("SELECT id, name, model, serial, quantity, range_low, range_high, unit, "
                               "u_percent_reading, u_percent_span, u_absolute, coverage_k, "
                               "certificate_number, due_date FROM reference_standards ORDER BY name, id"))) {
        fail(message, QStringLiteral("无法读取标准器"), q.lastError());
        return out;
    }
    while (q.next()) {
        Standard s;
        s.id = q.value(0).toLongLong();
        s.name = q.value(1).toString();
        s.model = q.value(2).toString();
        s.serial = q.value(3).toString();
        s.quantity = quantityFrom(q.value(4).toInt());
        s.rangeLow = real(q.value(5));
        s.rangeHigh = real(q.value(6), 100.0);
        s.unit = q.value(7).toString();
        s.uPercentReading = real(q.value(8));
        s.uPercentSpan = real(q.value(9));
        s.uAbsolute = real(q.value(10));
        s.k = real(q.value(11), 2.0);
        s.certificateNumber = q.value(12).toString();
        s.due = date(q.value(13));
        // A row another program spoilt is shown to be fixed, never used as it is.
        out << s;
    }
    return out;
}

qint64 StandardsDb::saveStandard(const Standard &s, QString *message)
{
    const QString problem = checkStandard(s);
    if (!problem.isEmpty()) {
        if (message)
            *message = problem;
        return 0;
    }
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    const bool pg = db.driverName() == QLatin1String("QPSQL");
    QSqlQuery q(db);
    const QString columns = QStringLiteral(
            "name = ?, model = ?, serial = ?, quantity = ?, range_low = ?, range_high = ?, unit = ?, "
            "u_percent_reading = ?, u_percent_span = ?, u_absolute = ?, coverage_k = ?, "
            "certificate_number = ?, due_date = ?");
    if (s.id > 0)
        q.prepare(QStringLiteral("UPDATE reference_standards SET %1 WHERE id = ?").arg(columns));
    else
        q.prepare(QStringLiteral("INSERT INTO reference_standards (name, model, serial, quantity, range_low, "
                                 "range_high, unit, u_percent_reading, u_percent_span, u_absolute, "
                                 "coverage_k, certificate_number, due_date) VALUES "
                                 "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)%1")
                          .arg(pg ? QStringLiteral(" RETURNING id") : QString()));
    for (const QVariant &v :
         {QVariant(s.name), QVariant(s.model), QVariant(s.serial), QVariant(quantityCode(s.quantity)),
          QVariant(s.rangeLow), QVariant(s.rangeHigh), QVariant(s.unit), QVariant(s.uPercentReading),
          QVariant(s.uPercentSpan), QVariant(s.uAbsolute), QVariant(s.k),
          QVariant(s.certificateNumber), QVariant(iso(s.due))})
        q.addBindValue(v);
    if (s.id > 0)
        q.addBindValue(s.id);
    if (!q.exec()) {
        fail(message, QStringLiteral("无法保存标准器"), q.lastError());
        return 0;
    }
    if (s.id > 0)
        return q.numRowsAffected() == 1 ? s.id : 0;
    if (pg)
        return q.next() ? q.value(0).toLongLong() : 0;
    return q.lastInsertId().toLongLong();
}

std::optional<TransmitterSettings> StandardsDb::settings(const QString &device, QString *message)
{
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    q.prepare(QStringLiteral("SELECT tag, tolerance_lower, tolerance_upper, points, interval_months, "
                             "last_passed FROM transmitter_check_settings WHERE device = ?"));
    q.addBindValue(device);
    if (!q.exec()) {
        fail(message, QStringLiteral("无法读取变送器的校验设置"), q.lastError());
        return std::nullopt;
    }
    if (!q.next())
        return std::nullopt;
    TransmitterSettings s;
    s.device = device;
    s.tag = q.value(0).toString();
    s.tolerance.lowerPercent = real(q.value(1), s.tolerance.lowerPercent);
    s.tolerance.upperPercent = real(q.value(2), s.tolerance.upperPercent);
    QString ignored;
    if (!parsePoints(q.value(3).toString(), s.pointsPercent, ignored))
        s.pointsPercent = Setup().pointsPercent;
    if (!checkTolerance(s.tolerance).isEmpty())
        s.tolerance = Tolerance();
    s.intervalMonths = std::clamp(q.value(4).toInt(), 1, kMaxIntervalMonths);
    s.lastPassed = date(q.value(5));
    return s;
}

bool StandardsDb::saveSettings(const TransmitterSettings &s, QString *message)
{
    if (s.device.isEmpty() || s.intervalMonths < 1 || s.intervalMonths > kMaxIntervalMonths) {
        if (message)
            *message = QStringLiteral("校验周期须为1~%1个月").arg(kMaxIntervalMonths);
        return false;
    }
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    QSqlQuery q(db);
    // Both engines know this upsert (SQLite 3.24 and later).
    q.prepare(QStringLiteral(
            "INSERT INTO transmitter_check_settings (device, tag, tolerance_lower, tolerance_upper, "
            "points, interval_months, last_passed, next_due) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
            "ON CONFLICT (device) DO UPDATE SET tag = excluded.tag, tolerance_lower = "
            "excluded.tolerance_lower, tolerance_upper = excluded.tolerance_upper, points = "
            "excluded.points, interval_months = excluded.interval_months, last_passed = "
            "excluded.last_passed, next_due = excluded.next_due"));
    for (const QVariant &v : {QVariant(s.device), QVariant(s.tag), QVariant(s.tolerance.lowerPercent),
                              QVariant(s.tolerance.upperPercent), QVariant(pointsText(s.pointsPercent)),
                              QVariant(s.intervalMonths), QVariant(iso(s.lastPassed)),
                              QVariant(iso(s.nextDue()))})
        q.addBindValue(v);
    if (!q.exec()) {
        fail(message, QStringLiteral("无法保存变送器的校验设置"), q.lastError());
        return false;
    }
    return true;
}

QVector<TransmitterSettings> StandardsDb::dueBy(const QDate &until, QString *message)
{
    QVector<TransmitterSettings> out;
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    q.prepare(QStringLiteral("SELECT device FROM transmitter_check_settings WHERE next_due <> '' "
                             "AND next_due <= ? ORDER BY next_due, device"));
    q.addBindValue(iso(until));
    if (!q.exec()) {
        fail(message, QStringLiteral("无法读取到期清单"), q.lastError());
        return out;
    }
    QStringList devices;
    while (q.next())
        devices << q.value(0).toString();
    for (const QString &d : devices)
        if (const auto s = settings(d, message))
            out << *s;
    return out;
}

StandardsRegister::StandardsRegister(const QString &location, QObject *parent)
    : QObject(parent)
    , m_location(location)
{
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.setObjectName(QStringLiteral("standards register"));
    m_thread.start();
}

StandardsRegister::~StandardsRegister()
{
    // The database goes on its own thread, after whatever job is under way.
    QMetaObject::invokeMethod(m_context, [this] {
        delete m_db;
        m_db = nullptr;
    });
    m_thread.quit();
    m_thread.wait();
}

void StandardsRegister::run(QObject *receiver,
                            std::function<void(StandardsDb &, const QString &)> work,
                            std::function<void()> done)
{
    QPointer<QObject> to(receiver);
    QMetaObject::invokeMethod(m_context, [this, to, work = std::move(work), done = std::move(done)] {
        if (!m_db)
            m_db = new StandardsDb(m_location);
        QString error;
        if (!m_db->open(&error))
            m_openError = error;
        else
            m_openError.clear();
        work(*m_db, m_openError);
        if (to)
            QMetaObject::invokeMethod(to, done, Qt::QueuedConnection);
    });
}

} // namespace loopcheck

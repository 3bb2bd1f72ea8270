// Appending the test record without ever merging two records into one line or losing a
// failure to write.
#include "factorytestlog.h"

#include <QFile>
#include <QStringList>

#include <cmath>

namespace {

// Quoted when it holds a separator, a quote or a line break. Texts read from the device
// that a spreadsheet would take for a formula are kept as text.
QString field(QString text, bool fromDevice = false)
{
    if (fromDevice && !text.isEmpty() && QStringLiteral("=+-@").contains(text.at(0)))
        text.prepend(QLatin1Char('\''));
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
        text.replace(QLatin1String("\""), QLatin1String("\"\""));
        text = QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

QString measured(float value)
{
    return std::isnan(value) ? QString() : QString::number(double(value), 'g', 7);
}

} // namespace

FactoryTestLog::FactoryTestLog(const QString &path)
    : m_path(path)
{ }

QString FactoryTestLog::header()
{
    return QStringLiteral("date_time,unique_id,tag,sensor_serial,last_step,result,reason,"
                          "pv_zero,pv_full_scale,t_open,t_v_minus,t_v_plus");
}

QString FactoryTestLog::line(const FactoryRun &run, const TestedTransmitter &who)
{
    QStringList f;
    f << run.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << field(who.uniqueId)
      << field(who.tag, true) << field(who.sensorSerial) << QString::number(run.lastStep)
      << (run.outcome == RunOutcome::Passed ? QStringLiteral("passed") : QStringLiteral("failed"))
      << field(run.reason);
    for (float v : run.measured)
        f << measured(v);
    return f.join(QLatin1Char(','));
}

bool FactoryTestLog::append(const FactoryRun &run, const TestedTransmitter &who)
{
    m_error.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        m_error = file.errorString();
        return false;
    }
    QByteArray out;
    if (file.size() == 0) {
        out = header().toUtf8() + '\n';
    } else if (file.seek(file.size() - 1)) {
        // A record cut short (power loss, a hand edit) must not swallow the next one.
        char last = '\n';
        if (file.read(&last, 1) == 1 && last != '\n')
            out = "\n";
    }
    out += line(run, who).toUtf8() + '\n';
    if (file.write(out) != out.size() || !file.flush()) {
        m_error = file.errorString();
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        m_error = file.errorString();
        return false;
    }
    return true;
}

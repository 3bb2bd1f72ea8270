// Monitoring sample store, axis rule and CSV export; see trendbuffer.h.
#include "trendbuffer.h"

#include <QDateTime>
#include <QFile>

#include <cmath>
#include <limits>

AxisRange pvAxisRange(float upperRangeValue, float lowerRangeValue)
{
    const double span = (double(upperRangeValue) - double(lowerRangeValue)) * 0.1;
    // A device can report anything; a margin that does not fit an int is dropped rather
    // than cast (undefined behaviour).
    int margin = 0;
    if (std::isfinite(span) && std::fabs(span) < double(std::numeric_limits<int>::max()))
        margin = static_cast<int>(span);
    return {double(lowerRangeValue) - margin, double(upperRangeValue) + margin};
}

void TrendBuffer::append(double timeSec, double pv, double currentMa, double percent)
{
    m_time.append(timeSec);
    m_pv.append(pv);
    m_current.append(currentMa);
    m_percent.append(percent);
    if (m_time.size() > kMaxSamples) {
        m_time.removeFirst();
        m_pv.removeFirst();
        m_current.removeFirst();
        m_percent.removeFirst();
    }
}

void TrendBuffer::clear()
{
    m_time.clear();
    m_pv.clear();
    m_current.clear();
    m_percent.clear();
}

namespace {

// A field with a comma, quote or line break is quoted, so a tag cannot shift the columns.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString number(double value)
{
    return QString::number(value, 'g', 7);
}

} // namespace

QByteArray trendCsv(const TrendHeader &header, const TrendBuffer &buffer)
{
    QString out;
    out += QStringLiteral("# tag,") + csvField(header.tag) + QLatin1Char('\n');
    out += QStringLiteral("# unique id,") + csvField(header.uniqueId) + QLatin1Char('\n');
    out += QStringLiteral("# PV unit,") + csvField(header.pvUnit) + QLatin1Char('\n');
    out += QStringLiteral("time,PV,current_mA,percent\n");
    for (int i = 0; i < buffer.size(); ++i) {
        const QDateTime local =
                QDateTime::fromSecsSinceEpoch(static_cast<qint64>(buffer.time().at(i)));
        const QDateTime withOffset = local.toOffsetFromUtc(local.offsetFromUtc());
        out += withOffset.toString(Qt::ISODate) + QLatin1Char(',') + number(buffer.pv().at(i))
                + QLatin1Char(',') + number(buffer.current().at(i)) + QLatin1Char(',')
                + number(buffer.percent().at(i)) + QLatin1Char('\n');
    }
    return out.toUtf8();
}

bool saveTrendCsv(const QString &path, const TrendHeader &header, const TrendBuffer &buffer,
                  QString &error)
{
    // A plain file rather than a save-and-rename: the user may well export onto a device or
    // a pipe, which a rename would replace.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        error = file.errorString();
        return false;
    }
    const QByteArray bytes = trendCsv(header, buffer);
    // Buffered writes fail only at the flush (a full disk, /dev/full).
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        error = file.errorString();
        return false;
    }
    file.close();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    return true;
}

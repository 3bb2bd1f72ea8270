// The monitoring page's sample store and its widget-free rules: the bounded buffer, the
// left-axis range of a measuring range, and the trend export as CSV.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

class QIODevice;

struct AxisRange
{
    double lower = 0;
    double upper = 0;
};

// The PV axis shows the measuring range with a tenth of the span either side; the margin is
// truncated to a whole number, so a span below 10 gets none (1.6 .. 0 stays 0 .. 1.6).
AxisRange pvAxisRange(float upperRangeValue, float lowerRangeValue);

class TrendBuffer
{
public:
    static constexpr int kMaxSamples = 2000;

    // Appends one sample and drops the oldest once the bound is passed.
    void append(double timeSec, double pv, double currentMa, double percent);
    void clear();
    int size() const { return m_time.size(); }

    // Parallel sequences, oldest first, always of equal length.
    const QVector<double> &time() const { return m_time; }
    const QVector<double> &pv() const { return m_pv; }
    const QVector<double> &current() const { return m_current; }
    const QVector<double> &percent() const { return m_percent; }

private:
    QVector<double> m_time, m_pv, m_current, m_percent;
};

struct TrendHeader
{
    QString tag;
    QString uniqueId;
    QString pvUnit;
};

// UTF-8 text: three "# key,value" lines, the column names, then one row per sample with the
// local time in ISO 8601 (with its UTC offset), PV, loop current in mA and percent of range.
QByteArray trendCsv(const TrendHeader &header, const TrendBuffer &buffer);

// Writes the CSV to path; false with a reason in error when the file cannot be written whole.
bool saveTrendCsv(const QString &path, const TrendHeader &header, const TrendBuffer &buffer,
                  QString &error);

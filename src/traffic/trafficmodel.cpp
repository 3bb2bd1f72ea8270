#include "trafficmodel.h"

#include "trafficexport.h"

#include <QBrush>
#include <QColor>

namespace traffic {

bool Filter::accepts(const Record &r) const
{
    if (errorsOnly && !r.isError())
        return false;
    if (transaction != 0 && r.transaction != transaction)
        return false;
    if (command >= 0 && r.command != command)
        return false;
    return true;
}

TrafficModel::TrafficModel(std::size_t capacity, QObject *parent)
    : QAbstractTableModel(parent)
    , m_capacity(std::max<std::size_t>(1, capacity))
{ }

void TrafficModel::append(std::vector<Record> &&records)
{
    if (records.empty())
        return;
    // Make room first, so the view never holds more than the capture could.
    const std::size_t overflow =
            m_all.size() + records.size() > m_capacity ? m_all.size() + records.size() - m_capacity : 0;
    const std::size_t drop = std::min(overflow, m_all.size());
    if (drop > 0) {
        const quint64 newBase = m_base + drop;
        int gone = 0;
        while (gone < int(m_visible.size()) && m_visible[std::size_t(gone)] < newBase)
            ++gone;
        if (gone > 0) {
            beginRemoveRows(QModelIndex(), 0, gone - 1);
            m_visible.erase(m_visible.begin(), m_visible.begin() + gone);
            m_all.erase(m_all.begin(), m_all.begin() + std::ptrdiff_t(drop));
            m_base = newBase;
            endRemoveRows();
        } else {
            m_all.erase(m_all.begin(), m_all.begin() + std::ptrdiff_t(drop));
            m_base = newBase;
        }
        m_cachedRow = -1;
    }
    // A batch larger than the capacity keeps only its newest part.
    const std::size_t skip = records.size() > m_capacity ? records.size() - m_capacity : 0;
    std::vector<quint64> shown;
    for (std::size_t i = skip; i < records.size(); ++i) {
        const quint64 position = m_base + m_all.size();
        m_all.push_back(records[i]);
        if (m_filter.accepts(records[i]))
            shown.push_back(position);
    }
    if (shown.empty())
        return;
    const int first = int(m_visible.size());
    beginInsertRows(QModelIndex(), first, first + int(shown.size()) - 1);
    m_visible.insert(m_visible.end(), shown.begin(), shown.end());
    endInsertRows();
}

void TrafficModel::setFilter(const Filter &filter)
{
    beginResetModel();
    m_filter = filter;
    m_visible.clear();
    for (std::size_t i = 0; i < m_all.size(); ++i)
        if (m_filter.accepts(m_all[i]))
            m_visible.push_back(m_base + i);
    m_cachedRow = -1;
    endResetModel();
}

void TrafficModel::clear()
{
    beginResetModel();
    m_base += m_all.size();
    m_all.clear();
    m_visible.clear();
    m_cachedRow = -1;
    endResetModel();
}

const Record &TrafficModel::recordAt(int row) const
{
    return m_all[std::size_t(m_visible[std::size_t(row)] - m_base)];
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_visible.size());
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

const DecodedFrame &TrafficModel::decoded(int row) const
{
    if (row != m_cachedRow) {
        const Record &r = recordAt(row);
        m_cached = r.isFrame() ? decodeFrame(r.bytes.data(), r.length) : DecodedFrame();
        m_cachedRow = row;
    }
    return m_cached;
}

QString TrafficModel::text(const Record &r, const DecodedFrame &d, int column) const
{
    switch (column) {
    case Time: return timeText(r, m_originWallUs);
    case Gap:
        return r.gapUs >= 0 ? QString::number(double(r.gapUs) / 1000.0, 'f', 1) : QString();
    case Direction: return directionText(r);
    case Transaction:
        return r.transaction ? QStringLiteral("%1/%2").arg(r.transaction).arg(r.attempt) : QString();
    case Verdict: return verdictText(r);
    case Address: return d.address;
    case Command: {
        const int command = r.isFrame() ? d.command : r.command;
        return command >= 0 ? QStringLiteral("%1 %2").arg(command).arg(commandName(command))
                            : QString();
    }
    case Bytes:
        if (r.holdsBytes())
            return QString::number(r.dataLength());
        if (!r.isFrame())
            return QString();
        return r.kind == Kind::Request
                ? QStringLiteral("%1+%2").arg(r.preambles).arg(r.length)
                : QString::number(r.length);
    case Response:
        if (!d.status.valid)
            return QString();
        return QStringLiteral("%1 %2").arg(d.status.responseCode).arg(
                responseCodeText(d.status.responseCode));
    case DeviceStatus:
        if (!d.status.valid)
            return QString();
        return QStringLiteral("0x%1 %2")
                .arg(d.status.deviceStatus, 2, 16, QLatin1Char('0'))
                .arg(deviceStatusText(d.status.deviceStatus));
    case Data:
        return r.isFrame() || r.holdsBytes() ? hexBytes(r.dataBytes(), r.dataLength())
                                             : QString();
    case Fields: return d.fields;
    default: break;
    }
    return QString();
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_visible.size()))
        return QVariant();
    const Record &r = recordAt(index.row());
    switch (role) {
    case Qt::DisplayRole: return text(r, decoded(index.row()), index.column());
    case Qt::ToolTipRole:
        if (index.column() == Data || index.column() == Fields)
            return text(r, decoded(index.row()), index.column());
        return QVariant();
    case Qt::BackgroundRole:
        if ((r.kind == Kind::Response && r.verdict != traffic::Verdict::Accepted)
            || r.holdsBytes())
            return QBrush(QColor(0xFF, 0xE0, 0xE0));
        if (r.isError())
            return QBrush(QColor(0xFF, 0xF4, 0xD0));
        return QVariant();
    case Qt::TextAlignmentRole:
        if (index.column() == Gap || index.column() == Bytes)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant();
    default: break;
    }
    return QVariant();
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char *const names[ColumnCount] = {
            QT_TR_NOOP("时间"),     QT_TR_NOOP("间隔 ms"), QT_TR_NOOP("方向"),
            QT_TR_NOOP("事务/次"),  QT_TR_NOOP("结果"),    QT_TR_NOOP("命令"),
            QT_TR_NOOP("地址"),     QT_TR_NOOP("字节"),    QT_TR_NOOP("响应码"),
            QT_TR_NOOP("设备状态"), QT_TR_NOOP("数据"),    QT_TR_NOOP("解码")};
    return section >= 0 && section < ColumnCount ? tr(names[section]) : QVariant();
}

} // namespace traffic

// The monitor's table: the records pulled from the capture, bounded like the capture's
// ring, and the filtered view of them. Decodes only the rows the view asks for.
#pragma once

#include "trafficdecoder.h"
#include "trafficrecord.h"

#include <QAbstractTableModel>

#include <deque>
#include <vector>

namespace traffic {

struct Filter
{
    int command = -1;        // -1 = every command
    bool errorsOnly = false;
    quint32 transaction = 0; // 0 = every transaction
    bool accepts(const Record &r) const;
};

class TrafficModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        Time,
        Gap,
        Direction,
        Transaction,
        Verdict,
        Command,
        Address,
        Bytes,
        Response,
        DeviceStatus,
        Data,
        Fields,
        ColumnCount
    };

    explicit TrafficModel(std::size_t capacity, QObject *parent = nullptr);

    void setOriginWallUs(qint64 us) { m_originWallUs = us; }
    void append(std::vector<Record> &&records);
    void setFilter(const Filter &filter);
    const Filter &filter() const { return m_filter; }
    void clear();

    std::size_t heldCount() const { return m_all.size(); }
    const Record &recordAt(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QString text(const Record &r, const DecodedFrame &d, int column) const;
    const DecodedFrame &decoded(int row) const;

    const std::size_t m_capacity;
    qint64 m_originWallUs = 0;
    std::deque<Record> m_all;
    quint64 m_base = 0;              // records dropped from the front of m_all, ever
    std::deque<quint64> m_visible;   // positions (m_base-relative once subtracted) of shown rows
    Filter m_filter;
    mutable int m_cachedRow = -1;
    mutable DecodedFrame m_cached;
};

} // namespace traffic

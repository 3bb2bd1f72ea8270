#include "historywindow.h"
#include "eventtext.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QString localTime(const QString &utc)
{
    const QDateTime t = QDateTime::fromString(utc, Qt::ISODateWithMs);
    return t.isValid() ? t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : utc;
}

QString outcomeText(const EventRow &e)
{
    if (e.outcome == QLatin1String("succeed"))
        return QObject::tr("成功");
    if (e.outcome == QLatin1String("failed"))
        return e.responseCode >= 0 ? QObject::tr("失败（响应码 %1）").arg(e.responseCode)
                                   : QObject::tr("失败");
    return QString();
}

QTableView *makeView(QAbstractItemModel *model, QWidget *parent)
{
    auto *view = new QTableView(parent);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    // Fixed row heights: no per-row measuring with 100,000 rows behind the view.
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    return view;
}

} // namespace

// ---------------------------------------------------------------------------------------

TextTableModel::TextTableModel(QStringList headers, QObject *parent)
    : QAbstractTableModel(parent)
    , m_headers(std::move(headers))
{ }

void TextTableModel::setRows(QVector<QStringList> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void TextTableModel::appendRows(const QVector<QStringList> &rows)
{
    if (rows.isEmpty())
        return;
    beginInsertRows(QModelIndex(), m_rows.size(), m_rows.size() + rows.size() - 1);
    m_rows += rows;
    endInsertRows();
}

int TextTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int TextTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_headers.size();
}

QVariant TextTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return m_rows[index.row()].value(index.column());
    return QVariant();
}

QVariant TextTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_headers.value(section);
    return QVariant();
}

EventTableModel::EventTableModel(PageRequest request, QObject *parent)
    : TextTableModel({tr("时间"), tr("操作"), tr("结果"), tr("快照"), tr("工位"), tr("端口"),
                      tr("改动（旧值 → 新值）")},
                     parent)
    , m_request(std::move(request))
{ }

void EventTableModel::reset()
{
    m_events.clear();
    m_more = false;
    m_loading = true;
    setRows({});
}

void EventTableModel::addPage(const QVector<EventRow> &rows, bool more)
{
    QVector<QStringList> texts;
    texts.reserve(rows.size());
    for (const EventRow &e : rows) {
        texts.append({localTime(e.at), history::operationText(e), outcomeText(e),
                      e.snapshot ? tr("有") : QString(), e.station, e.port, e.changes});
    }
    m_events += rows;
    m_more = more;
    m_loading = false;
    appendRows(texts);
}

QVariant EventTableModel::data(const QModelIndex &index, int role) const
{
    // The name is the technician's; the stored request stays within reach for support.
    if (role == Qt::ToolTipRole && index.isValid() && index.column() == 1
        && index.row() < m_events.size())
        return history::storedOperation(m_events[index.row()]);
    return TextTableModel::data(index, role);
}

bool EventTableModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_more && !m_loading;
}

void EventTableModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent) || m_events.isEmpty())
        return;
    m_loading = true;
    m_request(m_events.last().id);
}

// ---------------------------------------------------------------------------------------

HistoryWindow::HistoryWindow(const QString &location, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_reader(location)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(tr("设备档案"));
    resize(823, 631);

    m_devices = new TextTableModel({tr("标识"), tr("位号"), tr("描述符"), tr("传感器序列号"),
                                    tr("最后出现"), tr("工位")},
                                   this);
    m_events = new EventTableModel(
            [this](qint64 before) { m_reader.loadEvents(m_eventsTicket, m_device, before); },
            this);
    m_differences = new TextTableModel({tr("字段"), tr("旧值 / 较早快照"), tr("新值 / 较新快照")},
                                       this);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("lineEdit_history_filter"));
    m_filter->setPlaceholderText(tr("按位号、传感器序列号或标识筛选"));
    m_deviceView = makeView(m_devices, this);
    m_deviceView->setObjectName(QStringLiteral("tableView_history_devices"));
    m_deviceView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_eventView = makeView(m_events, this);
    m_eventView->setObjectName(QStringLiteral("tableView_history_events"));
    m_eventView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_differenceView = makeView(m_differences, this);
    m_differenceView->setObjectName(QStringLiteral("tableView_history_differences"));
    m_differenceView->hide();

    m_compare = new QPushButton(tr("对比快照"), this);
    m_compare->setObjectName(QStringLiteral("pushButton_history_compare"));
    m_compare->setToolTip(tr("选中两条带快照的事件，逐字段对比"));
    m_export = new QPushButton(tr("导出CSV"), this);
    m_export->setObjectName(QStringLiteral("pushButton_history_export"));
    m_export->setToolTip(tr("把所选仪表的全部记录导出为CSV文件"));
    m_state = new QLabel(this);
    m_state->setObjectName(QStringLiteral("label_history_state"));
    m_rejected = new QLabel(this);
    m_rejected->setObjectName(QStringLiteral("label_history_rejected"));
    m_rejected->hide();

    auto *top = new QWidget(this);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(m_filter);
    topLayout->addWidget(m_deviceView);

    auto *bottom = new QWidget(this);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_state, 1);
    buttons->addWidget(m_rejected);
    buttons->addWidget(m_compare);
    buttons->addWidget(m_export);
    bottomLayout->addLayout(buttons);
    bottomLayout->addWidget(m_eventView, 3);
    bottomLayout->addWidget(m_differenceView, 2);

    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(top);
    split->addWidget(bottom);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 3);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(split);

    m_filterDelay = new QTimer(this);
    m_filterDelay->setSingleShot(true);
    m_filterDelay->setInterval(250);
    connect(m_filterDelay, &QTimer::timeout, this, &HistoryWindow::loadDevices);
    connect(m_filter, &QLineEdit::textChanged, m_filterDelay, qOverload<>(&QTimer::start));
    connect(m_deviceView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { selectDevice(current.row()); });
    connect(m_eventView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &HistoryWindow::updateButtons);
    connect(m_compare, &QPushButton::clicked, this, [this] {
        const QModelIndexList rows = m_eventView->selectionModel()->selectedRows();
        if (rows.size() == 2)
            compareRows(rows[0].row(), rows[1].row());
    });
    connect(m_export, &QPushButton::clicked, this, &HistoryWindow::exportSelected);

    connect(&m_reader, &HistoryReader::devicesLoaded, this, &HistoryWindow::onDevices);
    connect(&m_reader, &HistoryReader::eventsLoaded, this, &HistoryWindow::onEvents);
    connect(&m_reader, &HistoryReader::snapshotsCompared, this,
            [this](int, const QVector<SnapshotDifference> &rows) {
                QVector<QStringList> texts;
                for (const SnapshotDifference &d : rows)
                    texts.append({d.field, d.first, d.second});
                m_differences->setRows(texts);
                m_differenceView->resizeColumnsToContents();
                m_differenceView->show();
                m_state->setText(tr("两个快照有 %1 个字段不同").arg(rows.size()));
                emit comparisonShown();
            });
    connect(&m_reader, &HistoryReader::csvExported, this, [this](int, bool ok, int rows) {
        m_state->setText(ok ? tr("已导出 %1 条记录").arg(rows) : tr("导出失败"));
        emit exportFinished(ok, rows);
    });
    connect(&m_reader, &HistoryReader::failed, this, [this](int, const QString &message) {
        m_state->setText(tr("记录库读取失败：%1").arg(message));
    });

    updateButtons();
    loadDevices();
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::setFilter(const QString &text)
{
    m_filter->setText(text);
    m_filterDelay->stop();
    loadDevices();
}

void HistoryWindow::loadDevices()
{
    m_devicesTicket = ++m_ticket;
    m_reader.loadDevices(m_devicesTicket, m_filter->text());
}

void HistoryWindow::onDevices(int ticket, const QVector<DeviceRow> &rows)
{
    if (ticket != m_devicesTicket)
        return; // an older filter's answer
    m_deviceRows = rows;
    QVector<QStringList> texts;
    texts.reserve(rows.size());
    for (const DeviceRow &d : rows)
        texts.append({d.device, d.tag, d.descriptor, d.sensorSerial, localTime(d.lastSeen), d.station});
    m_devices->setRows(texts);
    // Widths from the texts shown (a thousand rows at most), so nothing is cut short.
    m_deviceView->resizeColumnsToContents();
    m_state->setText(tr("共 %1 台仪表").arg(rows.size()));
    if (!rows.isEmpty())
        m_deviceView->selectRow(0);
    else
        selectDevice(-1);
    emit devicesShown();
}

void HistoryWindow::selectDevice(int row)
{
    const QString device = row >= 0 && row < m_deviceRows.size() ? m_deviceRows[row].device : QString();
    if (device == m_device && !device.isEmpty())
        return;
    m_device = device;
    m_events->reset();
    m_differences->setRows({});
    m_differenceView->hide();
    updateButtons();
    if (device.isEmpty())
        return;
    m_eventsTicket = ++m_ticket;
    m_reader.loadEvents(m_eventsTicket, device, -1);
}

void HistoryWindow::onEvents(int ticket, const QVector<EventRow> &rows, bool more)
{
    if (ticket != m_eventsTicket)
        return;
    const bool first = m_events->rowCount() == 0;
    m_events->addPage(rows, more);
    if (first) {
        // The first page sets the widths; the changes column takes what is left.
        for (int column = 0; column + 1 < m_events->columnCount(); ++column)
            m_eventView->resizeColumnToContents(column);
    }
    updateButtons();
    emit eventsShown();
}

bool HistoryWindow::compareRows(int first, int second)
{
    if (first < 0 || second < 0 || first >= m_events->rowCount() || second >= m_events->rowCount())
        return false;
    // Rows are newest first: the lower row is the earlier snapshot.
    const EventRow &older = m_events->event(std::max(first, second));
    const EventRow &newer = m_events->event(std::min(first, second));
    if (!older.snapshot || !newer.snapshot)
        return false;
    m_reader.compareSnapshots(++m_ticket, older.uuid, newer.uuid);
    return true;
}

void HistoryWindow::exportSelected()
{
    if (m_device.isEmpty())
        return;
    const QString suggested =
            QDir::home().filePath(QStringLiteral("history-%1.csv").arg(m_device));
    const QString path = m_chooser ? m_chooser(suggested)
                                   : QFileDialog::getSaveFileName(this, tr("导出CSV"), suggested,
                                                                  tr("CSV文件 (*.csv)"));
    if (path.isEmpty())
        return;
    m_state->setText(tr("正在导出..."));
    m_reader.exportCsv(++m_ticket, m_device, path);
}

void HistoryWindow::setRejectedCount(int count)
{
    m_rejected->setText(tr("%1 条记录被记录库拒收，保存在本机暂存中").arg(count));
    m_rejected->setVisible(count > 0);
}

void HistoryWindow::updateButtons()
{
    const QModelIndexList rows = m_eventView->selectionModel()->selectedRows();
    if (rows.size() == 1 && rows[0].row() < m_events->rowCount()) {
        // One event: its fields with old and new values in full.
        QVector<QStringList> texts;
        for (const FieldChange &c : m_events->event(rows[0].row()).fieldChanges)
            texts.append({c.field, HistoryReader::oldText(c), c.newValue});
        m_differences->setRows(texts);
        m_differenceView->resizeColumnsToContents();
        m_differenceView->setVisible(!texts.isEmpty());
    }
    m_compare->setEnabled(rows.size() == 2 && m_events->event(rows[0].row()).snapshot
                          && m_events->event(rows[1].row()).snapshot);
    m_export->setEnabled(!m_device.isEmpty());
}

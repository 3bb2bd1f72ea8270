#include "trafficwindow.h"

#include "trafficexport.h"
#include "trafficlog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace traffic {

namespace {
// The commands this tool sends, for the filter.
constexpr int kCommands[] = {0,  1,  2,  3,  6,  12, 13, 14, 15,  16,  17,  18,  19,  34,
                             35, 36, 37, 38, 40, 43, 45, 46, 47, 48, 128, 129, 130, 131,
                             132, 133, 134, 135, 136, 137};
} // namespace

TrafficWindow::TrafficWindow(TrafficCapture &capture, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_capture(capture)
    , m_model(new TrafficModel(capture.capacity(), this))
{
    setObjectName(QStringLiteral("TrafficWindow"));
    setWindowTitle(tr("通信监视"));
    setAttribute(Qt::WA_QuitOnClose, false);
    m_model->setOriginWallUs(capture.originWallUs());
    m_exports.setMaxThreadCount(1);

    m_command = new QComboBox;
    m_command->setObjectName(QStringLiteral("comboBox_trafficCommand"));
    m_command->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_command->setMinimumContentsLength(8);
    m_command->setToolTip(tr("只看一个命令"));
    m_command->addItem(tr("全部命令"), -1);
    for (int c : kCommands)
        m_command->addItem(QStringLiteral("%1 %2").arg(c).arg(commandName(c)), c);
    m_errorsOnly = new QCheckBox(tr("仅错误"));
    m_errorsOnly->setObjectName(QStringLiteral("checkBox_trafficErrors"));
    m_transaction = new QSpinBox;
    m_transaction->setObjectName(QStringLiteral("spinBox_trafficTransaction"));
    m_transaction->setRange(0, 999999999);
    m_transaction->setSpecialValueText(tr("全部事务"));
    m_transaction->setToolTip(tr("只看一个事务（双击表格行选中其事务）"));
    m_pause = new QPushButton(tr("暂停"));
    m_pause->setObjectName(QStringLiteral("pushButton_trafficPause"));
    m_pause->setCheckable(true);
    m_clear = new QPushButton(tr("清除"));
    m_clear->setObjectName(QStringLiteral("pushButton_trafficClear"));
    m_follow = new QCheckBox(tr("跟随最新"));
    m_follow->setObjectName(QStringLiteral("checkBox_trafficFollow"));
    m_follow->setChecked(true);
    m_exportPcapng = new QPushButton(tr("导出pcapng"));
    m_exportPcapng->setObjectName(QStringLiteral("pushButton_trafficPcapng"));
    m_exportCsv = new QPushButton(tr("导出CSV"));
    m_exportCsv->setObjectName(QStringLiteral("pushButton_trafficCsv"));

    auto *tools = new QHBoxLayout;
    tools->addWidget(m_command, 1);
    tools->addWidget(m_errorsOnly);
    tools->addWidget(m_transaction);
    tools->addWidget(m_pause);
    tools->addWidget(m_clear);
    tools->addWidget(m_follow);
    tools->addWidget(m_exportPcapng);
    tools->addWidget(m_exportCsv);

    m_view = new QTableView;
    m_view->setObjectName(QStringLiteral("tableView_traffic"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setWordWrap(false);
    m_view->verticalHeader()->hide();
    // Fixed row heights and column widths: nothing is measured over 100,000 rows.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_view->horizontalHeader()->setStretchLastSection(true);
    const int ch = fontMetrics().horizontalAdvance(QLatin1Char('0'));
    const int widths[TrafficModel::ColumnCount] = {15, 7, 7, 7, 17, 18, 18, 6, 16, 16, 40, 60};
    for (int c = 0; c < TrafficModel::ColumnCount; ++c)
        m_view->setColumnWidth(c, widths[c] * ch + 8);
    // The direction's words differ most in length between the languages.
    int direction = m_view->columnWidth(TrafficModel::Direction);
    for (const char *text : {"主→仪表", "仪表→主", "事件"})
        direction = std::max(direction, fontMetrics().horizontalAdvance(
                                                QCoreApplication::translate("traffic", text))
                                                + 2 * ch);
    m_view->setColumnWidth(TrafficModel::Direction, direction);
    createFrozenColumns();

    m_counters = new QLabel;
    m_counters->setObjectName(QStringLiteral("label_trafficCounters"));
    m_counters->setWordWrap(true);
    m_counters->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_note = new QLabel;
    m_note->setObjectName(QStringLiteral("label_trafficNote"));
    m_note->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_counters);
    layout->addWidget(m_note);

    connect(m_command, qOverload<int>(&QComboBox::currentIndexChanged), this,
            &TrafficWindow::applyFilter);
    connect(m_errorsOnly, &QCheckBox::toggled, this, &TrafficWindow::applyFilter);
    connect(m_transaction, qOverload<int>(&QSpinBox::valueChanged), this,
            &TrafficWindow::applyFilter);
    connect(m_pause, &QPushButton::toggled, this, &TrafficWindow::onPauseToggled);
    connect(m_clear, &QPushButton::clicked, this, &TrafficWindow::onClear);
    connect(m_follow, &QCheckBox::toggled, this, [this](bool on) {
        if (on)
            m_view->scrollToBottom();
    });
    connect(m_view, &QTableView::doubleClicked, this, &TrafficWindow::showTransactionOf);
    connect(m_exportPcapng, &QPushButton::clicked, this, [this] { chooseExport(true); });
    connect(m_exportCsv, &QPushButton::clicked, this, [this] { chooseExport(false); });
    connect(this, &TrafficWindow::exportFinished, this,
            [this](bool ok, const QString &path, const QString &error) {
                m_note->setText(ok ? tr("已导出 %1").arg(path)
                                   : tr("导出失败：%1").arg(error));
            });
    connect(&m_tick, &QTimer::timeout, this, &TrafficWindow::pull);
    m_tick.start(100);

    const QString file = capture.filePath();
    if (!file.isEmpty())
        m_note->setText(tr("正在记录到 %1").arg(file));
    resize(1000, 600);
    pull();
}

// Twelve columns never fit a window's width: the time, direction, transaction and verdict
// stay in view on a second table laid over the left of the first, sharing its model, its
// selection and its vertical scrolling.
void TrafficWindow::createFrozenColumns()
{
    m_frozen = new QTableView(m_view);
    m_frozen->setObjectName(QStringLiteral("tableView_trafficFrozen"));
    m_frozen->setModel(m_model);
    m_frozen->setSelectionModel(m_view->selectionModel());
    m_frozen->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_frozen->setFocusPolicy(Qt::NoFocus);
    m_frozen->setWordWrap(false);
    m_frozen->verticalHeader()->hide();
    m_frozen->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->verticalHeader()->setDefaultSectionSize(
            m_view->verticalHeader()->defaultSectionSize());
    m_frozen->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_frozen->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_frozen->setFrameShape(QFrame::NoFrame);
    for (int c = 0; c < TrafficModel::ColumnCount; ++c) {
        if (c < kFrozenColumns)
            m_frozen->setColumnWidth(c, m_view->columnWidth(c));
        else
            m_frozen->setColumnHidden(c, true);
    }
    m_view->viewport()->stackUnder(m_frozen);
    m_view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(m_view->verticalScrollBar(), &QAbstractSlider::valueChanged,
            m_frozen->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(m_frozen->verticalScrollBar(), &QAbstractSlider::valueChanged,
            m_view->verticalScrollBar(), &QAbstractSlider::setValue);
    connect(m_view->horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int column, int, int size) {
                if (column < kFrozenColumns) {
                    m_frozen->setColumnWidth(column, size);
                    placeFrozenColumns();
                }
            });
    connect(m_frozen, &QTableView::doubleClicked, this, &TrafficWindow::showTransactionOf);
    // The viewport shrinks when the horizontal scroll bar appears; the view itself does not.
    m_view->viewport()->installEventFilter(this);
    placeFrozenColumns();
    m_frozen->show();
}

void TrafficWindow::placeFrozenColumns()
{
    int width = 0;
    for (int c = 0; c < kFrozenColumns; ++c)
        width += m_view->columnWidth(c);
    const int frame = m_view->frameWidth();
    m_frozen->setGeometry(frame, frame, width,
                          m_view->viewport()->height() + m_view->horizontalHeader()->height());
}

bool TrafficWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::Resize)
        placeFrozenColumns();
    return QWidget::eventFilter(watched, event);
}

TrafficWindow::~TrafficWindow()
{
    m_exports.waitForDone();
}

void TrafficWindow::pull()
{
    QElapsedTimer clock;
    clock.start();
    if (!m_pause->isChecked()) {
        std::vector<Record> batch;
        m_nextSeq = m_capture.copySince(m_nextSeq, batch, kBatch);
        if (!batch.empty()) {
            m_model->append(std::move(batch));
            if (m_follow->isChecked())
                m_view->scrollToBottom();
        }
    }
    m_counters->setText(countersText());
    m_worstPullUs = std::max(m_worstPullUs, clock.nsecsElapsed() / 1000);
}

qint64 TrafficWindow::takeWorstPullUs()
{
    return std::exchange(m_worstPullUs, 0);
}

QString TrafficWindow::countersText() const
{
    const Counters c = m_capture.counters();
    QStringList refusals;
    for (auto it = c.refusals.cbegin(); it != c.refusals.cend(); ++it)
        refusals << QStringLiteral("%1×%2").arg(it.key()).arg(it.value());
    auto ms = [](qint64 us) {
        return us < 0 ? QStringLiteral("-") : QString::number(double(us) / 1000.0, 'f', 0);
    };
    return tr("事务 %1  尝试 %2  重试 %3  超时 %4  失败 %5  校验错 %6  他址 %7  主站不符 %8  "
              "畸形 %9\n迟到 %10  忙 %11  拒绝 %12  应答时间 中位 %13 ms 最长 %14 ms")
            .arg(c.transactions)
            .arg(c.attempts)
            .arg(c.retries)
            .arg(c.timeouts)
            .arg(c.failedTransactions)
            .arg(c.badChecksums)
            .arg(c.otherAddresses)
            .arg(c.wrongMaster)
            .arg(c.malformed)
            .arg(c.late)
            .arg(c.busy)
            .arg(refusals.isEmpty() ? QStringLiteral("0") : refusals.join(QLatin1Char(' ')))
            .arg(ms(c.medianAnswerUs))
            .arg(ms(c.worstAnswerUs))
            + lossText(c);
}

// Only when something was lost, so a clean line keeps its two lines.
QString TrafficWindow::lossText(const Counters &c)
{
    QString text;
    if (c.discards > 0)
        text += tr("  清除丢弃 %1 次 %2 字节").arg(c.discards).arg(c.discardedBytes);
    if (c.abandoned > 0)
        text += tr("  未收完 %1").arg(c.abandoned);
    if (c.failedWrites > 0)
        text += tr("  发送失败 %1").arg(c.failedWrites);
    if (c.collisions > 0)
        text += tr("  回显不符（冲突） %1").arg(c.collisions);
    if (c.incompleteEchoes > 0)
        text += tr("  回显不全 %1").arg(c.incompleteEchoes);
    if (c.fileDropped > 0)
        text += tr("  记录文件丢帧 %1").arg(c.fileDropped);
    return text.isEmpty() ? text : QLatin1Char('\n') + text.mid(2);
}

void TrafficWindow::applyFilter()
{
    Filter f;
    f.command = m_command->currentData().toInt();
    f.errorsOnly = m_errorsOnly->isChecked();
    f.transaction = quint32(m_transaction->value());
    m_model->setFilter(f);
    if (m_follow->isChecked())
        m_view->scrollToBottom();
}

void TrafficWindow::onClear()
{
    m_capture.clear();
    m_model->clear();
    m_nextSeq = m_capture.nextSeq();
    m_counters->setText(countersText());
}

void TrafficWindow::onPauseToggled(bool paused)
{
    m_pause->setText(paused ? tr("继续") : tr("暂停"));
    if (!paused)
        pull();
}

void TrafficWindow::showTransactionOf(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    const quint32 transaction = m_model->recordAt(index.row()).transaction;
    m_transaction->setValue(m_transaction->value() == int(transaction) ? 0 : int(transaction));
}

void TrafficWindow::chooseExport(bool pcapng)
{
    const QString path = QFileDialog::getSaveFileName(
            this, pcapng ? tr("导出pcapng") : tr("导出CSV"), QString(),
            pcapng ? tr("pcapng (*.pcapng)") : tr("CSV (*.csv)"));
    if (!path.isEmpty())
        startExport(path, pcapng);
}

void TrafficWindow::exportPcapng(const QString &path)
{
    startExport(path, true);
}

void TrafficWindow::exportCsv(const QString &path)
{
    startExport(path, false);
}

void TrafficWindow::startExport(const QString &path, bool pcapng)
{
    m_note->setText(tr("正在导出 %1 ...").arg(path));
    QPointer<TrafficWindow> self(this);
    TrafficCapture *capture = &m_capture;
    m_exports.start([self, capture, path, pcapng] {
        // The snapshot too is taken here: 100,000 records are a few megabytes to copy.
        const std::vector<Record> records = capture->snapshot();
        QString error;
        const bool ok = pcapng ? writePcapngFile(path, records, capture->originWallUs(), &error)
                               : writeCsvFile(path, records, capture->originWallUs(), &error);
        qCDebug(lcTraffic, "export of %zu records to %s: %s", records.size(), qPrintable(path),
                ok ? "done" : qPrintable(error));
        if (self)
            emit self->exportFinished(ok, path, error); // queued to the window's thread
    });
}

} // namespace traffic

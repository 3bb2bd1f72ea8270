#include "scanwindow.h"

#include "hartthread.h"
#include "kvhart_master.h"
#include "pagehost.h"
#include "scanlog.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { Address, Tag, Manufacturer, DeviceType, DeviceId, Revision, LoopMode, Columns };

QString hex(unsigned value, int digits)
{
    return QStringLiteral("0x") + QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

} // namespace

ScanWindow::ScanWindow(PageHost &host, hartThread &worker, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_host(host)
    , m_worker(worker)
    , m_scanner(std::make_shared<BusScanner>())
{
    setObjectName(QStringLiteral("ScanWindow"));
    setWindowTitle(tr("扫描"));
    buildForm();
    BusScanner *s = m_scanner.get();
    connect(s, &BusScanner::deviceFound, this, &ScanWindow::onDeviceFound);
    connect(s, &BusScanner::progress, this, &ScanWindow::onProgress);
    connect(s, &BusScanner::sharedAddress, this, &ScanWindow::onShared);
    connect(s, &BusScanner::tagNotFound, this, [this](const QByteArray &tag) {
        m_warning->setText(tr("没有仪表应答位号%1").arg(QString::fromLatin1(tag)));
    });
    resize(823, 631);
    updateControls();
}

ScanWindow::~ScanWindow()
{
    // The worker may still be in the job; it ends after the transaction under way.
    m_scanner->cancel();
}

void ScanWindow::buildForm()
{
    auto *grid = new QGridLayout;
    m_range = new QComboBox;
    m_range->setObjectName(QStringLiteral("comboBox_scanRange"));
    m_range->addItem(tr("地址0~15"));
    m_range->addItem(tr("地址0~63（HART 6/7）"));
    m_attempts = new QSpinBox;
    m_attempts->setObjectName(QStringLiteral("spinBox_scanAttempts"));
    m_attempts->setRange(1, 10);
    m_attempts->setValue(scan::Options().attempts);
    m_attempts->setToolTip(tr("每个无应答地址的尝试次数"));
    m_scanButton = new QPushButton(tr("开始扫描"));
    m_scanButton->setObjectName(QStringLiteral("pushButton_startScan"));
    m_cancelButton = new QPushButton(tr("取消"));
    m_cancelButton->setObjectName(QStringLiteral("pushButton_cancelScan"));
    grid->addWidget(new QLabel(tr("范围")), 0, 0);
    grid->addWidget(m_range, 0, 1);
    grid->addWidget(new QLabel(tr("尝试次数")), 0, 2);
    grid->addWidget(m_attempts, 0, 3);
    grid->addWidget(m_scanButton, 0, 4);
    grid->addWidget(m_cancelButton, 0, 5);

    m_tag = new QLineEdit;
    m_tag->setObjectName(QStringLiteral("lineEdit_scanTag"));
    m_tag->setMaxLength(32); // the long tag of revision 7
    m_tag->setPlaceholderText(tr("位号（最多8个字符，HART 7 长位号最多32个）"));
    m_findButton = new QPushButton(tr("按位号查找"));
    m_findButton->setObjectName(QStringLiteral("pushButton_findTag"));
    grid->addWidget(new QLabel(tr("位号")), 1, 0);
    grid->addWidget(m_tag, 1, 1, 1, 3);
    grid->addWidget(m_findButton, 1, 4, 1, 2);

    m_progress = new QProgressBar;
    m_progress->setObjectName(QStringLiteral("progressBar_scan"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_estimate = new QLabel;
    m_estimate->setObjectName(QStringLiteral("label_scanEstimate"));
    auto *progressRow = new QHBoxLayout;
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_estimate);

    m_warning = new QLabel;
    m_warning->setObjectName(QStringLiteral("label_scanWarning"));
    m_warning->setWordWrap(true);
    m_warning->setStyleSheet(QStringLiteral("color: rgb(200, 60, 0);"));

    m_table = new QTableWidget(0, Columns);
    m_table->setObjectName(QStringLiteral("tableWidget_scan"));
    m_table->setHorizontalHeaderLabels({tr("地址"), tr("位号"), tr("制造商"), tr("设备类型"),
                                        tr("设备号"), tr("通用版本"), tr("回路电流")});
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->verticalHeader()->hide();
    // Shared out over the width: the English headers are wider than a default column.
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

    m_selectButton = new QPushButton(tr("选择仪表"));
    m_selectButton->setObjectName(QStringLiteral("pushButton_selectDevice"));
    m_selectButton->setToolTip(tr("让各页面与所选仪表通信，如同查询到它一样"));
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_selectButton);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(progressRow);
    layout->addWidget(m_warning);
    layout->addWidget(m_table, 1);
    layout->addLayout(bottom);

    connect(m_scanButton, &QPushButton::clicked, this, &ScanWindow::startScan);
    connect(m_cancelButton, &QPushButton::clicked, this, &ScanWindow::cancel);
    connect(m_findButton, &QPushButton::clicked, this, &ScanWindow::findTag);
    connect(m_tag, &QLineEdit::returnPressed, this, &ScanWindow::findTag);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &ScanWindow::updateControls);
    connect(m_table, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { selectRow(row); });
    connect(m_selectButton, &QPushButton::clicked, this, [this] {
        const QList<QTableWidgetItem *> items = m_table->selectedItems();
        if (!items.isEmpty())
            selectRow(items.first()->row());
    });
}

bool ScanWindow::startJob(std::function<bool(BusScanner &, kvhart_master &)> job)
{
    if (m_running || !m_host.portReady())
        return false;
    m_devices.clear();
    m_table->setRowCount(0);
    m_warning->clear();
    m_estimate->clear();
    m_progress->setValue(0);
    std::shared_ptr<BusScanner> scanner = m_scanner;
    m_worker.setBusJob([scanner, job](kvhart_master &master) { return job(*scanner, master); });
    m_running = true;
    updateControls();
    m_host.showStatus(tr("正在扫描..."));
    m_host.sendRequest(QStringLiteral("scan bus"));
    m_host.setPortButtonsEnabled(false);
    return true;
}

void ScanWindow::startScan()
{
    scan::Options options;
    options.lastAddress = m_range->currentIndex() == 1 ? 63 : 15;
    options.attempts = m_attempts->value();
    qCDebug(lcScan, "scan %d-%d, %d attempts", options.firstAddress, options.lastAddress,
            options.attempts);
    startJob([options](BusScanner &s, kvhart_master &m) { return s.scan(m, options); });
}

void ScanWindow::findTag()
{
    const QString text = m_tag->text().trimmed();
    if (text.isEmpty()) {
        m_warning->setText(tr("请输入位号"));
        return;
    }
    // Tags on the line are Latin-1; anything else would go out as question marks.
    for (const QChar c : text) {
        if (c.unicode() > 0xFF) {
            m_warning->setText(tr("位号只能使用西文字符（Latin-1）"));
            return;
        }
    }
    const QByteArray tag = text.toLatin1();
    const int attempts = m_attempts->value();
    startJob([tag, attempts](BusScanner &s, kvhart_master &m) {
        return s.findByTag(m, tag, attempts);
    });
}

void ScanWindow::cancel()
{
    if (!m_running)
        return;
    m_scanner->cancel();
    m_estimate->setText(tr("正在取消..."));
}

void ScanWindow::onDeviceFound(const scan::Device &device)
{
    m_devices.append(device);
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    const QString loop = device.loopCurrentMode < 0 ? tr("—")
            : device.loopCurrentMode == 0              ? tr("固定4mA")
                                                       : tr("有效");
    // A sub-device by where it is: the gateway's address and the channel behind it.
    const QString address = device.behindGateway
            ? tr("%1 → 通道%2").arg(device.gatewayAddress).arg(device.route.channel)
            : device.address >= 0 ? QString::number(device.address)
                                  : tr("?");
    const QStringList cells = {address,
                               device.tag,
                               hex(device.manufacturer, device.manufacturer > 0xFF ? 4 : 2),
                               hex(device.deviceType, device.deviceType > 0xFF ? 4 : 2),
                               hex(device.deviceId, 6),
                               QString::number(device.universalRevision),
                               loop};
    for (int c = 0; c < Columns; ++c)
        m_table->setItem(row, c, new QTableWidgetItem(cells[c]));
    if (m_table->currentRow() < 0)
        m_table->selectRow(0);
}

void ScanWindow::onProgress(int done, int total, int msLeft)
{
    m_progress->setValue(total > 0 ? done * 100 / total : 100);
    m_estimate->setText(done < total ? tr("剩余约%1秒").arg((msLeft + 999) / 1000) : QString());
}

void ScanWindow::onShared(int address)
{
    m_warning->setText(tr("轮询地址%1上有多台仪表应答，它们的应答会相互冲突，请改设其中一台的地址")
                               .arg(address));
}

void ScanWindow::onWorkerResult(const QString &message)
{
    if (message == QLatin1String("scan bus succeed"))
        finish(true);
    else if (message == QLatin1String("scan bus failed"))
        finish(false);
    else if (message == QLatin1String("select meter failed")) {
        m_host.setPortButtonsEnabled(true);
        m_host.showStatus(tr("选择仪表失败"));
        m_host.warn(tr("选择仪表失败！"));
    }
}

void ScanWindow::finish(bool completed)
{
    if (!m_running)
        return;
    m_running = false;
    m_estimate->setText(completed ? tr("找到%1台仪表").arg(m_devices.size()) : tr("已取消"));
    m_host.showStatus(completed ? tr("扫描完成") : tr("扫描已取消"));
    m_host.setPortButtonsEnabled(true);
    updateControls();
}

void ScanWindow::selectRow(int row)
{
    if (m_running || row < 0 || row >= m_devices.size() || !m_host.portReady())
        return;
    const scan::Device &d = m_devices[row];
    m_worker.setSelection(d.address >= 0 ? std::uint8_t(d.address) : std::uint8_t(0xFF),
                          d.command0, d.behindGateway ? &d.route : nullptr);
    if (m_sendSelect)
        m_sendSelect(QStringLiteral("select meter"));
}

void ScanWindow::closeEvent(QCloseEvent *event)
{
    cancel();
    QWidget::closeEvent(event);
}

void ScanWindow::updateControls()
{
    m_scanButton->setEnabled(!m_running);
    m_findButton->setEnabled(!m_running);
    m_range->setEnabled(!m_running);
    m_attempts->setEnabled(!m_running);
    m_cancelButton->setEnabled(m_running);
    m_selectButton->setEnabled(!m_running && !m_table->selectedItems().isEmpty());
}

#include "healthwindow.h"

#include "pagehost.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QLabel>
#include <QListWidget>
#include <QMutexLocker>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
constexpr int kRefreshMs = 3000;

QString badgeText(health::Verdict v)
{
    return health::verdictSymbol(v) + QLatin1Char(' ') + health::verdictWord(v);
}

QString badgeStyle(health::Verdict v)
{
    return QStringLiteral("QPushButton { color: white; background: %1; font-weight: bold; "
                          "padding: 0 6px; }")
            .arg(health::verdictColor(v));
}
} // namespace

HealthWindow::HealthWindow(PageHost &host, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_host(host)
{
    setObjectName(QStringLiteral("HealthWindow"));
    setWindowTitle(tr("状态"));
    resize(823, 631);
    auto *layout = new QVBoxLayout(this);
    m_verdict = new QLabel(this);
    m_verdict->setObjectName(QStringLiteral("label_verdict"));
    m_verdict->setMinimumHeight(36);
    m_identity = new QLabel(this);
    m_identity->setObjectName(QStringLiteral("label_identity"));
    m_identity->setWordWrap(true);
    m_identity->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_reasons = new QListWidget(this);
    m_reasons->setObjectName(QStringLiteral("list_reasons"));
    m_additional = new QLabel(this);
    m_additional->setObjectName(QStringLiteral("label_additional"));
    m_additional->setWordWrap(true);
    m_additional->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_variables = new QTableWidget(0, 5, this);
    m_variables->setObjectName(QStringLiteral("table_variables"));
    m_variables->setHorizontalHeaderLabels(
            {tr("变量"), tr("数值"), tr("单位代码"), tr("分类"), tr("状态")});
    m_variables->horizontalHeader()->setStretchLastSection(true);
    m_variables->verticalHeader()->hide();
    m_variables->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_message = new QLabel(this);
    m_message->setObjectName(QStringLiteral("label_message"));
    m_acknowledge = new QPushButton(tr("确认"), this);
    m_acknowledge->setObjectName(QStringLiteral("pushButton_queren"));
    m_acknowledge->setToolTip(tr("把读到的附加状态发回设备，清除本主站的“更多的状态可用”"));
    m_reset = new QPushButton(tr("复位组态变更"), this);
    m_reset->setObjectName(QStringLiteral("pushButton_fuweizutaibiangeng"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_message, 1);
    buttons->addWidget(m_acknowledge);
    buttons->addWidget(m_reset);

    layout->addWidget(m_verdict);
    layout->addWidget(m_identity);
    layout->addWidget(new QLabel(tr("原因"), this));
    layout->addWidget(m_reasons, 2);
    layout->addWidget(m_additional);
    layout->addWidget(new QLabel(tr("设备变量"), this));
    layout->addWidget(m_variables, 2);
    layout->addLayout(buttons);

    connect(m_acknowledge, &QPushButton::clicked, this, &HealthWindow::acknowledgeRequested);
    connect(m_reset, &QPushButton::clicked, this, &HealthWindow::resetRequested);
    connect(&m_refresh, &QTimer::timeout, this, [this] {
        if (m_host.isPortOpen())
            m_host.sendRequest(QStringLiteral("read health"));
    });
    showReport(health::Report());
}

void HealthWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_host.isPortOpen())
        m_host.sendRequest(QStringLiteral("read health"));
    m_refresh.start(kRefreshMs);
}

void HealthWindow::hideEvent(QHideEvent *event)
{
    m_refresh.stop();
    QWidget::hideEvent(event);
}

void HealthWindow::showMessage(const QString &text)
{
    m_message->setText(text);
}

void HealthWindow::showReport(const health::Report &r)
{
    using namespace health;
    const Verdict v = r.found ? r.assessment.verdict : Verdict::Unknown;
    m_verdict->setText(QStringLiteral("<span style='font-size:16pt'>%1</span>  %2")
                               .arg(verdictSymbol(v).toHtmlEscaped(), verdictWord(v).toHtmlEscaped()));
    m_verdict->setStyleSheet(
            QStringLiteral("color: white; background: %1; padding: 4px;").arg(verdictColor(v)));

    const Identity &id = r.identity;
    QStringList lines;
    if (r.found) {
        lines << tr("通用命令版本 %1，制造商 0x%2，设备类型 0x%3，设备标识 %4")
                         .arg(id.universalRevision)
                         .arg(id.manufacturerId, 2, 16, QLatin1Char('0'))
                         .arg(id.deviceType, id.universalRevision >= 7 ? 4 : 2, 16, QLatin1Char('0'))
                         .arg(id.deviceId, 6, 16, QLatin1Char('0'));
        QStringList more;
        if (id.configChangeCounter.present)
            more << tr("组态变更计数 %1").arg(id.configChangeCounter.value);
        if (id.maxDeviceVariables.present)
            more << tr("设备变量数 %1").arg(id.maxDeviceVariables.value);
        if (id.manufacturerCode.present)
            more << tr("制造商代码 0x%1").arg(id.manufacturerCode.value, 4, 16, QLatin1Char('0'));
        if (id.privateLabel.present)
            more << tr("私有标签 0x%1").arg(id.privateLabel.value, 4, 16, QLatin1Char('0'));
        if (id.deviceProfile.present)
            more << deviceProfileText(id.deviceProfile.value);
        if (!more.isEmpty())
            lines << more.join(tr("，"));
    } else {
        lines << tr("请先查询仪表");
    }
    m_identity->setText(lines.join(QLatin1Char('\n')));

    m_reasons->clear();
    m_reasons->addItems(r.assessment.reasons);
    if (r.found && r.assessment.reasons.isEmpty())
        m_reasons->addItem(v == Verdict::Unknown ? tr("设备未提供附加状态") : tr("无"));

    m_additional->setText(r.additional.present
                                  ? tr("附加状态（命令48）：%1").arg(additionalStatusHex(r.additional))
                                  : tr("附加状态（命令48）：未读取"));

    m_variables->setRowCount(r.variables.size());
    for (int i = 0; i < r.variables.size(); ++i) {
        const Variable &var = r.variables[i];
        const QStringList cells{
                var.name, QString::number(double(var.value), 'g', 6), QString::number(var.units),
                var.classification.present ? QString::number(var.classification.value)
                                           : QStringLiteral("-"),
                var.status.present ? variableStatusText(var.status.value) : QStringLiteral("-")};
        for (int c = 0; c < cells.size(); ++c)
            m_variables->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    m_acknowledge->setEnabled(r.found && id.universalRevision >= 7 && r.additional.present
                              && r.additional.length > 0);
    m_reset->setEnabled(r.found);
}

HealthMonitor::HealthMonitor(PageHost &host, QPushButton *badge, QObject *parent)
    : QObject(parent)
    , m_host(host)
    , m_badge(badge)
{ }

health::Report HealthMonitor::currentReport()
{
    HealthRecord record;
    {
        QMutexLocker lock(&m_host.dataLock());
        record = healthRecord;
    }
    return health::makeReport(record);
}

void HealthMonitor::openWindow(QWidget *parent)
{
    if (!m_window) {
        m_window = new HealthWindow(m_host, parent);
        connect(m_window, &HealthWindow::acknowledgeRequested, this,
                [this] { m_host.sendRequest(QStringLiteral("acknowledge status")); });
        connect(m_window, &HealthWindow::resetRequested, this,
                [this] { m_host.sendRequest(QStringLiteral("reset config changed")); });
    }
    m_window->showReport(currentReport());
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void HealthMonitor::refresh(bool recordChange)
{
    const health::Report r = currentReport();
    const health::Verdict v = r.found ? r.assessment.verdict : health::Verdict::Unknown;
    m_badge->setText(badgeText(v));
    m_badge->setStyleSheet(badgeStyle(v));
    m_badge->setAccessibleName(badgeText(v));
    if (m_window)
        m_window->showReport(r);
    const QString reasons = r.assessment.reasons.join(QLatin1Char('\n'));
    if (recordChange && m_sink && r.found && (!m_known || v != m_verdict)) {
        QJsonObject payload = health::toJson(r);
        payload.insert(QStringLiteral("previous"),
                       m_known ? health::verdictKey(m_verdict) : QString());
        m_sink(QStringLiteral("health"), payload);
    }
    m_verdict = v;
    m_lastReasons = reasons;
    m_known = r.found;
}

void HealthMonitor::onWorkerResult(const QString &message)
{
    if (message == QLatin1String("search meter succeed")) {
        m_known = false;
        HealthRecord record;
        {
            QMutexLocker lock(&m_host.dataLock());
            record = healthRecord;
        }
        // Revision 5 has nothing more to say than its status byte: no further traffic.
        if (record.universalRevision() >= 6)
            m_host.sendRequest(QStringLiteral("read health"));
        refresh(record.universalRevision() < 6);
    } else if (message == QLatin1String("read health succeed")
               || message == QLatin1String("reset config changed succeed")) {
        refresh(true);
        if (m_window && message.startsWith(QLatin1String("reset")))
            m_window->showMessage(tr("组态变更已复位"));
    } else if (message == QLatin1String("acknowledge status succeed")) {
        const health::Report r = currentReport();
        if (m_sink && r.found)
            m_sink(QStringLiteral("health-acknowledge"),
                   QJsonObject{{QStringLiteral("additionalStatus"),
                                health::additionalStatusHex(r.additional)},
                               {QStringLiteral("fieldDeviceStatus"), r.fieldStatus},
                               {QStringLiteral("reasons"),
                                QJsonArray::fromStringList(r.assessment.reasons)}});
        refresh(true);
        if (m_window)
            m_window->showMessage(tr("附加状态已确认"));
    } else if (message == QLatin1String("acknowledge status failed")) {
        refresh(false);
        if (m_window)
            m_window->showMessage(tr("确认失败"));
    } else if (message == QLatin1String("reset config changed failed")) {
        refresh(false);
        if (m_window)
            m_window->showMessage(tr("复位组态变更失败"));
    } else if (message == QLatin1String("close port succeed")) {
        m_badge->setText(tr("状态"));
        m_badge->setStyleSheet(QString());
        m_known = false;
    }
}

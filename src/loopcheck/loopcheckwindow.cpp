// The loop-check window: one run at a time, one point at a time. A run ends after its last
// point, on the technician's stop, or when the transmitter stops answering; whatever was read
// is kept, stored and shown.
#include "loopcheckwindow.h"

#include "certificate.h"
#include "loopchecklog.h"
#include "pageformat.h"
#include "pagehost.h"
#include "standardsregister.h"
#include "standardswindow.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QSysInfo>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QUuid>
#include <QVBoxLayout>

#include <algorithm>
#include <memory>

Q_LOGGING_CATEGORY(lcLoopCheck, "hart.loopcheck")

using namespace loopcheck;

// The error plot of the window: the certificate's own drawing, on screen.
class ErrorPlotWidget : public QWidget
{
public:
    using QWidget::QWidget;

    void setRuns(const Tolerance &tolerance, const std::optional<Run> &asFound,
                 const std::optional<Run> &asLeft)
    {
        m_tolerance = tolerance;
        m_asFound = asFound;
        m_asLeft = asLeft;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        drawErrorPlot(p, QRectF(rect()).adjusted(4, 4, -4, -4), m_tolerance,
                      m_asFound ? &*m_asFound : nullptr, m_asLeft ? &*m_asLeft : nullptr, 1.0);
    }

private:
    Tolerance m_tolerance;
    std::optional<Run> m_asFound;
    std::optional<Run> m_asLeft;
};

namespace {

// Longer than the product's worst case of two commands with all their retries.
constexpr int kWatchdogMs = 45000;

const QStringList kColumns = {QStringLiteral("点 %"),     QStringLiteral("方向"),
                              QStringLiteral("施加值"),   QStringLiteral("PV"),
                              QStringLiteral("PV误差 %"), QStringLiteral("电流 mA"),
                              QStringLiteral("电流误差 %"), QStringLiteral("回差 %"),
                              QStringLiteral("TUR"),      QStringLiteral("结论")};

QTableWidget *makeTable(const char *name)
{
    auto *table = new QTableWidget(0, kColumns.size());
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels(kColumns);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    // Columns as wide as their numbers; the verdict takes what is left.
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setDefaultSectionSize(22);
    return table;
}

QLineEdit *makeEdit(const char *name, const QString &text = QString())
{
    auto *edit = new QLineEdit(text);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

QPushButton *makeButton(const char *name, const QString &text)
{
    auto *button = new QPushButton(text);
    button->setObjectName(QLatin1String(name));
    return button;
}

QString number(double value, int decimals)
{
    return std::isfinite(value) ? QString::number(value, 'f', decimals) : QStringLiteral("—");
}

} // namespace

LoopCheckWindow::LoopCheckWindow(PageHost &host, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_host(host)
    , m_numberSource(&LoopCheckWindow::defaultCertificateNumber)
    , m_openViewer([](const QUrl &url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("LoopCheckWindow"));
    setWindowTitle(QStringLiteral("校验"));
    buildForm();
    m_watchdog.setSingleShot(true);
    m_watchdog.setInterval(kWatchdogMs);
    connect(&m_watchdog, &QTimer::timeout, this, &LoopCheckWindow::onRequestFailed);
    resize(823, 631);
    updateControls();
}

LoopCheckWindow::~LoopCheckWindow()
{
    if (m_export)
        m_export->wait();
}

QString LoopCheckWindow::defaultCertificateNumber(const Setup &setup)
{
    Q_UNUSED(setup)
    return QStringLiteral("LC-%1-%2").arg(
            QDate::currentDate().toString(QStringLiteral("yyyyMMdd")),
            QUuid::createUuid().toString(QUuid::Id128).left(12).toUpper());
}

void LoopCheckWindow::buildForm()
{
    auto *setupBox = new QGroupBox(QStringLiteral("设置"));
    auto *grid = new QGridLayout(setupBox);
    m_points = makeEdit("lineEdit_points", pointsText(Setup().pointsPercent));
    m_points->setToolTip(QStringLiteral("%1~%2个点，量程的百分数，逗号分隔").arg(kMinPoints).arg(kMaxPoints));
    m_toleranceUpper = makeEdit("lineEdit_toleranceUpper", QStringLiteral("0.25"));
    m_toleranceLower = makeEdit("lineEdit_toleranceLower", QStringLiteral("-0.25"));
    m_toleranceUpper->setToolTip(QStringLiteral("允差上限，量程的百分数"));
    m_toleranceLower->setToolTip(QStringLiteral("允差下限，量程的百分数，可与上限不对称"));
    m_referenceName = makeEdit("lineEdit_referenceName");
    m_referenceSerial = makeEdit("lineEdit_referenceSerial");
    m_referenceDue = new QDateEdit(QDate::currentDate().addYears(1));
    m_referenceDue->setObjectName(QStringLiteral("dateEdit_referenceDue"));
    m_referenceDue->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_referenceDue->setCalendarPopup(true);
    m_technician = makeEdit("lineEdit_technician");
    m_station = makeEdit("lineEdit_station", QSysInfo::machineHostName());
    auto label = [](const QString &text) { return new QLabel(text); };
    auto *toleranceRow = new QHBoxLayout;
    toleranceRow->addWidget(m_toleranceLower);
    toleranceRow->addWidget(label(QStringLiteral("~")));
    toleranceRow->addWidget(m_toleranceUpper);
    grid->addWidget(label(QStringLiteral("校验点 %")), 0, 0);
    grid->addWidget(m_points, 0, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("允差 % 量程")), 0, 4);
    grid->addLayout(toleranceRow, 0, 5);
    grid->addWidget(label(QStringLiteral("标准器")), 1, 0);
    grid->addWidget(m_referenceName, 1, 1);
    grid->addWidget(label(QStringLiteral("编号")), 1, 2);
    grid->addWidget(m_referenceSerial, 1, 3);
    grid->addWidget(label(QStringLiteral("有效期至")), 1, 4);
    grid->addWidget(m_referenceDue, 1, 5);
    grid->addWidget(label(QStringLiteral("校验员")), 2, 0);
    grid->addWidget(m_technician, 2, 1);
    grid->addWidget(label(QStringLiteral("站点")), 2, 2);
    grid->addWidget(m_station, 2, 3);
    m_pressureStandard = new QComboBox;
    m_pressureStandard->setObjectName(QStringLiteral("comboBox_pressureStandard"));
    m_currentStandard = new QComboBox;
    m_currentStandard->setObjectName(QStringLiteral("comboBox_currentStandard"));
    m_rule = new QComboBox;
    m_rule->setObjectName(QStringLiteral("comboBox_decisionRule"));
    m_rule->addItem(tr("简单接受"));
    m_rule->addItem(tr("保护带 w=U"));
    m_rule->setToolTip(tr("ILAC-G8:09/2019 判定规则"));
    m_interval = new QSpinBox;
    m_interval->setObjectName(QStringLiteral("spinBox_interval"));
    m_interval->setRange(1, kMaxIntervalMonths);
    m_interval->setValue(12);
    m_interval->setSuffix(tr(" 月"));
    fillStandardCombos();
    grid->addWidget(label(tr("压力标准器")), 3, 0);
    grid->addWidget(m_pressureStandard, 3, 1);
    grid->addWidget(label(tr("电流标准器")), 3, 2);
    grid->addWidget(m_currentStandard, 3, 3);
    grid->addWidget(label(tr("判定规则")), 2, 4);
    grid->addWidget(m_rule, 2, 5);
    grid->addWidget(label(tr("校验周期")), 3, 4);
    grid->addWidget(m_interval, 3, 5);
    grid->setColumnStretch(1, 3);
    grid->setColumnStretch(3, 2);
    grid->setColumnStretch(5, 2);

    m_runKind = new QComboBox;
    m_runKind->setObjectName(QStringLiteral("comboBox_runKind"));
    m_runKind->addItem(runKindText(RunKind::AsFound));
    m_runKind->addItem(runKindText(RunKind::AsLeft));
    m_start = makeButton("pushButton_start", QStringLiteral("开始"));
    m_stop = makeButton("pushButton_stop", QStringLiteral("停止"));
    auto *runRow = new QHBoxLayout;
    runRow->addWidget(label(QStringLiteral("本次")));
    runRow->addWidget(m_runKind);
    runRow->addWidget(m_start);
    runRow->addWidget(m_stop);
    runRow->addStretch(1);
    // The register and the due list belong to the check; the title bar has no room for them.
    QPushButton *standards = makeButton("pushButton_biaozhunqi", tr("标准器"));
    standards->setToolTip(tr("标准器登记：不确定度与有效期"));
    QPushButton *due = makeButton("pushButton_daoqi", tr("到期"));
    due->setToolTip(tr("到期清单：应校验的变送器"));
    connect(standards, &QPushButton::clicked, this, &LoopCheckWindow::showStandardsWindow);
    connect(due, &QPushButton::clicked, this, &LoopCheckWindow::showDueList);
    runRow->addWidget(standards);
    runRow->addWidget(due);

    m_prompt = new QLabel;
    m_prompt->setObjectName(QStringLiteral("label_prompt"));
    m_prompt->setWordWrap(true);
    m_applied = makeEdit("lineEdit_applied");
    m_applied->setPlaceholderText(QStringLiteral("施加值"));
    m_applied->setMinimumWidth(110);
    m_ammeter = makeEdit("lineEdit_ammeter");
    m_ammeter->setPlaceholderText(QStringLiteral("电流表 mA"));
    m_ammeter->setToolTip(QStringLiteral("可选：电流表读得的回路电流，填写时按它判定电流误差"));
    m_ammeter->setMinimumWidth(150);
    m_read = makeButton("pushButton_read", QStringLiteral("读取"));
    auto *pointRow = new QHBoxLayout;
    pointRow->addWidget(m_prompt, 3);
    pointRow->addWidget(m_applied, 1);
    pointRow->addWidget(m_ammeter, 1);
    pointRow->addWidget(m_read);

    m_asFoundTable = makeTable("tableWidget_asFound");
    m_asLeftTable = makeTable("tableWidget_asLeft");
    m_plot = new ErrorPlotWidget;
    m_plot->setObjectName(QStringLiteral("widget_errorPlot"));
    m_tabs = new QTabWidget;
    m_tabs->setObjectName(QStringLiteral("tabWidget_runs"));
    m_tabs->addTab(m_asFoundTable, runKindText(RunKind::AsFound));
    m_tabs->addTab(m_asLeftTable, runKindText(RunKind::AsLeft));
    m_tabs->addTab(m_plot, QStringLiteral("误差图"));

    m_asFoundVerdict = new QLabel;
    m_asFoundVerdict->setObjectName(QStringLiteral("label_asFoundVerdict"));
    m_asLeftVerdict = new QLabel;
    m_asLeftVerdict->setObjectName(QStringLiteral("label_asLeftVerdict"));
    m_exportButton = makeButton("pushButton_exportCertificate", QStringLiteral("导出证书"));
    m_newCheck = makeButton("pushButton_newCheck", QStringLiteral("新校验"));
    auto *verdictRow = new QHBoxLayout;
    verdictRow->addWidget(m_asFoundVerdict, 1);
    verdictRow->addWidget(m_asLeftVerdict, 1);
    verdictRow->addWidget(m_newCheck);
    verdictRow->addWidget(m_exportButton);

    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("label_message"));
    m_message->setWordWrap(true);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(setupBox);
    layout->addLayout(runRow);
    layout->addLayout(pointRow);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(verdictRow);
    layout->addWidget(m_message);

    connect(m_start, &QPushButton::clicked, this, &LoopCheckWindow::startRun);
    connect(m_stop, &QPushButton::clicked, this, &LoopCheckWindow::stopRun);
    connect(m_read, &QPushButton::clicked, this, &LoopCheckWindow::readPoint);
    connect(m_applied, &QLineEdit::returnPressed, this, &LoopCheckWindow::readPoint);
    connect(m_newCheck, &QPushButton::clicked, this, &LoopCheckWindow::newCheck);
    connect(m_exportButton, &QPushButton::clicked, this, &LoopCheckWindow::chooseExportPath);
    for (RunKind kind : {RunKind::AsFound, RunKind::AsLeft})
        verdictLabelFor(kind)->setText(runKindText(kind) + QStringLiteral("：— 未进行"));
}

const std::optional<Run> &LoopCheckWindow::lastRun(RunKind kind) const
{
    return kind == RunKind::AsFound ? m_asFound : m_asLeft;
}

QTableWidget *LoopCheckWindow::tableFor(RunKind kind) const
{
    return kind == RunKind::AsFound ? m_asFoundTable : m_asLeftTable;
}

QLabel *LoopCheckWindow::verdictLabelFor(RunKind kind) const
{
    return kind == RunKind::AsFound ? m_asFoundVerdict : m_asLeftVerdict;
}

void LoopCheckWindow::showMessage(const QString &text, bool problem)
{
    // A symbol as well as the colour; a note under way (ending in "...") has neither.
    const bool underWay = text.endsWith(QLatin1String("..."));
    const QString symbol = text.isEmpty() || underWay ? QString()
            : problem                               ? QStringLiteral("✘ ")
                                                    : QStringLiteral("✔ ");
    m_message->setText(symbol + text);
    m_message->setStyleSheet(problem ? QStringLiteral("color: rgb(190, 0, 0);") : QString());
    if (problem && !text.isEmpty())
        qCDebug(lcLoopCheck).noquote() << "loop check:" << text;
}

void LoopCheckWindow::updateControls()
{
    const bool idle = m_state == State::Idle;
    // The set-up is taken when a run starts; it stays as taken until the run ends.
    QWidget *const setupWidgets[] = {m_points,         m_toleranceUpper,   m_toleranceLower,
                                     m_referenceName,  m_referenceSerial,  m_referenceDue,
                                     m_technician,     m_station,          m_runKind,
                                     m_start,          m_newCheck,         m_pressureStandard,
                                     m_currentStandard, m_rule,            m_interval};
    for (QWidget *w : setupWidgets)
        w->setEnabled(idle);
    m_exportButton->setEnabled(idle && !m_export && (m_asFound || m_asLeft));
    const bool waiting = m_state == State::WaitingApplied;
    m_applied->setEnabled(waiting);
    m_ammeter->setEnabled(waiting);
    m_read->setEnabled(waiting);
    m_stop->setEnabled(waiting);
}

bool LoopCheckWindow::collectSetup(Setup &setup)
{
    QString message;
    if (!parsePoints(m_points->text(), setup.pointsPercent, message)) {
        showMessage(message, true);
        return false;
    }
    if (!parseNumber(m_toleranceUpper->text(), setup.tolerance.upperPercent)
        || !parseNumber(m_toleranceLower->text(), setup.tolerance.lowerPercent)) {
        showMessage(QStringLiteral("允差不是数字"), true);
        return false;
    }
    message = checkTolerance(setup.tolerance);
    if (!message.isEmpty()) {
        showMessage(message, true);
        return false;
    }
    setup.rule = m_rule->currentIndex() == 1 ? DecisionRule::GuardBanded : DecisionRule::Simple;
    m_dueWarning.clear();
    const QDate today = QDate::currentDate();
    for (QComboBox *combo : {m_pressureStandard, m_currentStandard}) {
        const qint64 id = combo->currentData().toLongLong();
        if (id <= 0)
            continue;
        auto it = std::find_if(m_standards.cbegin(), m_standards.cend(),
                               [id](const Standard &st) { return st.id == id; });
        if (it == m_standards.cend())
            continue;
        const QString due = dueMessage(*it, today);
        if (dueState(it->due, today) == DueState::Expired) {
            showMessage(due, true);
            return false;
        }
        if (!due.isEmpty())
            m_dueWarning += (m_dueWarning.isEmpty() ? QString() : QStringLiteral("；")) + due;
        if (combo == m_pressureStandard) {
            setup.pressureStandard = *it;
            // The register's standard is the reference the certificate names.
            m_referenceName->setText(it->name);
            m_referenceSerial->setText(it->serial);
            m_referenceDue->setDate(it->due);
        } else {
            setup.currentStandard = *it;
        }
    }
    if (setup.rule == DecisionRule::GuardBanded && !setup.pressureStandard) {
        showMessage(tr("保护带判定须从登记中选择压力标准器（需要其不确定度U）"), true);
        return false;
    }
    setup.reference.name = m_referenceName->text().trimmed();
    setup.reference.serial = m_referenceSerial->text().trimmed();
    setup.reference.certificateDue = m_referenceDue->date();
    setup.technician = m_technician->text().trimmed();
    setup.station = m_station->text().trimmed();
    if (setup.reference.name.isEmpty() || setup.technician.isEmpty()) {
        showMessage(QStringLiteral("请填写标准器和校验员"), true);
        return false;
    }
    if (setup.reference.certificateDue < QDate::currentDate()) {
        showMessage(QStringLiteral("标准器证书已过期（%1）")
                            .arg(setup.reference.certificateDue.toString(QStringLiteral("yyyy-MM-dd"))),
                    true);
        return false;
    }
    return true;
}

void LoopCheckWindow::startRun()
{
    if (m_state != State::Idle)
        return;
    Setup setup;
    if (!collectSetup(setup))
        return;
    if (!m_host.isPortOpen() || (m_deviceFound && !m_deviceFound())) {
        showMessage(QStringLiteral("请先打开端口并查询仪表"), true);
        return;
    }
    m_run = Run();
    m_run.kind = m_runKind->currentIndex() == 1 ? RunKind::AsLeft : RunKind::AsFound;
    m_run.setup = setup;
    m_directions = directions(setup.pointsPercent);
    m_state = State::ReadingSetup;
    updateControls();
    showMessage(m_dueWarning, false);
    m_prompt->setText(QStringLiteral("正在读取位号和量程..."));
    m_watchdog.start();
    m_host.startRequest(QStringLiteral("read loop check setup"), QStringLiteral("正在读取校验设置..."),
                        WhileBusy::KeepPage);
}

namespace {

QString identityKey(const DeviceData &d, const kvhart_master::Addressing &address)
{
    return QStringLiteral("%1-%2-%3")
            .arg(d.manufacturerId, 2, 16, QLatin1Char('0'))
            .arg(d.deviceType, 2, 16, QLatin1Char('0'))
            .arg(pagefmt::deviceIdentifier(address.uniqueAddress), 6, 16, QLatin1Char('0'))
            .toUpper();
}

} // namespace

QString LoopCheckWindow::checkIdentity() const
{
    if (m_asFound)
        return m_asFound->identity.uniqueId;
    if (m_asLeft)
        return m_asLeft->identity.uniqueId;
    return QString();
}

void LoopCheckWindow::closeCheckFor(const QString &otherId)
{
    if (m_state == State::ReadingSetup || m_state == State::ReadingPoint) {
        m_otherFound = otherId; // the request's own result ends the run
        return;
    }
    // A run under way stops with what it read; its runs are stored already or now.
    if (m_state == State::WaitingApplied)
        finishRun(QStringLiteral("已找到另一台变送器"));
    const QString previous = checkIdentity();
    if (previous.isEmpty() || previous == otherId)
        return;
    resetCheck();
    showMessage(QStringLiteral("已找到另一台变送器（%1），%2的校验已结束并保存，开始新校验")
                        .arg(otherId, previous),
                false);
    qCDebug(lcLoopCheck).noquote() << "loop check of" << previous << "closed for" << otherId;
}

void LoopCheckWindow::setRegister(StandardsRegister *reg)
{
    m_register = reg;
    reloadStandards();
    if (m_deviceFound && m_deviceFound())
        loadSettingsFor(identityKey(copyDeviceData(m_host), m_host.addressing()));
}

void LoopCheckWindow::showStandardsWindow()
{
    if (!m_register)
        return;
    if (!m_standardsWindow) {
        m_standardsWindow = new StandardsWindow(*m_register, this);
        connect(m_standardsWindow, &StandardsWindow::standardsChanged, this,
                &LoopCheckWindow::reloadStandards);
    }
    m_standardsWindow->show();
    m_standardsWindow->raise();
    m_standardsWindow->activateWindow();
}

void LoopCheckWindow::showDueList()
{
    if (!m_register)
        return;
    if (!m_dueList)
        m_dueList = new DueListWindow(*m_register, this);
    else
        m_dueList->reload();
    m_dueList->show();
    m_dueList->raise();
    m_dueList->activateWindow();
}

void LoopCheckWindow::fillStandardCombos()
{
    const QDate today = QDate::currentDate();
    for (QComboBox *combo : {m_pressureStandard, m_currentStandard}) {
        const qint64 keep = combo->currentData().toLongLong();
        combo->clear();
        combo->addItem(combo == m_pressureStandard ? tr("— 手填 —") : tr("— 无 —"), qint64(0));
        const Quantity wanted = combo == m_pressureStandard ? Quantity::Pressure : Quantity::Current;
        for (const Standard &st : m_standards) {
            if (st.quantity != wanted && !(combo == m_pressureStandard && st.quantity == Quantity::Temperature))
                continue;
            const DueState due = dueState(st.due, today);
            combo->addItem(QStringLiteral("%1 %2%3").arg(st.name, st.serial,
                                                          due == DueState::Expired ? tr(" （已过期）")
                                                          : due == DueState::DueSoon ? tr(" （将到期）")
                                                                                     : QString()),
                           st.id);
            combo->setItemData(combo->count() - 1, uncertaintyText(st), Qt::ToolTipRole);
        }
        const int index = combo->findData(keep);
        combo->setCurrentIndex(index < 0 ? 0 : index);
    }
}

void LoopCheckWindow::reloadStandards()
{
    if (!m_register)
        return;
    auto out = std::make_shared<QVector<Standard>>();
    auto error = std::make_shared<QString>();
    m_register->run(
            this,
            [out, error](StandardsDb &db, const QString &openError) {
                *error = openError;
                if (openError.isEmpty())
                    *out = db.standards(error.get());
            },
            [this, out, error] {
                if (!error->isEmpty()) {
                    showMessage(*error, true);
                    return;
                }
                m_standards = *out;
                fillStandardCombos();
            });
}

void LoopCheckWindow::loadSettingsFor(const QString &device)
{
    if (!m_register || device.isEmpty())
        return;
    auto out = std::make_shared<std::optional<TransmitterSettings>>();
    m_register->run(
            this,
            [out, device](StandardsDb &db, const QString &openError) {
                if (openError.isEmpty())
                    *out = db.settings(device, nullptr);
            },
            [this, out] {
                // What was used last time is offered, never forced on a run under way.
                if (!*out || m_state != State::Idle)
                    return;
                const TransmitterSettings &s = **out;
                m_points->setText(pointsText(s.pointsPercent));
                m_toleranceLower->setText(QString::number(s.tolerance.lowerPercent));
                m_toleranceUpper->setText(QString::number(s.tolerance.upperPercent));
                m_interval->setValue(s.intervalMonths);
            });
}

void LoopCheckWindow::rememberRun(const Run &run)
{
    if (!m_register || run.identity.uniqueId.isEmpty())
        return;
    const bool passed = run.kind == RunKind::AsLeft && run.stopReason.isEmpty()
            && verdict(run) == Verdict::Pass
            && (!run.setup.pressureStandard || int(runOutcome(run)) <= int(Outcome::ConditionalPass));
    TransmitterSettings s;
    s.device = run.identity.uniqueId;
    s.tag = run.identity.tag;
    s.tolerance = run.setup.tolerance;
    s.pointsPercent = run.setup.pointsPercent;
    s.intervalMonths = m_interval->value();
    const QDate finished = run.finished.date();
    m_register->run(
            this,
            [s, passed, finished](StandardsDb &db, const QString &openError) mutable {
                if (!openError.isEmpty())
                    return;
                const auto before = db.settings(s.device, nullptr);
                s.lastPassed = passed ? finished : before ? before->lastPassed : QDate();
                db.saveSettings(s, nullptr);
            },
            [] {});
}

void LoopCheckWindow::onSearchSucceeded()
{
    const QString found = identityKey(copyDeviceData(m_host), m_host.addressing());
    loadSettingsFor(found);
    const QString current = m_state == State::Idle || m_state == State::ReadingSetup
            ? checkIdentity()
            : m_run.identity.uniqueId;
    if (!current.isEmpty() && found != current)
        closeCheckFor(found);
}

void LoopCheckWindow::onWorkerResult(const QString &message)
{
    if (message == QLatin1String("search meter succeed")) {
        onSearchSucceeded();
        return;
    }
    if (m_state == State::ReadingSetup) {
        if (message == QLatin1String("read loop check setup succeed"))
            onSetupRead();
        else if (message == QLatin1String("read loop check setup failed"))
            onRequestFailed();
    } else if (m_state == State::ReadingPoint) {
        if (message == QLatin1String("read loop check point succeed"))
            onPointRead();
        else if (message == QLatin1String("read loop check point failed"))
            onRequestFailed();
    }
}

void LoopCheckWindow::onSetupRead()
{
    m_watchdog.stop();
    const DeviceData d = copyDeviceData(m_host);
    const kvhart_master::Addressing address = m_host.addressing();
    Range range;
    range.lowerValue = double(d.lowerRangeValue);
    range.upperValue = double(d.upperRangeValue);
    range.unit = pagefmt::unitText(std::uint8_t(d.pvUnits & 0xFF));
    range.squareRoot = d.transferFunction == 1;
    // A cut-off outside 0..50 % is no setting a transmitter would run with: none is assumed.
    const double cutoff = double(d.smallSignalCutoff);
    range.cutoffPercent = std::isfinite(cutoff) && cutoff > 0.0 && cutoff <= 50.0 ? cutoff : 0.0;
    range.cutoffMode = d.cutoffMode <= 2 ? d.cutoffMode : 0;
    range.lowFlowCutoffPercent = kLowFlowCutoffPercent;
    const QString problem = checkRange(range);
    if (!problem.isEmpty()) {
        m_state = State::Idle;
        m_prompt->clear();
        showMessage(problem, true);
        updateControls();
        return;
    }
    m_run.range = range;
    m_run.identity.tag = pagefmt::unpackedText(d.tag, sizeof d.tag).trimmed();
    m_run.identity.uniqueId = identityKey(d, address);
    m_otherFound.clear(); // the identity was just read; it decides
    // As found and as left certify one transmitter: another one begins a check of its own.
    const QString previous = checkIdentity();
    if (!previous.isEmpty() && previous != m_run.identity.uniqueId) {
        resetCheck();
        showMessage(QStringLiteral("已找到另一台变送器（%1），%2的校验已结束并保存，开始新校验")
                            .arg(m_run.identity.uniqueId, previous),
                    false);
    }
    m_run.identity.sensorSerial = QString::number(pagefmt::get24(d.sensorSerial));
    m_run.identity.revisions = QStringLiteral("通用 %1 / 设备 %2 / 软件 %3 / 硬件 %4")
                                       .arg(d.universalRevision)
                                       .arg(d.deviceRevision)
                                       .arg(d.softwareRevision)
                                       .arg(d.hardwareRevision);
    m_run.started = QDateTime::currentDateTime();
    qCDebug(lcLoopCheck).noquote() << "loop check" << runKindText(m_run.kind) << "of"
                                   << m_run.identity.tag << "range" << range.lowerValue
                                   << range.upperValue << range.unit;
    m_state = State::WaitingApplied;
    tableFor(m_run.kind)->setRowCount(0);
    m_tabs->setCurrentWidget(tableFor(m_run.kind));
    showRun(m_run);
    showPrompt();
    updateControls();
    m_applied->setFocus();
}

void LoopCheckWindow::showPrompt()
{
    const int index = m_run.readings.size();
    const double point = m_run.setup.pointsPercent.value(index);
    m_prompt->setText(QStringLiteral("第%1/%2点 %3% %4：请施加 %5 %6，输入施加值后读取")
                              .arg(index + 1)
                              .arg(m_run.setup.pointsPercent.size())
                              .arg(point)
                              .arg(directionText(m_directions.value(index)))
                              .arg(QString::number(nominalValue(m_run.range, point), 'g', 7),
                                   m_run.range.unit));
}

void LoopCheckWindow::readPoint()
{
    if (m_state != State::WaitingApplied)
        return;
    double applied = 0.0;
    if (!parseNumber(m_applied->text(), applied)) {
        showMessage(QStringLiteral("施加值“%1”不是数字").arg(m_applied->text().left(20)), true);
        return;
    }
    QString problem = checkApplied(m_run.range, applied);
    if (!problem.isEmpty()) {
        showMessage(problem, true);
        return;
    }
    double ammeter = std::numeric_limits<double>::quiet_NaN();
    if (!m_ammeter->text().trimmed().isEmpty()) {
        if (!parseNumber(m_ammeter->text(), ammeter) || ammeter < 0.0 || ammeter > 30.0) {
            showMessage(QStringLiteral("电流表读数“%1”无效（0~30 mA）").arg(m_ammeter->text().left(20)),
                        true);
            return;
        }
    }
    if (!m_host.isPortOpen()) {
        finishRun(QStringLiteral("端口已关闭"));
        return;
    }
    m_pendingApplied = applied;
    m_pendingAmmeter = ammeter;
    m_state = State::ReadingPoint;
    updateControls();
    showMessage(QString(), false);
    m_watchdog.start();
    m_host.startRequest(QStringLiteral("read loop check point"), QStringLiteral("正在读取校验点..."),
                        WhileBusy::KeepPage);
}

void LoopCheckWindow::onPointRead()
{
    m_watchdog.stop();
    if (!m_otherFound.isEmpty()) {
        // This reading may be the other transmitter's: it is not the run's.
        const QString other = m_otherFound;
        m_otherFound.clear();
        finishRun(QStringLiteral("已找到另一台变送器"));
        closeCheckFor(other);
        return;
    }
    double pv, current;
    {
        QMutexLocker lock(&m_host.dataLock());
        pv = double(deviceData.pv);
        current = double(deviceData.loopCurrent);
    }
    if (!std::isfinite(pv) || !std::isfinite(current)) {
        finishRun(QStringLiteral("变送器读数无效"));
        return;
    }
    const int index = m_run.readings.size();
    const Reading r = evaluate(m_run.range, m_run.setup.tolerance, m_run.setup.pointsPercent[index],
                               m_directions[index], m_pendingApplied, pv, current, m_pendingAmmeter);
    qCDebug(lcLoopCheck).noquote()
            << QStringLiteral("loop check point %1%: applied %2 pv %3 current %4 -> %5 % / %6 %")
                       .arg(r.pointPercent)
                       .arg(r.applied)
                       .arg(r.pv)
                       .arg(r.currentMa)
                       .arg(r.pvErrorPercent)
                       .arg(r.currentErrorPercent);
    m_run.readings << r;
    m_applied->clear();
    m_ammeter->clear();
    if (m_run.readings.size() >= m_run.setup.pointsPercent.size()) {
        finishRun(QString());
        return;
    }
    m_state = State::WaitingApplied;
    showRun(m_run);
    showPrompt();
    updateControls();
    m_applied->setFocus();
}

void LoopCheckWindow::onRequestFailed()
{
    m_watchdog.stop();
    if (m_state == State::ReadingSetup) {
        m_state = State::Idle;
        m_prompt->clear();
        showMessage(QStringLiteral("变送器无应答，无法读取位号和量程"), true);
        m_host.setPortButtonsEnabled(true);
        updateControls();
    } else if (m_state == State::ReadingPoint) {
        m_host.setPortButtonsEnabled(true);
        finishRun(QStringLiteral("变送器无应答"));
    }
    if (!m_otherFound.isEmpty()) {
        const QString other = m_otherFound;
        m_otherFound.clear();
        closeCheckFor(other);
    }
}

void LoopCheckWindow::stopRun()
{
    if (m_state == State::WaitingApplied)
        finishRun(QStringLiteral("校验员中止"));
}

void LoopCheckWindow::finishRun(const QString &stopReason)
{
    m_run.finished = QDateTime::currentDateTime();
    m_run.stopReason = stopReason;
    if (m_certificateNumber.isEmpty())
        m_certificateNumber = m_numberSource ? m_numberSource(m_run.setup) : QString();
    if (m_certificateNumber.isEmpty())
        m_certificateNumber = defaultCertificateNumber(m_run.setup);
    m_run.certificateNumber = m_certificateNumber;
    (m_run.kind == RunKind::AsFound ? m_asFound : m_asLeft) = m_run;
    m_state = State::Idle;
    showRun(m_run);
    m_prompt->clear();
    const Verdict v = verdict(m_run);
    if (!stopReason.isEmpty())
        showMessage(QStringLiteral("%1，%2已中止，保留了%3个读数")
                            .arg(stopReason, runKindText(m_run.kind))
                            .arg(m_run.readings.size()),
                    true);
    else
        showMessage(QStringLiteral("%1完成：%2").arg(runKindText(m_run.kind), verdictText(v)),
                    v != Verdict::Pass);
    if (m_sink)
        m_sink(m_run);
    rememberRun(m_run);
    if (m_run.kind == RunKind::AsFound && stopReason.isEmpty())
        m_runKind->setCurrentIndex(1);
    updateControls();
}

void LoopCheckWindow::showRun(const Run &run)
{
    QTableWidget *table = tableFor(run.kind);
    const bool judged = run.setup.pressureStandard.has_value();
    table->setRowCount(run.readings.size());
    for (int row = 0; row < run.readings.size(); ++row) {
        const Reading &r = run.readings[row];
        // Without a reference reading the current is only what the transmitter says it drives.
        const QString current = r.currentMeasured()
                ? number(r.ammeterMa, 4) + QStringLiteral(" (表)")
                : number(r.currentMa, 4) + QLatin1Char(' ') + tr("变送器自报");
        const QStringList cells = {QString::number(r.pointPercent),
                                   directionText(r.direction),
                                   QString::number(r.applied, 'g', 7),
                                   number(r.pv, 4),
                                   errorText(r.pvErrorPercent),
                                   current,
                                   errorText(r.currentErrorPercent),
                                   errorText(hysteresisAt(run.readings, r.pointPercent)),
                                   turText(readingTur(run, r)),
                                   judged ? outcomeText(readingOutcome(run, r))
                                          : verdictText(r.pass() ? Verdict::Pass : Verdict::Fail)};
        const bool lowTur = readingTur(run, r) < kMinTur;
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            item->setTextAlignment(Qt::AlignCenter);
            if (c == 5 && !r.currentMeasured())
                item->setToolTip(tr("电流未经测量：由命令2读得，不作判定"));
            if (c == 6 && r.cutoff != Cutoff::None)
                item->setToolTip(cutoffText(r.cutoff));
            if (c == 8 && lowTur) {
                item->setText(item->text() + QStringLiteral(" !"));
                item->setToolTip(tr("TUR低于4:1"));
            }
            if (c == cells.size() - 1 && !r.pass())
                item->setForeground(QColor(190, 0, 0));
            table->setItem(row, c, item);
        }
    }
    table->setHorizontalHeaderItem(2, new QTableWidgetItem(QStringLiteral("施加值 %1").arg(run.range.unit)));
    table->setHorizontalHeaderItem(3, new QTableWidgetItem(QStringLiteral("PV %1").arg(run.range.unit)));
    // The current's column is as wide as a number with the Chinese mark; a longer translation
    // of the mark wraps inside it rather than pushing the verdict out of sight.
    const QFontMetrics metrics(table->font());
    table->horizontalHeader()->setSectionResizeMode(5, QHeaderView::Interactive);
    table->setColumnWidth(5, std::max(metrics.horizontalAdvance(QStringLiteral("20.0000 变送器自报")),
                                      metrics.horizontalAdvance(kColumns[5]))
                                     + 16);
    table->resizeRowsToContents();
    if (table->rowCount() > 0)
        table->scrollToBottom();

    for (RunKind kind : {RunKind::AsFound, RunKind::AsLeft}) {
        const std::optional<Run> &last = lastRun(kind);
        QLabel *label = verdictLabelFor(kind);
        if (m_state != State::Idle && kind == m_run.kind) {
            label->setText(runKindText(kind) + QStringLiteral("：进行中"));
            label->setStyleSheet(QString());
        } else if (last) {
            const Verdict v = verdict(*last);
            label->setText(runKindText(kind) + QStringLiteral("：") + verdictText(v));
            label->setStyleSheet(v == Verdict::Pass ? QStringLiteral("color: rgb(0, 130, 0);")
                                                    : QStringLiteral("color: rgb(190, 0, 0);"));
        } else {
            label->setText(runKindText(kind) + QStringLiteral("：— 未进行"));
            label->setStyleSheet(QString());
        }
    }
    std::optional<Run> found = m_asFound, left = m_asLeft;
    if (m_state != State::Idle)
        (run.kind == RunKind::AsFound ? found : left) = run;
    m_plot->setRuns(run.setup.tolerance, found, left);
}

void LoopCheckWindow::newCheck()
{
    if (m_state != State::Idle)
        return;
    resetCheck();
}

void LoopCheckWindow::resetCheck()
{
    m_asFound.reset();
    m_asLeft.reset();
    m_certificateNumber.clear();
    m_asFoundTable->setRowCount(0);
    m_asLeftTable->setRowCount(0);
    m_runKind->setCurrentIndex(0);
    for (RunKind kind : {RunKind::AsFound, RunKind::AsLeft}) {
        verdictLabelFor(kind)->setText(runKindText(kind) + QStringLiteral("：— 未进行"));
        verdictLabelFor(kind)->setStyleSheet(QString());
    }
    m_plot->setRuns(Tolerance(), std::nullopt, std::nullopt);
    showMessage(QString(), false);
    updateControls();
}

void LoopCheckWindow::chooseExportPath()
{
    if (!m_asFound && !m_asLeft)
        return;
    const QString suggested = QDir::home().filePath(m_certificateNumber + QStringLiteral(".pdf"));
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("导出证书"), suggested,
                                                      QStringLiteral("PDF (*.pdf)"));
    if (!path.isEmpty())
        exportCertificate(path);
}

bool LoopCheckWindow::exportCertificate(const QString &path)
{
    if (m_export || m_state != State::Idle)
        return false;
    if (!m_asFound && !m_asLeft) {
        showMessage(QStringLiteral("没有校验数据，无法导出证书"), true);
        return false;
    }
    const QString mixed = checkSameTransmitter(m_asFound ? &*m_asFound : nullptr,
                                               m_asLeft ? &*m_asLeft : nullptr);
    if (!mixed.isEmpty()) {
        showMessage(mixed, true);
        return false;
    }
    Certificate certificate;
    certificate.number = m_certificateNumber;
    certificate.asFound = m_asFound;
    certificate.asLeft = m_asLeft;
    certificate.programVersion = QStringLiteral("V" HART_PROGRAM_VERSION);
    certificate.issued = QDateTime::currentDateTime();
    auto error = std::make_shared<QString>();
    QThread *thread = QThread::create(
            [certificate, path, error] { *error = writeCertificate(path, certificate); });
    thread->setParent(this); // goes with the window if it closes mid-export (after the wait)
    m_export = thread;
    connect(thread, &QThread::finished, this, [this, thread, path, error] {
        thread->deleteLater();
        m_export = nullptr;
        updateControls();
        if (error->isEmpty()) {
            showMessage(QStringLiteral("证书已导出：%1").arg(QDir::toNativeSeparators(path)), false);
            m_openViewer(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
        } else {
            showMessage(*error, true);
        }
        emit certificateWritten(path, *error);
    });
    updateControls();
    showMessage(QStringLiteral("正在导出证书..."), false);
    thread->start();
    return true;
}

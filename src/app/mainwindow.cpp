// The main window shell: construction, title bar, navigation and editions, port row, status
// line, the host interface of the pages and the result dispatcher.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "addresspage.h"
#include "backupactions.h"
#include "currenttrimpage.h"
#include "dialog_ask.h"
#include "dialog_warning.h"
#include "displaypage.h"
#include "factorytestpage.h"
#include "ftdilatency.h"
#include "hartthread.h"
#include "historyrecorder.h"
#include "historystore.h"
#include "historywindow.h"
#include "healthwindow.h"
#include "kvhart_master.h"
#include "linearizationpage.h"
#include "loopcheckwindow.h"
#include "standardsregister.h"
#include "meterinfopage.h"
#include "modbuspage.h"
#include "monitoringpage.h"
#include "moreinfopage.h"
#include "outputpage.h"
#include "pageformat.h"
#include "hartip.h"
#include "hartiplink.h"
#include "portaccess.h"
#include "portlist.h"
#include "portoptions.h"
#include "proprietarypage.h"
#include "pvzeropage.h"
#include "rangepage.h"
#include "rerangepage.h"
#include "scanwindow.h"
#include "resources.h"
#include "resulttable.h"
#include "secondcorrectionpage.h"
#include "sensorconfigpage.h"
#include "seriallink.h"
#include "startupsteps.h"
#include "trafficcapture.h"
#include "trafficwindow.h"
#include "transmitterinfopage.h"
#include "uintvalidator.h"
#include "usercalibrationpage.h"
#include "welcomepage.h"
#include "windowlog.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSerialPortInfo>
#include <QWindow>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// The object names of the stacked pages, by index.
constexpr const char *kPageNames[pageindex::Count] = {
        "page_3",  "page_4",  "page",    "page_2",  "page_5",  "page_6",  "page_7",
        "page_8",  "page_9",  "page_10", "page_19", "page_11", "page_12", "page_13",
        "page_14", "page_17", "page_15", "page_16", "page_20", "page_18"};

} // namespace

Q_LOGGING_CATEGORY(lcStartup, "hart.startup", QtInfoMsg)

// ---------------------------------------------------------------------------------------
// Construction and shutdown

Edition MainWindow::builtEdition()
{
#if HART_FACTORY_EDITION
    return Edition::Factory;
#else
    return Edition::User;
#endif
}

MainWindow::MainWindow(QWidget *parent)
    : MainWindow(builtEdition(), parent)
{ }

MainWindow::MainWindow(Edition edition, QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
    , m_edition(edition)
{
    StartupSteps steps("window");
    initWindowResources();
    ui->setupUi(this);
    ui->label_makeDate->setText(pagefmt::buildDateText(__DATE__));
    steps.mark("form");

    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setMouseTracking(true);

    QFile style(QStringLiteral(":/qss.css"));
    if (style.open(QIODevice::ReadOnly)) {
        qCDebug(lcWindow, "QSS文件加载成功");
        qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
        style.close();
    } else {
        qCDebug(lcWindow, "QSS文件打开失败");
    }
    steps.mark("style sheet");

    ui->label_mainTitle->setText(edition == Edition::Factory
                                         ? tr("HART智能变送器组态软件工厂版V0.8")
                                         : tr("HART智能变送器组态软件用户版V0.8"));
    setWindowTitle(ui->label_mainTitle->text());

    createValidators();
    createPortOptionsMenu();
    // The pages reach the record through the worker's lock from their first fill on; the
    // worker thread itself starts only once the window is built.
    m_worker = std::make_unique<hartThread>();
    m_link = std::make_unique<SerialLink>(m_worker->master());
    m_ipLink = std::make_unique<HartIpLink>(m_worker->master());
    createTrafficCapture();
    steps.mark("worker, link and capture");

    ui->widget_navigation->setHost(*this);
    connect(ui->widget_navigation, &NavigationBox::pageOpened, this, &MainWindow::onPageOpened);

    // The first thing the technician sees; the other pages follow the first paint.
    addPage(pageindex::Welcome, new WelcomePage);
    addPage(pageindex::Empty, new QWidget);
    showPage(pageindex::Welcome);
    steps.mark("welcome page");

    startWorker();

    connect(&m_tickTimer, &QTimer::timeout, this, &MainWindow::tickTimerSlot);
    m_tickTimer.start(100);

    {
        QMutexLocker lock(&m_worker->mutex);
        deviceData.factoryTestSelector = 1;
        deviceData.pv = std::numeric_limits<float>::infinity();
    }

    m_backup = std::make_unique<BackupActions>(*this, this, pageCollectors(), pageFillers());
    m_backup->installMenu(ui->pushButton_mainIcon, this, &MainWindow::duqubeifenshujuSlot,
                          &MainWindow::beifenshujuSlot);

    m_progressAnimation = new QPropertyAnimation(ui->progressBar, "value", this);
    m_progressAnimation->setDuration(200);

    connect(addTitleButton(QStringLiteral("pushButton_history"), tr("档案"),
                           tr("设备档案：每台变送器的记录与改动")),
            &QPushButton::clicked, this, &MainWindow::openHistoryWindow);
    connect(addTitleButton(QStringLiteral("pushButton_jiaoyan"), tr("校验"),
                           tr("回路校验：校准前、校准后与校准证书")),
            &QPushButton::clicked, this, &MainWindow::openLoopCheck);
    connect(addTitleButton(QStringLiteral("pushButton_scan"), tr("扫描"),
                           tr("多点回路：列出线上全部仪表，按位号查找")),
            &QPushButton::clicked, this, &MainWindow::openScan);
    createHealthBadge();
    steps.mark("worker start, backup menu and title bar");

    // Nothing the technician does may reach a page before it exists: the first input builds
    // the rest at once, and a window never shown (or never exposed) is built all the same.
    qApp->installEventFilter(this);
    QTimer::singleShot(0, this, [this] {
        if (!isVisible())
            ensureBuilt();
    });
    QTimer::singleShot(kLatestBuildMs, this, &MainWindow::ensureBuilt);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_built && windowHandle())
        windowHandle()->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (m_built)
        return QMainWindow::eventFilter(watched, event);
    if (watched == windowHandle() && event->type() == QEvent::Expose) {
        // Painted and on the screen first, then the rest of the window is built before the
        // event loop can deliver anything else.
        watched->event(event);
        if (windowHandle()->isExposed()) {
            QGuiApplication::sync();
            ensureBuilt();
        }
        return true;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
    case QEvent::InputMethod:
        ensureBuilt();
        break;
    default: break;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::ensureBuilt()
{
    if (m_built || m_building)
        return;
    m_building = true;
    StartupSteps steps("after the first paint");
    createPages();
    steps.mark("pages");
    wirePages();
    refreshPortList();
    steps.mark("port list");
    // The default backup fills the pages before the first search, as it always has.
    m_backup->loadDefault();
    steps.mark("default backup");
    createHistory();
    steps.mark("history store");
    m_building = false;
    m_built = true;
    qApp->removeEventFilter(this);
    if (windowHandle())
        windowHandle()->removeEventFilter(this);
    emit built();
}

void MainWindow::openScan()
{
    ensureBuilt();
    if (!m_scan) {
        m_scan = new ScanWindow(*this, *m_worker, this);
        // The choice goes the search button's way: the same busy state, result and pages.
        m_scan->setSelectRequest([this](const QString &request) {
            ui->widget_navigation->clear();
            startRequest(request, tr("正在查询仪表..."), WhileBusy::ShowEmptyPage);
        });
        connect(m_worker.get(), &hartThread::sendMessageToMainThread, m_scan,
                &ScanWindow::onWorkerResult);
    }
    m_scan->show();
    m_scan->raise();
    m_scan->activateWindow();
}

void MainWindow::createHealthBadge()
{
    QPushButton *badge = addTitleButton(QStringLiteral("pushButton_zhuangtai"), tr("状态"),
                                        tr("设备状态：NE 107 判定、原因与设备变量"));
    auto *health = new HealthMonitor(*this, badge, this);
    health->setObjectName(QStringLiteral("healthMonitor"));
    health->setEventSink([this](const QString &kind, const QJsonObject &payload) {
        if (m_history && m_recorder) // nothing is found before the window is built
            m_history->record(kind, payload, m_recorder->currentDevice());
    });
    // After the shell's own handling, so the history knows the device a search found.
    connect(m_worker.get(), &hartThread::sendMessageToMainThread, health,
            &HealthMonitor::onWorkerResult);
    connect(badge, &QPushButton::clicked, health, [this, health] { health->openWindow(this); });
}

void MainWindow::openLoopCheck()
{
    loopCheck();
    m_loopCheck->show();
    m_loopCheck->raise();
    m_loopCheck->activateWindow();
}

LoopCheckWindow *MainWindow::loopCheck()
{
    ensureBuilt();
    if (!m_loopCheck) {
        m_loopCheck = new LoopCheckWindow(*this, this);
        m_loopCheck->setDeviceCheck([this] { return m_worker->isDeviceFound(); });
        // Every run, finished or stopped, under the transmitter's identity key.
        m_loopCheck->setRunSink([this](const loopcheck::Run &run) {
            m_history->record(QStringLiteral("loopcheck"), loopcheck::toJson(run),
                              run.identity.uniqueId);
        });
        // Queued behind the shell's own handling of the same result (status, port buttons).
        connect(m_worker.get(), &hartThread::sendMessageToMainThread, m_loopCheck,
                &LoopCheckWindow::onWorkerResult);
        m_loopCheck->setRegister(new loopcheck::StandardsRegister(m_history->location(), m_loopCheck));
    }
    return m_loopCheck;
}

MainWindow::~MainWindow()
{
    // No result may reach a window that is half gone, and the worker must not sit out a
    // transaction's retries: disconnect, then abort and join it before the link closes.
    disconnect(m_worker.get(), nullptr, this, nullptr);
    disconnect(this, nullptr, m_worker.get(), nullptr);
    m_worker->stop();
    m_tickTimer.stop();
}

void MainWindow::createValidators()
{
    m_realValidator = new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("^(-?(0|([1-9][0-9]{0,6}))\\.[0-9]{0,7})$")), this);
    m_u16Validator = new UIntValidator(65535, this);
    m_u24Validator = new UIntValidator(16777215, this);
}

void MainWindow::addPage(int index, QWidget *page)
{
    // In index order: the stacked widget's index is the page's number.
    Q_ASSERT(ui->stackedWidget->count() == index);
    page->setObjectName(QLatin1String(kPageNames[index]));
    ui->stackedWidget->addWidget(page);
}

void MainWindow::createPages()
{
    addPage(pageindex::TransmitterInfo, m_transmitterInfoPage = new TransmitterInfoPage(*this));
    addPage(pageindex::MeterInfo, m_meterInfoPage = new MeterInfoPage(*this));
    addPage(pageindex::MoreInfo, m_moreInfoPage = new MoreInfoPage(*this));
    addPage(pageindex::Address, m_addressPage = new AddressPage(*this));
    addPage(pageindex::Range, m_rangePage = new RangePage(*this));
    addPage(pageindex::Rerange, m_rerangePage = new RerangePage(*this));
    addPage(pageindex::Output, m_outputPage = new OutputPage(*this));
    addPage(pageindex::Display, m_displayPage = new DisplayPage(*this));
    addPage(pageindex::Proprietary, m_proprietaryPage = new ProprietaryPage(*this));
    addPage(pageindex::PvZero, m_pvZeroPage = new PvZeroPage(*this));
    addPage(pageindex::CurrentTrim, m_currentTrimPage = new CurrentTrimPage(*this));
    addPage(pageindex::Monitoring, m_monitoringPage = new MonitoringPage(*this));
    addPage(pageindex::UserCalibration, m_userCalibrationPage = new UserCalibrationPage(*this));
    addPage(pageindex::Modbus, m_modbusPage = new ModbusPage(*this));
    addPage(pageindex::SensorConfig, m_sensorPage = new SensorConfigPage(*this));
    addPage(pageindex::Linearization, m_linearizationPage = new LinearizationPage(*this));
    addPage(pageindex::SecondCorrection,
            m_secondCorrectionPage = new SecondCorrectionPage(*this));
    addPage(pageindex::FactoryTest, m_factoryTestPage = new FactoryTestPage(*this));
}

void MainWindow::wirePages()
{
    connect(m_sensorPage, &SensorConfigPage::sensorUnitChanged, m_linearizationPage,
            &LinearizationPage::followUserUnit);
    connect(m_linearizationPage, &LinearizationPage::writeAllRequested, this,
            &MainWindow::startWriteAll);
    // A write refused before anything is sent (closed port, unfittable compensation) is a
    // failed write to the test, which otherwise waits for a result that never comes.
    m_factoryTestPage->setCalibrationWrite([this] {
        if (!m_linearizationPage->writeCalibration())
            m_factoryTestPage->calibrationWriteFinished(CalibrationWrite::Failed);
    });
}

// The seven pages whose data write all sends and a backup holds, in the order both take them.
// The linearization collect also says whether its block can be written at all.
std::vector<std::function<void()>> MainWindow::pageCollectors()
{
    return {[this] { m_meterInfoPage->collect(); },
            [this] { m_outputPage->collect(); },
            [this] { m_displayPage->collect(); },
            [this] { m_proprietaryPage->collect(); },
            [this] { m_sensorPage->collect(); },
            [this] { m_compensationProblem = m_linearizationPage->collect(); },
            [this] { m_modbusPage->collect(); }};
}

std::vector<std::function<void()>> MainWindow::pageFillers()
{
    return {[this] { m_meterInfoPage->fill(); },   [this] { m_outputPage->fill(); },
            [this] { m_displayPage->fill(); },     [this] { m_proprietaryPage->fill(); },
            [this] { m_sensorPage->fill(); },      [this] { m_linearizationPage->fill(); },
            [this] { m_modbusPage->fill(); }};
}

void MainWindow::createHistory()
{
    // Every window records, however it was started: the command line only sets HART_HISTORY.
    m_history = std::make_unique<HistoryStore>(HistoryStore::locationFromEnvironment());
    m_history->setEdition(m_edition == Edition::Factory ? QStringLiteral("factory")
                                                        : QStringLiteral("user"));
    connect(m_history.get(), &HistoryStore::notice, this, &MainWindow::showStatus);
    m_recorder = std::make_unique<HistoryRecorder>(
            *m_history, [this] { return copyDeviceData(*this); },
            [this] { return addressing(); });
    connect(m_worker.get(), &hartThread::refusedDuring, this,
            [this](const QString &request, quint8 command, quint8 code) {
                m_recorder->commandRefused(request, command, code);
            },
            Qt::QueuedConnection);
    connect(m_worker.get(), &hartThread::requestsDiscarded, this,
            [this](const QStringList &requests) { m_recorder->requestsDiscarded(requests); },
            Qt::QueuedConnection);
    connect(m_backup.get(), &BackupActions::backupSaved, this,
            [this](const QString &path, const QByteArray &image, quint16 crc) {
                m_recorder->backupSaved(path, image, crc);
            });
    connect(m_backup.get(), &BackupActions::backupRestored, this,
            [this](const QString &path, const QByteArray &image, quint16 crc) {
                m_recorder->backupRestored(path, image, crc);
            });
    connect(m_factoryTestPage, &FactoryTestPage::runFinished, this,
            [this](const FactoryRun &run, const TestedTransmitter &who) {
                m_recorder->factoryTestEnded(run, who);
            });
    m_history->start();
}

void MainWindow::openHistoryWindow()
{
    ensureBuilt();
    if (!m_historyWindow)
    {
        m_historyWindow = new HistoryWindow(m_history->location(), this);
        m_historyWindow->setRejectedCount(m_history->rejected());
        connect(m_history.get(), &HistoryStore::rejectedChanged, m_historyWindow,
                &HistoryWindow::setRejectedCount);
    }
    m_historyWindow->show();
    m_historyWindow->raise();
    m_historyWindow->activateWindow();
}

// Every frame of the run is recorded from the start, so the monitor opened after a failure
// still shows what led to it. HART_CAPTURE=FILE (or --capture FILE) also writes it to FILE.
void MainWindow::createTrafficCapture()
{
    m_traffic = std::make_unique<traffic::TrafficCapture>();
    m_worker->master()->setCapture(m_traffic.get());
    const QString file = qEnvironmentVariable("HART_CAPTURE");
    QString why;
    if (!file.isEmpty() && !m_traffic->startFile(file, &why)) {
        // Once the window is up, so the warning has a window to sit on.
        QTimer::singleShot(0, this, [this, file, why] {
            warn(tr("无法写入通信记录文件%1：%2").arg(file, why));
        });
    }
    QPushButton *button = addTitleButton(QStringLiteral("pushButton_traffic"), tr("通信监视"),
                                         tr("通信监视：每一帧报文、链路计数和导出"));
    connect(button, &QPushButton::clicked, this, &MainWindow::openTrafficMonitor);
}

void MainWindow::openTrafficMonitor()
{
    ensureBuilt();
    if (!m_trafficWindow)
        m_trafficWindow = std::make_unique<traffic::TrafficWindow>(*m_traffic);
    m_trafficWindow->show();
    m_trafficWindow->raise();
    m_trafficWindow->activateWindow();
}

void MainWindow::beifenshujuSlot()
{
    ensureBuilt();
    m_backup->backup();
}

void MainWindow::duqubeifenshujuSlot()
{
    ensureBuilt();
    m_backup->restore();
}

void MainWindow::startWorker()
{
    connect(this, &MainWindow::sendMessageToHartThread, m_worker.get(),
            &hartThread::receiveMessageFromMainThread);
    connect(m_worker.get(), &hartThread::sendMessageToMainThread, this,
            &MainWindow::receiveMessageFromHartThread);
    // Each frame to the one carrier in use: a closed serial port would record every network
    // frame as a failed write and reset the receiver under an answer already back.
    connect(m_worker->master(), &kvhart_master::SendData, this, [this](const QByteArray &wire) {
        if (m_ipLink->isOpen() || m_ipLink->isOpening())
            m_ipLink->send(wire);
        else
            m_link->writeMySerialPort(wire);
    });
    connect(m_link.get(), &SerialLink::portLost, this, &MainWindow::onPortLost);
    connect(m_ipLink.get(), &HartIpLink::opened, this, &MainWindow::onNetworkPortOpened);
    connect(m_ipLink.get(), &HartIpLink::portLost, this, [this] {
        onPortLost();
        showStatus(hartIpFailureText(m_ipLink->failure(), m_ipLink->failureDetail(),
                                     m_ipLink->failureStatus()));
    });
    m_worker->start();
    m_workerStarted = true;
}

// ---------------------------------------------------------------------------------------
// Title bar

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.press(event->localPos(), ui->widget_title->size());
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (m_drag.isDragging())
        move(m_drag.target(event->screenPos()));
}

void MainWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.release();
}

QPushButton *MainWindow::addTitleButton(const QString &objectName, const QString &text,
                                        const QString &toolTip)
{
    auto *button = new QPushButton(text, ui->widget_title);
    button->setObjectName(objectName);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedHeight(25);
    button->setProperty("titleTool", true);
    auto *layout = ui->horizontalLayout_title;
    layout->insertWidget(layout->indexOf(ui->pushButton_min), button);
    return button;
}

void MainWindow::on_pushButton_min_clicked()
{
    showMinimized();
}

void MainWindow::on_pushButton_max_clicked()
{
    if (m_maximized) {
        showNormal();
        m_maximized = false;
    } else {
        showMaximized();
        m_maximized = true;
    }
}

void MainWindow::on_pushButton_close_clicked()
{
    close();
}

// ---------------------------------------------------------------------------------------
// Navigation

void MainWindow::showPage(int index)
{
    if (index >= pageindex::TransmitterInfo)
        ensureBuilt();
    ui->widget_navigation->markPage(index);
    // Entering the monitoring page starts its curves afresh; staying on it keeps them.
    if (index == pageindex::Monitoring && ui->stackedWidget->currentIndex() != index)
        m_monitoringPage->resetMonitoring();
    ui->stackedWidget->setCurrentIndex(index);
}

int MainWindow::currentPage() const
{
    return ui->stackedWidget->currentIndex();
}

void MainWindow::on_stackedWidget_currentChanged(int)
{
    const int page = ui->stackedWidget->currentIndex();
    qCDebug(lcWindow).noquote()
            << QStringLiteral("stackedWidget_currentChanged,index=%1").arg(page);
    if (!m_workerStarted || !m_built)
        return; // the window is still being built

    const bool open = linkOpen();
    if (page == pageindex::UserCalibration || page == pageindex::Linearization
        || page == pageindex::SecondCorrection) {
        if (open)
            sendRequest(QStringLiteral("read ADC"));
    } else {
        sendRequest(QStringLiteral("stop read ADC"));
    }

    if (page != pageindex::Monitoring)
        sendRequest(QStringLiteral("stop read PV"));
    else if (open)
        sendRequest(QStringLiteral("read PV"));

    if (page != pageindex::CurrentTrim)
        releaseHeldCurrent();

    if (page != pageindex::Linearization) {
        {
            QMutexLocker lock(&m_worker->mutex);
            deviceData.singleTempPoint = 0;
        }
        sendRequest(QStringLiteral("single temp compensation mode"));
    }

    if (page != pageindex::FactoryTest)
        m_factoryTestPage->leavePage(); // sends "stop chuchang jiance" and resets the test
}

bool MainWindow::releaseHeldCurrent()
{
    bool held = false;
    {
        QMutexLocker lock(&m_worker->mutex);
        held = deviceData.fixedCurrentActive != 0;
        if (held)
            deviceData.fixedCurrent = 0.0f;
    }
    if (!held)
        return false;
    sendRequest(QStringLiteral("exit fix current"));
    // Locked only while the worker will answer: with the port closed (or closing) or no
    // device found it drops the request, and nothing would unlock them.
    const bool served = linkOpen() && !m_worker->isRequestPending(QStringLiteral("close port"))
            && m_worker->isPortOpen() && m_worker->isDeviceFound();
    if (served)
        setPortButtonsEnabled(false);
    return served;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A transmitter left at a fixed current drives a live control loop to a false value: the
    // window stays until the release is confirmed, or the user says to go anyway.
    if (!m_closeAllowed && loopMayBeHeld()) {
        event->ignore();
        if (!m_closing) {
            m_closing = true;
            m_closeReleaseSent = false;
            const int attempt = ++m_closeAttempt;
            QTimer::singleShot(3000, this, [this, attempt] {
                if (m_closing && attempt == m_closeAttempt)
                    askBeforeClosing();
            });
            // Outside this event: a close asked for from here would be ignored.
            QTimer::singleShot(0, this, &MainWindow::continueClosing);
        }
        return;
    }
    m_closing = false;
    QMainWindow::closeEvent(event);
}

bool MainWindow::holdOnItsWay() const
{
    const bool served = linkOpen() && m_worker->isPortOpen() && m_worker->isDeviceFound()
            && !m_worker->isRequestPending(QStringLiteral("close port"));
    return served
            && (m_worker->isRequestPending(QStringLiteral("enter dianliujiaozhun"))
                || m_worker->isRequestPending(QStringLiteral("set fix current"))
                || m_worker->isRequestPending(QStringLiteral("enter dianliuceshi")));
}

bool MainWindow::loopMayBeHeld() const
{
    {
        QMutexLocker lock(&m_worker->mutex);
        if (deviceData.fixedCurrentActive != 0)
            return true;
    }
    return holdOnItsWay();
}

// Runs after every result while the window waits to close.
void MainWindow::continueClosing()
{
    if (!m_closing)
        return;
    if (holdOnItsWay())
        return; // a hold on its way is a hold: its answer comes first
    if (!loopMayBeHeld()) {
        m_closing = false;
        m_closeAllowed = true;
        close();
        return;
    }
    const bool exitPending = m_worker->isRequestPending(QStringLiteral("exit fix current"))
            && m_worker->isDeviceFound();
    if (!m_closeReleaseSent) {
        m_closeReleaseSent = true;
        if (exitPending || releaseHeldCurrent())
            return; // its answer, or the time limit, decides
    } else if (exitPending) {
        return;
    }
    askBeforeClosing(); // refused, failed, or nobody can send it
}

void MainWindow::askBeforeClosing()
{
    m_closing = false; // results that come while asking change nothing
    if (ask(tr("询问"), tr("回路电流可能仍固定在%1mA，请检查变送器。仍然退出？")
                              .arg(QString::number(double(m_heldCurrentMa), 'g', 6)))) {
        m_closeAllowed = true;
        close();
    } else {
        releaseHeldCurrent();
    }
}

void MainWindow::onPageOpened(int index)
{
    ensureBuilt();
    if (index == pageindex::Address)
        m_addressPage->fill();
    else if (index == pageindex::Monitoring && linkOpen())
        sendRequest(QStringLiteral("read PV"));
}

// ---------------------------------------------------------------------------------------
// Port row and status line

void MainWindow::refreshPortList()
{
    fillPortSelector(ui->comboBox_duankouhao, listPorts());
}

void MainWindow::openPortAtStart(const QString &text)
{
    ensureBuilt();
    // Options given with the port are that port's from now on, as if chosen in the menu.
    QString name = text;
    if (!hartip::looksLikeUrl(text)) {
        const SerialPortText parsed = parseSerialPortText(text);
        if (parsed.error.isEmpty()) {
            name = parsed.name;
            if (parsed.hasOptions())
                savePortOptions(name, parsed.over(loadPortOptions(name)));
        }
    }
    QComboBox *combo = ui->comboBox_duankouhao;
    int row = combo->findText(name);
    if (row < 0) {
        // A port the enumeration does not show (a by-id name, a link): tried all the same.
        combo->addItem(name);
        row = combo->count() - 1;
        combo->setItemData(row, name, Qt::ToolTipRole);
    }
    combo->setCurrentIndex(row);
    if (ui->pushButton_dakaiduankou->text() == tr("打开端口"))
        on_pushButton_dakaiduankou_clicked();
}

void MainWindow::on_comboBox_duankouhao_currentTextChanged(const QString &text)
{
    // The full name: the selector is too narrow for a path.
    QComboBox *combo = ui->comboBox_duankouhao;
    const QString full = combo->itemData(combo->currentIndex(), Qt::ToolTipRole).toString();
    combo->setToolTip(full.isEmpty() ? text : full);
    showPortOptions();
}

void MainWindow::createPortOptionsMenu()
{
    auto *menu = new QMenu(ui->pushButton_duankouxuanxiang);
    menu->setObjectName(QStringLiteral("menu_duankouxuanxiang"));
    m_keysItselfAction = menu->addAction(tr("调制解调器自动收发"));
    m_keysItselfAction->setObjectName(QStringLiteral("action_modemKeysItself"));
    m_keysItselfAction->setToolTip(tr("调制解调器自己切换发送，不用RTS控制；串口参数不变"));
    m_echoAction = menu->addAction(tr("回显"));
    m_echoAction->setObjectName(QStringLiteral("action_echo"));
    m_echoAction->setToolTip(tr("适配器把发出的每个字节送回：去掉回显并与所发比较，不符即冲突"));
    menu->setToolTipsVisible(true);
    for (QAction *action : {m_keysItselfAction, m_echoAction}) {
        action->setCheckable(true);
        // Only the technician's choice is saved, not the menu following the selected port.
        connect(action, &QAction::triggered, this, &MainWindow::onPortOptionChosen);
    }
    ui->pushButton_duankouxuanxiang->setMenu(menu);
    showPortOptions();
}

QString MainWindow::selectedPortName() const
{
    const QString text = ui->comboBox_duankouhao->currentText().trimmed();
    if (text.isEmpty() || hartip::looksLikeUrl(text))
        return QString();
    return parseSerialPortText(text).name;
}

void MainWindow::showPortOptions()
{
    if (!m_echoAction)
        return;
    // A HART-IP address has no modem to set up.
    const QString name = selectedPortName();
    const SerialOptions options = loadPortOptions(name);
    m_keysItselfAction->setChecked(options.modemKeysItself);
    m_echoAction->setChecked(options.echo);
    m_keysItselfAction->setEnabled(!name.isEmpty());
    m_echoAction->setEnabled(!name.isEmpty());
}

void MainWindow::onPortOptionChosen()
{
    const QString name = selectedPortName();
    if (name.isEmpty())
        return;
    SerialOptions options;
    options.modemKeysItself = m_keysItselfAction->isChecked();
    options.echo = m_echoAction->isChecked();
    savePortOptions(name, options);
    // The port in use follows at once, from its next frame.
    if (m_link->isOpen() && m_link->portName() == name)
        m_link->setOptions(options);
}

void MainWindow::tellFtdiLatency(const QString &portName)
{
    const FtdiLatency latency = readFtdiLatency(portName, m_sysfsRoot);
    if (!latency.ftdi || latency.ms <= 1 || m_latencyTold.contains(latency.device))
        return;
    m_latencyTold.insert(latency.device);
    qCInfo(lcWindow, "%s: FTDI latency timer %d ms", qPrintable(latency.device), latency.ms);
    showStatus(tr("FTDI适配器延迟定时器为%1 ms，建议设为1 ms").arg(latency.ms));
    const QString advice =
            tr("FTDI适配器%1的延迟定时器为%2 ms，每个应答都会迟到；改为1 ms：echo 1 | sudo tee "
               "%3，或 setserial /dev/%1 low_latency")
                    .arg(latency.device)
                    .arg(latency.ms)
                    .arg(latency.file);
    appendStatusItem(advice);
    QComboBox *list = ui->comboBox_status;
    list->setItemData(list->count() - 1, advice, Qt::ToolTipRole);
}

void MainWindow::on_pushButton_chazhaoduankou_clicked()
{
    ensureBuilt();
    refreshPortList();
}

void MainWindow::on_pushButton_dakaiduankou_clicked()
{
    ensureBuilt();
    const QString name = ui->comboBox_duankouhao->currentText().trimmed();
    if (name.isEmpty()) {
        ui->label_connect->setText(tr("未连接"));
        showStatus(tr("请选择端口号"));
        warn(tr("请选择端口号！"));
        return;
    }
    if (ui->pushButton_dakaiduankou->text() == tr("打开端口")) {
        ++m_opensStarted;
        if (hartip::looksLikeUrl(name)) {
            openNetworkPort(name);
            return;
        }
        m_ipLink->close();
        // The port's remembered options, and any the text itself names over them.
        m_link->setOptions(loadPortOptions(parseSerialPortText(name).name));
        if (!m_link->open(name)) {
            m_link->close();
            ui->label_connect->setText(tr("未连接"));
            showStatus(tr("端口打开失败"));
            warn(portOpenFailureText(m_link->lastOpenError(),
                                     checkPortAccess(portDevicePath(name))));
            return;
        }
        const QString opened = m_link->portName();
        ui->label_connect->setText(tr("当前连接：%1").arg(opened));
        ui->pushButton_dakaiduankou->setText(tr("关闭端口"));
        m_history->setPort(opened);
        sendRequest(QStringLiteral("open port"));
        tellFtdiLatency(opened);
    } else {
        // The port stays open until the worker confirms; it may be mid-transaction.
        m_opensAtClose = m_opensStarted;
        sendRequest(QStringLiteral("close port"));
    }
}

void MainWindow::openNetworkPort(const QString &name)
{
    m_link->close();
    if (!m_ipLink->open(name)) {
        networkOpenFailed();
        return;
    }
    // The session needs a round trip or a handshake; the answer comes with opened().
    ui->pushButton_dakaiduankou->setEnabled(false);
    showStatus(tr("正在连接%1...").arg(name));
}

void MainWindow::onNetworkPortOpened(bool ok)
{
    ui->pushButton_dakaiduankou->setEnabled(true);
    if (!ok) {
        networkOpenFailed();
        return;
    }
    const QString name = m_ipLink->portName();
    ui->label_connect->setText(tr("当前连接：%1").arg(name));
    ui->pushButton_dakaiduankou->setText(tr("关闭端口"));
    showStatus(QString());
    m_history->setPort(name);
    sendRequest(QStringLiteral("open port"));
}

void MainWindow::networkOpenFailed()
{
    m_ipLink->close();
    ui->label_connect->setText(tr("未连接"));
    showStatus(tr("端口打开失败"));
    warn(portOpenFailureText(QSerialPort::NoError, PortAccess()) + QLatin1Char('\n')
         + hartIpFailureText(m_ipLink->failure(), m_ipLink->failureDetail(),
                             m_ipLink->failureStatus()));
}

bool MainWindow::linkOpen() const
{
    return m_link->isOpen() || m_ipLink->isOpen();
}

void MainWindow::closeLinks()
{
    m_link->close();
    m_ipLink->close();
}

void MainWindow::onPortLost()
{
    // An unplugged modem is a closed port: the worker must stop using it, and the user
    // gets the buttons back to open it again.
    closeLinks();
    m_opensAtClose = m_opensStarted;
    sendRequest(QStringLiteral("close port"));
    ui->label_connect->setText(tr("未连接"));
    ui->pushButton_dakaiduankou->setText(tr("打开端口"));
    setPortButtonsEnabled(true);
}

void MainWindow::on_pushButton_clear_err_clicked()
{
    ui->comboBox_status->clear();
}

void MainWindow::showStatus(const QString &text)
{
    ui->label_state->setText(text);
    m_statusSeconds = 5;
}

void MainWindow::on_progressBar_valueChanged(int value)
{
    if (value < 100)
        ui->progressBar->show();
    else
        m_progressHideTicks = 2;
}

void MainWindow::tickTimerSlot()
{
    const bool second = ++m_tickCount > 9;
    if (second) {
        m_tickCount = 0;
        if (m_statusSeconds != 0)
            --m_statusSeconds;
        if (m_statusSeconds == 0)
            ui->label_state->clear();
        if (m_built)
            m_linearizationPage->countdownSecond(); // ends the single-point test on the host
    }
    if (!m_built)
        return;
    // The factory test counts its second down before its step, as the tick always has.
    m_factoryTestPage->tick(ui->progressBar->value(),
                            second ? SecondMark::Elapsed : SecondMark::No);
    if (m_progressHideTicks != 0 && --m_progressHideTicks == 0 && ui->progressBar->value() > 99) {
        ui->progressBar->setValue(0);
        ui->progressBar->hide();
    }
}

// ---------------------------------------------------------------------------------------
// What the pages may ask of the window

int MainWindow::runCentred(QDialog &dialog)
{
    // A form-built dialog has its size before it is shown; others go by their size hint.
    // Integer division toward zero; a window smaller than the dialog gives negative offsets.
    const QSize size = dialog.testAttribute(Qt::WA_Resized) ? dialog.size() : dialog.sizeHint();
    dialog.move(x() + (width() - size.width()) / 2, y() + (height() - size.height()) / 2);
    return dialog.exec();
}

void MainWindow::warn(const QString &text)
{
    Dialog_Warning dialog(nullptr, tr("警告"), text);
    runCentred(dialog);
}

bool MainWindow::ask(const QString &title, const QString &text)
{
    Dialog_ask dialog(nullptr, title, text);
    runCentred(dialog);
    return dialog.answer();
}

bool MainWindow::isPortOpen() const
{
    return linkOpen();
}

bool MainWindow::portReady()
{
    if (linkOpen())
        return true;
    warn(tr("请先打开端口！"));
    return false;
}

void MainWindow::startRequest(const QString &request, const QString &busyText, WhileBusy page)
{
    if (!busyText.isEmpty())
        showStatus(busyText);
    if (page == WhileBusy::ShowEmptyPage)
        showPage(pageindex::Empty);
    sendRequest(request);
    setPortButtonsEnabled(false);
}

void MainWindow::sendRequest(const QString &request)
{
    if (m_recorder)
        m_recorder->requestSent(request);
    emit sendMessageToHartThread(request);
}

void MainWindow::setPortButtonsEnabled(bool enabled)
{
    ui->pushButton_dakaiduankou->setEnabled(enabled);
    ui->pushButton_chaxunyibiao->setEnabled(enabled);
}

QMutex &MainWindow::dataLock()
{
    return m_worker->mutex;
}

kvhart_master::Addressing MainWindow::addressing()
{
    QMutexLocker lock(&m_worker->mutex);
    return m_worker->master()->addressing();
}

QValidator *MainWindow::realValidator() const
{
    return m_realValidator;
}

QValidator *MainWindow::u16Validator() const
{
    return m_u16Validator;
}

QValidator *MainWindow::u24Validator() const
{
    return m_u24Validator;
}

// ---------------------------------------------------------------------------------------
// Requests of the shell itself

void MainWindow::on_pushButton_chaxunyibiao_clicked()
{
    ensureBuilt();
    if (!portReady())
        return;
    ui->widget_navigation->clear();
    startRequest(QStringLiteral("search meter"), tr("正在查询仪表..."), WhileBusy::ShowEmptyPage);
}

void MainWindow::startWriteAll()
{
    // Write all only to a transmitter found just now: search first, write on its success.
    m_writeAllPending = true;
    startRequest(QStringLiteral("search meter"), tr("正在查询仪表..."), WhileBusy::KeepPage);
}

// ---------------------------------------------------------------------------------------
// Results

void MainWindow::receiveMessageFromHartThread(QString Message)
{
    ensureBuilt();
    // Before the pages react: a write all collects the pages right after its search.
    if (m_recorder)
        m_recorder->resultReceived(Message);
    const int colon = Message.indexOf(QLatin1Char(':'));
    const QString prefix = colon < 0 ? Message : Message.left(colon);
    const QString argument = colon < 0 ? QString() : Message.mid(colon + 1);

    if (prefix == QLatin1String("set progressBar")) {
        onProgress(argument);
    } else if (prefix == QLatin1String("hart status")) {
        appendStatusItem(argument);
    } else if (Message == QLatin1String("close port succeed")) {
        // A port lost and opened again before the worker's answer came: the new session,
        // still being set up, is not the one that was closed.
        if (m_opensStarted != m_opensAtClose) {
            qCDebug(lcWindow, "close port succeed: for a port since opened again");
        } else {
            closeLinks();
            ui->label_connect->setText(tr("未连接"));
            ui->pushButton_dakaiduankou->setText(tr("打开端口"));
        }
    } else if (Message == QLatin1String("search meter succeed")) {
        onSearchSucceeded();
    } else if (Message == QLatin1String("search meter failed")) {
        onSearchFailed();
    } else if (prefix == QLatin1String("search meter addr")) {
        showStatus(tr("查询仪表%1...").arg(argument));
    } else if (const results::ResultRow *row = results::findResultRow(Message)) {
        handleResultRow(*row);
        // After the status, the dialog and the held-current flag: the trim page's buttons.
        m_currentTrimPage->onTrimResult(Message);
        // A hold that lands after its page was left is released at once: nobody can see it.
        if (row->effect == results::Effect::FixedCurrentOn
            && currentPage() != pageindex::CurrentTrim)
            releaseHeldCurrent();
    }
    if (m_closing)
        continueClosing();
}

void MainWindow::onProgress(const QString &argument)
{
    const int target = int(std::min<std::uint32_t>(pagefmt::parseUnsigned(argument), 100));
    const int current = std::max(ui->progressBar->value(), 0);
    m_progressAnimation->stop();
    m_progressAnimation->setStartValue(target < current ? 0 : current);
    m_progressAnimation->setEndValue(target);
    m_progressAnimation->start();
}

void MainWindow::appendStatusItem(const QString &text)
{
    QComboBox *list = ui->comboBox_status;
    list->addItem(QStringLiteral("%1 - %2").arg(list->count()).arg(text));
    list->setCurrentIndex(list->count() - 1);
}

void MainWindow::onSearchSucceeded()
{
    showStatus(tr("查询到仪表"));
    if (!m_writeAllPending) {
        const DeviceData d = copyDeviceData(*this);
        const bool maker = pagefmt::isMakerDevice(d);
        ui->widget_navigation->rebuild(maker, m_edition);
        m_pvZeroPage->setCancelOffered(maker);
        m_transmitterInfoPage->fillFrom(d);
    }
    setPortButtonsEnabled(true);
    if (m_writeAllPending) {
        m_writeAllPending = false;
        if (!collectPagesForWriteAll())
            return;
        showStatus(tr("正在写入数据..."));
        sendRequest(QStringLiteral("write all"));
        setPortButtonsEnabled(false);
    } else {
        showPage(pageindex::TransmitterInfo);
    }
}

void MainWindow::onSearchFailed()
{
    showStatus(tr("查询仪表失败"));
    if (ask(tr("询问"), tr("查询地址0失败，是否查询地址1~15?"))) {
        qCDebug(lcWindow, "search 1~15");
        // The port buttons stay locked while the worker tries the fifteen addresses.
        sendRequest(QStringLiteral("search meter 1-15"));
    } else {
        setPortButtonsEnabled(true);
    }
}

void MainWindow::handleResultRow(const results::ResultRow &row)
{
    using results::Effect;
    if (row.effect == Effect::LiveData)
        return; // the factory test polls the record itself
    if (row.effect == Effect::PvSample) {
        m_monitoringPage->onPvSample();
        return;
    }
    if (row.effect == Effect::MonitoringHeader) {
        m_monitoringPage->onMonitoringHeader();
        return;
    }
    if (row.effect == Effect::AdcValues) {
        m_linearizationPage->showLiveValues();
        m_secondCorrectionPage->showLiveValues();
        m_userCalibrationPage->showLiveValues();
        return;
    }
    if (row.effect == Effect::SecondCorrection)
        applyEffect(row.effect); // this page is filled before its status text
    if (row.effect == Effect::SingleTempDisplay) {
        setPortButtonsEnabled(true);
        m_linearizationPage->showSingleTempState();
        return;
    }
    if (row.status)
        showStatus(tr(row.status));
    if (row.effect == Effect::FactoryCurrentStepFailed)
        m_linearizationPage->factoryCurrentStepFailed(); // before its one warning
    const bool warning = row.warning
            && (row.effect != Effect::FactoryCurrentExitFailed
                || m_linearizationPage->factoryCurrentExitFailed());
    if (warning) {
        if (row.effect == Effect::CalibrationWriteFailed)
            m_factoryTestPage->calibrationWriteFinished(CalibrationWrite::Failed);
        warn(tr(row.warning));
        applyEffect(row.effect);
    } else {
        if (row.effect != Effect::SecondCorrection)
            applyEffect(row.effect);
        if (row.page >= 0)
            showPage(row.page);
    }
    setPortButtonsEnabled(true);
}

void MainWindow::applyEffect(results::Effect effect)
{
    using results::Effect;
    switch (effect) {
    case Effect::TransmitterInfo: m_transmitterInfoPage->fill(); break;
    case Effect::MeterInfo: m_meterInfoPage->fill(); break;
    case Effect::MoreInfo: m_moreInfoPage->fill(); break;
    case Effect::Range: m_rangePage->fill(RangePage::Fields::All); break;
    case Effect::RangeWritten: m_rangePage->fill(RangePage::Fields::UnitAndRangeOnly); break;
    case Effect::Rerange: m_rerangePage->fill(); break;
    case Effect::Output: m_outputPage->fill(); break;
    case Effect::Display: m_displayPage->fill(); break;
    case Effect::Proprietary: m_proprietaryPage->fill(); break;
    case Effect::ModbusRegisters: m_modbusPage->fill(); break;
    case Effect::SensorConfig: m_sensorPage->fill(); break;
    case Effect::Linearization: m_linearizationPage->fill(); break;
    case Effect::UserCalibration: m_userCalibrationPage->fill(); break;
    case Effect::SecondCorrection: m_secondCorrectionPage->fill(); break;
    case Effect::FixedCurrentOn:
    case Effect::FixedCurrentOff: {
        QMutexLocker lock(&m_worker->mutex);
        deviceData.fixedCurrentActive = effect == Effect::FixedCurrentOn ? 1 : 0;
        if (effect == Effect::FixedCurrentOn)
            m_heldCurrentMa = deviceData.fixedCurrent; // what a closing window warns of
        break;
    }
    case Effect::CalibrationWriteOk:
        m_factoryTestPage->calibrationWriteFinished(CalibrationWrite::Succeeded);
        break;
    case Effect::FactoryCurrentEntered: m_linearizationPage->factoryCurrentEntered(); break;
    case Effect::FactoryCurrentExited: m_linearizationPage->factoryCurrentExited(); break;
    case Effect::CalibrationWriteFailed:
    case Effect::FactoryCurrentStepFailed:
    case Effect::FactoryCurrentExitFailed:
    case Effect::SingleTempDisplay:
    case Effect::AdcValues:
    case Effect::PvSample:
    case Effect::MonitoringHeader:
    case Effect::LiveData:
    case Effect::None: break;
    }
}

bool MainWindow::collectPagesForWriteAll()
{
    m_compensationProblem.clear();
    for (const std::function<void()> &collect : pageCollectors())
        collect();
    // Garbage coefficients must never reach the device: nothing is sent.
    if (m_compensationProblem.isEmpty())
        return true;
    warn(m_compensationProblem);
    return false;
}

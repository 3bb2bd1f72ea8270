// The main window shell: construction, title bar, navigation, port row, status line, the
// request slots of the information and configuration pages and the result dispatcher.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "dialog_ask.h"
#include "dialog_warning.h"
#include "hartthread.h"
#include "kvhart_master.h"
#include "resources.h"
#include "seriallink.h"
#include "uintvalidator.h"
#include "units.h"
#include "windowlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QMutexLocker>
#include <QPropertyAnimation>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

// Page indices of the stacked widget used by the rules below.
constexpr int kPageTransmitterInfo = 2;
constexpr int kPageMeterInfo = 3;
constexpr int kPageAddress = 5;
constexpr int kPagePvZero = 11;
constexpr int kPageCurrentTrim = 12;
constexpr int kPageMonitoring = 13;
constexpr int kPageUserCalibration = 14;
constexpr int kPageModbus = 15;
constexpr int kPageLinearization = 17;
constexpr int kPageSecondCorrection = 18;
constexpr int kPageFactoryTest = 19;

constexpr int kMakerGroups = 5;
constexpr int kForeignGroups = 4;

} // namespace

// What a result row does beyond its status text and dialog.
enum class MainWindow::Effect {
    None,
    TransmitterInfo,
    MeterInfo,
    MoreInfo,
    Range,
    RangeWritten,
    Rerange,
    Output,
    Display,
    Proprietary,
    FixedCurrentOn,
    FixedCurrentOff,
    CalibrationWriteOk,
    CalibrationWriteFailed, // recorded before the dialog, so the factory test sees it at once
    SingleTempDisplay,      // no status text; buttons enabled first
    LiveData,               // periodic samples: no status text, buttons untouched
};

struct MainWindow::ResultRow
{
    const char *result;
    const char *status;  // translated at run time (context MainWindow)
    const char *warning; // a failure: modal warning, page unchanged
    Effect effect;
    int page; // -1: no page change
};

namespace {

using Effect = MainWindow::Effect;

// Every exact result string the window reacts to. Rows of the calibration, monitoring,
// Modbus and factory-test pages only report here until those pages fill themselves.
const MainWindow::ResultRow kResultRows[] = {
        {"search meter 1-15 failed", QT_TRANSLATE_NOOP("MainWindow", "查询仪表失败"),
         QT_TRANSLATE_NOOP("MainWindow", "查询仪表1-15失败！"), Effect::None, -1},
        {"read tramsmeter info succeed", QT_TRANSLATE_NOOP("MainWindow", "读取变送器信息成功"),
         nullptr, Effect::TransmitterInfo, 2},
        {"read tramsmeter info failed", QT_TRANSLATE_NOOP("MainWindow", "读取变送器信息失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取变送器信息失败！"), Effect::None, -1},
        {"read meter info succeed", QT_TRANSLATE_NOOP("MainWindow", "读取仪表信息成功"), nullptr,
         Effect::MeterInfo, 3},
        {"read meter info failed", QT_TRANSLATE_NOOP("MainWindow", "读取仪表信息失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取仪表信息失败！"), Effect::None, -1},
        {"write meter info succeed", QT_TRANSLATE_NOOP("MainWindow", "写入仪表信息成功"), nullptr,
         Effect::None, -1},
        {"write meter info failed", QT_TRANSLATE_NOOP("MainWindow", "写入仪表信息失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入仪表信息失败！"), Effect::None, -1},
        {"read more info succeed", QT_TRANSLATE_NOOP("MainWindow", "读取更多信息成功"), nullptr,
         Effect::MoreInfo, 4},
        {"read more info failed", QT_TRANSLATE_NOOP("MainWindow", "读取更多信息失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取更多信息失败！"), Effect::None, -1},
        {"write addr info succeed", QT_TRANSLATE_NOOP("MainWindow", "写入地址信息成功"), nullptr,
         Effect::None, -1},
        {"write addr info failed", QT_TRANSLATE_NOOP("MainWindow", "写入地址信息失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入地址信息失败！"), Effect::None, -1},
        {"read range info succeed", QT_TRANSLATE_NOOP("MainWindow", "读取量程信息成功"), nullptr,
         Effect::Range, 6},
        {"read range info failed", QT_TRANSLATE_NOOP("MainWindow", "读取量程信息失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取量程信息失败！"), Effect::None, -1},
        {"write range info succeed", QT_TRANSLATE_NOOP("MainWindow", "写入量程信息成功"), nullptr,
         Effect::RangeWritten, 6},
        {"write range info failed", QT_TRANSLATE_NOOP("MainWindow", "写入量程信息失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入量程信息失败！"), Effect::None, -1},
        {"read qianyi range info succeed", QT_TRANSLATE_NOOP("MainWindow", "读取量程信息成功"),
         nullptr, Effect::Rerange, 7},
        {"read qianyi range info failed", QT_TRANSLATE_NOOP("MainWindow", "读取量程信息失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取量程信息失败！"), Effect::None, -1},
        {"lingdianqianyi succeed", QT_TRANSLATE_NOOP("MainWindow", "零点迁移成功"), nullptr,
         Effect::Rerange, -1},
        {"lingdianqianyi failed", QT_TRANSLATE_NOOP("MainWindow", "零点迁移失败"),
         QT_TRANSLATE_NOOP("MainWindow", "零点迁移失败！"), Effect::Rerange, -1},
        {"liangchengqianyi succeed", QT_TRANSLATE_NOOP("MainWindow", "量程迁移成功"), nullptr,
         Effect::Rerange, -1},
        {"liangchengqianyi failed", QT_TRANSLATE_NOOP("MainWindow", "量程迁移失败"),
         QT_TRANSLATE_NOOP("MainWindow", "量程迁移失败！"), Effect::Rerange, -1},
        {"read shuchushezhi succeed", QT_TRANSLATE_NOOP("MainWindow", "读取输出设置成功"), nullptr,
         Effect::Output, 8},
        {"read shuchushezhi failed", QT_TRANSLATE_NOOP("MainWindow", "读取输出设置失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取输出设置失败！"), Effect::None, -1},
        {"write shuchushezhi succeed", QT_TRANSLATE_NOOP("MainWindow", "写入输出设置数据成功"),
         nullptr, Effect::Output, -1},
        {"write shuchushezhi failed", QT_TRANSLATE_NOOP("MainWindow", "写入输出设置数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入输出设置数据失败！"), Effect::None, -1},
        {"read xianshishezhi succeed", QT_TRANSLATE_NOOP("MainWindow", "读取显示设置成功"), nullptr,
         Effect::Display, 9},
        {"read xianshishezhi failed", QT_TRANSLATE_NOOP("MainWindow", "读取显示设置失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取显示设置失败！"), Effect::None, -1},
        {"write xianshishezhi succeed", QT_TRANSLATE_NOOP("MainWindow", "写入显示设置成功"),
         nullptr, Effect::None, -1},
        {"write xianshishezhi failed", QT_TRANSLATE_NOOP("MainWindow", "写入显示设置失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入显示设置失败！"), Effect::None, -1},
        {"read zhuanyoushezhi succeed", QT_TRANSLATE_NOOP("MainWindow", "读取专有设置数据成功"),
         nullptr, Effect::Proprietary, 10},
        {"read zhuanyoushezhi failed", QT_TRANSLATE_NOOP("MainWindow", "读取专有设置数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取专有设置数据失败！"), Effect::None, -1},
        {"write zhuanyoushezhi succeed", QT_TRANSLATE_NOOP("MainWindow", "写入专有设置数据成功"),
         nullptr, Effect::None, -1},
        {"write zhuanyoushezhi failed", QT_TRANSLATE_NOOP("MainWindow", "写入专有设置数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入专有设置数据失败！"), Effect::None, -1},
        {"PV clear succeed", QT_TRANSLATE_NOOP("MainWindow", "清零成功"), nullptr, Effect::None,
         -1},
        {"PV clear failed", QT_TRANSLATE_NOOP("MainWindow", "清零失败"),
         QT_TRANSLATE_NOOP("MainWindow", "清零失败！"), Effect::None, -1},
        {"PV clear reset succeed", QT_TRANSLATE_NOOP("MainWindow", "取消清零成功"), nullptr,
         Effect::None, -1},
        {"PV clear reset failed", QT_TRANSLATE_NOOP("MainWindow", "取消清零失败"),
         QT_TRANSLATE_NOOP("MainWindow", "取消清零失败！"), Effect::None, -1},
        {"fac save succeed", QT_TRANSLATE_NOOP("MainWindow", "工厂保存成功"), nullptr, Effect::None,
         -1},
        {"fac save failed", QT_TRANSLATE_NOOP("MainWindow", "工厂保存失败"),
         QT_TRANSLATE_NOOP("MainWindow", "工厂保存失败！"), Effect::None, -1},
        {"user save succeed", QT_TRANSLATE_NOOP("MainWindow", "用户保存成功"), nullptr,
         Effect::None, -1},
        {"user save failed", QT_TRANSLATE_NOOP("MainWindow", "用户保存失败"),
         QT_TRANSLATE_NOOP("MainWindow", "用户保存失败！"), Effect::None, -1},
        {"write all succeed", QT_TRANSLATE_NOOP("MainWindow", "全部写入成功"), nullptr,
         Effect::None, -1},
        {"write all failed", QT_TRANSLATE_NOOP("MainWindow", "写入失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入失败！"), Effect::None, -1},
        {"enter dianliujiaozhun succeed", QT_TRANSLATE_NOOP("MainWindow", "进入电流校准模式"),
         nullptr, Effect::FixedCurrentOn, -1},
        {"enter dianliujiaozhun failed", QT_TRANSLATE_NOOP("MainWindow", "进入电流校准模式失败"),
         QT_TRANSLATE_NOOP("MainWindow", "进入电流校准模式失败！"), Effect::None, -1},
        {"set fix current succeed", QT_TRANSLATE_NOOP("MainWindow", "设置电流成功"), nullptr,
         Effect::FixedCurrentOn, -1},
        {"set fix current failed", QT_TRANSLATE_NOOP("MainWindow", "设置电流失败"),
         QT_TRANSLATE_NOOP("MainWindow", "设置电流失败！"), Effect::None, -1},
        {"exit fix current succeed", QT_TRANSLATE_NOOP("MainWindow", "退出电流校准模式"), nullptr,
         Effect::FixedCurrentOff, -1},
        {"exit fix current failed", QT_TRANSLATE_NOOP("MainWindow", "退出电流校准模式失败"),
         QT_TRANSLATE_NOOP("MainWindow", "退出电流校准模式失败！"), Effect::None, -1},
        {"jiaozhun4ma succeed", QT_TRANSLATE_NOOP("MainWindow", "数据下发成功"), nullptr,
         Effect::None, -1},
        {"jiaozhun20ma succeed", QT_TRANSLATE_NOOP("MainWindow", "数据下发成功"), nullptr,
         Effect::None, -1},
        {"jiaozhun4ma failed", QT_TRANSLATE_NOOP("MainWindow", "数据下发失败"),
         QT_TRANSLATE_NOOP("MainWindow", "数据下发失败！"), Effect::None, -1},
        {"jiaozhun20ma failed", QT_TRANSLATE_NOOP("MainWindow", "数据下发失败"),
         QT_TRANSLATE_NOOP("MainWindow", "数据下发失败！"), Effect::None, -1},
        {"enter dianliuceshi succeed", QT_TRANSLATE_NOOP("MainWindow", "进入电流测试模式"), nullptr,
         Effect::FixedCurrentOn, -1},
        {"enter dianliuceshi failed", QT_TRANSLATE_NOOP("MainWindow", "进入电流测试模式失败"),
         QT_TRANSLATE_NOOP("MainWindow", "进入电流测试模式失败！"), Effect::None, -1},
        {"enter gongchangdianliujiaozhun succeed",
         QT_TRANSLATE_NOOP("MainWindow", "进入工厂电流校准模式成功"), nullptr, Effect::None, -1},
        {"enter gongchangdianliujiaozhun failed",
         QT_TRANSLATE_NOOP("MainWindow", "进入工厂电流校准模式失败"),
         QT_TRANSLATE_NOOP("MainWindow", "进入工厂电流校准模式失败！"), Effect::None, -1},
        {"exit gongchangdianliujiaozhun succeed",
         QT_TRANSLATE_NOOP("MainWindow", "退出工厂电流校准模式成功"), nullptr, Effect::None, -1},
        {"exit gongchangdianliujiaozhun failed",
         QT_TRANSLATE_NOOP("MainWindow", "退出工厂电流校准模式失败"),
         QT_TRANSLATE_NOOP("MainWindow", "退出工厂电流校准模式失败！"), Effect::None, -1},
        {"write gongchangdianliujiaozhunshuju succeed",
         QT_TRANSLATE_NOOP("MainWindow", "写入工厂电流校准数据成功"), nullptr, Effect::None, -1},
        {"write gongchangdianliujiaozhunshuju failed",
         QT_TRANSLATE_NOOP("MainWindow", "写入工厂电流校准数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入工厂电流校准数据失败！"), Effect::None, -1},
        {"read chuanganqipeizhishuju succeed",
         QT_TRANSLATE_NOOP("MainWindow", "读取传感器配置数据成功"), nullptr, Effect::None, 16},
        {"read chuanganqipeizhishuju failed",
         QT_TRANSLATE_NOOP("MainWindow", "读取传感器配置数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取传感器配置数据失败！"), Effect::None, -1},
        {"write chuanganqipeizhishuju succeed",
         QT_TRANSLATE_NOOP("MainWindow", "写入传感器配置数据成功"), nullptr, Effect::None, -1},
        {"write chuanganqipeizhishuju failed",
         QT_TRANSLATE_NOOP("MainWindow", "写入传感器配置数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入传感器配置数据失败！"), Effect::None, -1},
        {"read jiaozhunpeizhishuju succeed",
         QT_TRANSLATE_NOOP("MainWindow", "读取校准配置数据成功"), nullptr, Effect::None, 17},
        {"read jiaozhunpeizhishuju failed", QT_TRANSLATE_NOOP("MainWindow", "读取校准配置数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取校准配置数据失败！"), Effect::None, -1},
        {"read jiaozhunshuju succeed", QT_TRANSLATE_NOOP("MainWindow", "读取校准数据成功"), nullptr,
         Effect::None, -1},
        {"read jiaozhunshuju failed", QT_TRANSLATE_NOOP("MainWindow", "读取校准数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取校准数据失败！"), Effect::None, -1},
        {"write jiaozhunshuju succeed", QT_TRANSLATE_NOOP("MainWindow", "写入校准数据成功"),
         nullptr, Effect::CalibrationWriteOk, -1},
        {"write jiaozhunshuju failed", QT_TRANSLATE_NOOP("MainWindow", "写入校准数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入校准数据失败！"), Effect::CalibrationWriteFailed, -1},
        {"read yonghujiaozhunshuju succeed",
         QT_TRANSLATE_NOOP("MainWindow", "读取用户校准数据成功"), nullptr, Effect::None, 14},
        {"read yonghujiaozhunshuju failed", QT_TRANSLATE_NOOP("MainWindow", "读取用户校准数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取用户校准数据失败！"), Effect::None, -1},
        {"write yonghujiaozhunshuju succeed",
         QT_TRANSLATE_NOOP("MainWindow", "写入用户校准数据成功"), nullptr, Effect::None, -1},
        {"write yonghujiaozhunshuju failed",
         QT_TRANSLATE_NOOP("MainWindow", "写入用户校准数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入用户校准数据失败！"), Effect::None, -1},
        {"read SecondNonlinearityCorrection succeed",
         QT_TRANSLATE_NOOP("MainWindow", "读取二次非线性修正数据成功"), nullptr, Effect::None, -1},
        {"read SecondNonlinearityCorrection failed",
         QT_TRANSLATE_NOOP("MainWindow", "读取二次非线性修正数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取二次非线性修正数据失败！"), Effect::None, -1},
        {"write SecondNonlinearityCorrection succeed",
         QT_TRANSLATE_NOOP("MainWindow", "写入二次非线性修正数据成功"), nullptr, Effect::None, -1},
        {"write SecondNonlinearityCorrection failed",
         QT_TRANSLATE_NOOP("MainWindow", "写入二次非线性修正数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入二次非线性修正数据失败！"), Effect::None, -1},
        {"read modbus custom reg succeed",
         QT_TRANSLATE_NOOP("MainWindow", "读取modbus组态数据成功"), nullptr, Effect::None, -1},
        {"read modbus custom reg failed", QT_TRANSLATE_NOOP("MainWindow", "读取modbus组态数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "读取modbus组态数据失败！"), Effect::None, -1},
        {"write modbus custom reg succeed",
         QT_TRANSLATE_NOOP("MainWindow", "写入modbus组态数据成功"), nullptr, Effect::None, -1},
        {"write modbus custom reg failed",
         QT_TRANSLATE_NOOP("MainWindow", "写入modbus组态数据失败"),
         QT_TRANSLATE_NOOP("MainWindow", "写入modbus组态数据失败！"), Effect::None, -1},
        {"single temp compensation mode succeed", nullptr, nullptr, Effect::SingleTempDisplay, -1},
        {"read ADC succeed", nullptr, nullptr, Effect::LiveData, -1},
        {"read PV succeed", nullptr, nullptr, Effect::LiveData, -1},
        {"read guochengjiankong PV succeed", nullptr, nullptr, Effect::LiveData, -1},
        {"read chuchang jiance succeed", nullptr, nullptr, Effect::LiveData, -1},
};

const MainWindow::ResultRow *findResultRow(const QString &message)
{
    for (const MainWindow::ResultRow &row : kResultRows) {
        if (message == QLatin1String(row.result))
            return &row;
    }
    return nullptr;
}

void setComboToText(QComboBox *combo, const QString &text)
{
    combo->setCurrentIndex(combo->findText(text));
}

} // namespace

// ---------------------------------------------------------------------------------------
// Construction and shutdown

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
{
    initWindowResources();
    ui->setupUi(this);
    ui->label_makeDate->setText(pagefmt::buildDateText(__DATE__));

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

    ui->label_mainTitle->setText(tr("HART智能变送器组态软件用户版V0.8"));
    ui->label_fac_name->hide();
    ui->label_fac_addr->hide();
    setWindowTitle(ui->label_mainTitle->text());

    installValidators();

    // The tool box stays empty until a transmitter is found; the groups are kept for then.
    for (int i = 0; i < int(m_navPages.size()); ++i) {
        m_navPages[i] = ui->toolBox->widget(i);
        m_navTitles[i] = ui->toolBox->itemText(i);
    }
    clearNavigation();

    for (const UnitCode &unit : unit_code_table)
        ui->comboBox_liangchengshezhi_unit->addItem(QString::fromUtf8(unit.text));
    ui->comboBox_liangchengshezhi_unit->addItem(QString::fromUtf8(kUnitNotFoundText));

    showPage(kPageWelcome);

    startWorker();

    connect(&m_tickTimer, &QTimer::timeout, this, &MainWindow::tickTimerSlot);
    m_tickTimer.start(100);

    refreshPortList();

    {
        QMutexLocker lock(&m_worker->mutex);
        deviceData.factoryTestSelector = 1;
        deviceData.pv = std::numeric_limits<float>::infinity();
    }

    m_progressAnimation = new QPropertyAnimation(ui->progressBar, "value", this);
    m_progressAnimation->setDuration(200);
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

void MainWindow::installValidators()
{
    m_realValidator = new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("^(-?(0|([1-9][0-9]{0,6}))\\.[0-9]{0,7})$")), this);
    for (QLineEdit *edit :
         {ui->lineEdit_liangchengshezhi_rangeH, ui->lineEdit_liangchengshezhi_rangeL,
          ui->lineEdit_shuchushezhi_damp, ui->lineEdit_zhuanyoushezhi_baojinshangxian,
          ui->lineEdit_zhuanyoushezhi_baojinxiaxian, ui->lineEdit_zhuanyoushezhi_xiaoxinhaoqiechu,
          ui->lineEdit_zhuanyoushezhi_zengyi, ui->lineEdit_zhuanyoushezhi_pianzhi})
        edit->setValidator(m_realValidator);

    m_u16Validator = new UIntValidator(65535, this);
    m_u24Validator = new UIntValidator(16777215, this);
    ui->lineEdit_yibiaoxinxi_final_assembly_num->setValidator(m_u24Validator);
    ui->lineEdit_dizhishezhi_short_addr->setValidator(new UIntValidator(15, this));
    ui->lineEdit_yibiaoxinxi_date->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("^([0-9]{4}.[0-9]{2}.[0-9]{2})$")), this));
}

void MainWindow::startWorker()
{
    m_worker = std::make_unique<hartThread>();
    m_link = std::make_unique<SerialLink>(m_worker->master());
    connect(this, &MainWindow::sendMessageToHartThread, m_worker.get(),
            &hartThread::receiveMessageFromMainThread);
    connect(m_worker.get(), &hartThread::sendMessageToMainThread, this,
            &MainWindow::receiveMessageFromHartThread);
    connect(m_worker->master(), &kvhart_master::SendData, m_link.get(),
            &SerialLink::writeMySerialPort);
    connect(m_link.get(), &SerialLink::portLost, this, &MainWindow::onPortLost);
    m_worker->start();
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
    QLabel *const arrows[kPageCount] = {
            nullptr,
            nullptr,
            ui->label_biansongqixinxi,
            ui->label_yibiaoxinxi,
            ui->label_gengduoxinxi,
            ui->label_dizhishezhi,
            ui->label_liangchengshezhi,
            ui->label_youyuanqianyi,
            ui->label_shuchushezhi,
            ui->label_xianshishezhi,
            ui->label_zhuanyoushezhi,
            ui->label_yibiaoqingling,
            ui->label_dianliuweitiao,
            ui->label_guochengjiankong,
            ui->label_yonghujiaozhun,
            ui->label_modbus_zutai,
            ui->label_chuanganqipeizhi,
            ui->label_xianxinhuajiwenbu,
            ui->label_SecondNonlinearityCorrection,
            ui->label_chuchangjiance,
    };
    for (QLabel *arrow : arrows) {
        if (arrow)
            arrow->setEnabled(false);
    }
    if (index >= 0 && index < kPageCount && arrows[index])
        arrows[index]->setEnabled(true);
    // Entering the monitoring page restarts its plot; that page brings its own reset.
    ui->stackedWidget->setCurrentIndex(index);
}

void MainWindow::on_stackedWidget_currentChanged(int)
{
    const int page = ui->stackedWidget->currentIndex();
    qCDebug(lcWindow).noquote()
            << QStringLiteral("stackedWidget_currentChanged,index=%1").arg(page);
    if (!m_worker)
        return; // the form is still being built

    const bool open = m_link->isOpen();
    if (page == kPageUserCalibration || page == kPageLinearization
        || page == kPageSecondCorrection) {
        if (open)
            emit sendMessageToHartThread(QStringLiteral("read ADC"));
    } else {
        emit sendMessageToHartThread(QStringLiteral("stop read ADC"));
    }

    if (page != kPageMonitoring)
        emit sendMessageToHartThread(QStringLiteral("stop read PV"));
    else if (open)
        emit sendMessageToHartThread(QStringLiteral("read PV"));

    if (page != kPageCurrentTrim) {
        bool held = false;
        {
            QMutexLocker lock(&m_worker->mutex);
            held = deviceData.fixedCurrentActive != 0;
            if (held)
                deviceData.fixedCurrent = 0.0f;
        }
        if (held) {
            emit sendMessageToHartThread(QStringLiteral("exit fix current"));
            // Locked only while the worker will answer: with the port closed (or closing)
            // or no device found it drops the request, and nothing would unlock them.
            const bool served = open && !m_worker->isRequestPending(QStringLiteral("close port"))
                    && m_worker->isPortOpen() && m_worker->isDeviceFound();
            if (served)
                setPortButtonsEnabled(false);
        }
    }

    if (page != kPageLinearization) {
        {
            QMutexLocker lock(&m_worker->mutex);
            deviceData.singleTempPoint = 0;
        }
        emit sendMessageToHartThread(QStringLiteral("single temp compensation mode"));
    }

    if (page != kPageFactoryTest) {
        emit sendMessageToHartThread(QStringLiteral("stop chuchang jiance"));
        m_factoryTestState = 0;
    }
}

void MainWindow::clearNavigation()
{
    for (QWidget *group : m_navPages)
        group->hide();
    while (ui->toolBox->count() > 0) {
        // QToolBox only deleteLater()s the scroll area that carried the group. Until then its
        // event filter stays on the group, and once the group is added again the old and the
        // new scroll area resize it against each other without end (a stack overflow when
        // the groups are rebuilt before the event loop runs). Delete it now.
        QWidget *group = ui->toolBox->widget(0);
        QWidget *viewport = group->parentWidget();
        auto *scrollArea =
                viewport ? qobject_cast<QScrollArea *>(viewport->parentWidget()) : nullptr;
        ui->toolBox->removeItem(0);
        if (scrollArea && scrollArea->widget() == group)
            delete scrollArea;
    }
}

void MainWindow::rebuildNavigation(const DeviceData &d)
{
    clearNavigation();
    const bool maker = pagefmt::isMakerDevice(d);
    const int groups = maker ? kMakerGroups : kForeignGroups;
    for (int i = 0; i < groups; ++i) {
        ui->toolBox->addItem(m_navPages[i], m_navTitles[i]);
        m_navPages[i]->show();
    }
    // Display, proprietary settings and cancelling a PV zero need the maker's own commands.
    const std::initializer_list<QWidget *> makerOnly = {
            ui->pushButton_xianshishezhi, ui->label_xianshishezhi, ui->pushButton_zhuanyoushezhi,
            ui->label_zhuanyoushezhi, ui->pushButton_quxiaoqingling};
    for (QWidget *w : makerOnly)
        w->setVisible(maker);
}

// ---------------------------------------------------------------------------------------
// Port row and status line

void MainWindow::refreshPortList()
{
    ui->comboBox_duankouhao->clear();
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        ui->comboBox_duankouhao->addItem(info.portName());
    // The demo's simulated transmitter: a link to its pseudo-terminal, unseen by the
    // platform's port enumeration.
    const QDir tmp(QStringLiteral("/tmp"));
    const QStringList links =
            tmp.entryList({QStringLiteral("ttyHARTSIM*")},
                          QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : links) {
        const QString path = tmp.filePath(name);
        if (QFileInfo::exists(path))
            ui->comboBox_duankouhao->addItem(path);
    }
}

void MainWindow::on_pushButton_chazhaoduankou_clicked()
{
    refreshPortList();
}

void MainWindow::on_pushButton_dakaiduankou_clicked()
{
    const QString name = ui->comboBox_duankouhao->currentText().trimmed();
    if (name.isEmpty()) {
        ui->label_connect->setText(tr("未连接"));
        showStatus(tr("请选择端口号"));
        warn(tr("请选择端口号！"));
        return;
    }
    if (ui->pushButton_dakaiduankou->text() == tr("打开端口")) {
        if (!m_link->open(name)) {
            m_link->close();
            ui->label_connect->setText(tr("未连接"));
            showStatus(tr("端口打开失败"));
            warn(tr("端口打开失败，请检查端口号是否正确或端口是否占用！"));
            return;
        }
        ui->label_connect->setText(tr("当前连接：%1").arg(name));
        ui->pushButton_dakaiduankou->setText(tr("关闭端口"));
        emit sendMessageToHartThread(QStringLiteral("open port"));
    } else {
        // The port stays open until the worker confirms; it may be mid-transaction.
        emit sendMessageToHartThread(QStringLiteral("close port"));
    }
}

void MainWindow::onPortLost()
{
    // An unplugged modem is a closed port: the worker must stop using it, and the user
    // gets the buttons back to open it again.
    m_link->close();
    emit sendMessageToHartThread(QStringLiteral("close port"));
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
    if (++m_tickCount > 9) {
        m_tickCount = 0;
        if (m_statusSeconds != 0)
            --m_statusSeconds;
        if (m_statusSeconds == 0)
            ui->label_state->clear();
        if (m_factoryTestSeconds != 0)
            --m_factoryTestSeconds;
        if (m_singleTempSeconds != 0 && --m_singleTempSeconds == 0) {
            // The test mode ends on the host only; the linearization page shows it.
            QMutexLocker lock(&m_worker->mutex);
            deviceData.singleTempPoint = 0;
        }
    }
    if (m_progressHideTicks != 0 && --m_progressHideTicks == 0 && ui->progressBar->value() > 99) {
        ui->progressBar->setValue(0);
        ui->progressBar->hide();
    }
}

// ---------------------------------------------------------------------------------------
// Dialogs

void MainWindow::runCentred(QDialog &dialog)
{
    // Integer division toward zero; a window smaller than the dialog gives negative offsets.
    dialog.move(x() + (width() - Dialog_Warning::kWidth) / 2,
                y() + (height() - Dialog_Warning::kHeight) / 2);
    dialog.exec();
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

// ---------------------------------------------------------------------------------------
// Requests

bool MainWindow::portReady()
{
    if (m_link->isOpen())
        return true;
    warn(tr("请先打开端口！"));
    return false;
}

void MainWindow::startRequest(const QString &request, const QString &busyText, WhileBusy page)
{
    if (!busyText.isEmpty())
        showStatus(busyText);
    if (page == WhileBusy::ShowEmptyPage)
        showPage(kPageEmpty);
    emit sendMessageToHartThread(request);
    setPortButtonsEnabled(false);
}

void MainWindow::setPortButtonsEnabled(bool enabled)
{
    ui->pushButton_dakaiduankou->setEnabled(enabled);
    ui->pushButton_chaxunyibiao->setEnabled(enabled);
}

void MainWindow::on_pushButton_chaxunyibiao_clicked()
{
    if (!portReady())
        return;
    clearNavigation();
    startRequest(QStringLiteral("search meter"), tr("正在查询仪表..."), WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_biansongqixinxi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read tramsmeter info"), tr("正在读取变送器信息..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_yibiaoxinxi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read meter info"), tr("正在读取仪表信息..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_gengduoxinxi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read more info"), tr("正在读取更多信息..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_dizhishezhi_clicked()
{
    showPage(kPageAddress);
    fillAddressPage();
}

void MainWindow::on_pushButton_liangchengshezhi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read range info"), tr("正在读取量程信息..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_youyuanqianyi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read qianyi range info"), tr("正在读取量程信息..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_shuchushezhi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read shuchushezhi"), tr("正在读取输出设置..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_xianshishezhi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read xianshishezhi"), tr("正在读取显示设置..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_zhuanyoushezhi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read zhuanyoushezhi"), tr("正在读取专有设置数据..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_yibiaoqingling_clicked()
{
    showPage(kPagePvZero);
}

void MainWindow::on_pushButton_dianliuweitiao_clicked()
{
    showPage(kPageCurrentTrim);
}

void MainWindow::on_pushButton_guochengjiankong_clicked()
{
    showPage(kPageMonitoring);
    if (m_link->isOpen())
        emit sendMessageToHartThread(QStringLiteral("read PV"));
}

void MainWindow::on_pushButton_yonghujiaozhun_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read yonghujiaozhunshuju"), tr("正在读取用户校准数据..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_chuanganqipeizhi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("read chuanganqipeizhishuju"), tr("正在读取传感器配置数据..."),
                     WhileBusy::ShowEmptyPage);
}

void MainWindow::on_pushButton_xianxinhuajiwenbu_clicked()
{
    showPage(kPageLinearization);
}

void MainWindow::on_pushButton_SecondNonlinearityCorrection_clicked()
{
    showPage(kPageSecondCorrection);
}

void MainWindow::on_pushButton_modbus_zutai_clicked()
{
    showPage(kPageModbus);
}

void MainWindow::on_pushButton_chuchangjiance_clicked()
{
    showPage(kPageFactoryTest);
}

void MainWindow::on_pushButton_xieruyibiaoxinxi_clicked()
{
    if (!portReady())
        return;
    collectMeterInfo();
    startRequest(QStringLiteral("write meter info"), tr("正在写入仪表信息..."),
                 WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_set_addr_clicked()
{
    if (!portReady())
        return;
    // The validator admits 0..15; anything else that slips through must not become an
    // address the transmitter cannot be found at.
    const std::uint32_t address = std::min<std::uint32_t>(
            pagefmt::parseUnsigned(ui->lineEdit_dizhishezhi_short_addr->text()), 15);
    {
        QMutexLocker lock(&m_worker->mutex);
        deviceData.newPollingAddress = std::uint8_t(address);
    }
    startRequest(QStringLiteral("write addr info"), tr("正在写入地址信息..."), WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_set_range_clicked()
{
    if (!portReady())
        return;
    const int unitIndex = ui->comboBox_liangchengshezhi_unit->currentIndex();
    const QString upper = ui->lineEdit_liangchengshezhi_rangeH->text();
    const QString lower = ui->lineEdit_liangchengshezhi_rangeL->text();
    {
        QMutexLocker lock(&m_worker->mutex);
        pagefmt::collectRange(deviceData, unitIndex, upper, lower);
    }
    startRequest(QStringLiteral("write range info"), tr("正在写入量程信息..."),
                 WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_lingdianqianyi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("lingdianqianyi"), tr("正在零点迁移..."), WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_liangchengqianyi_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("liangchengqianyi"), tr("正在量程迁移..."),
                     WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_send_shuchushezhi_clicked()
{
    if (!portReady())
        return;
    collectOutputPage();
    startRequest(QStringLiteral("write shuchushezhi"), tr("正在写入输出设置数据..."),
                 WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_send_xianshishezhi_clicked()
{
    if (!portReady())
        return;
    collectDisplayPage();
    startRequest(QStringLiteral("write xianshishezhi"), tr("正在写入显示设置..."),
                 WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_zhuanyoushezhi_fasong_clicked()
{
    if (!portReady())
        return;
    collectProprietaryPage();
    startRequest(QStringLiteral("write zhuanyoushezhi"), tr("正在写入专有设置数据..."),
                 WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_qingling_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("PV clear"), QString(), WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_quxiaoqingling_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("PV clear reset"), QString(), WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_quanbuxieru_clicked()
{
    if (!portReady())
        return;
    // Write all only to a transmitter found just now: search first, write on its success.
    m_writeAllPending = true;
    startRequest(QStringLiteral("search meter"), tr("正在查询仪表..."), WhileBusy::KeepPage);
}

void MainWindow::on_pushButton_gongchangbaocun_clicked()
{
    if (portReady())
        startRequest(QStringLiteral("fac save"), tr("正在工厂保存..."), WhileBusy::KeepPage);
}

// ---------------------------------------------------------------------------------------
// Results

void MainWindow::receiveMessageFromHartThread(QString Message)
{
    const int colon = Message.indexOf(QLatin1Char(':'));
    const QString prefix = colon < 0 ? Message : Message.left(colon);
    const QString argument = colon < 0 ? QString() : Message.mid(colon + 1);

    if (prefix == QLatin1String("set progressBar")) {
        onProgress(argument);
    } else if (prefix == QLatin1String("hart status")) {
        appendStatusItem(argument);
    } else if (Message == QLatin1String("close port succeed")) {
        m_link->close();
        ui->label_connect->setText(tr("未连接"));
        ui->pushButton_dakaiduankou->setText(tr("打开端口"));
    } else if (Message == QLatin1String("search meter succeed")) {
        onSearchSucceeded();
    } else if (Message == QLatin1String("search meter failed")) {
        onSearchFailed();
    } else if (prefix == QLatin1String("search meter addr")) {
        showStatus(tr("查询仪表%1...").arg(argument));
    } else if (const ResultRow *row = findResultRow(Message)) {
        handleResultRow(*row);
    }
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
        const Snapshot s = snapshot();
        rebuildNavigation(s.data);
        fillTransmitterInfo(pagefmt::transmitterInfo(s.data));
    }
    setPortButtonsEnabled(true);
    if (m_writeAllPending) {
        collectPagesForWriteAll();
        m_writeAllPending = false;
        showStatus(tr("正在写入数据..."));
        emit sendMessageToHartThread(QStringLiteral("write all"));
        setPortButtonsEnabled(false);
    } else {
        showPage(kPageTransmitterInfo);
    }
}

void MainWindow::onSearchFailed()
{
    showStatus(tr("查询仪表失败"));
    if (ask(tr("询问"), tr("查询地址0失败，是否查询地址1~15?"))) {
        qCDebug(lcWindow, "search 1~15");
        // The port buttons stay locked while the worker tries the fifteen addresses.
        emit sendMessageToHartThread(QStringLiteral("search meter 1-15"));
    } else {
        setPortButtonsEnabled(true);
    }
}

void MainWindow::handleResultRow(const ResultRow &row)
{
    if (row.effect == Effect::LiveData)
        return; // the monitoring and calibration pages take their samples themselves
    if (row.effect == Effect::SingleTempDisplay) {
        setPortButtonsEnabled(true);
        onSingleTempResult();
        return;
    }
    if (row.status)
        showStatus(tr(row.status));
    if (row.warning) {
        if (row.effect == Effect::CalibrationWriteFailed)
            m_calibrationWriteOutcome = 2;
        warn(tr(row.warning));
        applyEffect(row.effect);
    } else {
        applyEffect(row.effect);
        if (row.page >= 0)
            showPage(row.page);
    }
    setPortButtonsEnabled(true);
}

void MainWindow::onSingleTempResult()
{
    std::uint16_t point = 0;
    {
        QMutexLocker lock(&m_worker->mutex);
        point = deviceData.singleTempPoint;
    }
    // The countdown ends the test mode after two minutes; the linearization page shows it.
    m_singleTempSeconds = point != 0 ? 120 : 0;
}

void MainWindow::applyEffect(Effect effect)
{
    switch (effect) {
    case Effect::TransmitterInfo:
        fillTransmitterInfo(pagefmt::transmitterInfo(snapshot().data));
        break;
    case Effect::MeterInfo: {
        const Snapshot s = snapshot();
        fillMeterInfo(pagefmt::meterInfo(s.data, s.pollingAddress, s.deviceId));
        break;
    }
    case Effect::MoreInfo: fillMoreInfo(pagefmt::moreInfo(snapshot().data)); break;
    case Effect::Range: fillRangePage(pagefmt::rangeInfo(snapshot().data), false); break;
    case Effect::RangeWritten: fillRangePage(pagefmt::rangeInfo(snapshot().data), true); break;
    case Effect::Rerange: fillRerangePage(pagefmt::rangeInfo(snapshot().data)); break;
    case Effect::Output: fillOutputPage(pagefmt::outputSettings(snapshot().data)); break;
    case Effect::Display: fillDisplayPage(pagefmt::displaySettings(snapshot().data)); break;
    case Effect::Proprietary:
        fillProprietaryPage(pagefmt::proprietarySettings(snapshot().data));
        break;
    case Effect::FixedCurrentOn:
    case Effect::FixedCurrentOff: {
        QMutexLocker lock(&m_worker->mutex);
        deviceData.fixedCurrentActive = effect == Effect::FixedCurrentOn ? 1 : 0;
        break;
    }
    case Effect::CalibrationWriteOk: m_calibrationWriteOutcome = 1; break;
    case Effect::CalibrationWriteFailed:
    case Effect::SingleTempDisplay:
    case Effect::LiveData:
    case Effect::None: break;
    }
}

// ---------------------------------------------------------------------------------------
// Page fills and collects

MainWindow::Snapshot MainWindow::snapshot()
{
    QMutexLocker lock(&m_worker->mutex);
    Snapshot s;
    std::memcpy(&s.data, &deviceData, sizeof s.data);
    const kvhart_master::Addressing a = m_worker->master()->addressing();
    s.pollingAddress = a.pollingAddress;
    s.deviceId = pagefmt::deviceIdentifier(a.uniqueAddress);
    return s;
}

void MainWindow::fillTransmitterInfo(const pagefmt::TransmitterInfo &t)
{
    ui->lineEdit_chuanganqixinxi_unit->setText(t.sensorUnit);
    ui->lineEdit_chuanganqixinxi_rangeH->setText(t.sensorUpper);
    ui->lineEdit_chuanganqixinxi_rangeL->setText(t.sensorLower);
    ui->lineEdit_chuanganqixinxi_min_span->setText(t.minimumSpan);
    ui->lineEdit_chuanganqixinxi_serial_num->setText(t.sensorSerial);
    ui->lineEdit_biansongqixinxi_unit->setText(t.pvUnit);
    ui->lineEdit_biansongqixinxi_rangeH->setText(t.upperRange);
    ui->lineEdit_biansongqixinxi_rangeL->setText(t.lowerRange);
    ui->lineEdit_biansongqixinxi_damp->setText(t.damping);
    ui->lineEdit_biansongqixinxi_xfer->setText(t.transfer);
}

void MainWindow::fillMeterInfo(const pagefmt::MeterInfo &m)
{
    ui->lineEdit_yibiaoxinxi_short_addr->setText(m.shortAddress);
    ui->lineEdit_yibiaoxinxi_long_addr->setText(m.longAddress);
    ui->lineEdit_yibiaoxinxi_tag->setText(m.tag);
    ui->lineEdit_yibiaoxinxi_final_assembly_num->setText(m.finalAssembly);
    ui->lineEdit_yibiaoxinxi_descr->setText(m.descriptor);
    ui->lineEdit_yibiaoxinxi_message->setText(m.message);
    ui->lineEdit_yibiaoxinxi_date->setText(m.date);
}

void MainWindow::fillMoreInfo(const pagefmt::MoreInfo &m)
{
    ui->lineEdit_gengduoxinxi_fac_code->setText(m.manufacturer);
    ui->lineEdit_gengduoxinxi_dev_type->setText(m.deviceType);
    ui->lineEdit_gengduoxinxi_univ_cmd_rev->setText(m.universalRevision);
    ui->lineEdit_gengduoxinxi_trans_spec_rev->setText(m.deviceRevision);
    ui->lineEdit_gengduoxinxi_hard_rev->setText(m.hardwareRevision);
    ui->lineEdit_gengduoxinxi_soft_rev->setText(m.softwareRevision);
    ui->lineEdit_gengduoxinxi_alarm_select_code->setText(m.alarmSelection);
    ui->lineEdit_gengduoxinxi_write_prot_code->setText(m.writeProtect);
}

void MainWindow::fillAddressPage()
{
    const Snapshot s = snapshot();
    ui->lineEdit_dizhishezhi_short_addr->setText(QString::number(s.pollingAddress));
    ui->lineEdit_dizhishezhi_long_addr->setText(QString::number(s.deviceId));
}

void MainWindow::fillRangePage(const pagefmt::RangeInfo &r, bool unitAndRangeOnly)
{
    if (!unitAndRangeOnly) {
        ui->lineEdit_liangchengshezhi_sersor_unit->setText(r.sensorUnit);
        ui->lineEdit_liangchengshezhi_sersor_rangeH->setText(r.sensorUpper);
        ui->lineEdit_liangchengshezhi_sersor_rangeL->setText(r.sensorLower);
        ui->lineEdit_liangchengshezhi_sersor_min_span->setText(r.minimumSpan);
    }
    setComboToText(ui->comboBox_liangchengshezhi_unit, r.pvUnit);
    ui->lineEdit_liangchengshezhi_rangeH->setText(r.upperRange);
    ui->lineEdit_liangchengshezhi_rangeL->setText(r.lowerRange);
}

void MainWindow::fillRerangePage(const pagefmt::RangeInfo &r)
{
    ui->lineEdit_biansongdangqian_unit->setText(r.pvUnit);
    ui->lineEdit_biansongdangqian_rangeH->setText(r.upperRange);
    ui->lineEdit_biansongdangqian_rangeL->setText(r.lowerRange);
}

void MainWindow::fillOutputPage(const pagefmt::OutputSettings &o)
{
    ui->lineEdit_shuchushezhi_damp->setText(o.damping);
    ui->comboBox_shuchushezhi_xfer->setCurrentIndex(o.transferFunction);
}

void MainWindow::fillDisplayPage(const pagefmt::DisplaySettings &s)
{
    ui->comboBox_xianshishezhi_bianliang1->setCurrentIndex(s[0]);
    ui->comboBox_xianshishezhi_bianliang2->setCurrentIndex(s[1]);
    ui->comboBox_xianshishezhi_PV_xiaoshuwei->setCurrentIndex(s[2]);
    ui->comboBox_xianshishezhi_SV_xiaoshuwei->setCurrentIndex(s[3]);
    ui->comboBox_xianshishezhi_language->setCurrentIndex(s[4]);
    ui->comboBox_xianshishezhi_contrast->setCurrentIndex(s[5]);
}

void MainWindow::fillProprietaryPage(const pagefmt::ProprietarySettings &p)
{
    ui->comboBox_zhuanyoushezhi_xiebaohu->setCurrentIndex(p.writeProtect);
    ui->comboBox_zhuanyoushezhi_baojinleixing->setCurrentIndex(p.alarmType);
    ui->comboBox_zhuanyoushezhi_baojinxuanze->setCurrentIndex(p.alarmSelection);
    ui->comboBox_zhuanyoushezhi_qiechufangshi->setCurrentIndex(p.cutoffMode);
    ui->lineEdit_zhuanyoushezhi_density->setText(p.density);
    ui->lineEdit_zhuanyoushezhi_baojinshangxian->setText(p.alarmUpper);
    ui->lineEdit_zhuanyoushezhi_baojinxiaxian->setText(p.alarmLower);
    ui->lineEdit_zhuanyoushezhi_xiaoxinhaoqiechu->setText(p.smallSignalCutoff);
    ui->lineEdit_zhuanyoushezhi_pianzhi->setText(p.offset);
    ui->lineEdit_zhuanyoushezhi_zengyi->setText(p.gain);
}

void MainWindow::collectMeterInfo()
{
    pagefmt::MeterInfo typed;
    typed.tag = ui->lineEdit_yibiaoxinxi_tag->text();
    typed.finalAssembly = ui->lineEdit_yibiaoxinxi_final_assembly_num->text();
    typed.descriptor = ui->lineEdit_yibiaoxinxi_descr->text();
    typed.message = ui->lineEdit_yibiaoxinxi_message->text();
    typed.date = ui->lineEdit_yibiaoxinxi_date->text();
    QMutexLocker lock(&m_worker->mutex);
    pagefmt::collectMeterInfo(deviceData, typed);
}

void MainWindow::collectOutputPage()
{
    const pagefmt::OutputSettings typed{ui->lineEdit_shuchushezhi_damp->text(),
                                        ui->comboBox_shuchushezhi_xfer->currentIndex()};
    QMutexLocker lock(&m_worker->mutex);
    pagefmt::collectOutputSettings(deviceData, typed);
}

void MainWindow::collectDisplayPage()
{
    const pagefmt::DisplaySettings typed{ui->comboBox_xianshishezhi_bianliang1->currentIndex(),
                                         ui->comboBox_xianshishezhi_bianliang2->currentIndex(),
                                         ui->comboBox_xianshishezhi_PV_xiaoshuwei->currentIndex(),
                                         ui->comboBox_xianshishezhi_SV_xiaoshuwei->currentIndex(),
                                         ui->comboBox_xianshishezhi_language->currentIndex(),
                                         ui->comboBox_xianshishezhi_contrast->currentIndex()};
    QMutexLocker lock(&m_worker->mutex);
    pagefmt::collectDisplaySettings(deviceData, typed);
}

void MainWindow::collectProprietaryPage()
{
    pagefmt::ProprietarySettings typed;
    typed.writeProtect = ui->comboBox_zhuanyoushezhi_xiebaohu->currentIndex();
    typed.alarmType = ui->comboBox_zhuanyoushezhi_baojinleixing->currentIndex();
    typed.alarmSelection = ui->comboBox_zhuanyoushezhi_baojinxuanze->currentIndex();
    typed.cutoffMode = ui->comboBox_zhuanyoushezhi_qiechufangshi->currentIndex();
    typed.density = ui->lineEdit_zhuanyoushezhi_density->text();
    typed.alarmUpper = ui->lineEdit_zhuanyoushezhi_baojinshangxian->text();
    typed.alarmLower = ui->lineEdit_zhuanyoushezhi_baojinxiaxian->text();
    typed.smallSignalCutoff = ui->lineEdit_zhuanyoushezhi_xiaoxinhaoqiechu->text();
    typed.offset = ui->lineEdit_zhuanyoushezhi_pianzhi->text();
    typed.gain = ui->lineEdit_zhuanyoushezhi_zengyi->text();
    QMutexLocker lock(&m_worker->mutex);
    pagefmt::collectProprietarySettings(deviceData, typed);
}

void MainWindow::collectPagesForWriteAll()
{
    // The sensor, linearization and Modbus pages add their collects here once they exist;
    // until then their part of the record is written as it was last read or loaded.
    collectMeterInfo();
    collectOutputPage();
    collectDisplayPage();
    collectProprietaryPage();
}

// What a stacked page may ask of the window that holds it: the port, the request pattern,
// the status line, the dialogs and the device record with its lock. Pages know only this,
// never the window class or another page.
#pragma once

#include "devicedata.h"
#include "kvhart_master.h"

#include <QCoreApplication>
#include <QMutex>
#include <QMutexLocker>
#include <QString>

class QDialog;
class QValidator;

// Fixed indices of the stacked pages.
namespace pageindex {
constexpr int Welcome = 0;
constexpr int Empty = 1;
constexpr int TransmitterInfo = 2;
constexpr int MeterInfo = 3;
constexpr int MoreInfo = 4;
constexpr int Address = 5;
constexpr int Range = 6;
constexpr int Rerange = 7;
constexpr int Output = 8;
constexpr int Display = 9;
constexpr int Proprietary = 10;
constexpr int PvZero = 11;
constexpr int CurrentTrim = 12;
constexpr int Monitoring = 13;
constexpr int UserCalibration = 14;
constexpr int Modbus = 15;
constexpr int SensorConfig = 16;
constexpr int Linearization = 17;
constexpr int SecondCorrection = 18;
constexpr int FactoryTest = 19;
constexpr int Count = 20;
} // namespace pageindex

enum class WhileBusy { KeepPage, ShowEmptyPage };

// Every text a page shows belongs to the window's translation context.
inline QString windowTr(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// Given to every cell editor the calibration and Modbus tables place in their cells.
constexpr const char *kCellEditorStyle =
        "QLineEdit{    border: 1px solid rgb(0, 150, 255);    border-radius: 0px;    "
        "background: rgb(255,255,255);"
        "    selection-background-color: rgb(0, 150, "
        "255);}QLineEdit:read-only,QLineEdit:disabled{    background: rgb(220,220,220);}";

class PageHost
{
public:
    virtual ~PageHost() = default;

    // The port as it is now, without a word to the user.
    virtual bool isPortOpen() const = 0;
    // The check every request button makes first: false, after the warning "请先打开端口！",
    // when the port is closed.
    virtual bool portReady() = 0;
    // The common request pattern: busy text (when not empty), the empty page (when asked),
    // the request, and the port and search buttons locked until its result.
    virtual void startRequest(const QString &request, const QString &busyText, WhileBusy page) = 0;
    // A request with no busy state of its own (continuous modes, page-change requests).
    virtual void sendRequest(const QString &request) = 0;
    virtual void setPortButtonsEnabled(bool enabled) = 0;

    virtual void showStatus(const QString &text) = 0;
    virtual void showPage(int index) = 0;
    virtual int currentPage() const = 0;

    // Modal, centred on the window; the dialog is the program's own.
    virtual void warn(const QString &text) = 0;
    virtual bool ask(const QString &title, const QString &text) = 0;
    // Places any dialog of a page centred on the window and runs it modally.
    virtual int runCentred(QDialog &dialog) = 0;

    // Guards deviceData: hold it for copies only, never across a dialog or a request.
    virtual QMutex &dataLock() = 0;
    // The polling and unique address the master uses; takes the data lock itself.
    virtual kvhart_master::Addressing addressing() = 0;

    // The window's shared validators (reals, 0..65535, 0..16777215).
    virtual QValidator *realValidator() const = 0;
    virtual QValidator *u16Validator() const = 0;
    virtual QValidator *u24Validator() const = 0;
};

// The whole record as one consistent copy, taken under the data lock.
inline DeviceData copyDeviceData(PageHost &host)
{
    QMutexLocker lock(&host.dataLock());
    return deviceData;
}

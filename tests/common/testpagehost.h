// A page host for page tests: a real worker, serial link and simulated transmitter on a
// pseudo-terminal, wired as the window wires them, with short protocol time-outs. It plays
// the shell's part for the pages under test: the request pattern, the page-change rules of
// continuous modes and held currents, the fixed-current flag, and every result string
// handed to the page method the shell would call. Dialogs never block.
#pragma once

#include "waitfor.h"

#include "devicedata.h"
#include "hartthread.h"
#include "kvhart_master.h"
#include "pagehost.h"
#include "seriallink.h"
#include "transmittersim.h"
#include "uintvalidator.h"

#include <QtTest>

#include <QDialog>
#include <QHash>
#include <QMutexLocker>
#include <QRegularExpressionValidator>

#include <functional>
#include <memory>

// Collects Qt's connect-by-name complaints while alive: a renamed widget would otherwise
// leave its button silently unconnected.
class SlotWarningCatcher
{
public:
    SlotWarningCatcher() { s_previous = qInstallMessageHandler(&SlotWarningCatcher::handle); }
    ~SlotWarningCatcher() { qInstallMessageHandler(s_previous); }
    static QStringList &complaints()
    {
        static QStringList list;
        return list;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (text.contains(QLatin1String("connectSlotsByName")))
            complaints() << text;
        if (s_previous)
            s_previous(type, context, text);
    }
    static inline QtMessageHandler s_previous = nullptr;
};

class TestPageHost : public QObject, public PageHost
{
public:
    explicit TestPageHost(const SimConfig &config = SimConfig())
        : sim(config)
        , m_real(QRegularExpression(QStringLiteral("^(-?(0|([1-9][0-9]{0,6}))\\.[0-9]{0,7})$")),
                 nullptr)
        , m_u16(65535, nullptr)
        , m_u24(16777215, nullptr)
    {
        {
            QMutexLocker lock(&worker.mutex);
            resetDeviceData(deviceData);
        }
        link = std::make_unique<SerialLink>(worker.master());
        connect(worker.master(), &kvhart_master::SendData, link.get(),
                &SerialLink::writeMySerialPort);
        connect(&worker, &hartThread::sendMessageToMainThread, this, &TestPageHost::onResult);
        worker.master()->timeoutMs = 150;
        worker.master()->retryCount = 2;
        worker.start();
    }

    ~TestPageHost() override
    {
        worker.stop();
        link->close();
        sim.stop();
    }

    // ---- set-up and waiting ----
    bool openPort()
    {
        if (!sim.isRunning() && !sim.start())
            return false;
        if (!link->open(sim.portPath()))
            return false;
        sendRequest(QStringLiteral("open port"));
        return true;
    }

    bool openAndSearch()
    {
        if (!openPort())
            return false;
        sendRequest(QStringLiteral("search meter"));
        return waitForResult(QStringLiteral("search meter succeed"));
    }

    // The page method the shell calls for a result string.
    void on(const QString &result, std::function<void()> handler)
    {
        m_handlers.insert(result, std::move(handler));
    }
    // Runs when showPage enters page 13 from another page (the monitoring reset).
    std::function<void()> enterMonitoring;
    // Answers a dialog run through runCentred; by default it is rejected at once.
    std::function<int(QDialog &)> dialogAnswer;
    bool askAnswer = false;

    bool waitForResult(const QString &result, int timeoutMs = 5000)
    {
        return waitFor([&] { return results.contains(result); }, timeoutMs);
    }

    template<typename Pred>
    static bool waitFor(Pred done, int timeoutMs)
    {
        return waitUntil(done, timeoutMs);
    }

    // Requests of one HART command as the simulator received them.
    QVector<SimRequest> commands(quint8 command) const
    {
        QVector<SimRequest> out;
        for (const SimRequest &r : sim.requests())
            if (r.command == command)
                out << r;
        return out;
    }

    // ---- PageHost ----
    bool isPortOpen() const override { return link->isOpen(); }
    bool portReady() override
    {
        if (isPortOpen())
            return true;
        warnings << QStringLiteral("请先打开端口！");
        return false;
    }
    void startRequest(const QString &request, const QString &busyText, WhileBusy page) override
    {
        if (!busyText.isEmpty())
            showStatus(busyText);
        if (page == WhileBusy::ShowEmptyPage)
            showPage(pageindex::Empty);
        sendRequest(request);
        portButtonsEnabled = false;
    }
    void sendRequest(const QString &request) override
    {
        requests << request;
        worker.receiveMessageFromMainThread(request);
    }
    void setPortButtonsEnabled(bool enabled) override { portButtonsEnabled = enabled; }
    void showStatus(const QString &text) override
    {
        status = text;
        statuses << text;
    }
    void showPage(int index) override
    {
        if (index == m_page)
            return;
        if (index == pageindex::Monitoring && enterMonitoring)
            enterMonitoring();
        // The window's page-change rules are the window's: its own tests drive them.
        m_page = index;
    }
    int currentPage() const override { return m_page; }
    void warn(const QString &text) override { warnings << text; }
    bool ask(const QString &, const QString &text) override
    {
        questions << text;
        return askAnswer;
    }
    int runCentred(QDialog &dialog) override
    {
        dialog.move(40 + (823 - dialog.width()) / 2, 30 + (631 - dialog.height()) / 2);
        if (dialogAnswer)
            return dialogAnswer(dialog);
        QTimer::singleShot(0, &dialog, &QDialog::reject);
        return dialog.exec();
    }
    QMutex &dataLock() override { return worker.mutex; }
    kvhart_master::Addressing addressing() override
    {
        QMutexLocker lock(&worker.mutex);
        return worker.master()->addressing();
    }
    QValidator *realValidator() const override
    {
        return const_cast<QRegularExpressionValidator *>(&m_real);
    }
    QValidator *u16Validator() const override { return const_cast<UIntValidator *>(&m_u16); }
    QValidator *u24Validator() const override { return const_cast<UIntValidator *>(&m_u24); }

    TransmitterSim sim;
    hartThread worker;
    std::unique_ptr<SerialLink> link;
    QStringList requests;
    QStringList results; // status texts of the device left out
    QStringList warnings;
    QStringList questions;
    QStringList statuses;
    QString status;
    bool portButtonsEnabled = true;

private:
    void onResult(const QString &message)
    {
        if (message.startsWith(QLatin1String("hart status:")))
            return;
        results << message;
        if (message.startsWith(QLatin1String("set progressBar")))
            return;
        // The shell's own effect of the fixed-current results, made before the page reacts.
        static const QStringList held{QStringLiteral("enter dianliujiaozhun succeed"),
                                      QStringLiteral("set fix current succeed"),
                                      QStringLiteral("enter dianliuceshi succeed")};
        if (held.contains(message) || message == QLatin1String("exit fix current succeed")) {
            QMutexLocker lock(&worker.mutex);
            deviceData.fixedCurrentActive = held.contains(message) ? 1 : 0;
        }
        const bool live = message == QLatin1String("read PV succeed")
                || message == QLatin1String("read guochengjiankong PV succeed")
                || message == QLatin1String("read ADC succeed");
        if (!live
            && (message.endsWith(QLatin1String(" succeed"))
                || message.endsWith(QLatin1String(" failed"))))
            portButtonsEnabled = true;
        const auto it = m_handlers.constFind(message);
        if (it != m_handlers.constEnd())
            it.value()();
    }

    int m_page = pageindex::Welcome;
    QHash<QString, std::function<void()>> m_handlers;
    QRegularExpressionValidator m_real;
    UIntValidator m_u16;
    UIntValidator m_u24;
};

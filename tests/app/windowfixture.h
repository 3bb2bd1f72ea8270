// A main window wired to a simulated transmitter over a real pseudo-terminal, with short
// protocol time-outs, a record of every request it sends, and an answerer for its modal
// dialogs so no test ever blocks on one.
#pragma once

#include "waitfor.h"

#include "devicedata.h"
#include "dialog_ask.h"
#include "dialog_warning.h"
#include "hartiplink.h"
#include "hartthread.h"
#include "kvhart_master.h"
#include "mainwindow.h"
#include "seriallink.h"
#include "transmittersim.h"

#include <QtTest>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QToolBox>

#include <memory>

// Polls for the application's modal dialog, records what it says and where it stands,
// and presses the chosen button.
class DialogAnswerer : public QObject
{
public:
    struct Seen
    {
        QString kind; // "warning" or "ask"
        QString title;
        QString text;
        QRect geometry;
    };

    DialogAnswerer()
    {
        connect(&m_timer, &QTimer::timeout, this, &DialogAnswerer::poll);
        m_timer.start(5);
    }

    // Button pressed on Dialog_ask: "pushButton_yes", "pushButton_no" or "pushButton_close".
    QString askButton = QStringLiteral("pushButton_no");
    QVector<Seen> seen;

    QStringList texts() const
    {
        QStringList out;
        for (const Seen &s : seen)
            out << s.text;
        return out;
    }

private:
    void poll()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        Seen s;
        const bool isAsk = qobject_cast<Dialog_ask *>(modal) != nullptr;
        s.kind = isAsk ? QStringLiteral("ask") : QStringLiteral("warning");
        if (auto *title = modal->findChild<QLabel *>(QStringLiteral("label_title")))
            s.title = title->text();
        if (auto *text = modal->findChild<QLabel *>(isAsk ? QStringLiteral("label_content")
                                                          : QStringLiteral("label_warning")))
            s.text = text->text();
        s.geometry = modal->geometry();
        seen << s;
        const QString button = isAsk ? askButton : QStringLiteral("pushButton_ok");
        if (auto *b = modal->findChild<QPushButton *>(button))
            b->click();
        else
            modal->close();
    }

    QTimer m_timer;
};

// Records every message of the program while it lives, and passes each on.
class MessageRecorder
{
public:
    MessageRecorder() { s_messages.clear(), s_previous = qInstallMessageHandler(&record); }
    ~MessageRecorder() { qInstallMessageHandler(s_previous); }
    MessageRecorder(const MessageRecorder &) = delete;
    MessageRecorder &operator=(const MessageRecorder &) = delete;

    const QStringList &messages() const { return s_messages; }

private:
    static void record(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        s_messages << message;
        if (s_previous)
            s_previous(type, context, message);
    }
    static inline QStringList s_messages;
    static inline QtMessageHandler s_previous = nullptr;
};

class WindowFixture : public QObject
{
public:
    explicit WindowFixture(const SimConfig &config = SimConfig(), Edition edition = Edition::User)
        : sim(config)
    {
        window = std::make_unique<MainWindow>(edition);
        // As the first input would: the tests reach into pages before the first paint.
        window->ensureBuilt();
        {
            QMutexLocker lock(&window->worker()->mutex);
            resetDeviceData(deviceData);
        }
        // The tests start from a quiet status line, not from the default backup's
        // "读取备份数据完成" (the start-up tests look at that one themselves).
        startupStatus = window->findChild<QLabel *>(QStringLiteral("label_state"))->text();
        window->showStatus(QString());
        window->worker()->master()->timeoutMs = 150;
        window->worker()->master()->retryCount = 2;
        connect(window.get(), &MainWindow::sendMessageToHartThread, this,
                [this](const QString &r) { requests << r; });
        window->move(40, 30);
        window->show();
    }

    ~WindowFixture() override
    {
        window.reset();
        sim.stop();
    }

    template<typename T>
    T *w(const char *name) const
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        if (!found)
            qFatal("no widget %s", name);
        return found;
    }
    QPushButton *button(const char *name) const { return w<QPushButton>(name); }
    QString text(const char *lineEdit) const { return w<QLineEdit>(lineEdit)->text(); }
    int page() const { return w<QStackedWidget>("stackedWidget")->currentIndex(); }
    QString status() const { return w<QLabel>("label_state")->text(); }
    bool portButtonsEnabled() const
    {
        return button("pushButton_dakaiduankou")->isEnabled()
                && button("pushButton_chaxunyibiao")->isEnabled();
    }

    bool openPort()
    {
        if (!sim.isRunning() && !sim.start())
            return false;
        w<QComboBox>("comboBox_duankouhao")->setEditText(sim.portPath());
        button("pushButton_dakaiduankou")->click();
        return window->serialLink()->isOpen();
    }

    // Types a port address (a HART-IP URL) and presses "打开端口"; true once the session is open.
    bool openAddress(const QString &url)
    {
        w<QComboBox>("comboBox_duankouhao")->setEditText(url);
        button("pushButton_dakaiduankou")->click();
        return waitFor(
                       [&] {
                           return button("pushButton_dakaiduankou")->isEnabled()
                                   && (window->hartIpLink()->isOpen() || !dialogs.seen.isEmpty());
                       },
                       10000)
                && window->hartIpLink()->isOpen();
    }

    // "查询仪表" and wait for the transmitter-information page.
    bool search(int timeoutMs = 5000)
    {
        button("pushButton_chaxunyibiao")->click();
        return waitFor([this] { return page() == 2 && portButtonsEnabled(); }, timeoutMs);
    }

    // Clicks a page button and waits for the status text of its result.
    bool run(const char *buttonName, const QString &resultStatus, int timeoutMs = 5000)
    {
        button(buttonName)->click();
        return waitFor([&] { return status() == resultStatus && portButtonsEnabled(); }, timeoutMs);
    }

    template<typename Pred>
    static bool waitFor(Pred done, int timeoutMs)
    {
        return waitUntil(done, timeoutMs);
    }

    TransmitterSim sim;
    std::unique_ptr<MainWindow> window;
    QString startupStatus;
    DialogAnswerer dialogs;
    QStringList requests;
};

// A page host without a window: records requests, status texts and warnings, answers every
// dialog at once, and optionally hands requests to a real worker.
#pragma once

#include "pagehost.h"

#include <QDialog>
#include <QDoubleValidator>
#include <QMutex>
#include <QStringList>

#include <functional>

class FakePageHost : public PageHost
{
public:
    explicit FakePageHost(QMutex *lock = nullptr)
        : m_lock(lock ? lock : &m_ownLock)
    { }

    bool isPortOpen() const override { return portOpen; }
    bool portReady() override
    {
        if (!portOpen)
            warnings << QStringLiteral("请先打开端口！");
        return portOpen;
    }
    void startRequest(const QString &request, const QString &busyText, WhileBusy) override
    {
        if (!busyText.isEmpty())
            statuses << busyText;
        portButtonsEnabled = false;
        sendRequest(request);
    }
    void sendRequest(const QString &request) override
    {
        requests << request;
        if (forward)
            forward(request);
    }
    void setPortButtonsEnabled(bool enabled) override { portButtonsEnabled = enabled; }
    void showStatus(const QString &text) override { statuses << text; }
    void showPage(int index) override { page = index; }
    int currentPage() const override { return page; }
    void warn(const QString &text) override { warnings << text; }
    bool ask(const QString &, const QString &) override { return false; }
    int runCentred(QDialog &) override
    {
        ++dialogsRun;
        return QDialog::Rejected;
    }
    QMutex &dataLock() override { return *m_lock; }
    kvhart_master::Addressing addressing() override { return {}; }
    QValidator *realValidator() const override { return &m_real; }
    QValidator *u16Validator() const override { return nullptr; }
    QValidator *u24Validator() const override { return nullptr; }

    bool portOpen = true;
    bool portButtonsEnabled = true;
    int page = pageindex::Linearization;
    int dialogsRun = 0;
    QStringList requests;
    QStringList statuses;
    QStringList warnings;
    std::function<void(const QString &)> forward;

private:
    QMutex m_ownLock;
    QMutex *m_lock;
    mutable QDoubleValidator m_real;
};

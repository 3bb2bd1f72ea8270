// A page host without a window: records requests, status texts and warnings, answers every
// question with a fixed choice, and guards the record with a mutex of its own (or the
// worker's, when a test runs one).
#pragma once

#include "pagehost.h"
#include "uintvalidator.h"

#include <QDoubleValidator>
#include <QMutex>
#include <QStringList>

class FakePageHost : public PageHost
{
public:
    explicit FakePageHost(QMutex *lock = nullptr)
        : m_lock(lock ? lock : &m_ownLock)
    { }

    bool portOpen = true;
    bool answer = false;
    QStringList requests;
    QStringList busyTexts;
    QStringList statusTexts;
    QStringList warnings;
    bool portButtons = true;
    // Hook for tests that drive a real worker.
    std::function<void(const QString &)> onRequest;

    bool isPortOpen() const override { return portOpen; }
    bool portReady() override
    {
        if (!portOpen)
            warn(windowTr("请先打开端口！"));
        return portOpen;
    }
    void startRequest(const QString &request, const QString &busyText, WhileBusy) override
    {
        if (!busyText.isEmpty())
            showStatus(busyText);
        busyTexts << busyText;
        portButtons = false;
        sendRequest(request);
    }
    void sendRequest(const QString &request) override
    {
        requests << request;
        if (onRequest)
            onRequest(request);
    }
    void setPortButtonsEnabled(bool enabled) override { portButtons = enabled; }
    void showStatus(const QString &text) override { statusTexts << text; }
    void showPage(int index) override { m_page = index; }
    int currentPage() const override { return m_page; }
    void warn(const QString &text) override { warnings << text; }
    bool ask(const QString &, const QString &) override { return answer; }
    int runCentred(QDialog &) override { return 0; }
    QMutex &dataLock() override { return *m_lock; }
    kvhart_master::Addressing addressing() override { return {}; }
    QValidator *realValidator() const override { return &m_real; }
    QValidator *u16Validator() const override { return &m_u16; }
    QValidator *u24Validator() const override { return &m_u24; }

private:
    QMutex m_ownLock;
    QMutex *m_lock;
    int m_page = 0;
    mutable QDoubleValidator m_real;
    mutable UIntValidator m_u16{65535, nullptr};
    mutable UIntValidator m_u24{16777215, nullptr};
};

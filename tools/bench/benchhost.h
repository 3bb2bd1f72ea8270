// A page host with no window, port or worker behind it, for benchmark programs that drive
// a page directly: requests go nowhere, dialogs are rejected at once.
#pragma once

#include "pagehost.h"

#include <QDialog>
#include <QMutex>
#include <QRegularExpressionValidator>

class BenchHost : public PageHost
{
public:
    bool isPortOpen() const override { return false; }
    bool portReady() override { return false; }
    void startRequest(const QString &, const QString &, WhileBusy) override { }
    void sendRequest(const QString &) override { }
    void setPortButtonsEnabled(bool) override { }
    void showStatus(const QString &) override { }
    void showPage(int index) override { m_page = index; }
    int currentPage() const override { return m_page; }
    void warn(const QString &) override { }
    bool ask(const QString &, const QString &) override { return false; }
    int runCentred(QDialog &) override { return QDialog::Rejected; }
    QMutex &dataLock() override { return m_lock; }
    kvhart_master::Addressing addressing() override { return {}; }
    QValidator *realValidator() const override { return &m_real; }
    QValidator *u16Validator() const override { return &m_real; }
    QValidator *u24Validator() const override { return &m_real; }

private:
    int m_page = 0;
    QMutex m_lock;
    mutable QRegularExpressionValidator m_real{
            QRegularExpression(QStringLiteral("^(-?(0|([1-9][0-9]{0,6}))\\.[0-9]{0,7})$"))};
};

// Page 19: the factory end-of-line test. Drives the procedure from the window's tick, shows
// its log in colour, hands its requests to the host and appends the test record.
#pragma once

#include "factorytest.h"
#include "factorytestlog.h"

#include <QWidget>

#include <functional>
#include <memory>

class PageHost;

namespace Ui {
class FactoryTestPage;
}

enum class SecondMark { No, Elapsed };

class FactoryTestPage : public QWidget, private FactoryTestSink
{
    Q_OBJECT

public:
    explicit FactoryTestPage(PageHost &host, QWidget *parent = nullptr);
    ~FactoryTestPage() override;

    // From the window's 100 ms tick: the countdown first when a second has passed, then one
    // step. progressValue is what the window's progress bar shows now.
    void tick(int progressValue, SecondMark second);
    // Whenever the window shows any page but this one, and before the window goes away.
    void leavePage();
    // Every "write jiaozhunshuju succeed" / "... failed", whether or not a test runs.
    void calibrationWriteFinished(CalibrationWrite result);
    // The linearization page's write (collect, then "write jiaozhunshuju" or the port
    // warning). Called outside the tick, so its dialogs never nest inside a step.
    void setCalibrationWrite(std::function<void()> write) { m_calibrationWrite = std::move(write); }

    FactoryTestLog &record() { return m_record; }
    const FactoryTest &procedure() const { return m_test; }

signals:
    // Every finished run, as the test record gets it (emitted before the CSV line is written).
    void runFinished(const FactoryRun &run, const TestedTransmitter &who);

private slots:
    void on_pushButton_chuchangjiance_start_clicked();
    void on_pushButton_chuchangjiance_yes_clicked();
    void on_pushButton_chuchangjiance_no_clicked();

private:
    // FactoryTestSink
    void clearLog() override;
    void rewriteLastLine(const QString &text) override;
    void appendLine(const QString &text) override;
    void appendWord(const QString &word, LogColour colour) override;
    void sendRequest(const QString &request) override;
    void setSelector(std::uint8_t selector) override;
    void writeCalibration() override;
    void forgetReading(Reading reading) override;
    void runEnded(const FactoryRun &run) override;

    PageHost &m_host;
    std::unique_ptr<Ui::FactoryTestPage> ui;
    FactoryTest m_test;
    FactoryTestLog m_record;
    std::function<void()> m_calibrationWrite;
};

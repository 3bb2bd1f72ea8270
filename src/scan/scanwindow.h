// The scan window ("扫描"): the live list of the devices on the line, progress with the time
// left, cancel, the find by tag, and the choice of the device the pages talk to. The scan
// runs as the worker's bus job; the shell routes the worker's results to onWorkerResult.
#pragma once

#include "busscan.h"

#include <QWidget>

#include <functional>
#include <memory>

class PageHost;
class hartThread;
class kvhart_master;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableWidget;

class ScanWindow : public QWidget
{
    Q_OBJECT

public:
    ScanWindow(PageHost &host, hartThread &worker, QWidget *parent = nullptr);
    ~ScanWindow() override;

    // What the shell does to make the chosen device current, as its search button does:
    // clears the navigation and sends the request with the search's busy state.
    void setSelectRequest(std::function<void(const QString &request)> send)
    {
        m_sendSelect = std::move(send);
    }

    bool isRunning() const { return m_running; }
    QVector<scan::Device> devices() const { return m_devices; }

public slots:
    void onWorkerResult(const QString &message);
    void startScan();
    void findTag();
    void cancel();
    // Makes the device of this row the one the pages talk to.
    void selectRow(int row);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildForm();
    bool startJob(std::function<bool(BusScanner &, kvhart_master &)> job);
    void onDeviceFound(const scan::Device &device);
    void onProgress(int done, int total, int msLeft);
    void onShared(int address);
    void finish(bool completed);
    void updateControls();

    PageHost &m_host;
    hartThread &m_worker;
    // Shared with the job on the worker thread, which may still hold it when this closes.
    std::shared_ptr<BusScanner> m_scanner;
    std::function<void(const QString &)> m_sendSelect;
    QVector<scan::Device> m_devices;
    bool m_running = false;

    QComboBox *m_range = nullptr;
    QSpinBox *m_attempts = nullptr;
    QPushButton *m_scanButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    QLineEdit *m_tag = nullptr;
    QPushButton *m_findButton = nullptr;
    QPushButton *m_selectButton = nullptr;
    QProgressBar *m_progress = nullptr;
    QLabel *m_estimate = nullptr;
    QLabel *m_warning = nullptr;
    QTableWidget *m_table = nullptr;
};

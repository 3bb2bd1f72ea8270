// The loop-check window ("校验"): set-up, the as-found and as-left runs point by point, their
// verdicts and error plot, and the certificate export. It talks to the transmitter only
// through the page host's requests; the shell routes the worker's results to onWorkerResult.
#pragma once

#include "loopcheck.h"

#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <optional>

class PageHost;
class QSpinBox;
namespace loopcheck {
class StandardsRegister;
}
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QThread;
class ErrorPlotWidget;
class StandardsWindow;
class DueListWindow;

class LoopCheckWindow : public QWidget
{
    Q_OBJECT

public:
    using RunSink = std::function<void(const loopcheck::Run &)>;
    using NumberSource = std::function<QString(const loopcheck::Setup &)>;

    explicit LoopCheckWindow(PageHost &host, QWidget *parent = nullptr);
    ~LoopCheckWindow() override; // waits for a certificate still being written

    // Every finished or stopped run goes here (the device history), numbered already.
    void setRunSink(RunSink sink) { m_sink = std::move(sink); }
    // The certificate number of a check, taken once, when its first run is stored.
    void setCertificateNumberSource(NumberSource source) { m_numberSource = std::move(source); }
    // Whether the worker has a transmitter to talk to; a request without one is never answered.
    void setDeviceCheck(std::function<bool()> found) { m_deviceFound = std::move(found); }
    // Where the standards and each transmitter's settings are kept; none: typed by hand.
    void setRegister(loopcheck::StandardsRegister *reg);
    // Reads the register's standards again (after the register window saved one).
    void reloadStandards();
    // The register's windows, made on first use; nothing without a register.
    void showStandardsWindow();
    void showDueList();
    // How a written certificate is shown; the desktop's viewer unless replaced.
    void setViewer(std::function<void(const QUrl &)> open) { m_openViewer = std::move(open); }

    // "LC-<date>-<48 bits of a UUID>": unique without a store to ask.
    static QString defaultCertificateNumber(const loopcheck::Setup &setup);

    const std::optional<loopcheck::Run> &lastRun(loopcheck::RunKind kind) const;
    QString certificateNumber() const { return m_certificateNumber; }
    bool isRunning() const { return m_state != State::Idle; }

    // Writes the certificate off the window thread; certificateWritten follows. False, with
    // the reason shown, when there is nothing to certify or an export is under way.
    bool exportCertificate(const QString &path);

signals:
    void certificateWritten(const QString &path, const QString &error);

public slots:
    void onWorkerResult(const QString &message);

private:
    enum class State { Idle, ReadingSetup, WaitingApplied, ReadingPoint };

    void buildForm();
    void startRun();
    void readPoint();
    void stopRun();
    void newCheck();
    void chooseExportPath();
    void onSetupRead();
    void onPointRead();
    void onRequestFailed();
    void onSearchSucceeded();
    // The transmitter of the open check, empty before its first run.
    QString checkIdentity() const;
    void closeCheckFor(const QString &otherId);
    void resetCheck();
    void loadSettingsFor(const QString &device);
    void rememberRun(const loopcheck::Run &run);
    void fillStandardCombos();
    void finishRun(const QString &stopReason);
    bool collectSetup(loopcheck::Setup &setup);
    void showMessage(const QString &text, bool problem);
    void showPrompt();
    void showRun(const loopcheck::Run &run);
    void updateControls();
    QTableWidget *tableFor(loopcheck::RunKind kind) const;
    QLabel *verdictLabelFor(loopcheck::RunKind kind) const;

    PageHost &m_host;
    RunSink m_sink;
    NumberSource m_numberSource;
    std::function<bool()> m_deviceFound;
    std::function<void(const QUrl &)> m_openViewer;

    State m_state = State::Idle;
    loopcheck::Run m_run; // the run under way
    QVector<loopcheck::Direction> m_directions;
    double m_pendingApplied = 0.0;
    double m_pendingAmmeter = 0.0;
    std::optional<loopcheck::Run> m_asFound;
    std::optional<loopcheck::Run> m_asLeft;
    QString m_certificateNumber;
    QString m_otherFound; // another transmitter found while a request of the run was out
    QTimer m_watchdog; // a result that never comes (port closed under the request)
    QPointer<QThread> m_export;

    loopcheck::StandardsRegister *m_register = nullptr;
    QPointer<StandardsWindow> m_standardsWindow;
    QPointer<DueListWindow> m_dueList;
    QVector<loopcheck::Standard> m_standards;
    QString m_dueWarning;
    QComboBox *m_pressureStandard = nullptr;
    QComboBox *m_currentStandard = nullptr;
    QComboBox *m_rule = nullptr;
    QSpinBox *m_interval = nullptr;
    QLineEdit *m_points = nullptr;
    QLineEdit *m_toleranceUpper = nullptr;
    QLineEdit *m_toleranceLower = nullptr;
    QLineEdit *m_referenceName = nullptr;
    QLineEdit *m_referenceSerial = nullptr;
    QDateEdit *m_referenceDue = nullptr;
    QLineEdit *m_technician = nullptr;
    QLineEdit *m_station = nullptr;
    QComboBox *m_runKind = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_stop = nullptr;
    QLabel *m_prompt = nullptr;
    QLineEdit *m_applied = nullptr;
    QLineEdit *m_ammeter = nullptr;
    QPushButton *m_read = nullptr;
    QTabWidget *m_tabs = nullptr;
    QTableWidget *m_asFoundTable = nullptr;
    QTableWidget *m_asLeftTable = nullptr;
    ErrorPlotWidget *m_plot = nullptr;
    QLabel *m_asFoundVerdict = nullptr;
    QLabel *m_asLeftVerdict = nullptr;
    QLabel *m_message = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_newCheck = nullptr;
};

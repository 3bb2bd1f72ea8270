// The seventeen-step end-of-line test as a state machine without widgets: the window feeds it
// the tick, the seconds, the live values and the operator's answers; it answers through a sink.
#pragma once

#include <QDateTime>
#include <QLoggingCategory>
#include <QString>

#include <array>
#include <cstdint>

Q_DECLARE_LOGGING_CATEGORY(lcFactoryTest)

enum class LogColour { Black, Green, Red };
enum class OperatorAnswer : std::uint8_t { None = 0, Yes = 1, No = 2 };
enum class CalibrationWrite : std::uint8_t { Pending = 0, Succeeded = 1, Failed = 2 };
enum class RunOutcome { Passed, Failed, Abandoned };
enum class Reading { Pv, TempSignal };

// The values one step looks at, copied once per tick (under the data lock, by the caller).
struct FactoryTestInputs
{
    float pv = 0;             // primary variable
    float tempSignal = 0;     // temperature-compensation signal
    std::uint8_t keyBits = 0; // bit 0 M, bit 1 S, bit 2 Z; 1 = pressed
    float lowerRangeCopy = 0; // L
    float upperRangeCopy = 0; // U
    int progress = 0;         // progress bar value shown while writing
};

// One finished run, for the test record. A check not reached holds NaN.
struct FactoryRun
{
    enum Check { PvZero, PvFullScale, TempOpen, TempVMinus, TempVPlus, CheckCount };

    QDateTime started;
    int lastStep = 0;
    RunOutcome outcome = RunOutcome::Failed;
    QString reason; // why it did not pass: "timeout", "no", "write failed", "page left", ...
    std::array<float, CheckCount> measured;

    FactoryRun();
};

// What the procedure does to the world. The page turns these into log text, requests to the
// worker, the selector in the device record, the linearization write and the test record.
class FactoryTestSink
{
public:
    virtual ~FactoryTestSink() = default;
    virtual void clearLog() = 0;
    virtual void rewriteLastLine(const QString &text) = 0;
    virtual void appendLine(const QString &text) = 0;
    virtual void appendWord(const QString &word, LogColour colour) = 0; // on the last line
    virtual void sendRequest(const QString &request) = 0;
    virtual void setSelector(std::uint8_t selector) = 0;
    virtual void writeCalibration() = 0;
    // Marks a shared reading as not yet read (+infinity) until the device reports it again.
    virtual void forgetReading(Reading reading) = 0;
    virtual void runEnded(const FactoryRun &run) = 0;
};

class FactoryTest
{
public:
    static constexpr int kLastStep = 17;
    static constexpr std::uint8_t kStepSeconds = 30;

    explicit FactoryTest(FactoryTestSink &sink);

    // The start button: clears the log and begins at step 1, also in the middle of a run.
    void start(const QDateTime &now = QDateTime::currentDateTime());
    void answer(OperatorAnswer a) { m_answer = a; }
    // Every outcome of the calibration-data write, whether or not a test is running.
    void setCalibrationWriteResult(CalibrationWrite result) { m_writeResult = result; }
    // Once per second, before that tick's step.
    void secondElapsed();
    // Every 100 ms: runs the handler of the current step once.
    void tick(const FactoryTestInputs &in);
    // The page is left: the factory-test polling stops; the log keeps its lines.
    void abandon();

    int step() const { return m_step; }
    std::uint8_t seconds() const { return m_seconds; }
    OperatorAnswer pendingAnswer() const { return m_answer; }
    CalibrationWrite writeResult() const { return m_writeResult; }
    bool isRunning() const { return m_step != 0; }

private:
    void pass(const QString &stem);
    void fail(const QString &stem, const char *stopRequest, const QString &reason);
    void enter(int step, bool resetAnswer = false);
    // Back to idle; the run goes to the record.
    void finish(RunOutcome outcome, const QString &reason);
    void measure(FactoryRun::Check check, float value) { m_run.measured[check] = value; }

    FactoryTestSink &m_sink;
    int m_step = 0;
    std::uint8_t m_seconds = 0;
    OperatorAnswer m_answer = OperatorAnswer::None;
    CalibrationWrite m_writeResult = CalibrationWrite::Pending;
    FactoryRun m_run;
};

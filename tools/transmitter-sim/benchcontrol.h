// The operator's control of the factory test bench around the simulated transmitter: one text
// line in, one line back, fed from the program's standard input or straight from tests.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class TransmitterSim;

class BenchControl
{
public:
    // Longer lines are refused whole; nothing a person types to the bench comes near it.
    static constexpr int kMaxLineLength = 200;

    explicit BenchControl(TransmitterSim &sim);

    // One line without its end; the answer is a single line without its end.
    QString handleLine(const QString &line);
    // Raw bytes as they arrive, in pieces of any size; one answer per completed line.
    QStringList feed(const char *bytes, int count);
    // End of input: a last line that had no line end is still carried out.
    QStringList finish();

    static QString helpLine();     // the answer to "help"
    static QStringList helpText(); // the control lines, for --help

private:
    QString state() const;
    QString keysText() const;
    QString wiringText() const;
    QString pvText() const;
    QString sensorText() const;
    QString additionalText() const;
    QString takeLine();

    TransmitterSim &m_sim;
    QByteArray m_pending;
    bool m_overlong = false; // the rest of the current line is being skipped
};

// The test record: one CSV line per finished end-of-line run, appended to a file in the
// working directory so every tested transmitter can be traced afterwards.
#pragma once

#include "factorytest.h"

#include <QString>

// Who was tested, as the page reads it from the device record.
struct TestedTransmitter
{
    QString uniqueId;     // the five-byte unique address in hexadecimal
    QString tag;          // unpacked
    QString sensorSerial; // decimal
};

class FactoryTestLog
{
public:
    static constexpr const char *kDefaultPath = "factory-test-log.csv";

    explicit FactoryTestLog(const QString &path = QString::fromLatin1(kDefaultPath));

    // Appends one record, with the header first when the file is new. False, with
    // errorString() set, when any part of the write fails.
    bool append(const FactoryRun &run, const TestedTransmitter &who);
    QString errorString() const { return m_error; }
    QString path() const { return m_path; }
    void setPath(const QString &path) { m_path = path; }

    static QString header();
    static QString line(const FactoryRun &run, const TestedTransmitter &who);

private:
    QString m_path;
    QString m_error;
};

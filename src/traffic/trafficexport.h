// Texts of a capture record shared by the monitor and the exports, and the two export
// formats: pcapng for Wireshark and CSV for a spreadsheet. The writers block; callers run
// them away from the window thread.
#pragma once

#include "trafficrecord.h"

#include <QString>

#include <vector>

namespace traffic {

// Symbol and words, so an error stands out without colour: "✔ 已接受", "✖ 校验错", ...
QString verdictText(const Record &record);
QString directionText(const Record &record);
// Wall-clock time of day with microseconds.
QString timeText(const Record &record, qint64 originWallUs);

bool writePcapngFile(const QString &path, const std::vector<Record> &records,
                     qint64 originWallUs, QString *error = nullptr);
bool writeCsvFile(const QString &path, const std::vector<Record> &records, qint64 originWallUs,
                  QString *error = nullptr);

} // namespace traffic

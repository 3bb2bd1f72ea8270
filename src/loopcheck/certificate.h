// The calibration certificate: an A4 PDF from Qt's own writer, with the CJK font embedded,
// and the error plot it shares with the loop-check window. No widgets; safe off the window
// thread.
#pragma once

#include "loopcheck.h"

#include <QDateTime>
#include <QFont>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

namespace loopcheck {

// The family every certificate and plot text is set in; it holds the Chinese glyphs.
constexpr const char *kCjkFamily = "WenQuanYi Micro Hei";

struct Certificate
{
    QString number;
    std::optional<Run> asFound; // the last run of each kind
    std::optional<Run> asLeft;
    QString programVersion;
    QDateTime issued;
};

// PV errors of both runs (as found: hollow circles, dashed; as left: filled squares, solid)
// against the shaded tolerance band. lineWidth scales pens and markers to the device.
void drawErrorPlot(QPainter &painter, const QRectF &area, const Tolerance &tolerance,
                   const Run *asFound, const Run *asLeft, double lineWidth);

// Writes the certificate whole or not at all; an empty text on success, else the reason.
QString writeCertificate(const QString &path, const Certificate &certificate);

} // namespace loopcheck

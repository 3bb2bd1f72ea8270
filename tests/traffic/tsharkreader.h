// Reads a capture file back with tshark: one row of the requested fields per packet.
#pragma once

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <vector>

inline bool haveTshark()
{
    return !QStandardPaths::findExecutable(QStringLiteral("tshark")).isEmpty();
}

inline std::vector<QStringList> tsharkFields(const QString &file, const QStringList &fields)
{
    QStringList args{QStringLiteral("-r"), file, QStringLiteral("-T"), QStringLiteral("fields"),
                     QStringLiteral("-E"), QStringLiteral("separator=;")};
    for (const QString &f : fields)
        args << QStringLiteral("-e") << f;
    QProcess p;
    p.start(QStringLiteral("tshark"), args);
    std::vector<QStringList> rows;
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return rows;
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString &line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        rows.push_back(line.split(QLatin1Char(';')));
    return rows;
}

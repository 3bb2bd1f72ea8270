#include "trafficexport.h"

#include "pcapngwriter.h"
#include "trafficdecoder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

namespace traffic {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("traffic", text);
}

QString csvField(QString text)
{
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n'))) {
        text.replace(QLatin1Char('"'), QLatin1String("\"\""));
        return QLatin1Char('"') + text + QLatin1Char('"');
    }
    return text;
}

bool commit(QSaveFile &file, QString *error)
{
    if (file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}

} // namespace

QString verdictText(const Record &r)
{
    switch (r.kind) {
    case Kind::Request:
        if (r.verdict == Verdict::Failed)
            return tr("✖ 发送失败");
        return r.attempt > 1 ? tr("↻ 重发") : tr("→ 已发送");
    case Kind::Discarded: return tr("✖ 清除丢弃");
    case Kind::Echo:
        return r.verdict == Verdict::Collision ? tr("✖ 回显不符（冲突）") : tr("✖ 回显不全");
    case Kind::Timeout:
        return r.verdict == Verdict::Failed ? tr("◷ 超时，放弃") : tr("◷ 超时");
    case Kind::Retry: return tr("↻ 重试");
    case Kind::Response: break;
    }
    switch (r.verdict) {
    case Verdict::Accepted: return r.addressMismatch ? tr("⚠ 已接受，地址不符") : tr("✔ 已接受");
    case Verdict::Late: return tr("⚠ 迟到");
    case Verdict::BadChecksum: return tr("✖ 校验错");
    case Verdict::BadDelimiter: return tr("✖ 定界符错");
    case Verdict::TooShort: return tr("✖ 太短");
    case Verdict::OtherAddress: return tr("✖ 非本机地址");
    case Verdict::WrongMaster: return tr("✖ 主站不符");
    case Verdict::Overlong: return tr("✖ 超长");
    case Verdict::Abandoned: return tr("✖ 未收完，放弃");
    case Verdict::Discarded:
    case Verdict::Collision:
    case Verdict::EchoIncomplete:
    case Verdict::Sent:
    case Verdict::Failed: break;
    }
    return QString();
}

QString directionText(const Record &r)
{
    switch (r.kind) {
    case Kind::Request: return tr("主→仪表");
    case Kind::Response:
    case Kind::Discarded: return tr("仪表→主");
    case Kind::Echo: return tr("回显");
    case Kind::Timeout:
    case Kind::Retry: break;
    }
    return tr("事件");
}

QString timeText(const Record &r, qint64 originWallUs)
{
    const qint64 us = originWallUs + r.timeUs;
    const QDateTime t = QDateTime::fromMSecsSinceEpoch(us / 1000);
    return t.toString(QStringLiteral("HH:mm:ss.zzz"))
            + QStringLiteral("%1").arg(us % 1000, 3, 10, QLatin1Char('0'));
}

bool writePcapngFile(const QString &path, const std::vector<Record> &records,
                     qint64 originWallUs, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.write(pcapng::fileHeader());
    for (const Record &r : records)
        if (r.isFrame())
            file.write(pcapng::packetBlock(r, originWallUs));
    return commit(file, error);
}

bool writeCsvFile(const QString &path, const std::vector<Record> &records, qint64 originWallUs,
                  QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << QChar(0xFEFF); // spreadsheets take the file as UTF-8 only with the mark
    out << "seq,time,time_us,gap_us,transaction,attempt,direction,verdict,address,command,"
           "command_name,byte_count,response_code,response_meaning,device_status,status_meaning,"
           "preambles,frame_hex,fields\n";
    for (const Record &r : records) {
        const DecodedFrame d = r.isFrame() ? decodeFrame(r.bytes.data(), r.length) : DecodedFrame();
        const int command = r.isFrame() ? d.command : r.command;
        QStringList row;
        row << QString::number(r.seq) << timeText(r, originWallUs) << QString::number(r.timeUs)
            << (r.gapUs >= 0 ? QString::number(r.gapUs) : QString())
            << QString::number(r.transaction) << QString::number(r.attempt) << directionText(r)
            << verdictText(r) << d.address
            << (command >= 0 ? QString::number(command) : QString())
            << (command >= 0 ? commandName(command) : QString())
            << (d.byteCount >= 0 ? QString::number(d.byteCount) : QString());
        if (d.status.valid) {
            row << QString::number(d.status.responseCode) << responseCodeText(d.status.responseCode)
                << QString::number(d.status.deviceStatus) << deviceStatusText(d.status.deviceStatus);
        } else {
            row << QString() << QString() << QString() << QString();
        }
        row << (r.kind == Kind::Request ? QString::number(r.preambles) : QString())
            << hexBytes(r.dataBytes(), r.dataLength()) << d.fields;
        for (QString &field : row)
            field = csvField(field);
        out << row.join(QLatin1Char(',')) << '\n';
    }
    out.flush();
    return commit(file, error);
}

} // namespace traffic

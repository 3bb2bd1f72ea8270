// The traffic monitor end to end: the real window and serial link against the simulated
// transmitter misbehaving on the line (noise, corrupt answers, other devices' answers, a
// wrong address, silence). Every frame must be in the capture with the receiver's verdict,
// the counters must agree with the simulator's own log, and both the export and the file
// written while running must read back in tshark as the same HART frames.
#include "../app/windowfixture.h"
#include "commandline.h"
#include "trafficcapture.h"
#include "trafficdecoder.h"
#include "trafficexport.h"
#include "trafficwindow.h"
#include "tsharkreader.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QThread>
#include <QComboBox>
#include <QFile>
#include <QSignalSpy>
#include <QSpinBox>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>

#include <sys/ioctl.h>

using namespace traffic;

namespace {

// What the simulator's log says went over the line.
struct SimLog
{
    int requests = 0;        // every request it heard, its own or not
    int muted = 0;           // heard and left unanswered
    int corrupt = 0;         // answers with a broken checksum
    int foreignSameMaster = 0;
    int foreignOtherMaster = 0;
    int mismatched = 0;      // good answers carrying another address
    int frames = 0;          // complete frames sent
};

QByteArray hexOf(const QString &line)
{
    return QByteArray::fromHex(line.section(QLatin1Char(' '), 2, -1, QString::SectionSkipEmpty)
                                       .toLatin1());
}

SimLog readSimLog(const QString &path)
{
    SimLog log;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return log;
    QByteArray lastRequest;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromLatin1(raw);
        const QString tag = line.section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty);
        if (tag == QLatin1String("rx") || tag == QLatin1String("other")
            || tag == QLatin1String("drop")) {
            ++log.requests;
            lastRequest = hexOf(line);
        } else if (tag == QLatin1String("mute")) {
            ++log.muted;
        } else if (tag == QLatin1String("tx")) {
            const QByteArray bytes = hexOf(line);
            // Frames follow two or more 0xFF; noise never contains 0xFF.
            for (int i = 0; i + 1 < bytes.size(); ++i) {
                if (quint8(bytes[i]) != 0xFF || quint8(bytes[i + 1]) == 0xFF
                    || i == 0 || quint8(bytes[i - 1]) != 0xFF)
                    continue;
                const int start = i + 1;
                const bool isLong = quint8(bytes[start]) & 0x80;
                const int header = isLong ? 8 : 4;
                if (start + header > bytes.size())
                    break;
                const int length = header + quint8(bytes[start + header - 1]) + 1;
                const QByteArray f = bytes.mid(start, length);
                const auto *p = reinterpret_cast<const std::uint8_t *>(f.constData());
                ++log.frames;
                const bool good = xorChecksum(p, std::size_t(f.size() - 1)) == p[f.size() - 1];
                const int addressLength = isLong ? 5 : 1;
                if (!good)
                    ++log.corrupt;
                else if (lastRequest.size() < header || f[header - 2] != lastRequest[header - 2])
                    (((f[1] ^ lastRequest[1]) & 0x80) ? log.foreignOtherMaster
                                                      : log.foreignSameMaster)++;
                else if (f.mid(1, addressLength) != lastRequest.mid(1, addressLength))
                    ++log.mismatched;
                i = start + length - 1;
            }
        }
    }
    return log;
}

// The bytes of the simulator's last answer, preambles and noise included.
QByteArray lastAnswer(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray last;
    for (const QByteArray &raw : file.readAll().split('\n')) {
        const QString line = QString::fromLatin1(raw);
        if (line.section(QLatin1Char(' '), 1, 1, QString::SectionSkipEmpty) == QLatin1String("tx"))
            last = hexOf(line);
    }
    return last;
}

// Holds the window thread as a loaded machine does: no event is handled until done holds.
template<typename Pred>
bool holdWindowThreadUntil(Pred done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::usleep(500);
    }
    return true;
}

int count(const std::vector<Record> &records, Verdict v, bool mismatch = false)
{
    return int(std::count_if(records.begin(), records.end(), [&](const Record &r) {
        return r.kind == Kind::Response && r.verdict == v && r.addressMismatch == mismatch;
    }));
}

} // namespace

class TstTrafficWindow : public QObject
{
    Q_OBJECT

private slots:
    void faultyLine_everyFrameCapturedWithItsVerdict();
    void heldUpWindow_clearedInputAndFailedWriteAreCaptured();
    void unwritableCaptureFile_oneWarning();
};

void TstTrafficWindow::faultyLine_everyFrameCapturedWithItsVerdict()
{
    QTemporaryDir dir;
    const QString liveFile = dir.filePath(QStringLiteral("live.pcapng"));
    const QString simLogFile = dir.filePath(QStringLiteral("sim.log"));
    qputenv("HART_CAPTURE", liveFile.toLocal8Bit());

    SimConfig config;
    config.faults.noise = true;
    config.faults.corruptEvery = 3;
    config.faults.foreignFrames = true;
    WindowFixture f(config);
    qunsetenv("HART_CAPTURE");
    TrafficCapture *capture = f.window->trafficCapture();
    QVERIFY(capture);
    QCOMPARE(capture->filePath(), liveFile);
    QVERIFY(f.sim.setTraceLog(simLogFile));
    QVERIFY(f.openPort());

    // A search and a read through noise, corrupt answers and other devices' answers.
    QVERIFY(f.search());
    QVERIFY(f.run("pushButton_yibiaoxinxi", QStringLiteral("读取仪表信息成功")));
    // A device answering with another address: taken by the receiver, marked in the capture.
    SimFaults wrong;
    wrong.wrongAddress = true;
    f.sim.setFaults(wrong);
    QVERIFY(f.run("pushButton_gengduoxinxi", QStringLiteral("读取更多信息成功")));
    // A busy answer: asked again at once, no time-out.
    SimFaults busy;
    busy.transientAnswers = 1;
    busy.transientCode = kBusyCode;
    f.sim.setFaults(busy);
    QVERIFY(f.run("pushButton_gengduoxinxi", QStringLiteral("读取更多信息成功")));
    // A silent device: the failed search, time-out after time-out.
    SimFaults silent;
    silent.silent = true;
    f.sim.setFaults(silent);
    f.button("pushButton_chaxunyibiao")->click();
    QVERIFY(f.waitFor([&] { return f.status() == QStringLiteral("查询仪表失败")
                                   && f.portButtonsEnabled(); }, 5000));
    QVERIFY(f.waitFor([&] { return !f.window->worker()->isRequestPending("search meter"); }, 2000));
    // The last request may still be on its way to the simulator (slowly, under a sanitizer).
    const Counters written = capture->counters();
    const bool allHeard = f.waitFor(
            [&] { return readSimLog(simLogFile).requests >= int(written.requests); }, 3000);

    const SimLog log = readSimLog(simLogFile);
    const std::vector<Record> records = capture->snapshot();
    const Counters c = capture->counters();

    // Every rejected frame is in the capture with its verdict, and the counters agree.
    const bool exact = allHeard && int(c.requests) == log.requests
            && int(c.responses) == log.frames && int(c.timeouts) == log.corrupt + log.muted
            && count(records, Verdict::OtherAddress) == log.foreignSameMaster
            && count(records, Verdict::WrongMaster) == log.foreignOtherMaster
            && count(records, Verdict::Accepted, true) == log.mismatched
            && count(records, Verdict::BadChecksum) == log.corrupt && int(c.late) == 0;
    if (!exact) { // what the line and the capture each saw, to find the difference
        for (const Record &r : records)
            qWarning("%8.3f %s %s %s", double(r.timeUs) / 1000.0,
                     qPrintable(QStringLiteral("%1/%2").arg(r.transaction).arg(r.attempt)),
                     qPrintable(verdictText(r)),
                     qPrintable(hexBytes(r.dataBytes(), r.dataLength())));
        QFile simLog(simLogFile);
        if (simLog.open(QIODevice::ReadOnly))
            qWarning("%s", simLog.readAll().constData());
    }
    QVERIFY(allHeard);
    QVERIFY(log.corrupt >= 2 && log.foreignOtherMaster >= 2 && log.foreignSameMaster >= 2);
    QVERIFY(log.mismatched >= 1 && log.muted >= 2);
    QCOMPARE(int(c.requests), log.requests);
    QCOMPARE(count(records, Verdict::BadChecksum), log.corrupt);
    QCOMPARE(int(c.badChecksums), log.corrupt);
    QCOMPARE(count(records, Verdict::OtherAddress), log.foreignSameMaster);
    QCOMPARE(count(records, Verdict::WrongMaster), log.foreignOtherMaster);
    QCOMPARE(int(c.wrongMaster), log.foreignOtherMaster);
    QCOMPARE(count(records, Verdict::Accepted, true), log.mismatched);
    QCOMPARE(int(c.otherAddresses), log.foreignSameMaster + log.foreignOtherMaster + log.mismatched);
    QCOMPARE(int(c.responses), log.frames);
    QCOMPARE(int(c.timeouts), log.corrupt + log.muted);
    // Nothing thrown away unseen, nothing cut off, every request taken by the port.
    QCOMPARE(int(c.discards), 0);
    QCOMPARE(int(c.abandoned), 0);
    QCOMPARE(int(c.failedWrites), 0);
    QCOMPARE(c.retries + c.failedTransactions, c.timeouts + c.busy); // busy is asked again
    QCOMPARE(c.attempts, c.transactions + c.retries);
    QCOMPARE(int(c.late), 0);
    QCOMPARE(int(c.busy), 1);
    QCOMPARE(int(c.refusals.value(kBusyCode)), 1);
    QVERIFY(c.failedTransactions >= 1);
    QVERIFY(c.medianAnswerUs >= 0 && c.worstAnswerUs >= c.medianAnswerUs);

    // The monitor: opened from the title bar, beside the pages, not instead of them.
    const int page = f.page();
    f.button("pushButton_traffic")->click();
    TrafficWindow *monitor = f.window->trafficWindow();
    QVERIFY(monitor && monitor->isVisible());
    QCOMPARE(f.page(), page);
    QVERIFY(f.waitFor([&] { return monitor->model()->rowCount() >= int(records.size()); }, 2000));
    TrafficModel *model = monitor->model();
    auto column = [&](int row, int col) {
        return model->data(model->index(row, col)).toString();
    };
    QStringList verdicts;
    for (int row = 0; row < int(records.size()); ++row)
        verdicts << column(row, TrafficModel::Verdict);
    for (const char *expected : {"✖ 校验错", "✖ 非本机地址", "✖ 主站不符", "⚠ 已接受，地址不符",
                                 "◷ 超时", "◷ 超时，放弃", "↻ 重试", "✔ 已接受"})
        QVERIFY2(verdicts.contains(QString::fromUtf8(expected)), expected);

    const QString shots = qEnvironmentVariable("WINDOW_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        monitor->resize(823, 631);
        QTest::qWait(300);
        monitor->grab().save(shots + QStringLiteral("/traffic-monitor.png"));
        f.window->grab().save(shots + QStringLiteral("/traffic-titlebar.png"));
        monitor->view()->scrollTo(model->index(0, TrafficModel::Response));
        monitor->view()->horizontalScrollBar()->setValue(
                monitor->view()->horizontalScrollBar()->value() + 300);
        QTest::qWait(100);
        monitor->grab().save(shots + QStringLiteral("/traffic-monitor-right.png"));
        // The same records in English, in a monitor made after the translation is in.
        QVERIFY(installEnglish());
        {
            TrafficWindow english(*f.window->trafficCapture());
            english.resize(823, 631);
            english.show();
            QTest::qWait(300);
            english.grab().save(shots + QStringLiteral("/traffic-monitor-en.png"));
            english.view()->horizontalScrollBar()->setValue(
                    english.view()->horizontalScrollBar()->maximum());
            QTest::qWait(100);
            english.grab().save(shots + QStringLiteral("/traffic-monitor-en-right.png"));
        }
        removeEnglish();
    }

    monitor->findChild<QCheckBox *>(QStringLiteral("checkBox_trafficErrors"))->setChecked(true);
    QVERIFY(model->rowCount() > 0 && model->rowCount() < int(records.size()));
    for (int row = 0; row < model->rowCount(); ++row)
        QVERIFY(model->recordAt(row).isError());
    monitor->findChild<QCheckBox *>(QStringLiteral("checkBox_trafficErrors"))->setChecked(false);
    auto *commands = monitor->findChild<QComboBox *>(QStringLiteral("comboBox_trafficCommand"));
    commands->setCurrentIndex(commands->findData(15));
    QVERIFY(model->rowCount() > 0);
    for (int row = 0; row < model->rowCount(); ++row)
        QVERIFY(column(row, TrafficModel::Command).startsWith(QLatin1String("15 ")));
    commands->setCurrentIndex(0);
    // Double-clicking a row shows its transaction alone: the retried one has both attempts.
    int retried = 0;
    while (retried < model->rowCount() && model->recordAt(retried).kind != Kind::Retry)
        ++retried;
    QVERIFY(retried < model->rowCount());
    const quint32 transaction = model->recordAt(retried).transaction;
    emit monitor->view()->doubleClicked(model->index(retried, 0));
    QCOMPARE(monitor->findChild<QSpinBox *>(QStringLiteral("spinBox_trafficTransaction"))->value(),
             int(transaction));
    QStringList tx;
    for (int row = 0; row < model->rowCount(); ++row) {
        QCOMPARE(model->recordAt(row).transaction, transaction);
        tx << column(row, TrafficModel::Transaction);
    }
    QVERIFY(tx.contains(QStringLiteral("%1/1").arg(transaction)));
    QVERIFY(tx.contains(QStringLiteral("%1/2").arg(transaction)));
    QVERIFY(f.dialogs.seen.size() >= 1); // the address 1-15 question, answered "no"

    // Export: pcapng off the window thread, read back by tshark as the same frames.
    if (!haveTshark())
        QSKIP("tshark is not installed (tools/dev.sh installs it)");
    std::vector<Record> frames;
    for (const Record &r : capture->snapshot())
        if (r.isFrame())
            frames.push_back(r);
    QSignalSpy done(monitor, &TrafficWindow::exportFinished);
    const QString exported = dir.filePath(QStringLiteral("export.pcapng"));
    monitor->exportPcapng(exported);
    QVERIFY(done.wait(10000));
    QVERIFY(done.first().at(0).toBool());
    const QStringList fields{"hart_ip.message_type", "hart_ip.pt.command", "hart_ip.pt.length",
                             "hart_ip.msg_length"};
    for (const QString &file : {exported, liveFile}) {
        std::vector<QStringList> rows;
        // The file written while running trails by at most a frame or two.
        QVERIFY(f.waitFor([&] { return (rows = tsharkFields(file, fields)).size() >= frames.size(); },
                          3000));
        QCOMPARE(rows.size(), frames.size());
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const Record &r = frames[i];
            const DecodedFrame d = decodeFrame(r.bytes.data(), r.length);
            const QString where = QStringLiteral("%1 frame %2").arg(file).arg(i);
            QCOMPARE(rows[i].value(0), QString::number(r.kind == Kind::Response ? 1 : 0));
            QVERIFY2(rows[i].value(1) == QString::number(d.command), qPrintable(where));
            QVERIFY2(rows[i].value(2) == QString::number(d.byteCount), qPrintable(where));
            QCOMPARE(rows[i].value(3), QString::number(8 + r.length));
        }
    }

    // CSV: one line per record after the header, rejected frames named.
    const QString csv = dir.filePath(QStringLiteral("export.csv"));
    monitor->exportCsv(csv);
    QVERIFY(done.wait(10000));
    QFile csvFile(csv);
    QVERIFY(csvFile.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(csvFile.readAll());
    QVERIFY(text.contains(QStringLiteral("✖ 校验错")));
    QVERIFY(text.count(QLatin1Char('\n')) >= int(records.size()) + 1);
}

void TstTrafficWindow::heldUpWindow_clearedInputAndFailedWriteAreCaptured()
{
    QTemporaryDir dir;
    const QString simLogFile = dir.filePath(QStringLiteral("sim.log"));
    WindowFixture f;
    f.window->worker()->master()->timeoutMs = 400;
    TrafficCapture *capture = f.window->trafficCapture();
    QVERIFY(f.sim.setTraceLog(simLogFile));
    QVERIFY(f.openPort());

    // The very first frame of the session, written late by a held-up window thread, still
    // gets the device's whole time to answer: the time-out runs from the write, not from the
    // moment the worker queued the frame.
    const int timeoutMs = f.window->worker()->master()->timeoutMs;
    f.button("pushButton_chaxunyibiao")->click();
    const bool started = holdWindowThreadUntil([&] { return capture->counters().attempts > 0; },
                                               2000);
    QVERIFY(started);
    QElapsedTimer held;
    held.start();
    holdWindowThreadUntil([&] {
        return capture->counters().timeouts > 0 || held.elapsed() > timeoutMs * 3 / 2;
    }, 5000);
    QVERIFY(f.waitFor([&] { return f.page() == 2 && f.portButtonsEnabled(); }, 5000));
    Counters c = capture->counters();
    QCOMPARE(int(c.timeouts), 0);
    QCOMPARE(int(c.retries), 0);
    QCOMPARE(c.attempts, c.transactions);
    // Once more, so the reads that follow a search are done and the worker is idle.
    QVERIFY(f.run("pushButton_gengduoxinxi", QStringLiteral("读取更多信息成功")));
    const int fd = int(f.window->serialLink()->port()->handle());
    auto waitingBytes = [fd] {
        int n = 0;
        return ::ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
    };

    // An answer that arrives while the window thread is held up, unread when the attempt
    // times out: the next request's clear throws it away, and the capture keeps it.
    SimFaults slow;
    slow.delayMs = 100;
    f.sim.setFaults(slow);
    const Counters before = capture->counters();
    f.button("pushButton_gengduoxinxi")->click();
    QVERIFY(f.waitFor([&] { return capture->counters().requests > before.requests; }, 2000));
    QVERIFY(holdWindowThreadUntil([&] {
        const QByteArray answer = lastAnswer(simLogFile);
        // The retry counted is not yet the retry reset: wait for its reset itself.
        return capture->counters().attempts >= before.attempts + 2
                && f.window->worker()->master()->awaitingWrite() && !answer.isEmpty()
                && waitingBytes() >= answer.size();
    }, 5000));
    const QByteArray unread = lastAnswer(simLogFile);
    QVERIFY(f.waitFor([&] { return f.status() == QStringLiteral("读取更多信息成功")
                                   && f.portButtonsEnabled(); }, 3000));
    std::vector<Record> records = capture->snapshot();
    const auto discarded = std::find_if(records.begin(), records.end(), [](const Record &r) {
        return r.kind == Kind::Discarded;
    });
    QVERIFY(discarded != records.end());
    QCOMPARE(discarded->discarded, unread);
    QCOMPARE(verdictText(*discarded), QStringLiteral("✖ 清除丢弃"));
    QVERIFY(discarded->isError());
    c = capture->counters();
    QCOMPARE(int(c.discards), 1);
    QCOMPARE(int(c.discardedBytes), unread.size());
    // It sits between the timed-out attempt and the request that follows it.
    QCOMPARE(std::next(discarded)->kind, Kind::Request);
    QCOMPARE(int(std::next(discarded)->attempt), 2);

    // The line goes dead while the window thread is held up and the next attempt's frame is
    // queued: the write fails and is recorded so, never as sent.
    SimFaults silent;
    silent.silent = true;
    f.sim.setFaults(silent);
    const Counters quiet = capture->counters();
    const int heard = readSimLog(simLogFile).requests;
    QCOMPARE(int(quiet.requests), heard);
    f.button("pushButton_gengduoxinxi")->click();
    QVERIFY(f.waitFor([&] { return readSimLog(simLogFile).requests > heard; }, 2000));
    f.sim.stop();
    QVERIFY(holdWindowThreadUntil([&] {
        return capture->counters().attempts >= quiet.attempts + 2;
    }, 5000));
    QVERIFY(f.waitFor([&] { return capture->counters().failedWrites >= 1
                                   && f.portButtonsEnabled(); }, 3000));
    c = capture->counters();
    // Every request counted as written reached the device.
    QCOMPARE(int(c.requests), heard + 1);
    QCOMPARE(readSimLog(simLogFile).requests, heard + 1);
    records = capture->snapshot();
    const auto failed = std::find_if(records.begin(), records.end(), [](const Record &r) {
        return r.kind == Kind::Request && r.verdict == Verdict::Failed;
    });
    QVERIFY(failed != records.end());
    QCOMPARE(verdictText(*failed), QStringLiteral("✖ 发送失败"));
    QCOMPARE(int(failed->attempt), 2);

    // The monitor says what was lost.
    f.button("pushButton_traffic")->click();
    TrafficWindow *monitor = f.window->trafficWindow();
    QVERIFY(monitor);
    const QString counters = monitor->countersText();
    QVERIFY2(counters.contains(QStringLiteral("清除丢弃 1 次 %1 字节").arg(unread.size())),
             qPrintable(counters));
    QVERIFY2(counters.contains(QStringLiteral("发送失败 %1").arg(c.failedWrites)),
             qPrintable(counters));
}

// The command line refuses such a file; set in the environment of a window built later
// (or made unwritable since), the window says so once and records in memory only.
void TstTrafficWindow::unwritableCaptureFile_oneWarning()
{
    const QString path = QStringLiteral("/nonexistent-folder/line.pcapng");
    qputenv("HART_CAPTURE", path.toLocal8Bit());
    WindowFixture f;
    qunsetenv("HART_CAPTURE");
    const QString warning = QStringLiteral("无法写入通信记录文件%1：").arg(path);
    auto warnings = [&] {
        int n = 0;
        for (const DialogAnswerer::Seen &seen : f.dialogs.seen)
            n += seen.kind == QLatin1String("warning") && seen.text.startsWith(warning) ? 1 : 0;
        return n;
    };
    QVERIFY(f.waitFor([&] { return warnings() > 0; }, 3000));
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    QVERIFY2(warnings() == 1, qPrintable(f.dialogs.texts().join(QLatin1Char('|'))));
    QVERIFY(f.window->trafficCapture()->filePath().isEmpty());
    QVERIFY(f.window->trafficCapture()->counters().requests > 0);
}

QTEST_MAIN(TstTrafficWindow)
#include "tst_traffic_window.moc"

// The loop check end to end: the real main window and its "校验" window against the simulated
// transmitter on a pseudo-terminal, the bench applying each process value through a sensor
// that is out of calibration. As found fails where the error leaves the band, a zero trim on
// the PV zero page, as left passes, and the certificate is read back with poppler's tools.
#include "commandline.h"
#include "windowfixture.h"

#include "historydb.h"
#include "historystore.h"
#include "loopcheckwindow.h"
#include "standardswindow.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QDateEdit>
#include <QProcess>
#include <QSpinBox>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>

using namespace loopcheck;

namespace {

QString runTool(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(20000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TstLoopCheckWindow : public QObject
{
    Q_OBJECT

    struct Check
    {
        WindowFixture f;
        LoopCheckWindow *lc = nullptr;
        QVector<QUrl> viewed;

        template<typename T>
        T *w(const char *name)
        {
            T *found = lc->findChild<T *>(QLatin1String(name));
            if (!found)
                qFatal("no widget %s", name);
            return found;
        }
        QString message() { return w<QLabel>("label_message")->text(); }
        int rows(RunKind kind)
        {
            return w<QTableWidget>(kind == RunKind::AsFound ? "tableWidget_asFound"
                                                            : "tableWidget_asLeft")
                    ->rowCount();
        }

        bool open()
        {
            if (!f.openPort() || !f.search())
                return false;
            f.button("pushButton_jiaoyan")->click();
            lc = f.window->findChild<LoopCheckWindow *>();
            if (!lc || !lc->isVisible())
                return false;
            lc->setViewer([this](const QUrl &url) { viewed << url; });
            w<QLineEdit>("lineEdit_technician")->setText(QStringLiteral("张工"));
            w<QLineEdit>("lineEdit_station")->setText(QStringLiteral("一号站"));
            w<QLineEdit>("lineEdit_referenceName")->setText(QStringLiteral("压力校验仪 PC-200"));
            w<QLineEdit>("lineEdit_referenceSerial")->setText(QStringLiteral("RS-7731"));
            return true;
        }

        // The loop-check events the window's history store holds: device key and payload.
        QVector<QPair<QString, QJsonObject>> stored()
        {
            QVector<QPair<QString, QJsonObject>> out;
            if (!f.window->historyStore()->flush(5000))
                return out;
            HistoryDb db(f.window->historyStore()->location());
            for (const QString &row : db.rows(QStringLiteral(
                         "SELECT device, payload FROM events WHERE kind = 'loopcheck' ORDER BY id"))) {
                const int bar = row.indexOf(QLatin1Char('|'));
                out << qMakePair(row.left(bar),
                                 QJsonDocument::fromJson(row.mid(bar + 1).toUtf8()).object());
            }
            return out;
        }

        bool start(RunKind kind)
        {
            w<QComboBox>("comboBox_runKind")->setCurrentIndex(kind == RunKind::AsFound ? 0 : 1);
            w<QPushButton>("pushButton_start")->click();
            return f.waitFor([this] { return w<QPushButton>("pushButton_read")->isEnabled(); }, 5000);
        }

        QString exportText(const QString &pdf)
        {
            QSignalSpy written(lc, &LoopCheckWindow::certificateWritten);
            if (!lc->exportCertificate(pdf) || !written.wait(20000)
                || !written.first().at(1).toString().isEmpty())
                return QString();
            return runTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        }

        // The bench applies the value, the technician types it (and the ammeter's) and reads.
        bool point(double applied, const QString &typed = QString(), double ammeterMa = qQNaN())
        {
            f.sim.setAppliedPv(float(applied));
            if (!std::isnan(ammeterMa))
                w<QLineEdit>("lineEdit_ammeter")->setText(QString::number(ammeterMa, 'f', 4));
            w<QLineEdit>("lineEdit_applied")->setText(typed.isEmpty() ? QString::number(applied) : typed);
            w<QPushButton>("pushButton_read")->click();
            return f.waitFor(
                    [this] {
                        return !lc->isRunning()
                                || (w<QPushButton>("pushButton_read")->isEnabled()
                                    && f.portButtonsEnabled());
                    },
                    5000);
        }
    };

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("hart.*.debug=false"));
        QVERIFY(m_dir.isValid());
        // The English windows, for their pictures; the checks do not depend on the language.
        if (qEnvironmentVariable("HART_LANG") == QLatin1String("en"))
            QVERIFY(installEnglish());
    }

    // Each window records into a store of the test's own.
    void init()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("hart.*.debug=false"));
        qputenv("HART_HISTORY",
                m_dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + ".sqlite").toUtf8());
    }
    void cleanup() { qunsetenv("HART_HISTORY"); }

    void asFoundFails_zeroTrim_asLeftPasses_certificate()
    {
        Check c;
        // Offset 0.2 kPa and gain +0.1 % on a 0..100 kPa range: the error is 0.2 + 0.001 x %
        // of span, over +0.25 % above 50 kPa; 50 kPa itself lands on the limit.
        c.f.sim.setSensorError(0.2f, 0.1f);
        QVERIFY(c.open());
        const double applied[] = {0.01, 25.02, 50.0, 75.04, 100.0, 74.96, 49.97, 24.98, 0.02};

        QVERIFY(c.start(RunKind::AsFound));
        for (double a : applied)
            QVERIFY(c.point(a));
        QVERIFY(!c.lc->isRunning());
        const Run found = *c.lc->lastRun(RunKind::AsFound);
        QCOMPARE(found.readings.size(), 9);
        QCOMPARE(found.identity.tag, QString("SIMTX-01"));
        QCOMPARE(found.range.unit, QString("kPa"));
        QVector<int> failing;
        for (int i = 0; i < found.readings.size(); ++i)
            if (!found.readings[i].pass())
                failing << i;
        QCOMPARE(failing, (QVector<int>{3, 4, 5})); // 75 up, 100, 75 down
        QCOMPARE(found.readings[2].pvErrorPercent, 0.25);
        QCOMPARE(found.readings[4].pvErrorPercent, 0.3);
        QCOMPARE(verdict(found), Verdict::Fail);
        QVERIFY(c.w<QLabel>("label_asFoundVerdict")->text().contains(QStringLiteral("✘ 不合格")));

        // Zero trim with zero applied: the PV zero page's "清零" (command 43).
        c.f.sim.setAppliedPv(0.0f);
        c.f.window->showPage(pageindex::PvZero);
        QVERIFY(c.f.run("pushButton_qingling", QStringLiteral("清零成功")));

        QCOMPARE(c.w<QComboBox>("comboBox_runKind")->currentIndex(), 1); // as left is next
        QVERIFY(c.start(RunKind::AsLeft));
        for (double a : applied)
            QVERIFY(c.point(a));
        const Run left = *c.lc->lastRun(RunKind::AsLeft);
        QCOMPARE(verdict(left), Verdict::Pass);
        QCOMPARE(left.readings[4].pvErrorPercent, 0.1); // the gain error is left
        QVERIFY(c.w<QLabel>("label_asLeftVerdict")->text().contains(QStringLiteral("✔ 合格")));

        // The history store holds both runs, under the transmitter and one certificate number.
        const auto stored = c.stored();
        QCOMPARE(stored.size(), 2);
        const QString number = c.lc->certificateNumber();
        QVERIFY(!number.isEmpty());
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(stored[i].first, found.identity.uniqueId);
            QCOMPARE(stored[i].second.value("certificateNumber").toString(), number);
            QCOMPARE(stored[i].second.value("readings").toArray().size(), 9);
            QCOMPARE(stored[i].second.value("transmitter").toObject().value("tag").toString(),
                     QString("SIMTX-01"));
        }
        QCOMPARE(stored[0].second.value("kind").toString(), QString("as found"));
        QCOMPARE(stored[0].second.value("verdict").toString(), QString("fail"));
        QCOMPARE(stored[1].second.value("kind").toString(), QString("as left"));
        QCOMPARE(stored[1].second.value("verdict").toString(), QString("pass"));

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("证书.pdf"));
        QSignalSpy written(c.lc, &LoopCheckWindow::certificateWritten);
        QVERIFY(c.lc->exportCertificate(pdf));
        QVERIFY(written.wait(20000));
        QCOMPARE(written.first().at(1).toString(), QString());
        QCOMPARE(c.viewed, QVector<QUrl>{QUrl::fromLocalFile(pdf)});

        const QString text = runTool(QStringLiteral("pdftotext"),
                                     {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY2(text.contains(QStringLiteral("SIMTX-01")), qPrintable(text));
        QVERIFY(text.contains(number));
        for (double a : applied)
            QVERIFY2(text.contains(QString::number(a)), qPrintable(QString::number(a)));
        QVERIFY(text.contains(QStringLiteral("校准前 (as found)")));
        QVERIFY(text.contains(QStringLiteral("校准后 (as left)")));
        QVERIFY(text.contains(QStringLiteral("不合格")));
        QVERIFY(text.contains(QStringLiteral("RS-7731")));
        QVERIFY(text.contains(QStringLiteral("张工")));
        // Per run, the heading carries its verdict.
        QVERIFY(QRegularExpression(QStringLiteral("as found\\)\\s+结论：\\S*\\s*不合格")).match(text).hasMatch());
        QVERIFY(QRegularExpression(QStringLiteral("as left\\)\\s+结论：\\S*\\s*合格")).match(text).hasMatch());

        const QString fonts = runTool(QStringLiteral("pdffonts"), {pdf});
        bool cjkEmbedded = false;
        for (const QString &line : fonts.split(QLatin1Char('\n')))
            if (line.contains(QStringLiteral("WenQuanYi")))
                cjkEmbedded = line.simplified().split(QLatin1Char(' ')).contains(QStringLiteral("yes"));
        QVERIFY2(cjkEmbedded, qPrintable(fonts));

        // The example certificate of the documentation is this one, and the window beside it.
        const QString shot = qEnvironmentVariable("LOOPCHECK_KEEP_SCREENSHOT");
        if (!shot.isEmpty()) {
            c.lc->resize(823, 631);
            QVERIFY(c.lc->grab().save(shot));
            c.w<QTabWidget>("tabWidget_runs")->setCurrentIndex(2);
            QVERIFY(c.lc->grab().save(QString(shot).replace(".png", "-plot.png")));
        }
        const QString keep = qEnvironmentVariable("LOOPCHECK_KEEP_CERTIFICATE");
        if (!keep.isEmpty()) {
            QFile::remove(keep);
            QVERIFY(QFile::copy(pdf, keep));
        }
    }

    void badInputAndSilentTransmitter_stopTheRunKeepingItsReadings()
    {
        Check c;
        QVERIFY(c.open());

        // A point outside the range never starts a run.
        c.w<QLineEdit>("lineEdit_points")->setText(QStringLiteral("0, 50, 120"));
        c.w<QPushButton>("pushButton_start")->click();
        QVERIFY(c.message().contains(QStringLiteral("120% 超出量程")));
        QVERIFY(!c.lc->isRunning());

        // A range of zero span is refused once read from the transmitter.
        QByteArray zeroRange(4, '\0'); // the upper range value equal to the lower, 0
        c.f.sim.setMemory(0x0104, zeroRange);
        c.w<QLineEdit>("lineEdit_points")->setText(QStringLiteral("0, 50, 100, 50, 0"));
        c.w<QPushButton>("pushButton_start")->click();
        QVERIFY(c.f.waitFor([&] { return c.message().contains(QStringLiteral("量程为零")); }, 5000));
        QVERIFY(!c.lc->isRunning());
        const float hundred = 100.0f;
        c.f.sim.setMemory(0x0104, QByteArray(reinterpret_cast<const char *>(&hundred), 4));

        QVERIFY(c.start(RunKind::AsFound));
        c.f.requests.clear();
        // Typed values that are no number, or far outside the range, read nothing.
        for (const char *typed : {"abc", "5O", "250", ""}) {
            c.w<QLineEdit>("lineEdit_applied")->setText(QLatin1String(typed));
            c.w<QPushButton>("pushButton_read")->click();
            QVERIFY2(c.message().contains(QStringLiteral("不是数字"))
                             || c.message().contains(QStringLiteral("超出量程")),
                     qPrintable(c.message()));
        }
        c.w<QLineEdit>("lineEdit_applied")->setText(QStringLiteral("0"));
        c.w<QLineEdit>("lineEdit_ammeter")->setText(QStringLiteral("4,0 mA"));
        c.w<QPushButton>("pushButton_read")->click();
        QVERIFY(c.message().contains(QStringLiteral("电流表读数")));
        QVERIFY(!c.f.requests.contains(QStringLiteral("read loop check point")));
        QCOMPARE(c.rows(RunKind::AsFound), 0);

        // The ammeter's reading, when typed, is the current judged.
        c.w<QLineEdit>("lineEdit_ammeter")->setText(QStringLiteral("4,016"));
        QVERIFY(c.point(0.0));
        QVERIFY(c.point(50.0));
        QCOMPARE(c.rows(RunKind::AsFound), 2);

        // The transmitter stops answering at the third point.
        TransmitterSim::Faults silent;
        silent.silent = true;
        c.f.sim.setFaults(silent);
        QVERIFY(c.point(100.0));
        QVERIFY(!c.lc->isRunning());
        QVERIFY2(c.message().contains(QStringLiteral("变送器无应答")), qPrintable(c.message()));
        QVERIFY(c.message().contains(QStringLiteral("保留了2个读数")));
        QCOMPARE(c.rows(RunKind::AsFound), 2);
        const Run kept = *c.lc->lastRun(RunKind::AsFound);
        QCOMPARE(kept.readings.size(), 2);
        QCOMPARE(kept.readings[0].ammeterMa, 4.016);
        QCOMPARE(kept.readings[0].currentErrorPercent, 0.1);
        QVERIFY(!kept.readings[1].hasAmmeter());
        QCOMPARE(verdict(kept), Verdict::Incomplete);
        QVERIFY(!kept.stopReason.isEmpty());
        const auto stored = c.stored();
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0].second.value("readings").toArray().size(), 2);
        QCOMPARE(stored[0].second.value("verdict").toString(), QString("incomplete"));
        QVERIFY(!stored[0].second.value("stopReason").toString().isEmpty());
        QVERIFY(c.f.portButtonsEnabled());
        QVERIFY(c.w<QPushButton>("pushButton_exportCertificate")->isEnabled());
    }

    // The output stage drives 0.1 mA (0.625 % of 16 mA) more than command 2 reports, the PV is
    // right. Unmeasured, the current is the transmitter's word and the certificate says so;
    // with the ammeter's readings the same transmitter fails on its current.
    void driftedOutput_passesOnlyOnThePv_failsOnTheAmmeter()
    {
        Check c;
        c.f.sim.setOutputOffset(0.1f);
        QVERIFY(c.open());
        c.w<QLineEdit>("lineEdit_points")->setText(QStringLiteral("0, 50, 100"));
        const double applied[] = {0.0, 50.0, 100.0};

        QVERIFY(c.start(RunKind::AsFound));
        for (double a : applied)
            QVERIFY(c.point(a));
        const Run found = *c.lc->lastRun(RunKind::AsFound);
        QCOMPARE(found.readings.size(), 3);
        for (const Reading &r : found.readings) {
            QVERIFY(!r.currentMeasured());
            QVERIFY(std::isnan(r.currentErrorPercent));
            QCOMPARE(r.pvErrorPercent, 0.0);
        }
        QCOMPARE(verdict(found), Verdict::Pass);
        QVERIFY(!currentMeasured(found));
        auto *table = c.w<QTableWidget>("tableWidget_asFound");
        for (int row = 0; row < 3; ++row) {
            QVERIFY2(table->item(row, 5)->text().contains(QStringLiteral("变送器自报")),
                     qPrintable(table->item(row, 5)->text()));
            QCOMPARE(table->item(row, 6)->text(), QStringLiteral("—"));
        }

        // As left with the ammeter in the loop: what the loop really carries.
        QVERIFY(c.start(RunKind::AsLeft));
        for (double a : applied)
            QVERIFY(c.point(a, QString(), 4.0 + 16.0 * a / 100.0 + c.f.sim.outputOffset()));
        const Run left = *c.lc->lastRun(RunKind::AsLeft);
        for (const Reading &r : left.readings) {
            QVERIFY(r.currentMeasured());
            QCOMPARE(r.currentErrorPercent, 0.625);
            QVERIFY(!r.pass());
        }
        QCOMPARE(verdict(left), Verdict::Fail);

        QTemporaryDir dir;
        const QString text = c.exportText(dir.filePath(QStringLiteral("drift.pdf")));
        QVERIFY(!text.isEmpty());
        // As found: nothing of the current is judged, and the words say so.
        QVERIFY2(text.contains(QStringLiteral("输出电流未经测量")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("The output current was not measured")));
        QVERIFY(text.contains(QStringLiteral("reported by the transmitter")));
        QVERIFY(QRegularExpression(QStringLiteral("as found\\)\\s+结论：\\S*\\s*合格（仅PV）"))
                        .match(text).hasMatch());
        QCOMPARE(text.count(QStringLiteral("不判定")), 3);
        QCOMPARE(text.count(QStringLiteral("自报")), 3 + 2); // the cells and the note's two
        // As left: judged on the ammeter, and failed on it.
        QVERIFY(QRegularExpression(QStringLiteral("as left\\)\\s+结论：\\S*\\s*不合格\\s")).match(text).hasMatch());
        QCOMPARE(text.count(QStringLiteral("+0.625")), 3);
        QCOMPARE(text.count(QStringLiteral("(表)")), 3);
    }

    // As found and as left of one transmitter only: a search that finds another one closes
    // the check, its runs stay stored, and the next run starts a check with its own number.
    void anotherTransmitter_closesTheCheck_eachEventItsNumber()
    {
        Check c;
        QVERIFY(c.open());
        c.w<QLineEdit>("lineEdit_points")->setText(QStringLiteral("0, 100"));
        QVERIFY(c.start(RunKind::AsFound));
        QVERIFY(c.point(0.0));
        QVERIFY(c.point(100.0));
        const QString first = c.lc->certificateNumber();
        const QString firstId = c.lc->lastRun(RunKind::AsFound)->identity.uniqueId;
        QCOMPARE(c.w<QComboBox>("comboBox_runKind")->currentIndex(), 1);

        c.f.sim.setDeviceId(0x0A0B0C);
        QVERIFY(c.f.search());
        QVERIFY(c.f.waitFor([&] { return !c.lc->lastRun(RunKind::AsFound); }, 2000));
        QVERIFY2(c.message().contains(QStringLiteral("另一台变送器")), qPrintable(c.message()));
        QVERIFY(c.lc->certificateNumber().isEmpty());
        QCOMPARE(c.w<QComboBox>("comboBox_runKind")->currentIndex(), 0);
        QCOMPARE(c.rows(RunKind::AsFound), 0);

        // A run of the second transmitter, stopped half-way by a search that finds the first.
        QVERIFY(c.start(RunKind::AsFound));
        QVERIFY(c.point(0.0));
        const QString secondId = c.lc->lastRun(RunKind::AsFound)
                ? QString() : QStringLiteral("running");
        QCOMPARE(secondId, QStringLiteral("running"));
        c.f.sim.setDeviceId(SimConfig().deviceId);
        QVERIFY(c.f.search());
        QVERIFY(c.f.waitFor([&] { return !c.lc->isRunning() && !c.lc->lastRun(RunKind::AsFound); }, 2000));

        const auto stored = c.stored();
        QCOMPARE(stored.size(), 2);
        QCOMPARE(stored[0].first, firstId);
        QCOMPARE(stored[0].second.value("certificateNumber").toString(), first);
        QVERIFY(stored[1].first != firstId);
        QVERIFY(stored[1].first.endsWith(QStringLiteral("0A0B0C")));
        const QString second = stored[1].second.value("certificateNumber").toString();
        QVERIFY(!second.isEmpty());
        QVERIFY(second != first);
        QCOMPARE(stored[1].second.value("readings").toArray().size(), 1);
        QCOMPARE(stored[1].second.value("stopReason").toString(), QStringLiteral("已找到另一台变送器"));

        // Back on the first transmitter: a new check, a new number, not the first one's.
        QVERIFY(c.start(RunKind::AsLeft));
        QVERIFY(c.point(0.0));
        QVERIFY(c.point(100.0));
        const QString third = c.lc->certificateNumber();
        QVERIFY(third != first && third != second);
        QVERIFY(!c.lc->lastRun(RunKind::AsFound));
        QTemporaryDir dir;
        const QString text = c.exportText(dir.filePath(QStringLiteral("left.pdf")));
        QVERIFY(text.contains(third));
        QVERIFY(!text.contains(QStringLiteral("0A0B0C")));
    }

    void standardsRegister_guardBandedCheck_dueList_data()
    {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("sqlite") << false;
        QTest::newRow("postgres") << true;
    }
    // A standard registered through its window, chosen for a guard-banded check whose as-found
    // points sit inside the tolerance but within U of the limit; as left after a zero trim; the
    // certificate names the rule, U and TUR; the due list shows the transmitter's next date.
    void standardsRegister_guardBandedCheck_dueList()
    {
        QFETCH(bool, postgres);
        if (postgres) {
            QFile f(qEnvironmentVariable("HART_TEST_PG_STATE") + QStringLiteral(".url"));
            QVERIFY2(f.open(QIODevice::ReadOnly), "no test PostgreSQL (tests/history/pgcluster.sh)");
            const QString url = QString::fromUtf8(f.readAll()).trimmed();
            {
                HistoryDb db(url, QStringLiteral("reset"));
                QSqlQuery q(db.db());
                for (const char *table : {"reference_standards", "transmitter_check_settings",
                                          "standards_schema_version"})
                    q.exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(QLatin1String(table)));
            }
            qputenv("HART_HISTORY", url.toUtf8());
        }
        Check c;
        // 0.23 kPa on 0..100 kPa: 0.23 %, inside +-0.25 % but within U = 0.05 % of the limit.
        c.f.sim.setSensorError(0.23f, 0.0f);
        QVERIFY(c.open());
        QCOMPARE(c.f.window->historyStore()->usesPostgres(), postgres);
        const QDate today = QDate::currentDate();

        c.f.button("pushButton_biaozhunqi")->click();
        auto *reg = c.f.window->findChild<StandardsWindow *>();
        QVERIFY(reg && reg->isVisible());
        auto edit = [reg](const char *name, const QString &text) {
            reg->findChild<QLineEdit *>(QLatin1String(name))->setText(text);
        };
        auto saved = [&](int rows) {
            reg->findChild<QPushButton *>(QStringLiteral("pushButton_saveStandard"))->click();
            return c.f.waitFor([&] { return reg->findChild<QTableWidget *>()->rowCount() == rows; }, 5000);
        };
        // An expired one first, then the one used.
        edit("lineEdit_standardName", QStringLiteral("旧校验仪"));
        edit("lineEdit_standardUnit", QStringLiteral("kPa"));
        edit("lineEdit_uAbsolute", QStringLiteral("0.05"));
        reg->findChild<QDateEdit *>(QStringLiteral("dateEdit_standardDue"))->setDate(today.addDays(-1));
        QVERIFY(saved(1));
        reg->findChild<QPushButton *>(QStringLiteral("pushButton_newStandard"))->click();
        edit("lineEdit_standardName", QStringLiteral("压力校验仪"));
        edit("lineEdit_standardModel", QStringLiteral("PC-200"));
        edit("lineEdit_standardSerial", QStringLiteral("RS-7731"));
        edit("lineEdit_standardHigh", QStringLiteral("700"));
        edit("lineEdit_standardCertificate", QStringLiteral("CAL-2026-118"));
        edit("lineEdit_uAbsolute", QStringLiteral("0.05"));
        reg->findChild<QDateEdit *>(QStringLiteral("dateEdit_standardDue"))->setDate(today.addDays(20));
        QVERIFY(saved(2));

        auto *pressure = c.w<QComboBox>("comboBox_pressureStandard");
        QVERIFY(c.f.waitFor([&] { return pressure->count() == 3; }, 5000));
        c.w<QLineEdit>("lineEdit_points")->setText(QStringLiteral("0, 50, 100"));
        c.w<QComboBox>("comboBox_decisionRule")->setCurrentIndex(1);
        c.w<QSpinBox>("spinBox_interval")->setValue(6);
        // The expired standard refuses the run, with the reason.
        pressure->setCurrentIndex(pressure->findText(QStringLiteral("旧校验仪"), Qt::MatchStartsWith));
        c.w<QPushButton>("pushButton_start")->click();
        QVERIFY2(c.message().contains(QStringLiteral("已过期")), qPrintable(c.message()));
        QVERIFY(!c.lc->isRunning());

        pressure->setCurrentIndex(pressure->findText(QStringLiteral("压力校验仪"), Qt::MatchStartsWith));
        QVERIFY(c.start(RunKind::AsFound));
        QVERIFY2(c.message().contains(QStringLiteral("20天内")), qPrintable(c.message()));
        for (double a : {0.0, 50.0, 100.0})
            QVERIFY(c.point(a));
        const Run found = *c.lc->lastRun(RunKind::AsFound);
        QCOMPARE(found.readings[1].pvErrorPercent, 0.23);
        QVERIFY(found.setup.pressureStandard.has_value());
        for (const Reading &r : found.readings)
            QCOMPARE(int(readingOutcome(found, r)), int(Outcome::ConditionalPass));
        QCOMPARE(int(runOutcome(found)), int(Outcome::ConditionalPass));
        QCOMPARE(turText(runTur(found)), QStringLiteral("5.0:1"));
        QVERIFY(c.w<QTableWidget>("tableWidget_asFound")->item(1, 9)->text().contains(QStringLiteral("有条件合格")));

        c.f.sim.setAppliedPv(0.0f);
        c.f.window->showPage(pageindex::PvZero);
        QVERIFY(c.f.run("pushButton_qingling", QCoreApplication::translate("MainWindow", "清零成功")));
        QVERIFY(c.start(RunKind::AsLeft));
        for (double a : {0.0, 50.0, 100.0})
            QVERIFY(c.point(a));
        QCOMPARE(int(runOutcome(*c.lc->lastRun(RunKind::AsLeft))), int(Outcome::Pass));

        QTemporaryDir dir;
        const QString text = c.exportText(dir.filePath(QStringLiteral("guard.pdf")));
        QVERIFY2(text.contains(QStringLiteral("conditional pass")), qPrintable(text));
        // The three points, and the run's heading, summary and rule line.
        QCOMPARE(text.count(QStringLiteral("有条件合格 (conditional pass)")), 3 + 3);
        QVERIFY(text.contains(QStringLiteral("guard band")));
        QVERIFY(text.contains(QStringLiteral("5.0:1")));
        QVERIFY(text.contains(QStringLiteral("U = 0.05 kPa (k=2)")));
        QVERIFY(text.contains(QStringLiteral("CAL-2026-118")));
        QVERIFY(text.contains(today.addDays(20).toString(QStringLiteral("yyyy-MM-dd"))));
        QVERIFY(text.contains(QStringLiteral("0.050"))); // U of each point, % of span
        const QString keep = qEnvironmentVariable("LOOPCHECK_KEEP_CERTIFICATE");
        if (!keep.isEmpty() && !postgres) {
            QFile::remove(QString(keep).replace(".pdf", "-guarded.pdf"));
            QVERIFY(QFile::copy(dir.filePath(QStringLiteral("guard.pdf")), QString(keep).replace(".pdf", "-guarded.pdf")));
        }

        // The due list: the transmitter is due six months after today's passed as left.
        c.f.button("pushButton_daoqi")->click();
        auto *due = c.f.window->findChild<DueListWindow *>();
        QVERIFY(due && due->isVisible());
        due->findChild<QSpinBox *>()->setValue(400);
        auto *table = due->findChild<QTableWidget *>();
        QVERIFY(c.f.waitFor([&] { return table->rowCount() == 1; }, 5000));
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("SIMTX-01"));
        QCOMPARE(table->item(0, 1)->text(), found.identity.uniqueId);
        QCOMPARE(table->item(0, 4)->text(), today.addMonths(6).toString(QStringLiteral("yyyy-MM-dd")));
        due->findChild<QSpinBox *>()->setValue(30);
        QVERIFY(c.f.waitFor([&] { return table->rowCount() == 0; }, 5000));
        due->findChild<QSpinBox *>()->setValue(400);
        QVERIFY(c.f.waitFor([&] { return table->rowCount() == 1; }, 5000));
        const QString csv = dir.filePath(QStringLiteral("due.csv"));
        QSignalSpy exported(due, &DueListWindow::exported);
        due->exportCsv(csv);
        QCOMPARE(exported.size(), 1);
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines[1].section(QLatin1Char(','), 0, 1), QStringLiteral("SIMTX-01,") + found.identity.uniqueId);
        QCOMPARE(lines[1].section(QLatin1Char(','), 4, 4), today.addMonths(6).toString(Qt::ISODate));

        const QString shot = qEnvironmentVariable("LOOPCHECK_KEEP_SCREENSHOT");
        if (!shot.isEmpty() && !postgres) {
            for (QWidget *w : std::initializer_list<QWidget *>{reg, due, c.lc}) {
                w->resize(823, 631);
                QVERIFY(w->grab().save(QString(shot).replace(".png", "-" + w->objectName() + ".png")));
            }
        }

        // Next time this transmitter is found, its points, tolerance and interval are offered.
        c.w<QLineEdit>("lineEdit_points")->setText(QStringLiteral("0, 100"));
        c.w<QSpinBox>("spinBox_interval")->setValue(12);
        QVERIFY(c.f.search());
        QVERIFY(c.f.waitFor([&] { return c.w<QLineEdit>("lineEdit_points")->text() == QStringLiteral("0, 50, 100"); }, 5000));
        QCOMPARE(c.w<QSpinBox>("spinBox_interval")->value(), 6);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(TstLoopCheckWindow)
#include "tst_loopcheck_window.moc"

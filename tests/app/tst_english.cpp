// The English edition: every translatable text has a finished translation that keeps its
// placeholders and the worker's "hart status:" prefix; the window built in English shows
// English everywhere, nothing of it clipped, and still talks to the transmitter with the
// untranslated requests and results.
#include "commandline.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>

namespace {

struct TsMessage
{
    QString context, source, translation, type;
};

QVector<TsMessage> readTs(const QString &path)
{
    QVector<TsMessage> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    QXmlStreamReader xml(&file);
    QString context;
    TsMessage m;
    while (!xml.atEnd()) {
        if (!xml.readNextStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            m = TsMessage{context, {}, {}, {}};
        } else if (xml.name() == QLatin1String("source")) {
            m.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            m.type = xml.attributes().value(QLatin1String("type")).toString();
            m.translation = xml.readElementText();
            out << m;
        }
    }
    return out;
}

QStringList placeholders(const QString &text)
{
    QStringList found;
    QRegularExpressionMatchIterator it =
            QRegularExpression(QStringLiteral("%\\d")).globalMatch(text);
    while (it.hasNext())
        found << it.next().captured();
    found.sort();
    return found;
}

const QRegularExpression
        kChinese(QStringLiteral("[\\x{4e00}-\\x{9fff}\\x{3000}-\\x{303f}\\x{ff00}-\\x{ffef}]"));

// Every page of the window shown in turn: what is still Chinese, and what does not fit.
void sweepPages(WindowFixture &f)
{
    auto *pages = f.w<QStackedWidget>("stackedWidget");
    QStringList chinese, clipped;
    for (int p = 0; p < pages->count(); ++p) {
        f.window->showPage(p);
        QCoreApplication::processEvents();
        for (QWidget *w : f.window->findChildren<QWidget *>()) {
            if (!w->isVisible())
                continue;
            QString text;
            if (auto *label = qobject_cast<QLabel *>(w))
                text = label->text();
            else if (auto *button = qobject_cast<QAbstractButton *>(w))
                text = button->text();
            else if (auto *box = qobject_cast<QGroupBox *>(w))
                text = box->title();
            else if (auto *combo = qobject_cast<QComboBox *>(w))
                for (int i = 0; i < combo->count(); ++i)
                    if (combo->itemText(i) != QStringLiteral("简体中文"))
                        text += combo->itemText(i);
            const QString where =
                    QStringLiteral("page %1 %2 \"%3\"").arg(p).arg(w->objectName(), text);
            if (text.contains(kChinese))
                chinese << where;
            auto *label = qobject_cast<QLabel *>(w);
            const bool measurable =
                    (label && !label->wordWrap() && label->pixmap(Qt::ReturnByValue).isNull())
                    || qobject_cast<QAbstractButton *>(w);
            if (measurable && !text.isEmpty()
                && w->fontMetrics().horizontalAdvance(text) > w->contentsRect().width())
                clipped << where;
            // A tool box title is drawn bold, once open, in what the style sheet's padding and the
        // style's margins leave of its tab (seen clipping beyond 52 pixels less).
            if (qobject_cast<QToolBox *>(w->parentWidget()) && !text.isEmpty()) {
                QFont bold = w->font();
                bold.setBold(true);
                if (QFontMetrics(bold).horizontalAdvance(text) > w->width() - 52)
                    clipped << where;
            }
        }
    }
    chinese.removeDuplicates();
    clipped.removeDuplicates();
    QVERIFY2(chinese.isEmpty(), qPrintable(chinese.join(QLatin1Char('\n'))));
    QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
}

} // namespace

class tst_english : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(installEnglish());
        // The desktop's font (the offscreen platform has none of its own), for the clip check.
        QApplication::setFont(QFont(QStringLiteral("Sans Serif"), 9));
    }

    void everyTextHasAFinishedTranslation()
    {
        QTemporaryDir dir;
        const QString ts = dir.filePath(QStringLiteral("hartconfig_en.ts"));
        QVERIFY(QFile::copy(QStringLiteral(HART_TS_FILE), ts));
        QProcess lupdate;
        lupdate.start(QStringLiteral(LUPDATE_PATH),
                      {"-silent", "-no-obsolete", "-locations", "none", "-source-language", "zh_CN",
                       "-target-language", "en", QStringLiteral(HART_SOURCE_DIR), "-ts", ts});
        QVERIFY(lupdate.waitForFinished(30000));
        QCOMPARE(lupdate.exitCode(), 0);
        const QVector<TsMessage> messages = readTs(ts);
        QVERIFY(messages.size() > 400);
        QStringList missing;
        for (const TsMessage &m : messages)
            if (!m.type.isEmpty() || m.translation.isEmpty())
                missing << m.context + QLatin1String(": ") + m.source;
        QVERIFY2(missing.isEmpty(),
                 qPrintable(
                         QStringLiteral("%1 texts lack English; run tools/dev.sh translations "
                                        "and translate them in translations/hartconfig_en.ts:\n%2")
                                 .arg(missing.size())
                                 .arg(missing.mid(0, 30).join(QLatin1Char('\n')))));
    }

    void translationsKeepWhatTheProgramRelies()
    {
        for (const TsMessage &m : readTs(QStringLiteral(HART_TS_FILE))) {
            const QString where = m.context + QLatin1String(": ") + m.source;
            QVERIFY2(placeholders(m.source) == placeholders(m.translation), qPrintable(where));
            // The window routes the worker's texts by this prefix.
            if (m.source.startsWith(QLatin1String("hart status:")))
                QVERIFY2(m.translation.startsWith(QLatin1String("hart status:")),
                         qPrintable(where));
            QCOMPARE(m.source.count(QLatin1Char('\n')), m.translation.count(QLatin1Char('\n')));
            QVERIFY2(!m.translation.contains(kChinese) || m.source == m.translation,
                     qPrintable(where));
        }
    }

    void theWindowIsEnglishAndNothingIsClipped()
    {
        WindowFixture f;
        QCOMPARE(f.window->size(), QSize(823, 631));
        QCOMPARE(f.w<QLabel>("label_mainTitle")->text(),
                 QStringLiteral("HART Configurator V0.8, User Edition"));
        QCOMPARE(f.window->windowTitle(), f.w<QLabel>("label_mainTitle")->text());
        QCOMPARE(f.button("pushButton_chazhaoduankou")->text(), QStringLiteral("Find ports"));
        QCOMPARE(f.button("pushButton_dakaiduankou")->text(), QStringLiteral("Open"));
        QCOMPARE(f.button("pushButton_chaxunyibiao")->text(), QStringLiteral("Search"));
        QCOMPARE(f.w<QLabel>("label_connect")->text(), QStringLiteral("Not connected"));
        QCOMPARE(f.button("pushButton_close")->toolTip(), QStringLiteral("Close"));
        sweepPages(f);
    }

    // Found, the transmitter fills the pages and every group of the factory edition is offered.
    void theEnglishWindowTalksToTheTransmitter()
    {
        WindowFixture f(SimConfig(), Edition::Factory);
        QVERIFY(f.sim.start());
        f.window->openPortAtStart(f.sim.portPath());
        QVERIFY(f.window->serialLink()->isOpen());
        QCOMPARE(f.w<QLabel>("label_connect")->text(),
                 QStringLiteral("Connected: %1").arg(f.sim.portPath()));
        QVERIFY(f.search());
        QCOMPARE(f.w<QToolBox>("toolBox")->itemText(0), QStringLiteral("Device"));
        QVERIFY(f.run("pushButton_gengduoxinxi", QStringLiteral("More info read")));
        // Requests and results between the threads stay as they are in every language.
        QCOMPARE(f.requests.value(0), QStringLiteral("open port"));
        QCOMPARE(f.requests.count(QStringLiteral("search meter")), 1);
        QVERIFY(f.requests.contains(QStringLiteral("read more info")));
        sweepPages(f);
    }
};

QTEST_MAIN(tst_english)
#include "tst_english.moc"

// The health badge and the "状态" window of the real window against the simulated
// transmitter: HART 7 with a failure, the acknowledgement, the counter that must match, and
// a HART 5 device that is never asked for command 48.
#include "commandline.h"
#include "devicestatus.h"
#include "healthwindow.h"
#include "windowfixture.h"

#include <QListWidget>
#include <QTableWidget>

namespace {

SimConfig revision(quint8 rev)
{
    SimConfig c;
    c.universalRevision = rev;
    c.manufacturerId = 0x26;
    return c;
}

int count(const TransmitterSim &sim, quint8 command)
{
    int n = 0;
    for (const SimRequest &r : sim.requests())
        n += r.command == command;
    return n;
}

QStringList reasons(HealthWindow *w)
{
    QStringList out;
    auto *list = w->findChild<QListWidget *>(QStringLiteral("list_reasons"));
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class tst_HealthWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // HART_LANG=en runs the same checks on the English window's data (and pictures).
        if (qgetenv("HART_LANG") == "en")
            QVERIFY(installEnglish());
    }
    void revision7FailureAcknowledgeAndReset();
    void revision5IsUnknownWithoutCommand48();
};

void tst_HealthWindow::revision7FailureAcknowledgeAndReset()
{
    WindowFixture f(revision(7));
    QByteArray status(25, '\0');
    status[6] = char(0x08); // failure
    f.sim.setAdditionalStatus(status);
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    QPushButton *badge = f.button("pushButton_zhuangtai");
    const QString failure = QStringLiteral("✖ ") + health::verdictWord(health::Verdict::Failure);
    QVERIFY2(WindowFixture::waitFor([&] { return badge->text() == failure; }, 5000),
             qPrintable(badge->text()));
    QCOMPARE(failure, qgetenv("HART_LANG") == "en" ? QStringLiteral("✖ Failure")
                                                   : QStringLiteral("✖ 故障"));
    // Command 0's extended status tells it first; command 48 follows the search by itself.
    QVERIFY(WindowFixture::waitFor([&] { return count(f.sim, 48) == 1; }, 5000));
    QVERIFY(f.sim.moreStatusAvailable());

    badge->click();
    auto *health = f.window->findChild<HealthMonitor *>(QStringLiteral("healthMonitor"));
    QVERIFY(health && health->window());
    HealthWindow *w = health->window();
    QVERIFY(w->isVisible());
    const QString failed = QCoreApplication::translate("health", "故障");
    const QString moreStatus = deviceStatusMeaning(0x10);
    QVERIFY(WindowFixture::waitFor([&] { return reasons(w).contains(failed); }, 3000));
    QVERIFY(WindowFixture::waitFor([&] { return reasons(w).contains(moreStatus); }, 3000));
    auto *vars = w->findChild<QTableWidget *>(QStringLiteral("table_variables"));
    QVERIFY(WindowFixture::waitFor([&] { return vars->rowCount() == 4; }, 5000)); // opened: read
    // A picture of the window at its first size, for the README, when asked for.
    if (const QByteArray dir = qgetenv("HART_SCREENSHOT_DIR"); !dir.isEmpty())
        QVERIFY(w->grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/status-window-%1.png")
                                       .arg(qgetenv("HART_LANG") == "en" ? "en" : "zh")));
    if (qgetenv("HART_LANG") == "en")
        return; // the rest compares the window's Chinese texts

    // "确认" sends the bytes back: more status available goes, the failure stays.
    QPushButton *ack = w->findChild<QPushButton *>(QStringLiteral("pushButton_queren"));
    QVERIFY(ack->isEnabled());
    ack->click();
    QVERIFY(WindowFixture::waitFor([&] { return !f.sim.moreStatusAvailable(); }, 5000));
    QVERIFY(WindowFixture::waitFor([&] { return !reasons(w).contains(moreStatus); }, 5000));
    QCOMPARE(badge->text(), failure);
    const QVector<SimRequest> sent = f.sim.requests();
    bool acknowledged = false;
    for (const SimRequest &r : sent)
        acknowledged |= r.command == 48 && r.data == status;
    QVERIFY(acknowledged);

    // A change at the device after the search: the counter we hold is stale, code 9.
    f.sim.changeConfigurationLocally();
    QPushButton *reset = w->findChild<QPushButton *>(QStringLiteral("pushButton_fuweizutaibiangeng"));
    reset->click();
    auto *message = w->findChild<QLabel *>(QStringLiteral("label_message"));
    QVERIFY(WindowFixture::waitFor([&] { return message->text() == QStringLiteral("复位组态变更失败"); },
                                   5000));
    bool refused = false;
    for (const SimRequest &r : f.sim.requests())
        refused |= r.command == 38 && r.responseCode == 9;
    QVERIFY(refused);
    QVERIFY(f.sim.configChanged());

    // Searched again, the counter is current and the reset goes through.
    QVERIFY(f.search());
    reset->click();
    QVERIFY(WindowFixture::waitFor([&] { return message->text() == QStringLiteral("组态变更已复位"); },
                                   5000));
    QVERIFY(!f.sim.configChanged());
    QVERIFY(WindowFixture::waitFor(
            [&] { return !reasons(w).contains(QStringLiteral("组态变更")); }, 5000));

    // The device recovers: the badge follows the next read.
    f.sim.setAdditionalStatus(QByteArray(25, '\0'));
    QVERIFY(WindowFixture::waitFor([&] { return badge->text() == QStringLiteral("✔ 正常"); }, 8000));
}

void tst_HealthWindow::revision5IsUnknownWithoutCommand48()
{
    WindowFixture f(revision(5));
    QVERIFY(f.openPort());
    QVERIFY(f.search());
    QPushButton *badge = f.button("pushButton_zhuangtai");
    QVERIFY(WindowFixture::waitFor([&] { return badge->text() == QStringLiteral("○ 未知"); }, 3000));
    badge->click();
    auto *health = f.window->findChild<HealthMonitor *>(QStringLiteral("healthMonitor"));
    auto *vars = health->window()->findChild<QTableWidget *>(QStringLiteral("table_variables"));
    QVERIFY(WindowFixture::waitFor([&] { return vars->rowCount() == 4; }, 5000)); // command 3
    QTest::qWait(300);
    QCOMPARE(count(f.sim, 48), 0);
    QCOMPARE(count(f.sim, 9), 0);
    QVERIFY(!health->window()->findChild<QPushButton *>(QStringLiteral("pushButton_queren"))
                     ->isEnabled());
}

QTEST_MAIN(tst_HealthWindow)
#include "tst_health_window.moc"

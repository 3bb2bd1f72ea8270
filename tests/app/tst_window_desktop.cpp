// The window as a desktop program meets it: a port this user may not open, ports told apart
// in a narrow selector, and every page worked from the keyboard.
#include "portaccess.h"
#include "portlist.h"
#include "windowfixture.h"

#include <QAbstractItemView>
#include <QGroupBox>
#include <QScrollArea>
#include <QTemporaryDir>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kOpenFailed = QStringLiteral("端口打开失败，请检查端口号是否正确或端口是否占用！");

// Runs as "nobody" (real and effective ids, so access() agrees) while alive, when started
// as root; root passes every permission check. The saved id lets it come back.
class AsUnprivileged
{
public:
    AsUnprivileged()
    {
        if (::geteuid() != 0)
            return;
        const struct passwd *nobody = ::getpwnam("nobody");
        m_active = nobody && ::setresgid(nobody->pw_gid, nobody->pw_gid, 0) == 0
                && ::setresuid(nobody->pw_uid, nobody->pw_uid, 0) == 0;
    }
    ~AsUnprivileged()
    {
        if (m_active) {
            (void)::setresuid(0, 0, 0);
            (void)::setresgid(0, 0, 0);
        }
    }
    AsUnprivileged(const AsUnprivileged &) = delete;
    AsUnprivileged &operator=(const AsUnprivileged &) = delete;

private:
    bool m_active = false;
};

bool isInput(const QWidget *w)
{
    return w->isVisible() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy()
            && !qobject_cast<const QAbstractItemView *>(w) && !qobject_cast<const QScrollArea *>(w);
}

// The outermost box under the page holding w (the page itself if none), for grouping.
QWidget *boxOf(QWidget *w, QWidget *page)
{
    QWidget *box = page;
    for (QWidget *p = w->parentWidget(); p && p != page; p = p->parentWidget())
        if (qobject_cast<QGroupBox *>(p) || qobject_cast<QAbstractItemView *>(p))
            box = p;
    return box;
}

// Inputs box by box (boxes in reading order of their corners), each box row by row; a row
// is what lies within half a line of the same height.
QVector<QWidget *> readingOrder(QWidget *page)
{
    QVector<QWidget *> inputs;
    for (QWidget *w : page->findChildren<QWidget *>())
        if (isInput(w))
            inputs << w;
    const int line = page->fontMetrics().height() / 2;
    const auto centre = [page](QWidget *w) {
        return w->mapTo(page, w->rect().center());
    };
    const auto before = [&](const QPoint &a, const QPoint &b) {
        return std::abs(a.y() - b.y()) > line ? a.y() < b.y() : a.x() < b.x();
    };
    std::stable_sort(inputs.begin(), inputs.end(), [&](QWidget *a, QWidget *b) {
        QWidget *ba = boxOf(a, page), *bb = boxOf(b, page);
        if (ba != bb)
            return before(ba->mapTo(page, QPoint(0, 0)), bb->mapTo(page, QPoint(0, 0)));
        return before(centre(a), centre(b));
    });
    return inputs;
}

QStringList names(const QVector<QWidget *> &widgets)
{
    QStringList out;
    for (QWidget *w : widgets)
        out << (w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className())
                                + QLatin1Char('@') + QString::number(w->x()) + QLatin1Char(',')
                                + QString::number(w->y())
                                          : w->objectName());
    return out;
}

} // namespace

class tst_window_desktop : public QObject
{
    Q_OBJECT

private slots:
    void openFailureText_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("denied");
        QTest::addColumn<bool>("advice");
        QTest::newRow("permission, denied") << int(QSerialPort::PermissionError) << true << true;
        // Qt's word for a port another program holds locked.
        QTest::newRow("permission, allowed") << int(QSerialPort::PermissionError) << false << false;
        QTest::newRow("not found") << int(QSerialPort::DeviceNotFoundError) << false << false;
        QTest::newRow("open, denied") << int(QSerialPort::OpenError) << true << false;
        QTest::newRow("resource") << int(QSerialPort::ResourceError) << false << false;
    }

    void openFailureText()
    {
        QFETCH(int, error);
        QFETCH(bool, denied);
        QFETCH(bool, advice);
        const QString text = portOpenFailureText(QSerialPort::SerialPortError(error),
                                                 PortAccess{denied, QStringLiteral("uucp")});
        QCOMPARE(text.section(QLatin1Char('\n'), 0, 0), kOpenFailed);
        QCOMPARE(text == kOpenFailed, !advice);
        if (advice)
            QCOMPARE(text.section(QLatin1Char('\n'), 1),
                     QStringLiteral("无权访问该端口：请将用户加入 uucp 组，然后重新登录。"));
    }

    // A device the user may not open, through the real window and QSerialPort: the warning
    // names the device's group.
    void aPortWithoutPermissionNamesItsGroup()
    {
        QTemporaryDir dir;
        QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
        const QString device = dir.filePath(QStringLiteral("ttyUSB7"));
        QFile file(device);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const QByteArray path = QFile::encodeName(device);
        if (::geteuid() == 0) {
            if (const struct group *dialout = ::getgrnam("dialout"))
                QVERIFY(::chown(path.constData(), 0, dialout->gr_gid) == 0);
            QVERIFY(::chmod(path.constData(), 0660) == 0);
        } else {
            QVERIFY(::chmod(path.constData(), 0) == 0);
        }
        const QString group = QFileInfo(device).group();
        QVERIFY(!group.isEmpty());

        WindowFixture f;
        {
            AsUnprivileged unprivileged;
            QVERIFY(checkPortAccess(device).denied);
            f.window->openPortAtStart(device);
        }
        QVERIFY(!f.window->serialLink()->isOpen());
        QCOMPARE(f.w<QComboBox>("comboBox_duankouhao")->currentText(), device);
        QCOMPARE(f.dialogs.texts(),
                 QStringList(kOpenFailed + QLatin1Char('\n')
                             + QStringLiteral("无权访问该端口：请将用户加入 %1 组，然后重新登录。")
                                       .arg(group)));
        QCOMPARE(f.w<QLabel>("label_connect")->text(), QStringLiteral("未连接"));

        // A missing device keeps the warning alone.
        f.dialogs.seen.clear();
        f.window->openPortAtStart(dir.filePath(QStringLiteral("ttyUSB8")));
        QCOMPARE(f.dialogs.texts(), QStringList(kOpenFailed));
    }

    void portsAreToldApart()
    {
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
        QVERIFY(QFile(device).open(QIODevice::WriteOnly));
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("by-id")));
        const QString byId =
                dir.filePath(QStringLiteral("by-id/usb-FTDI_FT232R_A1B2C3-if00-port0"));
        QVERIFY(QFile::link(QStringLiteral("../ttyUSB0"), byId));
        QCOMPARE(byIdNameFor(device, dir.filePath(QStringLiteral("by-id"))), byId);
        QCOMPARE(byIdNameFor(dir.filePath(QStringLiteral("ttyUSB1")),
                             dir.filePath(QStringLiteral("by-id"))),
                 QString());

        // The simulator's links sit beside the platform's ports, named by their path.
        QVERIFY(QFile::link(device, dir.filePath(QStringLiteral("ttyHARTSIM3"))));
        const QVector<PortEntry> listed =
                listPorts(dir.filePath(QStringLiteral("by-id")), dir.path());
        QVERIFY(std::any_of(listed.begin(), listed.end(), [&](const PortEntry &e) {
            return e.name == dir.filePath(QStringLiteral("ttyHARTSIM3")) && e.fullName == e.name;
        }));

        WindowFixture f;
        auto *combo = f.w<QComboBox>("comboBox_duankouhao");
        const int narrow = combo->maximumWidth();
        QVERIFY(narrow <= 80);
        const QString detail = QStringLiteral("FT232R USB UART, FTDI, S/N A1B2C3");
        fillPortSelector(combo,
                         {PortEntry{QStringLiteral("ttyUSB0"), detail, byId},
                          PortEntry{QStringLiteral("/tmp/ttyHARTSIM0"), QString(),
                                    QStringLiteral("/tmp/ttyHARTSIM0")}});
        QCOMPARE(combo->currentText(), QStringLiteral("ttyUSB0"));
        QCOMPARE(combo->toolTip(), byId);
        QCOMPARE(combo->maximumWidth(), narrow);
        const QString shown = PortItemDelegate::entryText(QStringLiteral("ttyUSB0"), detail);
        QVERIFY(shown.contains(detail));
        // The drop-down draws the detail beside the name and opens wide enough for it.
        QStyleOptionViewItem option;
        option.initFrom(combo->view());
        option.font = combo->view()->font();
        const QModelIndex first = combo->model()->index(0, 0);
        const int drawn = combo->itemDelegate()->sizeHint(option, first).width();
        QVERIFY(drawn > QStyledItemDelegate().sizeHint(option, first).width() + 100);
        QVERIFY(combo->view()->minimumWidth() >= drawn);
        QCOMPARE(combo->itemData(0, Qt::ToolTipRole).toString(), byId);

        combo->setCurrentIndex(1);
        QCOMPARE(combo->currentText(), QStringLiteral("/tmp/ttyHARTSIM0"));
        QCOMPARE(combo->toolTip(), QStringLiteral("/tmp/ttyHARTSIM0"));
    }

    void iconButtonsAreNamed()
    {
        WindowFixture f;
        for (const char *name :
             {"pushButton_mainIcon", "pushButton_min", "pushButton_max", "pushButton_close"}) {
            QPushButton *b = f.button(name);
            QVERIFY2(!b->accessibleName().isEmpty(), name);
            QVERIFY2(!b->toolTip().isEmpty(), name);
        }
        // Any other button without a readable text of its own must say what it does.
        for (QAbstractButton *b : f.window->findChildren<QAbstractButton *>()) {
            if (qobject_cast<QAbstractItemView *>(b->parentWidget()))
                continue; // a table's corner
            const QString text = b->text();
            if (std::none_of(text.begin(), text.end(),
                             [](QChar c) { return c.isLetterOrNumber(); }))
                QVERIFY2(!b->accessibleName().isEmpty() && !b->toolTip().isEmpty(),
                         qPrintable(b->objectName()));
        }
    }

    // Tab from the page's first input goes once through every enabled input of the page in
    // reading order, box by box, and comes back to the first; nothing traps it.
    void everyPageWorksFromTheKeyboard_data()
    {
        QTest::addColumn<int>("page");
        for (int p = 0; p < MainWindow::kPageCount; ++p)
            QTest::addRow("page %d", p) << p;
    }

    void everyPageWorksFromTheKeyboard()
    {
        QFETCH(int, page);
        WindowFixture f(SimConfig(), Edition::Factory);
        f.window->showPage(page);
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        QWidget *pageWidget = f.w<QStackedWidget>("stackedWidget")->widget(page);

        const QVector<QWidget *> inputs = readingOrder(pageWidget);
        if (inputs.isEmpty())
            QSKIP("nothing to type into on this page");
        inputs.first()->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), inputs.first());

        QVector<QWidget *> visited{inputs.first()};
        for (int i = 0; i < 3 * inputs.size() + 20; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *now = QApplication::focusWidget();
            if (now == inputs.first())
                break;
            if (now && pageWidget->isAncestorOf(now) && visited.value(visited.size() - 1) != now)
                visited << now;
        }
        // Inside a table the page's own order holds (by point or by row); the table is one
        // stop in the reading order, worked through at once.
        const auto stops = [pageWidget](const QVector<QWidget *> &widgets) {
            QStringList out;
            for (QWidget *w : widgets) {
                QWidget *box = boxOf(w, pageWidget);
                const QString stop = qobject_cast<QAbstractItemView *>(box)
                        ? box->objectName()
                        : names({w}).constFirst();
                if (out.isEmpty() || out.constLast() != stop)
                    out << stop;
            }
            return out;
        };
        QVector<QWidget *> once = visited;
        std::sort(once.begin(), once.end());
        QVector<QWidget *> all = inputs;
        std::sort(all.begin(), all.end());
        QVERIFY2(once == all && stops(visited) == stops(inputs),
                 qPrintable(QStringLiteral("Tab visits:\n%1\nreading order:\n%2")
                                    .arg(names(visited).join(QLatin1Char(' ')),
                                         names(inputs).join(QLatin1Char(' ')))));
    }
};

QTEST_MAIN(tst_window_desktop)
#include "tst_window_desktop.moc"

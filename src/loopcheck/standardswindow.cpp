#include "standardswindow.h"

#include "loopcheck.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <memory>

using namespace loopcheck;

namespace {

QTableWidget *makeTable(const char *name, const QStringList &columns)
{
    auto *table = new QTableWidget(0, columns.size());
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels(columns);
    table->verticalHeader()->setVisible(false);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setDefaultSectionSize(22);
    return table;
}

QLineEdit *makeEdit(const char *name)
{
    auto *edit = new QLineEdit;
    edit->setObjectName(QLatin1String(name));
    return edit;
}

void setMessage(QLabel *label, const QString &text, bool problem)
{
    label->setText(text.isEmpty() ? QString() : (problem ? QStringLiteral("✘ ") : QStringLiteral("✔ ")) + text);
    label->setStyleSheet(problem ? QStringLiteral("color: rgb(190, 0, 0);") : QString());
}

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

// A CSV field as a spreadsheet reads it back; a leading formula sign is neutralised.
QString csvField(QString text)
{
    if (!text.isEmpty() && QStringLiteral("=+-@").contains(text.front()))
        text.prepend(QLatin1Char('\''));
    if (text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')))
        text = QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return text;
}

} // namespace

StandardsWindow::StandardsWindow(StandardsRegister &reg, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_register(reg)
{
    setObjectName(QStringLiteral("StandardsWindow"));
    setWindowTitle(tr("标准器登记"));
    m_table = makeTable("tableWidget_standards",
                        {tr("名称"), tr("型号"), tr("编号"), tr("量"), tr("量程"), tr("不确定度"),
                         tr("证书编号"), tr("有效期至")});
    m_name = makeEdit("lineEdit_standardName");
    m_model = makeEdit("lineEdit_standardModel");
    m_serial = makeEdit("lineEdit_standardSerial");
    m_unit = makeEdit("lineEdit_standardUnit");
    m_certificate = makeEdit("lineEdit_standardCertificate");
    m_quantity = new QComboBox;
    m_quantity->setObjectName(QStringLiteral("comboBox_standardQuantity"));
    m_quantity->addItems({tr("压力"), tr("电流"), tr("温度")});
    m_low = makeEdit("lineEdit_standardLow");
    m_high = makeEdit("lineEdit_standardHigh");
    m_uReading = makeEdit("lineEdit_uReading");
    m_uSpan = makeEdit("lineEdit_uSpan");
    m_uAbsolute = makeEdit("lineEdit_uAbsolute");
    m_k = makeEdit("lineEdit_coverageK");
    m_low->setText(QStringLiteral("0"));
    m_high->setText(QStringLiteral("100"));
    m_uReading->setText(QStringLiteral("0"));
    m_uSpan->setText(QStringLiteral("0"));
    m_uAbsolute->setText(QStringLiteral("0"));
    m_k->setText(QStringLiteral("2"));
    m_due = new QDateEdit(QDate::currentDate().addYears(1));
    m_due->setObjectName(QStringLiteral("dateEdit_standardDue"));
    m_due->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_due->setCalendarPopup(true);
    m_save = new QPushButton(tr("保存"));
    m_save->setObjectName(QStringLiteral("pushButton_saveStandard"));
    m_new = new QPushButton(tr("新标准器"));
    m_new->setObjectName(QStringLiteral("pushButton_newStandard"));
    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("label_message"));
    m_message->setWordWrap(true);

    auto *grid = new QGridLayout;
    auto add = [grid](int row, int col, const QString &text, QWidget *w) {
        grid->addWidget(new QLabel(text), row, col * 2);
        grid->addWidget(w, row, col * 2 + 1);
    };
    add(0, 0, tr("名称"), m_name);
    add(0, 1, tr("型号"), m_model);
    add(0, 2, tr("编号"), m_serial);
    add(1, 0, tr("量"), m_quantity);
    add(1, 1, tr("量程下限"), m_low);
    add(1, 2, tr("量程上限"), m_high);
    add(2, 0, tr("单位"), m_unit);
    add(2, 1, tr("U % 读数"), m_uReading);
    add(2, 2, tr("U % 量程"), m_uSpan);
    add(3, 0, tr("U 绝对值"), m_uAbsolute);
    add(3, 1, tr("包含因子 k"), m_k);
    add(3, 2, tr("有效期至"), m_due);
    add(4, 0, tr("证书编号"), m_certificate);
    for (int c : {1, 3, 5})
        grid->setColumnStretch(c, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_message, 1);
    buttons->addWidget(m_new);
    buttons->addWidget(m_save);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_table, 1);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(m_save, &QPushButton::clicked, this, &StandardsWindow::save);
    connect(m_new, &QPushButton::clicked, this, [this] {
        m_editing = 0;
        m_table->clearSelection();
        for (QLineEdit *e : {m_name, m_model, m_serial, m_certificate})
            e->clear();
        showMessage(QString(), false);
    });
    connect(m_table, &QTableWidget::cellClicked, this, [this](int row, int) { editRow(row); });
    resize(823, 631);
    reload();
}

void StandardsWindow::showMessage(const QString &text, bool problem)
{
    setMessage(m_message, text, problem);
}

void StandardsWindow::reload()
{
    auto out = std::make_shared<QVector<Standard>>();
    auto error = std::make_shared<QString>();
    m_register.run(
            this,
            [out, error](StandardsDb &db, const QString &openError) {
                *error = openError;
                if (openError.isEmpty())
                    *out = db.standards(error.get());
            },
            [this, out, error] {
                if (!error->isEmpty())
                    showMessage(*error, true);
                showStandards(*out);
                emit loaded();
            });
}

void StandardsWindow::showStandards(const QVector<Standard> &list)
{
    m_list = list;
    const QDate today = QDate::currentDate();
    m_table->setRowCount(list.size());
    for (int row = 0; row < list.size(); ++row) {
        const Standard &s = list[row];
        const QStringList cells = {s.name, s.model, s.serial, m_quantity->itemText(int(s.quantity)),
                                   QStringLiteral("%1 ~ %2 %3").arg(number(s.rangeLow), number(s.rangeHigh), s.unit),
                                   uncertaintyText(s), s.certificateNumber,
                                   s.due.toString(QStringLiteral("yyyy-MM-dd"))};
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            const DueState due = dueState(s.due, today);
            if (c == cells.size() - 1 && due != DueState::Valid) {
                item->setText(cells[c] + (due == DueState::Expired ? tr(" 已过期") : tr(" 将到期")));
                item->setForeground(due == DueState::Expired ? QColor(190, 0, 0) : QColor(170, 100, 0));
            }
            m_table->setItem(row, c, item);
        }
    }
}

void StandardsWindow::editRow(int row)
{
    if (row < 0 || row >= m_list.size())
        return;
    const Standard &s = m_list[row];
    m_editing = s.id;
    m_name->setText(s.name);
    m_model->setText(s.model);
    m_serial->setText(s.serial);
    m_quantity->setCurrentIndex(int(s.quantity));
    m_low->setText(number(s.rangeLow));
    m_high->setText(number(s.rangeHigh));
    m_unit->setText(s.unit);
    m_uReading->setText(number(s.uPercentReading));
    m_uSpan->setText(number(s.uPercentSpan));
    m_uAbsolute->setText(number(s.uAbsolute));
    m_k->setText(number(s.k));
    m_certificate->setText(s.certificateNumber);
    m_due->setDate(s.due);
}

void StandardsWindow::save()
{
    Standard s;
    s.id = m_editing;
    s.name = m_name->text().trimmed();
    s.model = m_model->text().trimmed();
    s.serial = m_serial->text().trimmed();
    s.quantity = Quantity(std::clamp(m_quantity->currentIndex(), 0, 2));
    s.unit = m_unit->text().trimmed();
    s.certificateNumber = m_certificate->text().trimmed();
    s.due = m_due->date();
    const std::pair<QLineEdit *, double *> numbers[] = {
            {m_low, &s.rangeLow},       {m_high, &s.rangeHigh}, {m_uReading, &s.uPercentReading},
            {m_uSpan, &s.uPercentSpan}, {m_uAbsolute, &s.uAbsolute}, {m_k, &s.k}};
    for (const auto &[edit, value] : numbers) {
        if (!parseNumber(edit->text(), *value)) {
            showMessage(tr("“%1”不是数字").arg(edit->text().left(20)), true);
            return;
        }
    }
    const QString problem = checkStandard(s);
    if (!problem.isEmpty()) {
        showMessage(problem, true);
        return;
    }
    auto id = std::make_shared<qint64>(0);
    auto error = std::make_shared<QString>();
    m_save->setEnabled(false);
    m_register.run(
            this,
            [s, id, error](StandardsDb &db, const QString &openError) {
                *error = openError;
                if (openError.isEmpty())
                    *id = db.saveStandard(s, error.get());
            },
            [this, id, error, name = s.name] {
                m_save->setEnabled(true);
                if (*id <= 0) {
                    showMessage(error->isEmpty() ? tr("无法保存标准器") : *error, true);
                    return;
                }
                m_editing = *id;
                showMessage(tr("标准器“%1”已保存").arg(name), false);
                emit standardsChanged();
                reload();
            });
}

DueListWindow::DueListWindow(StandardsRegister &reg, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_register(reg)
{
    setObjectName(QStringLiteral("DueListWindow"));
    setWindowTitle(tr("到期"));
    m_days = new QSpinBox;
    m_days->setObjectName(QStringLiteral("spinBox_dueDays"));
    m_days->setRange(0, 3650);
    m_days->setValue(30);
    m_days->setSuffix(tr(" 天内"));
    auto *refresh = new QPushButton(tr("刷新"));
    refresh->setObjectName(QStringLiteral("pushButton_refreshDue"));
    m_export = new QPushButton(tr("导出CSV"));
    m_export->setObjectName(QStringLiteral("pushButton_exportDue"));
    m_table = makeTable("tableWidget_due", {tr("位号"), tr("标识"), tr("上次合格"), tr("周期（月）"),
                                            tr("下次到期"), tr("剩余天数")});
    m_table->setSortingEnabled(true);
    m_message = new QLabel;
    m_message->setObjectName(QStringLiteral("label_message"));
    m_message->setWordWrap(true);
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("到期或已过期，以及")));
    row->addWidget(m_days);
    row->addWidget(refresh);
    row->addStretch(1);
    row->addWidget(m_export);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_message);
    connect(refresh, &QPushButton::clicked, this, &DueListWindow::reload);
    connect(m_days, QOverload<int>::of(&QSpinBox::valueChanged), this, &DueListWindow::reload);
    connect(m_export, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getSaveFileName(
                this, tr("导出CSV"), QDir::home().filePath(QStringLiteral("due.csv")),
                QStringLiteral("CSV (*.csv)"));
        if (!path.isEmpty())
            exportCsv(path);
    });
    resize(823, 631);
    reload();
}

void DueListWindow::showMessage(const QString &text, bool problem)
{
    setMessage(m_message, text, problem);
}

void DueListWindow::reload()
{
    auto out = std::make_shared<QVector<TransmitterSettings>>();
    auto error = std::make_shared<QString>();
    const QDate until = QDate::currentDate().addDays(m_days->value());
    m_register.run(
            this,
            [out, error, until](StandardsDb &db, const QString &openError) {
                *error = openError;
                if (openError.isEmpty())
                    *out = db.dueBy(until, error.get());
            },
            [this, out, error] {
                m_rows = *out;
                const QDate today = QDate::currentDate();
                m_table->setSortingEnabled(false);
                m_table->setRowCount(m_rows.size());
                for (int r = 0; r < m_rows.size(); ++r) {
                    const TransmitterSettings &s = m_rows[r];
                    const int left = int(today.daysTo(s.nextDue()));
                    const QStringList cells = {s.tag, s.device,
                                               s.lastPassed.toString(QStringLiteral("yyyy-MM-dd")),
                                               QString::number(s.intervalMonths),
                                               s.nextDue().toString(QStringLiteral("yyyy-MM-dd")),
                                               QString::number(left)};
                    for (int c = 0; c < cells.size(); ++c) {
                        auto *item = new QTableWidgetItem;
                        // Numbers sort as numbers.
                        if (c == 3 || c == 5)
                            item->setData(Qt::DisplayRole, cells[c].toInt());
                        else
                            item->setText(cells[c]);
                        if (left < 0)
                            item->setForeground(QColor(190, 0, 0));
                        m_table->setItem(r, c, item);
                    }
                }
                m_table->setSortingEnabled(true);
                showMessage(error->isEmpty() ? tr("%1台变送器到期或已过期").arg(m_rows.size()) : *error,
                            !error->isEmpty());
                emit loaded();
            });
}

void DueListWindow::exportCsv(const QString &path)
{
    // Small enough to write here; the rows are the ones shown.
    QSaveFile file(path);
    QString error;
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
    } else {
        QStringList lines{QStringLiteral("tag,device,last_passed,interval_months,next_due,days_left")};
        const QDate today = QDate::currentDate();
        for (const TransmitterSettings &s : m_rows)
            lines << QStringList{csvField(s.tag), csvField(s.device),
                                 s.lastPassed.toString(Qt::ISODate), QString::number(s.intervalMonths),
                                 s.nextDue().toString(Qt::ISODate),
                                 QString::number(today.daysTo(s.nextDue()))}
                             .join(QLatin1Char(','));
        file.write(lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        if (!file.commit())
            error = file.errorString();
    }
    if (error.isEmpty())
        showMessage(tr("到期清单已导出：%1").arg(QDir::toNativeSeparators(path)), false);
    else
        showMessage(tr("无法写入 %1：%2").arg(path, error), true);
    emit exported(path, error);
}

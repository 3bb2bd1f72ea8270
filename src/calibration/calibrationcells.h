// Cell widgets shared by the calibration tables: centred real editors in the common style, and
// fixed text items.
#pragma once

#include "pagehost.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTableWidgetItem>

namespace calcells {

inline QLineEdit *realEditor(PageHost &host, QTableWidget *table, int row, int column)
{
    auto *e = new QLineEdit;
    e->setAlignment(Qt::AlignCenter);
    e->setValidator(host.realValidator());
    e->setStyleSheet(QString::fromLatin1(kCellEditorStyle));
    table->setCellWidget(row, column, e);
    return e;
}

inline void fixedText(QTableWidget *table, int row, int column, const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    table->setItem(row, column, item);
}

inline QPushButton *button(QTableWidget *table, int row, int column, const QString &text)
{
    auto *b = new QPushButton(text);
    table->setCellWidget(row, column, b);
    return b;
}

// The write buttons of the calibration pages: the port check, then the page's collect; true
// only when the collect found the data writable, otherwise its warning is shown.
template<typename Collect>
bool collectForWrite(PageHost &host, Collect collect)
{
    if (!host.portReady())
        return false;
    const QString problem = collect();
    if (!problem.isEmpty()) {
        host.warn(problem);
        return false;
    }
    return true;
}

} // namespace calcells

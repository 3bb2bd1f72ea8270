// The entries of the port selector: the plain port name the program uses, and what tells one
// modem from another (description, maker, serial number, stable /dev/serial/by-id name).
#pragma once

#include <QString>
#include <QStyledItemDelegate>
#include <QVector>

class QComboBox;

struct PortEntry
{
    QString name;     // what the selector's current text and the link use
    QString detail;   // description, maker and serial number, shown beside the name
    QString fullName; // the by-id name if there is one, else the device path
};

// The by-id link in byIdDir that resolves to devicePath, or empty.
QString byIdNameFor(const QString &devicePath, const QString &byIdDir);

// The platform's ports, then the simulated transmitter's links in simDir.
QVector<PortEntry> listPorts(const QString &byIdDir = QStringLiteral("/dev/serial/by-id"),
                             const QString &simDir = QStringLiteral("/tmp"));

// Fills the selector: names as item texts, details drawn beside them in the drop-down, full
// names as tooltips, and the list as wide as its longest entry while the selector stays narrow.
void fillPortSelector(QComboBox *combo, const QVector<PortEntry> &entries);

// Draws an item's detail after its name in the drop-down only.
class PortItemDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    static constexpr int DetailRole = Qt::UserRole + 1;
    static QString entryText(const QString &name, const QString &detail);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

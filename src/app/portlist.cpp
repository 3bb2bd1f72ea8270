#include "portlist.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QSerialPortInfo>

#include <algorithm>

QString byIdNameFor(const QString &devicePath, const QString &byIdDir)
{
    const QString target = QFileInfo(devicePath).canonicalFilePath();
    if (target.isEmpty())
        return QString();
    const QDir dir(byIdDir);
    const QStringList links =
            dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &link : links) {
        const QString path = dir.filePath(link);
        if (QFileInfo(path).canonicalFilePath() == target)
            return path;
    }
    return QString();
}

QVector<PortEntry> listPorts(const QString &byIdDir, const QString &simDir)
{
    QVector<PortEntry> entries;
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        PortEntry e;
        e.name = info.portName();
        QStringList detail;
        if (!info.description().isEmpty())
            detail << info.description();
        if (!info.manufacturer().isEmpty() && info.manufacturer() != info.description())
            detail << info.manufacturer();
        if (!info.serialNumber().isEmpty())
            detail << QStringLiteral("S/N %1").arg(info.serialNumber());
        e.detail = detail.join(QStringLiteral(", "));
        e.fullName = byIdNameFor(info.systemLocation(), byIdDir);
        if (e.fullName.isEmpty())
            e.fullName = info.systemLocation();
        entries << e;
    }
    // The demo's simulated transmitter: a link to its pseudo-terminal, unseen by the
    // platform's port enumeration.
    const QDir tmp(simDir);
    const QStringList links =
            tmp.entryList({QStringLiteral("ttyHARTSIM*")},
                          QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : links) {
        const QString path = tmp.filePath(name);
        if (QFileInfo::exists(path))
            entries << PortEntry{path, QString(), path};
    }
    return entries;
}

void fillPortSelector(QComboBox *combo, const QVector<PortEntry> &entries)
{
    if (!dynamic_cast<PortItemDelegate *>(combo->itemDelegate()))
        combo->setItemDelegate(new PortItemDelegate(combo));
    combo->clear();
    const QFontMetrics metrics(combo->view()->font());
    int widest = combo->width();
    for (const PortEntry &e : entries) {
        combo->addItem(e.name);
        const int row = combo->count() - 1;
        combo->setItemData(row, e.fullName, Qt::ToolTipRole);
        combo->setItemData(row, e.detail, PortItemDelegate::DetailRole);
        widest = std::max(widest,
                          metrics.horizontalAdvance(PortItemDelegate::entryText(e.name, e.detail))
                                  + 32);
    }
    combo->view()->setMinimumWidth(widest);
    combo->setToolTip(combo->itemData(combo->currentIndex(), Qt::ToolTipRole).toString());
}

QString PortItemDelegate::entryText(const QString &name, const QString &detail)
{
    return detail.isEmpty() ? name : QStringLiteral("%1   %2").arg(name, detail);
}

void PortItemDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->text =
            entryText(index.data(Qt::DisplayRole).toString(), index.data(DetailRole).toString());
}

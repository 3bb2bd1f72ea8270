// Stacked page 15: the transmitter's Modbus register map (twenty custom rows, the block of
// fifty text registers, the byte-order flags), read and written as device memory.
#pragma once

#include "modbusformat.h"

#include <QWidget>

#include <array>
#include <memory>

class PageHost;
class QComboBox;
class QLineEdit;

namespace Ui {
class ModbusPage;
}

class ModbusPage : public QWidget
{
    Q_OBJECT

public:
    explicit ModbusPage(PageHost &host, QWidget *parent = nullptr);
    ~ModbusPage() override;

    // Record -> widgets; takes the data lock itself.
    void fill();
    // Widgets -> record; takes the data lock itself. Backup and "write all" keep the
    // byte-order flags as last read; only the write button takes the check boxes.
    void collect(modbusfmt::ByteOrderFlags flags = modbusfmt::ByteOrderFlags::Keep);

    QComboBox *contentBox(int row) const { return m_content[row]; }
    QLineEdit *addressEdit(int row) const { return m_address[row]; }
    QLineEdit *dataEdit(int row) const { return m_data[row]; }

private slots:
    void on_pushButton_duqucustomreg_clicked();
    void on_pushButton_xierucustomreg_clicked();

private:
    // Swallows wheel events on the content lists, so scrolling the table never changes a row.
    class WheelFilter : public QObject
    {
    public:
        using QObject::QObject;
        bool eventFilter(QObject *watched, QEvent *event) override;
    };

    void buildRows();
    modbusfmt::PageValues values() const;

    PageHost &m_host;
    std::unique_ptr<Ui::ModbusPage> ui;
    WheelFilter m_wheelFilter;
    std::array<QComboBox *, modbusfmt::kRows> m_content{};
    std::array<QLineEdit *, modbusfmt::kRows> m_address{};
    std::array<QLineEdit *, modbusfmt::kRows> m_data{};
};

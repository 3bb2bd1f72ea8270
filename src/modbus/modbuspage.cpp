// The Modbus register page: its cell widgets, fill, collect and the two buttons.
#include "modbuspage.h"

#include "pagehost.h"
#include "ui_modbuspage.h"

#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QMutexLocker>
#include <QTableWidgetItem>

namespace {

constexpr const char *kContentBoxStyle =
        "QComboBox{border: none; border-radius: 0px; background: rgb(255,255,255);"
        " selection-background-color: rgb(0, 150, 255);}"
        "QComboBox::drop-down{width: 15px;}";
// The register editors are flat like their list boxes: the table's grid is their border.
constexpr const char *kRegisterEditorStyle =
        "QLineEdit{border: none; border-radius: 0px; background: rgb(255,255,255);"
        " selection-background-color: rgb(0, 150, 255);}";

} // namespace

bool ModbusPage::WheelFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        return true;
    return QObject::eventFilter(watched, event);
}

ModbusPage::ModbusPage(PageHost &host, QWidget *parent)
    : QWidget(parent)
    , m_host(host)
    , ui(std::make_unique<Ui::ModbusPage>())
{
    ui->setupUi(this);
    ui->lineEdit_modbus_zutai_50regs_addr->setValidator(m_host.u16Validator());
    buildRows();
}

ModbusPage::~ModbusPage() = default;

void ModbusPage::buildRows()
{
    QTableWidget *table = ui->tableWidget_customreg;
    table->setRowCount(modbusfmt::kRows + 1);
    table->setColumnCount(3);
    const char *titles[3] = {"参数名", "地址", "自定义数据"};
    for (int column = 0; column < 3; ++column)
        table->setItem(0, column, new QTableWidgetItem(windowTr(titles[column])));

    QStringList catalogue;
    for (const char *entry : modbusfmt::kCatalogue)
        catalogue << windowTr(entry);
    // Born in the viewport and styled once placed: each reparenting or restyling of a cell
    // widget re-resolves the application's style sheet for it.
    QWidget *viewport = table->viewport();
    for (int i = 0; i < modbusfmt::kRows; ++i) {
        auto *content = new QComboBox(viewport);
        content->addItems(catalogue);
        content->installEventFilter(&m_wheelFilter);
        auto *address = new QLineEdit(viewport);
        address->setValidator(m_host.u16Validator());
        auto *data = new QLineEdit(viewport);
        table->setCellWidget(i + 1, 0, content);
        table->setCellWidget(i + 1, 1, address);
        table->setCellWidget(i + 1, 2, data);
        content->setStyleSheet(QLatin1String(kContentBoxStyle));
        address->setStyleSheet(QLatin1String(kRegisterEditorStyle));
        data->setStyleSheet(QLatin1String(kRegisterEditorStyle));
        m_content[i] = content;
        m_address[i] = address;
        m_data[i] = data;
    }
    table->setColumnWidth(0, 220);
}

void ModbusPage::fill()
{
    modbusfmt::RecordValues record;
    {
        QMutexLocker lock(&m_host.dataLock());
        record = modbusfmt::read(deviceData);
    }
    ui->checkBox_byte_swap->setChecked(record.byteSwap);
    ui->checkBox_big_endian->setChecked(record.bigEndian);
    for (int i = 0; i < modbusfmt::kRows; ++i) {
        const ModbusCustomReg row = record.rows[i];
        // A code outside the catalogue selects nothing; collect then keeps the stored code.
        m_content[i]->setCurrentIndex(row.content < modbusfmt::kCatalogueSize ? row.content : -1);
        m_address[i]->setText(QString::number(row.address));
        if (const auto text = modbusfmt::customWordText(m_content[i]->currentIndex(), row.data))
            m_data[i]->setText(*text);
    }
    ui->lineEdit_modbus_zutai_50regs_addr->setText(QString::number(record.textStart));
    // Plain text: bytes from the device are never taken as markup.
    ui->textEdit_modbus_zutai_50regs_data->setPlainText(modbusfmt::textFromWords(record.text));
}

modbusfmt::PageValues ModbusPage::values() const
{
    modbusfmt::PageValues v;
    for (int i = 0; i < modbusfmt::kRows; ++i) {
        const int content = m_content[i]->currentIndex();
        v.rows[i].content = content;
        v.rows[i].address = modbusfmt::parseWord(m_address[i]->text());
        v.rows[i].word = modbusfmt::parseCustomWord(content, m_data[i]->text());
    }
    v.textStart = modbusfmt::parseWord(ui->lineEdit_modbus_zutai_50regs_addr->text());
    v.text = modbusfmt::wordsFromText(ui->textEdit_modbus_zutai_50regs_data->toPlainText());
    v.byteSwap = ui->checkBox_byte_swap->isChecked();
    v.bigEndian = ui->checkBox_big_endian->isChecked();
    return v;
}

void ModbusPage::collect(modbusfmt::ByteOrderFlags flags)
{
    const modbusfmt::PageValues v = values();
    QMutexLocker lock(&m_host.dataLock());
    modbusfmt::apply(deviceData, v, flags);
}

void ModbusPage::on_pushButton_duqucustomreg_clicked()
{
    if (!m_host.portReady())
        return;
    m_host.startRequest(QStringLiteral("read modbus custom reg"),
                        windowTr("正在读取modbus组态数据..."), WhileBusy::KeepPage);
}

void ModbusPage::on_pushButton_xierucustomreg_clicked()
{
    if (!m_host.portReady())
        return;
    collect(modbusfmt::ByteOrderFlags::Take);
    m_host.startRequest(QStringLiteral("write modbus custom reg"),
                        windowTr("正在写入modbus组态数据..."), WhileBusy::KeepPage);
}

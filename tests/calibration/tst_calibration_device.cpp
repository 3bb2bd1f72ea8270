// The linearization page against the simulated transmitter over a real pseudo-terminal:
// collect -> write -> read back -> fill, and the block in the device checked word by word.
#include "fakepagehost.h"
#include "linearizationpage.h"
#include "usercalibrationpage.h"
#include "workerfixture.h"

#include <QtTest>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include <cmath>
#include <cstring>

namespace {

QLineEdit *at(QWidget &page, int row, int column)
{
    auto *table = page.findChild<QTableWidget *>(QStringLiteral("tableWidget_xianxinghuajiwenbu"));
    return qobject_cast<QLineEdit *>(table->cellWidget(row, column));
}

template<typename T>
T *child(QWidget &page, const char *name)
{
    T *w = page.findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}

float word(const QByteArray &block, int address)
{
    float v;
    std::memcpy(&v, block.constData() + (address - 0x0114), 4);
    return v;
}

// Everything the technician can type, one text per cell; an empty cell is stored as 0.
QStringList tableTexts(QWidget &page)
{
    QStringList out;
    auto shown = [](const QLineEdit *e) {
        return e->text().isEmpty() ? QStringLiteral("0") : e->text();
    };
    for (int row = 1; row <= 11; ++row) {
        for (int column = 3; column < 13; ++column)
            out << shown(at(page, row, column));
        if (row >= 7)
            out << shown(at(page, row, 1));
    }
    for (const char *name :
         {"lineEdit_xianxinghuajiwenbu_rangeL", "lineEdit_xianxinghuajiwenbu_rangeH",
          "lineEdit_xianxinghuajiwenbu_user_custom_unit"})
        out << child<QLineEdit>(page, name)->text();
    for (const char *name :
         {"comboBox_xianxinghuajiwenbu_yalidianshu", "comboBox_xianxinghuajiwenbu_wenbudianshu",
          "comboBox_xianxinghuajiwenbu_user_unit", "comboBox_xianxinghuajiwenbu_fac_unit",
          "comboBox_xianxinghuajiwenbu_dot"})
        out << child<QComboBox>(page, name)->currentText();
    return out;
}

} // namespace

class TstCalibrationDevice : public QObject
{
    Q_OBJECT

private slots:
    void linearization_roundTripThroughDevice();
    void userCalibration_roundTripThroughDevice();
};

void TstCalibrationDevice::linearization_roundTripThroughDevice()
{
    WorkerFixture f;
    QVERIFY(f.openAndSearch());
    FakePageHost host(&f.worker.mutex);
    host.forward = [&f](const QString &r) {
        f.request(r);
    };

    LinearizationPage page(host);
    child<QComboBox>(page, "comboBox_xianxinghuajiwenbu_user_unit")->setCurrentText("custom");
    child<QLineEdit>(page, "lineEdit_xianxinghuajiwenbu_user_custom_unit")->setText("m³/h");
    child<QComboBox>(page, "comboBox_xianxinghuajiwenbu_fac_unit")->setCurrentText("kPa");
    child<QComboBox>(page, "comboBox_xianxinghuajiwenbu_dot")->setCurrentIndex(3);
    child<QComboBox>(page, "comboBox_xianxinghuajiwenbu_yalidianshu")->setCurrentText("3");
    child<QComboBox>(page, "comboBox_xianxinghuajiwenbu_wenbudianshu")->setCurrentText("5");
    child<QLineEdit>(page, "lineEdit_xianxinghuajiwenbu_rangeL")->setText("-20");
    child<QLineEdit>(page, "lineEdit_xianxinghuajiwenbu_rangeH")->setText("180");
    const float tempSignals[5] = {812.5f, 1190.25f, 1604.0f, 2011.75f, 2398.5f};
    for (int k = 0; k < 5; ++k) {
        const float s = tempSignals[k];
        at(page, 1, 3 + k)->setText(QString::number(-30 + 25 * k));
        at(page, 6, 3 + k)->setText(QString::number(s));
        at(page, 2, 3 + k)->setText(QString::number(s / 2));
        for (int i = 0; i < 3; ++i)
            at(page, 3 + i, 3 + k)->setText(QString::number(4 + 8 * i + 0.001 * k * k, 'g', 6));
        for (int j = 0; j < 3; ++j)
            at(page, 7 + j, 3 + k)
                    ->setText(QString::number(10000 * j + 3.5 * s - 0.0007 * s * s, 'g', 6));
    }

    child<QPushButton>(page, "pushButton_xianxinghuajiwenbu_xieru")->click();
    QCOMPARE(host.requests, QStringList{"write jiaozhunshuju"});
    const QStringList written = f.runUntil("fac save succeed", 60000);
    QVERIFY2(written.contains("write jiaozhunshuju succeed"), qPrintable(written.join('|')));

    // The device holds exactly the collected block, and its curves pass through the points.
    QByteArray record;
    {
        QMutexLocker lock(&f.worker.mutex);
        record = QByteArray(reinterpret_cast<const char *>(deviceMemory(deviceData, 0x0114, 908)),
                            908);
    }
    const QByteArray device = f.sim.memory(0x0114, 908);
    QCOMPARE(device.size(), 908);
    QVERIFY(device == record);
    QCOMPARE(f.sim.memory(0x009C, 8), QByteArray::fromHex("000000000000803f"));
    for (int j = 0; j < 3; ++j) {
        const int row = 0x0178 + 80 * j;
        for (int k = 0; k < 5; ++k) {
            const long double x = word(device, 0x0150 + 4 * k);
            long double p = 0;
            for (int c = 9; c >= 0; --c)
                p = p * x + word(device, row + 40 + 4 * c);
            const long double y = word(device, row + 4 * k);
            QVERIFY2(std::fabs(static_cast<double>(p - y)) < 0.05,
                     qPrintable(QStringLiteral("point %1, temperature %2: %3 vs %4")
                                        .arg(j)
                                        .arg(k)
                                        .arg(double(p))
                                        .arg(double(y))));
        }
    }
    QCOMPARE(word(device, 0x030C + 4), 180.0f); // second correction reset to the range

    // Read back into a record wiped clean and a fresh page.
    {
        QMutexLocker lock(&f.worker.mutex);
        std::memset(deviceMemory(deviceData, 0x00ED, 0x04A0 - 0x00ED), 0, 0x04A0 - 0x00ED);
    }
    LinearizationPage again(host);
    child<QPushButton>(again, "pushButton_xianxinghuajiwenbu_duqu")->click();
    const QStringList read = f.runUntil("read jiaozhunshuju succeed", 60000);
    QVERIFY2(read.contains("read jiaozhunshuju succeed"), qPrintable(read.join('|')));
    again.fill();
    QCOMPARE(tableTexts(again), tableTexts(page));
    QVERIFY(!again.fitQualityText().isEmpty());
}

void TstCalibrationDevice::userCalibration_roundTripThroughDevice()
{
    WorkerFixture f;
    QVERIFY(f.openAndSearch());
    FakePageHost host(&f.worker.mutex);
    host.forward = [&f](const QString &r) {
        f.request(r);
    };
    UserCalibrationPage page(host);
    auto *table = child<QTableWidget>(page, "tableWidget_yonghujiaozhun");
    auto cellEdit = [table](int r, int c) {
        return qobject_cast<QLineEdit *>(table->cellWidget(r, c));
    };
    cellEdit(2, 1)->setText("1");
    cellEdit(2, 2)->setText("11");
    cellEdit(1, 1)->setText("0");
    cellEdit(1, 2)->setText("100");
    child<QPushButton>(page, "pushButton_yonghujiaozhun_xieru")->click();
    const QStringList written = f.runUntil("user save succeed", 30000);
    QVERIFY2(written.contains("write yonghujiaozhunshuju succeed"), qPrintable(written.join('|')));
    const QByteArray device = f.sim.memory(0x0358, 8);
    float coe[2];
    std::memcpy(coe, device.constData(), 8);
    QVERIFY(std::fabs(coe[0] + 10) < 1e-4f && std::fabs(coe[1] - 10) < 1e-5f);
}

QTEST_MAIN(TstCalibrationDevice)
#include "tst_calibration_device.moc"

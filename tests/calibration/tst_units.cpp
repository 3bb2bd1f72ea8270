// Unit names, value conversion and Pt100 conversion.
#include "units.h"

#include <QtTest>

#include <cmath>

class TstUnits : public QObject
{
    Q_OBJECT

private slots:
    void unitNames_utf8TextOrNoFound();
    void convert_data();
    void convert();
    void pressureFactors_presentAndConsistentForEveryPair();
    void pt100_matchesReferenceTableBothWays_data();
    void pt100_matchesReferenceTableBothWays();
    void pt100_clampsOutOfRangeInputs();
    void pt100_roundTripWithinMillikelvin();
};

void TstUnits::unitNames_utf8TextOrNoFound()
{
    QCOMPARE(unit_name_of_code(249), "custom");
    QCOMPARE(unit_name_of_code(0), "no found");
    QCOMPARE(unit_name_of_code(250), "no found");
    QCOMPARE(QString::fromUtf8(unit_name_of_code(34)), QString(QChar(0x00B0)) + "R");
    QCOMPARE(unit_code_of_index(14), std::uint8_t(237));
    QCOMPARE(unit_code_of_index(27), std::uint8_t(0));
    QCOMPARE(unit_code_of_index(-1), std::uint8_t(0));
    // A duplicated code would make a page select the wrong combo item.
    for (int i = 0; i < kUnitCodeCount; ++i)
        QCOMPARE(unit_name_of_code(unit_code_of_index(i)), unit_code_table[i].text);
}

void TstUnits::convert_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<float>("expected");
    QTest::newRow("same code") << 3.25f << 12 << 12 << 3.25f;
    QTest::newRow("mmHg to Torr") << 3.25f << 5 << 13 << 3.25f;
    QTest::newRow("kPa to inH2O") << 1.0f << 12 << 1 << 4.021847f;
    QTest::newRow("mmH2O to MPa") << 1.0f << 4 << 237 << 0.00001f;
    QTest::newRow("unknown code") << 3.25f << 250 << 12 << 3.25f;
    QTest::newRow("pressure to temperature") << 3.25f << 12 << 32 << 3.25f;
    QTest::newRow("K to C") << 0.0f << 35 << 32 << -273.15f;
    QTest::newRow("F to C") << 212.0f << 33 << 32 << 100.0f;
    QTest::newRow("C to R") << 100.0f << 32 << 34 << 671.67f;
    QTest::newRow("R to F") << 491.67f << 34 << 33 << 32.0f;
    QTest::newRow("F to K") << 32.0f << 33 << 35 << 273.15f;
}

void TstUnits::convert()
{
    QFETCH(float, value);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(float, expected);
    QCOMPARE(convert_unit_value(value, std::uint8_t(from), std::uint8_t(to)), expected);
}

void TstUnits::pressureFactors_presentAndConsistentForEveryPair()
{
    const int codes[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 237, 238, 239, 240, 241};
    auto factor = [](int from, int to) {
        return double(convert_unit_value(1.0f, from, to));
    };
    for (int from : codes) {
        for (int to : codes) {
            const QByteArray pair = QByteArray::number(from) + "->" + QByteArray::number(to);
            auto is = [&](int a, int b) {
                return (from == a && to == b) || (from == b && to == a);
            };
            const double f = factor(from, to);
            if (from == to || is(5, 13)) {
                QVERIFY2(f == 1.0, pair);
                continue;
            }
            // mmH2O -> MPa is stored as 0.00001 for 9.79e-6.
            const double tolerance = is(4, 237) ? 0.025 : 0.01;
            // A missing pair would fall back to factor 1.
            QVERIFY2(std::isfinite(f) && f > 0 && f != 1.0, pair);
            QVERIFY2(std::fabs(f * factor(to, from) - 1.0) < tolerance, pair);
            // Via kPa: catches a wrong unit size that is still consistent with its inverse.
            const double chained = factor(from, 12) * factor(12, to);
            QVERIFY2(std::fabs(f / chained - 1.0) < tolerance, pair);
        }
    }
}

void TstUnits::pt100_matchesReferenceTableBothWays_data()
{
    QTest::addColumn<float>("celsius");
    QTest::addColumn<float>("ohms");
    QTest::newRow("0 C") << 0.0f << 100.0f;
    QTest::newRow("100 C") << 100.0f << 138.5055f;
    QTest::newRow("-100 C, cubic term") << -100.0f << 60.25584f;
    QTest::newRow("-200 C") << -200.0f << 18.52008f;
    QTest::newRow("850 C") << 850.0f << 390.4811f;
}

void TstUnits::pt100_matchesReferenceTableBothWays()
{
    QFETCH(float, celsius);
    QFETCH(float, ohms);
    QCOMPARE(pt100_resistance(celsius), ohms);
    QVERIFY2(std::fabs(pt100_temperature(ohms) - celsius) < 0.001f,
             QByteArray::number(pt100_temperature(ohms), 'g', 9));
}

void TstUnits::pt100_clampsOutOfRangeInputs()
{
    QCOMPARE(pt100_resistance(900.0f), pt100_resistance(850.0f));
    QVERIFY(std::isnan(pt100_resistance(-201.0f)));
    QCOMPARE(pt100_temperature(10.0f), pt100_temperature(18.52f));
    QCOMPARE(pt100_temperature(500.0f), pt100_temperature(390.481f));
}

void TstUnits::pt100_roundTripWithinMillikelvin()
{
    for (float t = -200.0f; t <= 850.0f; t += 0.25f) {
        const float back = pt100_temperature(pt100_resistance(t));
        QVERIFY2(std::fabs(back - t) < 0.001f, QByteArray::number(t));
    }
}

QTEST_APPLESS_MAIN(TstUnits)
#include "tst_units.moc"

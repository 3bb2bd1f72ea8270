// The page text rules without a window: number, date, identifier and packed-text formats in
// both directions, the collect rules that write DeviceData, and the title-bar drag bounds.
#include "devicedata.h"
#include "hartcodec.h"
#include "hartidentity.h"
#include "pageformat.h"
#include "titlebardrag.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>

class TestPageFormat : public QObject
{
    Q_OBJECT

private slots:
    void real_generalFormatSixDigits_data();
    void real_generalFormatSixDigits();
    void parseReal_localeIndependentAndNonNumbersGiveZero_data();
    void parseReal_localeIndependentAndNonNumbersGiveZero();
    void manufacturer_makerCodesShowNameOthersHex_data();
    void manufacturer_makerCodesShowNameOthersHex();
    void unitText_unknownCodeShowsNoFound();
    void twentyFourBitNumbers_roundTripMostSignificantFirst_data();
    void twentyFourBitNumbers_roundTripMostSignificantFirst();
    void dateText_fourDigitYearTwoDigitMonthAndDay();
    void collectMeterInfo_dateStoredAsYearSince1900_data();
    void collectMeterInfo_dateStoredAsYearSince1900();
    void collectMeterInfo_unparsableDateKeepsStoredDate();
    void collectMeterInfo_lowerCaseFoldedAndFieldsClearedBeforePacking();
    void collectMeterInfo_finalAssemblyNumberAsThreeBytes_data();
    void collectMeterInfo_finalAssemblyNumberAsThreeBytes();
    void moreInfo_alarmAndWriteProtectTexts_data();
    void moreInfo_alarmAndWriteProtectTexts();
    void collectRange_unitByComboIndex_data();
    void collectRange_unitByComboIndex();
    void collect_unselectedComboKeepsStoredValue();
    void collectProprietary_nonFiniteDensityIsStoredAsZero();
    void buildDate_compilerDateToIso_data();
    void buildDate_compilerDateToIso();
    void isMakerDevice_needsAllThreeIdentityValues_data();
    void isMakerDevice_needsAllThreeIdentityValues();
    void titleBarDrag_startsOnlyInsideInclusiveBounds_data();
    void titleBarDrag_startsOnlyInsideInclusiveBounds();
    void titleBarDrag_movesByCursorMinusPressPosition();

private:
    static DeviceData blank()
    {
        DeviceData d;
        resetDeviceData(d);
        return d;
    }
};

void TestPageFormat::real_generalFormatSixDigits_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole number") << 4.0f << "4";
    QTest::newRow("range 100") << 100.0f << "100";
    QTest::newRow("damping 0.25") << 0.25f << "0.25";
    QTest::newRow("small") << 0.0005f << "0.0005";
    QTest::newRow("large goes exponential") << 1234567.0f << "1.23457e+06";
    QTest::newRow("negative") << -100.0f << "-100";
    QTest::newRow("float noise rounded") << 0.1f << "0.1";
}

void TestPageFormat::real_generalFormatSixDigits()
{
    QFETCH(float, value);
    QFETCH(QString, text);
    QCOMPARE(pagefmt::real(value), text);
}

void TestPageFormat::parseReal_localeIndependentAndNonNumbersGiveZero_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("value");
    QTest::newRow("point decimal") << "12.5" << 12.5f;
    QTest::newRow("negative") << "-0.75" << -0.75f;
    QTest::newRow("trailing point while typing") << "3." << 3.0f;
    QTest::newRow("comma is not a decimal point") << "1,5" << 0.0f;
    QTest::newRow("empty") << "" << 0.0f;
    QTest::newRow("letters") << "abc" << 0.0f;
    QTest::newRow("infinity refused") << "inf" << 0.0f;
    QTest::newRow("nan refused") << "nan" << 0.0f;
    QTest::newRow("beyond float range") << "1e39" << 0.0f;
}

void TestPageFormat::parseReal_localeIndependentAndNonNumbersGiveZero()
{
    QFETCH(QString, text);
    QFETCH(float, value);
    QLocale::setDefault(QLocale(QLocale::German)); // a comma locale must not change anything
    QCOMPARE(pagefmt::parseReal(text), value);
    QLocale::setDefault(QLocale::c());
}

void TestPageFormat::manufacturer_makerCodesShowNameOthersHex_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::newRow("maker") << int(makerManufacturerId) << "VQM";
    QTest::newRow("maker, older code") << int(makerManufacturerIdAlt) << "VQM";
    QTest::newRow("foreign 5") << 5 << "0x05";
    QTest::newRow("foreign 0xFF") << 0xFF << "0xFF";
    QTest::newRow("zero") << 0 << "0x00";
}

void TestPageFormat::manufacturer_makerCodesShowNameOthersHex()
{
    QFETCH(int, id);
    QFETCH(QString, text);
    QCOMPARE(pagefmt::manufacturerText(std::uint8_t(id)), text);
}

void TestPageFormat::unitText_unknownCodeShowsNoFound()
{
    QCOMPARE(pagefmt::unitText(12), QStringLiteral("kPa"));
    QCOMPARE(pagefmt::unitText(200), QStringLiteral("no found"));
    // The low byte of pvUnits is the code; a stray high byte must not hide the unit.
    DeviceData d = blank();
    d.pvUnits = 0x0C0C;
    QCOMPARE(pagefmt::transmitterInfo(d).pvUnit, QStringLiteral("kPa"));
}

void TestPageFormat::twentyFourBitNumbers_roundTripMostSignificantFirst_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("zero") << 0u << QByteArray::fromHex("000000");
    QTest::newRow("123456") << 123456u << QByteArray::fromHex("01e240");
    QTest::newRow("largest") << 16777215u << QByteArray::fromHex("ffffff");
}

void TestPageFormat::twentyFourBitNumbers_roundTripMostSignificantFirst()
{
    QFETCH(uint, value);
    QFETCH(QByteArray, bytes);
    std::uint8_t b[3] = {0xAA, 0xAA, 0xAA};
    pagefmt::put24(b, value);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(b), 3), bytes);
    QCOMPARE(pagefmt::get24(b), value);
    const std::uint8_t unique[5] = {0x9A, 0x10, b[0], b[1], b[2]};
    QCOMPARE(pagefmt::deviceIdentifier(unique), value);
}

void TestPageFormat::dateText_fourDigitYearTwoDigitMonthAndDay()
{
    QCOMPARE(pagefmt::dateText(26, 5, 122), QStringLiteral("2022.05.26"));
    QCOMPARE(pagefmt::dateText(1, 1, 0), QStringLiteral("1900.01.01"));
    QCOMPARE(pagefmt::dateText(31, 12, 255), QStringLiteral("2155.12.31"));
}

void TestPageFormat::collectMeterInfo_dateStoredAsYearSince1900_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("day");
    QTest::newRow("1999-12-31") << "1999.12.31" << 99 << 12 << 31;
    QTest::newRow("2022-05-26") << "2022.05.26" << 122 << 5 << 26;
    QTest::newRow("one-digit parts") << "2001.2.3" << 101 << 2 << 3;
    QTest::newRow("year keeps low 8 bits") << "2156.01.01" << 0 << 1 << 1;
}

void TestPageFormat::collectMeterInfo_dateStoredAsYearSince1900()
{
    QFETCH(QString, text);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(int, day);
    DeviceData d = blank();
    pagefmt::MeterInfo typed;
    typed.date = text;
    pagefmt::collectMeterInfo(d, typed);
    QCOMPARE(int(d.dateYear), year);
    QCOMPARE(int(d.dateMonth), month);
    QCOMPARE(int(d.dateDay), day);
}

void TestPageFormat::collectMeterInfo_unparsableDateKeepsStoredDate()
{
    for (const QString &text : {QString(), QStringLiteral("2022"), QStringLiteral("2022.05"),
                                QStringLiteral("abcd.ef.gh"), QStringLiteral("99999999999.1.1")}) {
        DeviceData d = blank();
        d.dateDay = 15;
        d.dateMonth = 6;
        d.dateYear = 124;
        pagefmt::MeterInfo typed;
        typed.date = text;
        pagefmt::collectMeterInfo(d, typed);
        QCOMPARE(pagefmt::dateText(d.dateDay, d.dateMonth, d.dateYear),
                 QStringLiteral("2024.06.15"));
    }
}

void TestPageFormat::collectMeterInfo_lowerCaseFoldedAndFieldsClearedBeforePacking()
{
    DeviceData d = blank();
    packAscii(d.tag, "ABCDEFGH", sizeof d.tag);
    packAscii(d.descriptor, "OLD DESCRIPTOR 1", sizeof d.descriptor);
    pagefmt::MeterInfo typed;
    typed.tag = QStringLiteral("pt-1a");
    typed.descriptor = QStringLiteral("line 4 inlet");
    typed.message = QStringLiteral("calibrated @ site b");
    typed.date = QStringLiteral("2022.05.26");
    pagefmt::collectMeterInfo(d, typed);

    const pagefmt::MeterInfo shown = pagefmt::meterInfo(d, 0, 0);
    // Packing pads with blanks: nothing of the older, longer texts may survive.
    QCOMPARE(shown.tag, QStringLiteral("PT-1A   "));
    QCOMPARE(shown.descriptor, QStringLiteral("LINE 4 INLET    "));
    QCOMPARE(shown.message,
             QStringLiteral("CALIBRATED @ SITE B").leftJustified(32, QLatin1Char(' ')));
}

void TestPageFormat::collectMeterInfo_finalAssemblyNumberAsThreeBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("largest") << "16777215" << QByteArray::fromHex("ffffff");
    QTest::newRow("74565") << "74565" << QByteArray::fromHex("012345");
    QTest::newRow("empty") << "" << QByteArray::fromHex("000000");
    QTest::newRow("not a number") << "12a" << QByteArray::fromHex("000000");
}

void TestPageFormat::collectMeterInfo_finalAssemblyNumberAsThreeBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    DeviceData d = blank();
    std::memset(d.finalAssemblyNumber, 0x77, 3);
    d.reserved00D3 = 0x5A; // the byte after the field must stay untouched
    pagefmt::MeterInfo typed;
    typed.finalAssembly = text;
    pagefmt::collectMeterInfo(d, typed);
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(d.finalAssemblyNumber), 3), bytes);
    QCOMPARE(int(d.reserved00D3), 0x5A);
}

void TestPageFormat::moreInfo_alarmAndWriteProtectTexts_data()
{
    QTest::addColumn<int>("alarm");
    QTest::addColumn<int>("protect");
    QTest::addColumn<QString>("alarmText");
    QTest::addColumn<QString>("protectText");
    QTest::newRow("high, open") << 0 << 0 << "输出最大电流"
                                << "未写保护";
    QTest::newRow("low, protected") << 1 << 1 << "输出最小电流"
                                    << "已写保护";
    QTest::newRow("any non-zero") << 250 << 7 << "输出最小电流"
                                  << "已写保护";
}

void TestPageFormat::moreInfo_alarmAndWriteProtectTexts()
{
    QFETCH(int, alarm);
    QFETCH(int, protect);
    QFETCH(QString, alarmText);
    QFETCH(QString, protectText);
    DeviceData d = blank();
    d.alarmSelection = std::uint8_t(alarm);
    d.writeProtect = std::uint8_t(protect);
    d.deviceType = 16;
    d.hardwareRevision = 9;
    d.softwareRevision = 300;
    const pagefmt::MoreInfo m = pagefmt::moreInfo(d);
    QCOMPARE(m.alarmSelection, alarmText);
    QCOMPARE(m.writeProtect, protectText);
    QCOMPARE(m.deviceType, QStringLiteral("0x10"));
    QCOMPARE(m.softwareRevision, QStringLiteral("300"));
}

void TestPageFormat::collectRange_unitByComboIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("code");
    QTest::newRow("first entry") << 0 << 1;
    QTest::newRow("kPa") << 11 << 12;
    QTest::newRow("MPa") << 14 << 237;
    QTest::newRow("last entry") << 26 << 249;
    QTest::newRow("no found item") << 27 << 0;
    QTest::newRow("nothing selected") << -1 << 0;
}

void TestPageFormat::collectRange_unitByComboIndex()
{
    QFETCH(int, index);
    QFETCH(int, code);
    DeviceData d = blank();
    d.pvUnits = 0xFFFF;
    pagefmt::collectRange(d, index, QStringLiteral("250.5"), QStringLiteral("-1."));
    QCOMPARE(int(d.pvUnits), code);
    QCOMPARE(d.upperRangeValue, 250.5f);
    QCOMPARE(d.lowerRangeValue, -1.0f);
}

void TestPageFormat::collect_unselectedComboKeepsStoredValue()
{
    // A transmitter reporting a code the combo has no item for shows nothing; sending the
    // page back must not turn that into 255.
    DeviceData d = blank();
    d.transferFunction = 7;
    d.displayContrast = 20;
    d.alarmType = 9;
    pagefmt::collectOutputSettings(d, {QStringLiteral("2"), -1});
    pagefmt::collectDisplaySettings(d, {0, 1, 2, 3, 1, -1});
    pagefmt::ProprietarySettings p = pagefmt::proprietarySettings(d);
    p.alarmType = -1;
    pagefmt::collectProprietarySettings(d, p);
    QCOMPARE(int(d.transferFunction), 7);
    QCOMPARE(int(d.displayContrast), 20);
    QCOMPARE(int(d.alarmType), 9);
    QCOMPARE(d.damping, 2.0f);
    QCOMPARE(int(d.svDecimals), 3);
    QCOMPARE(int(d.displayLanguage), 1);
}

void TestPageFormat::collectProprietary_nonFiniteDensityIsStoredAsZero()
{
    // The density has no validator, so "inf" or "nan" can be typed.
    DeviceData d = blank();
    pagefmt::ProprietarySettings p = pagefmt::proprietarySettings(d);
    p.density = QStringLiteral("inf");
    p.gain = QStringLiteral("1.5");
    pagefmt::collectProprietarySettings(d, p);
    QCOMPARE(d.density, 0.0f);
    QCOMPARE(d.pvGain, 1.5f);
    p.density = QStringLiteral("nan");
    pagefmt::collectProprietarySettings(d, p);
    QCOMPARE(d.density, 0.0f);
}

void TestPageFormat::buildDate_compilerDateToIso_data()
{
    QTest::addColumn<QString>("compiler");
    QTest::addColumn<QString>("shown");
    QTest::newRow("two-digit day") << "May 26 2022"
                                   << "2022-05-26";
    QTest::newRow("one-digit day padded with a blank") << "Dec  9 2026"
                                                       << "2026-12-09";
    QTest::newRow("garbage") << "yesterday"
                             << "";
}

void TestPageFormat::buildDate_compilerDateToIso()
{
    QFETCH(QString, compiler);
    QFETCH(QString, shown);
    QCOMPARE(pagefmt::buildDateText(compiler.toLatin1().constData()), shown);
}

void TestPageFormat::isMakerDevice_needsAllThreeIdentityValues_data()
{
    QTest::addColumn<int>("manufacturer");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("hardware");
    QTest::addColumn<bool>("maker");
    QTest::newRow("maker's own") << int(makerManufacturerId) << 16 << 9 << true;
    QTest::newRow("hardware revision 8") << int(makerManufacturerId) << 16 << 8 << false;
    QTest::newRow("other type") << int(makerManufacturerId) << 17 << 9 << false;
    QTest::newRow("older maker code") << int(makerManufacturerIdAlt) << 16 << 9 << false;
    QTest::newRow("foreign") << 0x26 << 16 << 9 << false;
}

void TestPageFormat::isMakerDevice_needsAllThreeIdentityValues()
{
    QFETCH(int, manufacturer);
    QFETCH(int, type);
    QFETCH(int, hardware);
    QFETCH(bool, maker);
    DeviceData d = blank();
    d.manufacturerId = std::uint8_t(manufacturer);
    d.deviceType = std::uint8_t(type);
    d.hardwareRevision = std::uint16_t(hardware);
    QCOMPARE(pagefmt::isMakerDevice(d), maker);
}

void TestPageFormat::titleBarDrag_startsOnlyInsideInclusiveBounds_data()
{
    QTest::addColumn<QPointF>("press");
    QTest::addColumn<bool>("drags");
    // Title bar 823 x 54.
    QTest::newRow("inside") << QPointF(100, 20) << true;
    QTest::newRow("right edge pixel") << QPointF(823, 10) << true;
    QTest::newRow("bottom edge pixel") << QPointF(10, 54) << true;
    QTest::newRow("corner pixel") << QPointF(823, 54) << true;
    QTest::newRow("rounds down onto the edge") << QPointF(823.4, 54.4) << true;
    QTest::newRow("below") << QPointF(10, 55) << false;
    QTest::newRow("right of it") << QPointF(824, 10) << false;
    QTest::newRow("rounds up past the edge") << QPointF(10, 54.6) << false;
}

void TestPageFormat::titleBarDrag_startsOnlyInsideInclusiveBounds()
{
    QFETCH(QPointF, press);
    QFETCH(bool, drags);
    TitleBarDrag drag;
    drag.press(press, QSize(823, 54));
    QCOMPARE(drag.isDragging(), drags);
    drag.release();
    QVERIFY(!drag.isDragging());
}

void TestPageFormat::titleBarDrag_movesByCursorMinusPressPosition()
{
    TitleBarDrag drag;
    drag.press(QPointF(30.6, 10.2), QSize(823, 54));
    QCOMPARE(drag.target(QPointF(500.4, 300.5)), QPoint(500 - 31, 301 - 10));
}

QTEST_GUILESS_MAIN(TestPageFormat)
#include "tst_window_pageformat.moc"

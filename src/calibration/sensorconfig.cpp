// Sensor configuration rules; see sensorconfig.h.
#include "sensorconfig.h"

#include "pageformat.h"
#include "units.h"

#include <QCoreApplication>

namespace sensorcfg {

namespace {

// The names and notes a page shows belong to the window's translation context.
QString shown(const char *text)
{
    return QCoreApplication::translate("MainWindow", text);
}

QStringList shown(std::initializer_list<const char *> texts)
{
    QStringList out;
    for (const char *t : texts)
        out << shown(t);
    return out;
}

int indexIn(int value, int count)
{
    return value >= 0 && value < count ? value : -1;
}

template<typename T>
void storeIndex(T &field, int index, int offset = 0)
{
    if (index >= 0)
        field = static_cast<T>(index + offset);
}

} // namespace

QStringList sensorTypes()
{
    return shown({QT_TRANSLATE_NOOP("MainWindow", "扩散硅压力传感器"),
                  QT_TRANSLATE_NOOP("MainWindow", "单晶硅压力传感器"),
                  QT_TRANSLATE_NOOP("MainWindow", "陶瓷电容压力传感器"),
                  QT_TRANSLATE_NOOP("MainWindow", "陶瓷压力传感器"),
                  QT_TRANSLATE_NOOP("MainWindow", "干簧管液位计"),
                  QT_TRANSLATE_NOOP("MainWindow", "霍尔开关液位计"),
                  QT_TRANSLATE_NOOP("MainWindow", "Pt100(四线制)"),
                  QT_TRANSLATE_NOOP("MainWindow", "Pt1000(四线制)"),
                  QT_TRANSLATE_NOOP("MainWindow", "Pt100(三线制)")});
}

QStringList compensationSources()
{
    return shown({QT_TRANSLATE_NOOP("MainWindow", "传感器桥压"),
                  QT_TRANSLATE_NOOP("MainWindow", "传感器内部温度传感器")});
}

QStringList currentSources()
{
    QStringList out;
    for (int uA = 50; uA <= 500; uA += 50)
        out << QStringLiteral("%1uA").arg(uA);
    return out;
}

QStringList voltageSources()
{
    return {QStringLiteral("4V"), QStringLiteral("2.5V")};
}

QStringList pressureGains()
{
    return {"1", "2", "4", "6", "8", "12", "16", "24", "32", "48", "64", "96", "128", "192", "256"};
}

QStringList temperatureGains()
{
    return {"1", "2", "4"};
}

QStringList unitItems()
{
    QStringList out;
    for (const UnitCode &u : unit_code_table)
        out << QString::fromUtf8(u.text);
    out << QString::fromLatin1(kUnitNotFoundText);
    return out;
}

Form form(const DeviceData &d)
{
    Form f;
    f.sensorType = indexIn(d.sensorType, sensorTypes().size());
    f.compensation = indexIn(d.tempCompMode, compensationSources().size());
    f.currentSource = indexIn(int(d.currentSource) - 1, currentSources().size());
    f.voltageSource = indexIn(d.voltageSource, voltageSources().size());
    f.pressureGain = indexIn(d.pressureGain, pressureGains().size());
    f.temperatureGain = indexIn(d.temperatureGain, temperatureGains().size());
    f.unitIndex = unitItems().indexOf(QString::fromUtf8(unit_name_of_code(d.sensorUnits)));
    f.upperLimit = pagefmt::real(d.sensorUpperLimit);
    f.lowerLimit = pagefmt::real(d.sensorLowerLimit);
    f.minimumSpan = pagefmt::real(d.minimumSpan);
    f.serial = QString::number(pagefmt::get24(d.sensorSerial));
    return f;
}

void collect(DeviceData &d, const Form &typed)
{
    storeIndex(d.sensorType, typed.sensorType);
    storeIndex(d.tempCompMode, typed.compensation);
    storeIndex(d.currentSource, typed.currentSource, 1);
    storeIndex(d.voltageSource, typed.voltageSource);
    storeIndex(d.pressureGain, typed.pressureGain);
    storeIndex(d.temperatureGain, typed.temperatureGain);
    d.sensorUnits = unit_code_of_index(typed.unitIndex);
    d.sensorUpperLimit = pagefmt::parseReal(typed.upperLimit);
    d.sensorLowerLimit = pagefmt::parseReal(typed.lowerLimit);
    d.minimumSpan = pagefmt::parseReal(typed.minimumSpan);
    bool ok = false;
    const qulonglong serial = typed.serial.trimmed().toULongLong(&ok, 10);
    pagefmt::put24(d.sensorSerial, ok ? std::uint32_t(serial & 0xFFFFFFu) : 0u);
}

int unitIndexForSensorType(int sensorType)
{
    const bool platinum = sensorType >= 6 && sensorType <= 8;
    return unitItems().indexOf(QString::fromUtf8(platinum ? "℃" : "kPa"));
}

Ranges converterRanges(int voltageIndex, const QString &pressureGain,
                       const QString &temperatureGain)
{
    const int mV = voltageIndex == 0 ? 4000 : 2500;
    Ranges r;
    bool ok = false;
    const double p = pressureGain.toDouble(&ok);
    if (ok && p > 0)
        r.sensor = QString::fromUtf8("±%1mV").arg(int(mV / p));
    const double t = temperatureGain.toDouble(&ok);
    if (ok && t > 0)
        r.temperature = QStringLiteral("%1mV").arg(int(mV / t));
    return r;
}

Wiring wiringFor(int sensorType, int compensation)
{
    const QString none = shown(QT_TRANSLATE_NOOP("MainWindow", "说明："));
    const bool internal = compensation == kInternalSensor;
    switch (sensorType) {
    case 0:
        return {internal ? QString::fromUtf8(":/icon/扩散硅内部温度传感器温补.png")
                         : QString::fromUtf8(":/icon/扩散硅桥压温补.png"),
                none};
    case 1:
        // Bridge compensation is refused for this sensor and switched to its internal one.
        return {QString::fromUtf8(":/icon/单晶硅内部温度传感器温补.png"), none};
    case 2:
        return {QString::fromUtf8(":/icon/陶瓷电容.png"),
                shown(QT_TRANSLATE_NOOP("MainWindow", "说明：请将放大倍数设置为1"))};
    case 3: return {QString::fromUtf8(":/icon/陶瓷压阻.png"), none};
    case 4: return {QString::fromUtf8(":/icon/干簧管液位计.png"), none};
    case 5:
        return {QString::fromUtf8(":/icon/霍尔开关液位计.png"),
                shown(QT_TRANSLATE_NOOP("MainWindow", "说明：请将放大倍数设置为1"))};
    case 6:
        return {QString::fromUtf8(":/icon/铂电阻.png"),
                shown(QT_TRANSLATE_NOOP("MainWindow", "说明：推荐放大倍数12"))};
    case 7: return {QString::fromUtf8(":/icon/铂电阻.png"), none};
    case 8:
        return {QString::fromUtf8(":/icon/铂电阻三线制.png"),
                shown(QT_TRANSLATE_NOOP(
                        "MainWindow",
                        "说明：V0.9版本之前的板卡请使用本公司提供的转接板，按照图示接入。"
                        "V0.9版本及之后的板卡不用使用转接板，直接短接板卡上CJ1和CJ2两个"
                        "短接点，并按照板卡上的图示接入传感器"))};
    default: return {QString(), none};
    }
}

QString wiringStyle(const QString &image)
{
    return QStringLiteral("QLabel{image: url(%1);}").arg(image);
}

bool unsupportedCompensation(int sensorType, int compensation)
{
    return sensorType == kMonocrystalline && compensation == kBridgeVoltage;
}

} // namespace sensorcfg

#include "devicefields.h"

#include "pageformat.h"

#include <QHash>

#include <cstring>

namespace history {

namespace {

struct Range
{
    std::size_t offset, size; // DeviceData offsets
};

std::size_t deviceOffset(std::uint16_t address)
{
    return kMirrorOffset + address;
}

std::vector<DeviceField> buildFields()
{
    std::vector<DeviceField> f;
    auto add = [&f](const QString &name, std::size_t offset, std::size_t size, FieldKind kind) {
        f.push_back({name, offset, size, kind});
    };
    auto array = [&add](const QString &name, std::size_t offset, int count, std::size_t size,
                        FieldKind kind) {
        for (int i = 0; i < count; ++i)
            add(QStringLiteral("%1[%2]").arg(name).arg(i), offset + std::size_t(i) * size, size,
                kind);
    };
#define FIELD(member, kind) \
    add(QStringLiteral(#member), offsetof(DeviceData, member), sizeof(DeviceData::member), kind)
#define ARRAY(member, kind)                                                         \
    array(QStringLiteral(#member), offsetof(DeviceData, member),                    \
          int(sizeof(DeviceData::member) / sizeof(DeviceData::member[0])),          \
          sizeof(DeviceData::member[0]), kind)
    FIELD(newPollingAddress, FieldKind::U8);
    FIELD(universalRevision, FieldKind::U8);
    FIELD(deviceRevision, FieldKind::U8);
    FIELD(manufacturerId, FieldKind::Hex8);
    FIELD(deviceType, FieldKind::Hex8);
    FIELD(softwareRevision, FieldKind::U16);
    FIELD(hardwareRevision, FieldKind::U16);
    FIELD(devicePreambles, FieldKind::U8);
    FIELD(distributorCode, FieldKind::U8);
    FIELD(pvUnits, FieldKind::Unit);
    FIELD(pvDecimals, FieldKind::U16);
    FIELD(svDecimals, FieldKind::U16);
    FIELD(displayVariable1, FieldKind::U8);
    FIELD(displayVariable2, FieldKind::U8);
    FIELD(displayLanguage, FieldKind::U8);
    FIELD(displayContrast, FieldKind::U8);
    FIELD(transferFunction, FieldKind::Transfer);
    FIELD(damping, FieldKind::Real);
    FIELD(writeProtect, FieldKind::U8);
    FIELD(alarmSelection, FieldKind::U8);
    FIELD(alarmType, FieldKind::U8);
    FIELD(cutoffMode, FieldKind::U8);
    FIELD(density, FieldKind::Real);
    FIELD(alarmUpperLimit, FieldKind::Real);
    FIELD(alarmLowerLimit, FieldKind::Real);
    FIELD(smallSignalCutoff, FieldKind::Real);
    FIELD(pvOffset, FieldKind::Real);
    FIELD(pvGain, FieldKind::Real);
    FIELD(message, FieldKind::PackedText);
    add(QStringLiteral("date"), offsetof(DeviceData, dateDay), 3, FieldKind::Date);
    FIELD(sensorSerial, FieldKind::Number24);
    FIELD(sensorUnits, FieldKind::Unit);
    FIELD(sensorUpperLimit, FieldKind::Real);
    FIELD(sensorLowerLimit, FieldKind::Real);
    FIELD(minimumSpan, FieldKind::Real);
    FIELD(finalAssemblyNumber, FieldKind::Number24);
    FIELD(tag, FieldKind::PackedText);
    FIELD(descriptor, FieldKind::PackedText);
    FIELD(sensorType, FieldKind::U8);
    FIELD(tempCompMode, FieldKind::U8);
    FIELD(currentSource, FieldKind::U8);
    FIELD(voltageSource, FieldKind::U8);
    FIELD(pressureGain, FieldKind::U8);
    FIELD(temperatureGain, FieldKind::U8);
    FIELD(userUnits, FieldKind::Unit);
    FIELD(factoryUnits, FieldKind::Unit);
    FIELD(customUnitText, FieldKind::Latin1);
    FIELD(lowerRangeValueCopy, FieldKind::Real);
    FIELD(upperRangeValueCopy, FieldKind::Real);
    FIELD(lowerRangeValue, FieldKind::Real);
    FIELD(upperRangeValue, FieldKind::Real);
    FIELD(lowerCurrent, FieldKind::Real);
    FIELD(upperCurrent, FieldKind::Real);
    FIELD(NonlinearityCorrectionNum, FieldKind::U16);
    FIELD(TempCompensationNum, FieldKind::U16);
    ARRAY(NonlinearityCorrectiony, FieldKind::Real);
    ARRAY(tempPointCelsius, FieldKind::Real);
    ARRAY(TempCompensationx, FieldKind::Real);
    for (int row = 0; row < 5; ++row) {
        const std::size_t base = offsetof(DeviceData, NonlinearityCorrectionx)
                + std::size_t(row) * sizeof(TempCompensationRow);
        const QString name = QStringLiteral("NonlinearityCorrectionx[%1].").arg(row);
        array(name + QStringLiteral("TempCompensationy"),
              base + offsetof(TempCompensationRow, TempCompensationy), 10, 4, FieldKind::Real);
        array(name + QStringLiteral("TempCompensationCoe"),
              base + offsetof(TempCompensationRow, TempCompensationCoe), 10, 4, FieldKind::Real);
    }
    FIELD(SecondNonlinearityCorrectionNum, FieldKind::U16);
    ARRAY(SecondNonlinearityCorrectionx, FieldKind::Real);
    ARRAY(SecondNonlinearityCorrectiony, FieldKind::Real);
    ARRAY(SecondNonlinearityCorrectionCoe, FieldKind::Real);
    ARRAY(userCalibrationX, FieldKind::Real);
    ARRAY(userCalibrationY, FieldKind::Real);
    ARRAY(userCalibrationCoe, FieldKind::Real);
    FIELD(pvZeroCorrection, FieldKind::Real);
    ARRAY(currentDacPoints, FieldKind::Real);
    {
        const std::size_t out = offsetof(DeviceData, PV_OutputParam);
        array(QStringLiteral("PV_OutputParam.TempCompensationx"),
              out + offsetof(OutputParam, TempCompensationx), 10, 4, FieldKind::Real);
        for (int row = 0; row < 3; ++row) {
            const std::size_t base = out + offsetof(OutputParam, NonlinearityCorrectionx)
                    + std::size_t(row) * sizeof(TempCompensationRow);
            const QString name =
                    QStringLiteral("PV_OutputParam.NonlinearityCorrectionx[%1].").arg(row);
            array(name + QStringLiteral("TempCompensationy"),
                  base + offsetof(TempCompensationRow, TempCompensationy), 10, 4,
                  FieldKind::Real);
            array(name + QStringLiteral("TempCompensationCoe"),
                  base + offsetof(TempCompensationRow, TempCompensationCoe), 10, 4,
                  FieldKind::Real);
        }
    }
    ARRAY(outputScale, FieldKind::Real);
    FIELD(modbusByteSwap, FieldKind::U8);
    FIELD(modbusBigEndian, FieldKind::U8);
    for (int i = 0; i < 20; ++i) {
        const std::size_t base =
                offsetof(DeviceData, modbusCustomRegs) + std::size_t(i) * sizeof(ModbusCustomReg);
        const QString name = QStringLiteral("modbusCustomRegs[%1].").arg(i);
        add(name + QStringLiteral("content"), base + offsetof(ModbusCustomReg, content), 2,
            FieldKind::U16);
        add(name + QStringLiteral("address"), base + offsetof(ModbusCustomReg, address), 2,
            FieldKind::U16);
        add(name + QStringLiteral("data"), base + offsetof(ModbusCustomReg, data), 2,
            FieldKind::U16);
    }
    FIELD(modbusTextStart, FieldKind::U16);
    ARRAY(modbusTextData, FieldKind::U16);
#undef FIELD
#undef ARRAY
    return f;
}

template<typename T>
T load(const DeviceData &d, std::size_t offset)
{
    T value;
    std::memcpy(&value, reinterpret_cast<const char *>(&d) + offset, sizeof value);
    return value;
}

const std::uint8_t *bytesAt(const DeviceData &d, std::size_t offset)
{
    return reinterpret_cast<const std::uint8_t *>(&d) + offset;
}

std::vector<const DeviceField *> select(const QStringList &names, const std::vector<Range> &ranges)
{
    std::vector<const DeviceField *> out;
    for (const DeviceField &f : deviceFields()) {
        bool wanted = names.contains(f.name);
        for (const Range &r : ranges)
            wanted = wanted || (f.offset < r.offset + r.size && r.offset < f.offset + f.size);
        if (wanted)
            out.push_back(&f);
    }
    return out;
}

const QStringList kSearchFields = {
        QStringLiteral("manufacturerId"),   QStringLiteral("deviceType"),
        QStringLiteral("devicePreambles"),  QStringLiteral("universalRevision"),
        QStringLiteral("deviceRevision"),   QStringLiteral("softwareRevision"),
        QStringLiteral("hardwareRevision"), QStringLiteral("sensorSerial"),
        QStringLiteral("sensorUnits"),      QStringLiteral("sensorUpperLimit"),
        QStringLiteral("sensorLowerLimit"), QStringLiteral("minimumSpan"),
        QStringLiteral("pvUnits"),          QStringLiteral("upperRangeValue"),
        QStringLiteral("lowerRangeValue"),  QStringLiteral("transferFunction"),
        QStringLiteral("damping"),          QStringLiteral("alarmSelection"),
        QStringLiteral("writeProtect"),     QStringLiteral("distributorCode")};
const QStringList kCommand14And15 = {
        QStringLiteral("sensorSerial"),     QStringLiteral("sensorUnits"),
        QStringLiteral("sensorUpperLimit"), QStringLiteral("sensorLowerLimit"),
        QStringLiteral("minimumSpan"),      QStringLiteral("pvUnits"),
        QStringLiteral("upperRangeValue"),  QStringLiteral("lowerRangeValue"),
        QStringLiteral("transferFunction"), QStringLiteral("damping"),
        QStringLiteral("alarmSelection"),   QStringLiteral("writeProtect"),
        QStringLiteral("distributorCode")};
const QStringList kMeterInfo = {QStringLiteral("message"), QStringLiteral("tag"),
                                QStringLiteral("descriptor"), QStringLiteral("date"),
                                QStringLiteral("finalAssemblyNumber")};
const QStringList kRange = {QStringLiteral("pvUnits"), QStringLiteral("upperRangeValue"),
                            QStringLiteral("lowerRangeValue")};
const QStringList kOutput = {QStringLiteral("damping"), QStringLiteral("transferFunction")};
const QStringList kSensor = {
        QStringLiteral("sensorType"),       QStringLiteral("tempCompMode"),
        QStringLiteral("currentSource"),    QStringLiteral("voltageSource"),
        QStringLiteral("pressureGain"),     QStringLiteral("temperatureGain"),
        QStringLiteral("sensorSerial"),     QStringLiteral("sensorUnits"),
        QStringLiteral("sensorUpperLimit"), QStringLiteral("sensorLowerLimit"),
        QStringLiteral("minimumSpan")};
const QStringList kCalibrationConfig = {
        QStringLiteral("NonlinearityCorrectionNum"), QStringLiteral("TempCompensationNum"),
        QStringLiteral("factoryUnits"),              QStringLiteral("pvUnits"),
        QStringLiteral("pvDecimals"),                QStringLiteral("lowerRangeValue"),
        QStringLiteral("upperRangeValue"),           QStringLiteral("customUnitText")};

} // namespace

const std::vector<DeviceField> &deviceFields()
{
    static const std::vector<DeviceField> fields = buildFields();
    return fields;
}

const DeviceField *findField(const QString &name)
{
    for (const DeviceField &f : deviceFields()) {
        if (f.name == name)
            return &f;
    }
    return nullptr;
}

QString fieldText(const DeviceField &f, const DeviceData &d)
{
    switch (f.kind) {
    case FieldKind::U8: return QString::number(load<std::uint8_t>(d, f.offset));
    case FieldKind::U16: return QString::number(load<std::uint16_t>(d, f.offset));
    case FieldKind::Hex8: return pagefmt::hexByte(load<std::uint8_t>(d, f.offset));
    case FieldKind::Real: return pagefmt::real(load<float>(d, f.offset));
    case FieldKind::PackedText: {
        // Packed ASCII pads with blanks; nobody reads those.
        QString text = pagefmt::unpackedText(bytesAt(d, f.offset), f.size);
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text;
    }
    case FieldKind::Latin1: {
        QString text;
        for (std::size_t i = 0; i < f.size; ++i) {
            const std::uint8_t c = bytesAt(d, f.offset)[i];
            if (c == 0)
                break;
            text += c >= 0x20 && c < 0x7F ? QChar(c) : QChar(0xFFFD);
        }
        return text;
    }
    case FieldKind::Number24: return QString::number(pagefmt::get24(bytesAt(d, f.offset)));
    case FieldKind::Unit: return pagefmt::unitText(bytesAt(d, f.offset)[0]); // low byte
    case FieldKind::Transfer: return pagefmt::transferText(load<std::uint8_t>(d, f.offset));
    case FieldKind::Date: return pagefmt::dateText(d.dateDay, d.dateMonth, d.dateYear);
    }
    return QString();
}

bool sameValue(const DeviceField &f, const DeviceData &a, const DeviceData &b)
{
    return std::memcmp(bytesAt(a, f.offset), bytesAt(b, f.offset), f.size) == 0;
}

std::vector<const DeviceField *> fieldsRead(const QString &request)
{
    static const QHash<QString, std::pair<QStringList, std::vector<Range>>> table = {
            {QStringLiteral("search meter"), {kSearchFields, {}}},
            {QStringLiteral("search meter 1-15"), {kSearchFields, {}}},
            {QStringLiteral("read tramsmeter info"), {kCommand14And15, {}}},
            {QStringLiteral("read range info"), {kCommand14And15, {}}},
            {QStringLiteral("read meter info"), {kMeterInfo, {}}},
            {QStringLiteral("read more info"), {kCommand14And15, {}}},
            {QStringLiteral("read qianyi range info"), {kRange, {}}},
            {QStringLiteral("lingdianqianyi"), {kRange, {}}},
            {QStringLiteral("liangchengqianyi"), {kRange, {}}},
            {QStringLiteral("read shuchushezhi"), {kOutput, {}}},
            {QStringLiteral("read chuanganqipeizhishuju"), {kSensor, {}}},
            {QStringLiteral("read jiaozhunpeizhishuju"), {kCalibrationConfig, {}}},
            {QStringLiteral("read jiaozhunshuju"),
             {kCalibrationConfig, {{deviceOffset(0x0114), 908}}}},
            {QStringLiteral("read yonghujiaozhunshuju"),
             {{QStringLiteral("factoryUnits")}, {{deviceOffset(0x0348), 28}}}},
            {QStringLiteral("read xianshishezhi"), {{}, {{deviceOffset(0x007A), 8}}}},
            {QStringLiteral("read zhuanyoushezhi"), {{}, {{deviceOffset(0x0088), 28}}}},
            {QStringLiteral("read SecondNonlinearityCorrection"),
             {{}, {{deviceOffset(0x030A), 62}}}},
            {QStringLiteral("read modbus custom reg"),
             {{}, {{deviceOffset(0x04A2), 2}, {deviceOffset(0x04A4), 222}}}},
    };
    const auto it = table.constFind(request);
    return it == table.constEnd() ? std::vector<const DeviceField *>()
                                  : select(it->first, it->second);
}

std::vector<const DeviceField *> fieldsWritten(const QString &request)
{
    static const QHash<QString, std::pair<QStringList, std::vector<Range>>> table = {
            {QStringLiteral("write meter info"), {kMeterInfo, {}}},
            {QStringLiteral("write addr info"), {{QStringLiteral("newPollingAddress")}, {}}},
            {QStringLiteral("write range info"), {kRange, {}}},
            {QStringLiteral("write shuchushezhi"), {kOutput, {}}},
            {QStringLiteral("write chuanganqipeizhishuju"), {kSensor, {}}},
            {QStringLiteral("write jiaozhunshuju"),
             {kCalibrationConfig, {{deviceOffset(0x0114), 908}, {deviceOffset(0x009C), 8}}}},
            {QStringLiteral("write yonghujiaozhunshuju"), {{}, {{deviceOffset(0x0348), 28}}}},
            {QStringLiteral("write gongchangdianliujiaozhunshuju"),
             {{}, {{deviceOffset(0x0364), 316}}}},
            {QStringLiteral("write xianshishezhi"), {{}, {{deviceOffset(0x007A), 8}}}},
            {QStringLiteral("write zhuanyoushezhi"), {{}, {{deviceOffset(0x0088), 28}}}},
            {QStringLiteral("write SecondNonlinearityCorrection"),
             {{}, {{deviceOffset(0x030A), 62}}}},
            {QStringLiteral("write modbus custom reg"),
             {{}, {{deviceOffset(0x04A2), 2}, {deviceOffset(0x04A4), 222}}}},
            {QStringLiteral("write all"), {{}, {{deviceOffset(0x0076), 1292}}}},
            {QStringLiteral("PV clear reset"), {{}, {{deviceOffset(0x0360), 4}}}},
    };
    const auto it = table.constFind(request);
    return it == table.constEnd() ? std::vector<const DeviceField *>()
                                  : select(it->first, it->second);
}

} // namespace history

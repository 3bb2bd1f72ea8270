// The host's mirror of the connected transmitter: a host-only section followed by a
// byte-for-byte image of the device memory (mirror offset = device address).
#pragma once

#include <cstddef>
#include <cstdint>

class QMutex;

namespace devmem {
constexpr std::uint16_t kMirrorSize = 0x0582;
constexpr std::uint16_t kParameterStart = 0x0068;
constexpr std::uint16_t kParameterSize = kMirrorSize - kParameterStart; // 1306 bytes
} // namespace devmem

#pragma pack(push, 1)

struct TempCompensationRow
{
    float TempCompensationy[10];
    float TempCompensationCoe[10];
};

struct OutputParam
{
    float TempCompensationx[10];
    TempCompensationRow NonlinearityCorrectionx[3];
};

struct ModbusCustomReg
{
    std::uint16_t content;
    std::uint16_t address;
    std::uint16_t data;
};

struct DeviceData
{
    // Host section: never transferred to or from the device memory.
    std::uint8_t factoryTestStatus;
    std::uint8_t factoryTestSelector;
    std::uint16_t singleTempPoint;
    float measuredCurrent;
    std::uint8_t newPollingAddress;
    std::uint8_t universalRevision;
    std::uint8_t deviceRevision;
    std::uint8_t hostReserved[5];

    // Device mirror, 0x0000..0x0067: live values, filled from HART commands.
    std::uint8_t reserved0000[2];
    std::uint8_t manufacturerId;    // 0x0002
    std::uint8_t deviceType;        // 0x0003
    std::uint16_t softwareRevision; // 0x0004
    std::uint16_t hardwareRevision; // 0x0006
    std::uint8_t reserved0008[16];
    float pv; // 0x0018
    std::uint8_t reserved001C[4];
    float internalTemperature; // 0x0020
    float loopCurrent;         // 0x0024
    std::uint8_t reserved0028[4];
    float sensorSignal;             // 0x002C
    float tempCompSignal;           // 0x0030
    float secondNonlinearitySignal; // 0x0034
    float userCalibrationSignal;    // 0x0038
    float auxSignal1;               // 0x003C
    std::uint8_t reserved0040[8];
    float percentOfRange; // 0x0048
    float auxSignal2;     // 0x004C
    std::uint8_t reserved0050[8];
    std::uint8_t factoryCurrentMode;     // 0x0058
    std::uint8_t fixedCurrentActive;     // 0x0059
    std::uint16_t factoryCurrentDacCode; // 0x005A
    float fixedCurrent;                  // 0x005C
    std::uint8_t reserved0060[8];

    // Parameter part 0x0068..0x0581 (the backup image).
    std::uint8_t reserved0068[2];
    std::uint8_t devicePreambles; // 0x006A
    std::uint8_t distributorCode; // 0x006B
    std::uint8_t reserved006C[10];
    std::uint16_t pvUnits; // 0x0076
    std::uint8_t reserved0078[2];
    std::uint16_t pvDecimals;      // 0x007A
    std::uint16_t svDecimals;      // 0x007C
    std::uint8_t displayVariable1; // 0x007E
    std::uint8_t displayVariable2; // 0x007F
    std::uint8_t displayLanguage;  // 0x0080
    std::uint8_t displayContrast;  // 0x0081
    std::uint8_t transferFunction; // 0x0082
    std::uint8_t reserved0083;
    float damping;               // 0x0084
    std::uint8_t writeProtect;   // 0x0088
    std::uint8_t alarmSelection; // 0x0089
    std::uint8_t alarmType;      // 0x008A
    std::uint8_t cutoffMode;     // 0x008B
    float density;               // 0x008C
    float alarmUpperLimit;       // 0x0090
    float alarmLowerLimit;       // 0x0094
    float smallSignalCutoff;     // 0x0098
    float pvOffset;              // 0x009C
    float pvGain;                // 0x00A0
    std::uint8_t message[24];    // 0x00A4
    std::uint8_t reserved00BC;
    std::uint8_t dateDay;                // 0x00BD
    std::uint8_t dateMonth;              // 0x00BE
    std::uint8_t dateYear;               // 0x00BF
    std::uint8_t sensorSerial[3];        // 0x00C0
    std::uint8_t sensorUnits;            // 0x00C3
    float sensorUpperLimit;              // 0x00C4
    float sensorLowerLimit;              // 0x00C8
    float minimumSpan;                   // 0x00CC
    std::uint8_t finalAssemblyNumber[3]; // 0x00D0
    std::uint8_t reserved00D3;
    std::uint8_t tag[6];          // 0x00D4
    std::uint8_t descriptor[12];  // 0x00DA
    std::uint8_t sensorType;      // 0x00E6
    std::uint8_t tempCompMode;    // 0x00E7
    std::uint8_t currentSource;   // 0x00E8
    std::uint8_t voltageSource;   // 0x00E9
    std::uint8_t pressureGain;    // 0x00EA
    std::uint8_t temperatureGain; // 0x00EB
    std::uint8_t reserved00EC;
    std::uint8_t userUnits;                         // 0x00ED
    std::uint8_t factoryUnits;                      // 0x00EE
    std::uint8_t customUnitText[9];                 // 0x00EF
    float lowerRangeValueCopy;                      // 0x00F8
    float upperRangeValueCopy;                      // 0x00FC
    float lowerRangeValue;                          // 0x0100
    float upperRangeValue;                          // 0x0104
    float lowerCurrent;                             // 0x0108
    float upperCurrent;                             // 0x010C
    std::uint16_t NonlinearityCorrectionNum;        // 0x0110
    std::uint16_t TempCompensationNum;              // 0x0112
    float NonlinearityCorrectiony[5];               // 0x0114
    float tempPointCelsius[10];                     // 0x0128
    float TempCompensationx[10];                    // 0x0150
    TempCompensationRow NonlinearityCorrectionx[5]; // 0x0178
    std::uint8_t reserved0308[2];
    std::uint16_t SecondNonlinearityCorrectionNum; // 0x030A
    float SecondNonlinearityCorrectionx[5];        // 0x030C
    float SecondNonlinearityCorrectiony[5];        // 0x0320
    float SecondNonlinearityCorrectionCoe[5];      // 0x0334
    float userCalibrationX[2];                     // 0x0348
    float userCalibrationY[2];                     // 0x0350
    float userCalibrationCoe[2];                   // 0x0358
    float pvZeroCorrection;                        // 0x0360
    float currentDacPoints[3];                     // 0x0364
    OutputParam PV_OutputParam;                    // 0x0370
    float outputScale[6];                          // 0x0488
    std::uint8_t reserved04A0[2];
    std::uint8_t modbusByteSwap;          // 0x04A2
    std::uint8_t modbusBigEndian;         // 0x04A3
    ModbusCustomReg modbusCustomRegs[20]; // 0x04A4
    std::uint16_t modbusTextStart;        // 0x051C
    std::uint16_t modbusTextData[50];     // 0x051E
};

#pragma pack(pop)

// Where the device mirror starts inside DeviceData.
constexpr std::size_t kMirrorOffset = offsetof(DeviceData, reserved0000);

// Device address of a field, for compile-time layout checks.
#define DEVICE_ADDRESS(field) (offsetof(DeviceData, field) - kMirrorOffset)

static_assert(kMirrorOffset == 16, "host section size");
static_assert(sizeof(DeviceData) == kMirrorOffset + devmem::kMirrorSize, "mirror size");
static_assert(DEVICE_ADDRESS(manufacturerId) == 0x0002);
static_assert(DEVICE_ADDRESS(softwareRevision) == 0x0004);
static_assert(DEVICE_ADDRESS(hardwareRevision) == 0x0006);
static_assert(DEVICE_ADDRESS(pv) == 0x0018);
static_assert(DEVICE_ADDRESS(internalTemperature) == 0x0020);
static_assert(DEVICE_ADDRESS(loopCurrent) == 0x0024);
static_assert(DEVICE_ADDRESS(sensorSignal) == 0x002C);
static_assert(DEVICE_ADDRESS(auxSignal1) == 0x003C);
static_assert(DEVICE_ADDRESS(percentOfRange) == 0x0048);
static_assert(DEVICE_ADDRESS(auxSignal2) == 0x004C);
static_assert(DEVICE_ADDRESS(factoryCurrentMode) == 0x0058);
static_assert(DEVICE_ADDRESS(fixedCurrent) == 0x005C);
static_assert(DEVICE_ADDRESS(devicePreambles) == 0x006A);
static_assert(DEVICE_ADDRESS(pvUnits) == 0x0076);
static_assert(DEVICE_ADDRESS(pvDecimals) == 0x007A);
static_assert(DEVICE_ADDRESS(displayContrast) == 0x0081);
static_assert(DEVICE_ADDRESS(damping) == 0x0084);
static_assert(DEVICE_ADDRESS(writeProtect) == 0x0088);
static_assert(DEVICE_ADDRESS(pvOffset) == 0x009C);
static_assert(DEVICE_ADDRESS(message) == 0x00A4);
static_assert(DEVICE_ADDRESS(dateDay) == 0x00BD);
static_assert(DEVICE_ADDRESS(sensorSerial) == 0x00C0);
static_assert(DEVICE_ADDRESS(sensorUnits) == 0x00C3);
static_assert(DEVICE_ADDRESS(minimumSpan) == 0x00CC);
static_assert(DEVICE_ADDRESS(finalAssemblyNumber) == 0x00D0);
static_assert(DEVICE_ADDRESS(tag) == 0x00D4);
static_assert(DEVICE_ADDRESS(descriptor) == 0x00DA);
static_assert(DEVICE_ADDRESS(sensorType) == 0x00E6);
static_assert(DEVICE_ADDRESS(userUnits) == 0x00ED);
static_assert(DEVICE_ADDRESS(customUnitText) == 0x00EF);
static_assert(DEVICE_ADDRESS(lowerRangeValueCopy) == 0x00F8);
static_assert(DEVICE_ADDRESS(lowerRangeValue) == 0x0100);
static_assert(DEVICE_ADDRESS(upperCurrent) == 0x010C);
static_assert(DEVICE_ADDRESS(NonlinearityCorrectionNum) == 0x0110);
static_assert(DEVICE_ADDRESS(NonlinearityCorrectiony) == 0x0114);
static_assert(DEVICE_ADDRESS(tempPointCelsius) == 0x0128);
static_assert(DEVICE_ADDRESS(TempCompensationx) == 0x0150);
static_assert(DEVICE_ADDRESS(NonlinearityCorrectionx) == 0x0178);
static_assert(DEVICE_ADDRESS(SecondNonlinearityCorrectionNum) == 0x030A);
static_assert(DEVICE_ADDRESS(SecondNonlinearityCorrectionCoe) == 0x0334);
static_assert(DEVICE_ADDRESS(userCalibrationX) == 0x0348);
static_assert(DEVICE_ADDRESS(userCalibrationCoe) == 0x0358);
static_assert(DEVICE_ADDRESS(pvZeroCorrection) == 0x0360);
static_assert(DEVICE_ADDRESS(currentDacPoints) == 0x0364);
static_assert(DEVICE_ADDRESS(PV_OutputParam) == 0x0370);
static_assert(DEVICE_ADDRESS(PV_OutputParam.NonlinearityCorrectionx) == 0x0398);
static_assert(DEVICE_ADDRESS(outputScale) == 0x0488);
static_assert(DEVICE_ADDRESS(modbusByteSwap) == 0x04A2);
static_assert(DEVICE_ADDRESS(modbusCustomRegs) == 0x04A4);
static_assert(DEVICE_ADDRESS(modbusTextStart) == 0x051C);
static_assert(DEVICE_ADDRESS(modbusTextData) == 0x051E);

// The one record of the run. Touch it only while holding hartThread's mutex.
extern DeviceData deviceData;

// Device memory [address, address + length) inside the record, or null when the
// range leaves the mirror.
std::uint8_t *deviceMemory(DeviceData &d, std::uint16_t address, std::uint16_t length);
const std::uint8_t *deviceMemory(const DeviceData &d, std::uint16_t address, std::uint16_t length);

// The 1306-byte parameter image (device addresses 0x0068..0x0581).
using ParameterImage = std::uint8_t[devmem::kParameterSize];
std::uint8_t *parameterImage(DeviceData &d);

// The maker's own transmitter: the only one served by the device-specific commands.
bool isMakerDevice(const DeviceData &d);

// Start values: zero except pv (+infinity) and factoryTestSelector (1).
void resetDeviceData(DeviceData &d);

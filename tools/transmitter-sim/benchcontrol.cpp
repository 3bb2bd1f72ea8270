// Control lines of the test bench: keys, the T wiring, the sensor simulator's point, and the
// loop check's applied process value and sensor error.
#include "benchcontrol.h"

#include "devicememory.h"
#include "transmittersim.h"

#include <QtEndian>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

QString keyNames(quint8 bits)
{
    QStringList names;
    if (bits & 0x01)
        names << QStringLiteral("M");
    if (bits & 0x02)
        names << QStringLiteral("S");
    if (bits & 0x04)
        names << QStringLiteral("Z");
    return names.isEmpty() ? QStringLiteral("none pressed")
                           : names.join(QLatin1Char(' ')) + QStringLiteral(" pressed");
}

// "7", or the pressed keys by letter ("mz"), or "none".
bool parseKeys(const QString &text, quint8 &bits)
{
    bool ok = false;
    const uint value = text.toUInt(&ok, 10);
    if (ok) {
        bits = quint8(value);
        return value <= 7;
    }
    if (text == QLatin1String("none")) {
        bits = 0;
        return true;
    }
    bits = 0;
    for (const QChar c : text) {
        if (c == QLatin1Char('m'))
            bits |= 0x01;
        else if (c == QLatin1Char('s'))
            bits |= 0x02;
        else if (c == QLatin1Char('z'))
            bits |= 0x04;
        else
            return false;
    }
    return !text.isEmpty();
}

QString number(float value)
{
    return QString::number(double(value), 'g', 6);
}

// A finite number, as typed; the sensor's own limits are the device's business.
bool parseNumber(const QString &text, float &value)
{
    bool ok = false;
    value = text.toFloat(&ok);
    return ok && std::isfinite(value);
}

} // namespace

BenchControl::BenchControl(TransmitterSim &sim)
    : m_sim(sim)
{ }

QString BenchControl::helpLine()
{
    return QStringLiteral("lines: keys 0-7 (bit 0 M, bit 1 S, bit 2 Z pressed; or letters, "
                          "none) | t open|vminus|vplus (nothing, V- or V+ shorted to T) | "
                          "pv zero|full|live|<applied value> | offset <PV units> | "
                          "gain <percent> | output <mA> | status <hex> | pvstatus..qvstatus <hex> | state | help");
}

QStringList BenchControl::helpText()
{
    return {QStringLiteral("Bench control, one line on stdin, one line answered on stdout:"),
            QStringLiteral("  keys <0-7>   keys of command 137: bit 0 M, bit 1 S, bit 2 Z pressed"),
            QStringLiteral("               (or by letter: keys mz, keys none)"),
            QStringLiteral(
                    "  t open       nothing shorted to T: the signal is --temperature-signal"),
            QStringLiteral("  t vminus     V- shorted to T: the signal reads 0"),
            QStringLiteral("  t vplus      V+ shorted to T: the signal reads 4000"),
            QStringLiteral("  pv zero      PV at the lower range copy (memory 0x00F8)"),
            QStringLiteral("  pv full      PV at the upper range copy (memory 0x00FC)"),
            QStringLiteral("  pv live      PV back to the moving (or --pv) value"),
            QStringLiteral("  pv <value>   the reference applies this process value: the PV"),
            QStringLiteral("               follows it, through the sensor error and zero trim"),
            QStringLiteral("  offset <v>   sensor offset in PV units (0: none)"),
            QStringLiteral("  gain <p>     sensor gain error in percent of reading (0: none)"),
            QStringLiteral("  output <mA>  the loop carries this much more than command 2 reports"),
            QStringLiteral("  status <hex> command 48's bytes, byte 0 first (status 0: none); more"),
            QStringLiteral("               status available stands while any is set, until a"),
            QStringLiteral("               revision 7 master sends them back"),
            QStringLiteral("  pvstatus <h> status byte of PV in command 9 (also sv, tv, qv; c0 good)"),
            QStringLiteral("  state        the bench as it is now (also an empty line)"),
            QStringLiteral("  help         list the lines")};
}

QString BenchControl::keysText() const
{
    const quint8 bits = m_sim.keyBits();
    return QStringLiteral("keys %1 (%2)").arg(bits).arg(keyNames(bits));
}

QString BenchControl::wiringText() const
{
    QString name;
    switch (m_sim.benchWiring()) {
    case BenchWiring::Open: name = QStringLiteral("open"); break;
    case BenchWiring::VMinusToT: name = QStringLiteral("vminus"); break;
    case BenchWiring::VPlusToT: name = QStringLiteral("vplus"); break;
    }
    return QStringLiteral("t %1 (signal %2)").arg(name, number(m_sim.temperatureSignal()));
}

QString BenchControl::pvText() const
{
    const BenchPv pv = m_sim.benchPv();
    if (pv == BenchPv::Live)
        return QStringLiteral("pv live");
    if (pv == BenchPv::Applied)
        return QStringLiteral("pv %1 (applied)").arg(number(m_sim.appliedPv()));
    const quint16 address =
            pv == BenchPv::Zero ? memaddr::lowerRangeValueCopy : memaddr::upperRangeValueCopy;
    const QByteArray raw = m_sim.memory(address, 4);
    const float value = raw.size() == 4 ? qFromLittleEndian<float>(raw.constData()) : 0.0f;
    return QStringLiteral("pv %1 (%2)")
            .arg(pv == BenchPv::Zero ? QStringLiteral("zero") : QStringLiteral("full"),
                 number(value));
}

QString BenchControl::sensorText() const
{
    return QStringLiteral("sensor offset %1, gain %2 %")
            .arg(number(m_sim.sensorOffset()), number(m_sim.sensorGainPercent()));
}

QString BenchControl::state() const
{
    QString text = keysText() + QStringLiteral(", ") + wiringText() + QStringLiteral(", ")
            + pvText();
    // A sound sensor goes unmentioned, as before there was a way to spoil it.
    if (m_sim.sensorOffset() != 0.0f || m_sim.sensorGainPercent() != 0.0f)
        text += QStringLiteral(", ") + sensorText();
    return text;
}

QString BenchControl::additionalText() const
{
    return QStringLiteral("status %1%2")
            .arg(QString::fromLatin1(m_sim.additionalStatus().toHex()),
                 m_sim.moreStatusAvailable() ? QStringLiteral(" (more status available)")
                                             : QString());
}

QString BenchControl::handleLine(const QString &line)
{
    const QStringList words =
            line.simplified().toLower().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    auto refused = [&line] {
        return QStringLiteral("error: \"%1\" not understood; help lists the lines")
                .arg(line.simplified().left(40));
    };
    if (words.isEmpty() || (words.size() == 1 && words[0] == QLatin1String("state")))
        return state();
    if (words.size() == 1 && words[0] == QLatin1String("help"))
        return helpLine();
    if (words.size() != 2)
        return refused();

    const QString &what = words[0];
    const QString &value = words[1];
    if (what == QLatin1String("keys")) {
        quint8 bits = 0;
        if (!parseKeys(value, bits))
            return refused();
        m_sim.setKeyBits(bits);
        return keysText();
    }
    if (what == QLatin1String("t")) {
        if (value == QLatin1String("open"))
            m_sim.setBenchWiring(BenchWiring::Open);
        else if (value == QLatin1String("vminus") || value == QLatin1String("v-"))
            m_sim.setBenchWiring(BenchWiring::VMinusToT);
        else if (value == QLatin1String("vplus") || value == QLatin1String("v+"))
            m_sim.setBenchWiring(BenchWiring::VPlusToT);
        else
            return refused();
        return wiringText();
    }
    if (what == QLatin1String("pv")) {
        if (value == QLatin1String("zero"))
            m_sim.setBenchPv(BenchPv::Zero);
        else if (value == QLatin1String("full"))
            m_sim.setBenchPv(BenchPv::FullScale);
        else if (value == QLatin1String("live"))
            m_sim.setBenchPv(BenchPv::Live);
        else if (float applied; parseNumber(value, applied))
            m_sim.setAppliedPv(applied);
        else
            return refused();
        return pvText();
    }
    if (what == QLatin1String("output")) {
        float offset = 0.0f;
        if (!parseNumber(value, offset))
            return refused();
        m_sim.setOutputOffset(offset);
        return QStringLiteral("output offset %1 mA").arg(number(m_sim.outputOffset()));
    }
    if (what == QLatin1String("status")) {
        // Command 48's bytes in hex, byte 0 first; "status 0" clears them all.
        const QByteArray hex = value.toLatin1();
        const QByteArray raw = QByteArray::fromHex(hex);
        const bool isHex = hex.size() <= 50
                && std::all_of(hex.begin(), hex.end(), [](char c) { return std::isxdigit(uchar(c)); });
        if (!isHex || (raw.isEmpty() && hex != "0"))
            return refused();
        m_sim.setAdditionalStatus(raw);
        return additionalText();
    }
    static const QStringList variables{QStringLiteral("pvstatus"), QStringLiteral("svstatus"),
                                       QStringLiteral("tvstatus"), QStringLiteral("qvstatus")};
    if (variables.contains(what)) {
        bool ok = false;
        const uint status = value.toUInt(&ok, 16);
        if (!ok || status > 0xFF)
            return refused();
        m_sim.setVariableStatus(variables.indexOf(what), quint8(status));
        return QStringLiteral("%1 0x%2").arg(what).arg(status, 2, 16, QLatin1Char('0'));
    }
    if (what == QLatin1String("offset") || what == QLatin1String("gain")) {
        float number = 0.0f;
        if (!parseNumber(value, number))
            return refused();
        if (what == QLatin1String("offset"))
            m_sim.setSensorError(number, m_sim.sensorGainPercent());
        else
            m_sim.setSensorError(m_sim.sensorOffset(), number);
        return sensorText();
    }
    return refused();
}

QString BenchControl::takeLine()
{
    QString line = QString::fromUtf8(m_pending);
    m_pending.clear();
    if (line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

QStringList BenchControl::feed(const char *bytes, int count)
{
    QStringList answers;
    for (int i = 0; bytes && i < count; ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            if (m_overlong)
                answers << QStringLiteral("error: line longer than %1 characters ignored")
                                   .arg(kMaxLineLength);
            else
                answers << handleLine(takeLine());
            m_pending.clear();
            m_overlong = false;
        } else if (!m_overlong) {
            if (m_pending.size() >= kMaxLineLength) {
                m_overlong = true;
                m_pending.clear();
            } else {
                m_pending.append(c);
            }
        }
    }
    return answers;
}

QStringList BenchControl::finish()
{
    QStringList answers;
    if (m_overlong)
        answers << QStringLiteral("error: line longer than %1 characters ignored")
                           .arg(kMaxLineLength);
    else if (!m_pending.isEmpty())
        answers << handleLine(takeLine());
    m_pending.clear();
    m_overlong = false;
    return answers;
}

// How a serial modem is driven beyond the fixed line settings: a modem that keys its own
// carrier, and an adapter that hears its own transmission. Both off is the RTS-keyed HART
// modem. A port text may carry them after its name: "/dev/ttyUSB0?echo&modem-keys-itself".
#pragma once

#include <QString>

#include <optional>

struct SerialOptions
{
    bool modemKeysItself = false; // RTS is left alone; the modem switches its carrier on data
    bool echo = false;            // every written byte comes back first, and is checked

    friend bool operator==(const SerialOptions &a, const SerialOptions &b)
    {
        return a.modemKeysItself == b.modemKeysItself && a.echo == b.echo;
    }
    friend bool operator!=(const SerialOptions &a, const SerialOptions &b) { return !(a == b); }
};

// A port text taken apart: the port's own name and what its suffix says, each option unset
// where the suffix does not name it. Without a '?' the name is the text, unchanged.
struct SerialPortText
{
    QString name;
    std::optional<bool> modemKeysItself;
    std::optional<bool> echo;
    QString error; // empty when the whole text was understood

    bool hasOptions() const { return modemKeysItself.has_value() || echo.has_value(); }
    // base with what the suffix says over it.
    SerialOptions over(SerialOptions base) const
    {
        base.modemKeysItself = modemKeysItself.value_or(base.modemKeysItself);
        base.echo = echo.value_or(base.echo);
        return base;
    }
};

// Suffix entries: "echo" and "modem-keys-itself", each alone (on) or "=on|off|1|0",
// separated by '&'.
SerialPortText parseSerialPortText(const QString &text);

// text with "name" (or "name=off") added to its suffix.
QString withSerialOption(const QString &text, const QString &name, bool on = true);

namespace serialoption {
inline const QString kEcho = QStringLiteral("echo");
inline const QString kModemKeysItself = QStringLiteral("modem-keys-itself");
} // namespace serialoption

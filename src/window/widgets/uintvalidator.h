// Digits only, value at most a top bound. QIntValidator lets a number with as many digits
// as its top through while typing (16777216 against 16777215), which would then wrap when
// stored in three bytes; this one refuses the keystroke instead.
#pragma once

#include <QValidator>

class UIntValidator : public QValidator
{
public:
    UIntValidator(quint32 top, QObject *parent)
        : QValidator(parent)
        , m_top(top)
    { }

    quint32 top() const { return m_top; }

    State validate(QString &input, int &) const override
    {
        if (input.isEmpty())
            return Intermediate;
        for (const QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return Invalid;
        }
        bool ok = false;
        const qulonglong value = input.toULongLong(&ok);
        return ok && value <= m_top ? Acceptable : Invalid;
    }

private:
    quint32 m_top;
};

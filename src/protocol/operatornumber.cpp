#include "protocol/operatornumber.h"

#include <QCoreApplication>

#include <cmath>

namespace lumivor::protocol {

namespace {

// Texts the operator reads: translatable, like the rest of the console's.
QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::protocol", text);
}

constexpr double lowestByte = 0.0;
constexpr double highestByte = 255.0;

// A group separator in a box meant for 0 to 255 is more likely a slip (a comma
// typed for a decimal point) than a thousands mark, so it makes the text unreadable.
std::optional<double> readLocaleNumber(const QString& text, QLocale locale)
{
    locale.setNumberOptions(locale.numberOptions() | QLocale::RejectGroupSeparator);
    bool ok = false;
    const double number = locale.toDouble(text, &ok);
    if (!ok || std::isnan(number))
        return std::nullopt;
    return number;
}

// Only numbers this close to the byte range can round into it; checking first
// keeps huge values and infinities away from the rounding.
bool mayRoundIntoByte(double number)
{
    return number >= lowestByte - 1.0 && number <= highestByte + 1.0;
}
} // namespace

QString problemText(NumberProblem problem)
{
    switch (problem) {
    case NumberProblem::Empty:
        return tr("empty");
    case NumberProblem::NotANumber:
        return tr("not a number");
    case NumberProblem::OutOfRange:
        return tr("out of range 0\u2013255");
    }
    return QString();
}

OperatorByte OperatorByte::accepted(std::uint8_t value)
{
    OperatorByte result;
    result.byte = value;
    return result;
}

OperatorByte OperatorByte::refused(NumberProblem problem)
{
    OperatorByte result;
    result.refusal = problem;
    return result;
}

QString OperatorByte::reason() const
{
    return refusal ? problemText(*refusal) : QString();
}

double roundHalfToEven(double number)
{
    const double below = std::floor(number);
    const double fraction = number - below;
    if (fraction < 0.5)
        return below;
    if (fraction > 0.5)
        return below + 1.0;
    const bool belowIsEven = std::fmod(below, 2.0) == 0.0;
    return belowIsEven ? below : below + 1.0;
}

OperatorByte readOperatorByte(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return OperatorByte::refused(NumberProblem::Empty);
    const std::optional<double> number = readLocaleNumber(trimmed, locale);
    if (!number)
        return OperatorByte::refused(NumberProblem::NotANumber);
    if (!mayRoundIntoByte(*number))
        return OperatorByte::refused(NumberProblem::OutOfRange);
    const double rounded = roundHalfToEven(*number);
    if (rounded < lowestByte || rounded > highestByte)
        return OperatorByte::refused(NumberProblem::OutOfRange);
    return OperatorByte::accepted(static_cast<std::uint8_t>(rounded));
}

} // namespace lumivor::protocol

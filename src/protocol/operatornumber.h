#pragma once

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

namespace lumivor::protocol {

// Why a text box's value cannot be sent as an argument byte.
enum class NumberProblem {
    Empty,
    NotANumber,
    OutOfRange,
};

// The short reason a panel shows: "empty", "not a number", "out of range 0–255".
QString problemText(NumberProblem problem);

// What a text box holds, read as one argument byte: either the byte or the
// reason it is not one.
class OperatorByte
{
public:
    static OperatorByte accepted(std::uint8_t value);
    static OperatorByte refused(NumberProblem problem);

    bool ok() const { return byte.has_value(); }
    // The byte; 0 when the text was refused, so check ok() first.
    std::uint8_t value() const { return byte.value_or(0); }
    // Why the text was refused; nullopt when it was accepted.
    std::optional<NumberProblem> problem() const { return refusal; }
    // The problem's text; empty when the text was accepted.
    QString reason() const;

private:
    OperatorByte() = default;

    std::optional<std::uint8_t> byte;
    std::optional<NumberProblem> refusal;
};

// Reads an operator's number: surrounding blanks are ignored, the text is read
// in the locale (its decimal separator, no group separators, an exponent such
// as "1e2" allowed), rounded to the nearest whole number with halves going to
// the even neighbour, and must then lie in 0 to 255. So "12.5" gives 12,
// "13.5" 14, "-0.4" 0 and "255.5" is out of range.
OperatorByte readOperatorByte(const QString& text, const QLocale& locale = QLocale());

// Nearest whole number, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4),
// whatever rounding mode the processor happens to be in.
double roundHalfToEven(double number);

} // namespace lumivor::protocol

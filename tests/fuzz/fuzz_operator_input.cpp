// What an operator types: numbers for coordinates, radii and counts, in two
// locales, and the pattern box's comma-separated entries. An accepted number
// is a byte that reads back as itself; every pattern write is one 03 v.
#include "fuzzcheck.h"
#include "protocol/graphicscommands.h"
#include "protocol/operatornumber.h"

#include <QLocale>
#include <QString>

using namespace lumivor::protocol;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::German, QLocale::Germany)}) {
        const OperatorByte value = readOperatorByte(text, locale);
        if (value.ok())
            FUZZ_CHECK(readOperatorByte(QString::number(value.value()), locale).value() ==
                       value.value());
        else
            FUZZ_CHECK(!value.reason().isEmpty());
    }
    const QList<QByteArray> writes = patternWrites(text);
    FUZZ_CHECK(writes.size() <= text.count(QLatin1Char(',')) + 1);
    for (const QByteArray& write : writes)
        FUZZ_CHECK(write.size() == 2 && write.at(0) == 0x03);
    return 0;
}

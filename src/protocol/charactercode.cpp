#include "protocol/charactercode.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace lumivor::protocol {

#ifdef Q_OS_WIN

std::optional<std::uint8_t> singleByteCode(QChar character)
{
    const wchar_t wide = static_cast<wchar_t>(character.unicode());
    char encoded[4] = {};
    BOOL usedDefault = FALSE;
    const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, encoded,
                                             sizeof encoded, nullptr, &usedDefault);
    if (length != 1 || usedDefault)
        return std::nullopt;
    return static_cast<std::uint8_t>(encoded[0]);
}

#else

std::optional<std::uint8_t> singleByteCode(QChar character)
{
    if (character.unicode() > 0xFF)
        return std::nullopt;
    return static_cast<std::uint8_t>(character.unicode());
}

#endif

} // namespace lumivor::protocol

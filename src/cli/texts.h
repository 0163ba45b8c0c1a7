#pragma once

#include <QCoreApplication>
#include <QString>

namespace lumivor::cli {

// The front end's texts, translatable like the console's, in one context.
inline QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor-cli", text);
}

} // namespace lumivor::cli

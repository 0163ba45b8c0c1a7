#include "cli/manifest.h"

#include "cli/texts.h"
#include "protocol/flashscreens.h"

#include <QDir>
#include <QMap>

namespace lumivor::cli {

namespace {

struct Tokens
{
    QStringList words;
    QString problem;
};

// Words separated by blanks; "..." or '...' keeps blanks in a word, and a
// '#' outside quotes at the start of a word ends the line.
Tokens splitLine(const QString& line)
{
    Tokens tokens;
    QString word;
    bool inWord = false;
    QChar quote;
    for (const QChar character : line) {
        if (!quote.isNull()) {
            if (character == quote)
                quote = QChar();
            else
                word += character;
        } else if (character.isSpace()) {
            if (inWord)
                tokens.words << std::exchange(word, QString());
            inWord = false;
        } else if (character == u'#' && !inWord) {
            break;
        } else if (character == u'"' || character == u'\'') {
            quote = character;
            inWord = true;
        } else {
            word += character;
            inWord = true;
        }
    }
    if (!quote.isNull())
        tokens.problem = tr("a quote is not closed");
    else if (inWord)
        tokens.words << word;
    return tokens;
}

std::optional<int> numberIn(const QString& text, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= 0 && value <= highest ? std::optional<int>(value) : std::nullopt;
}

// The conversion options after the picture; an error text, or empty.
QString readConversion(const QStringList& options, ManifestEntry& entry)
{
    bool chosen = false;
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QString& option = options.at(i);
        if (option != QLatin1String("--threshold") && option != QLatin1String("--dither"))
            return tr("\"%1\" is not a conversion option (a line may end with --threshold N "
                      "or --dither)")
                .arg(option);
        if (std::exchange(chosen, true))
            return tr("choose --threshold or --dither, not both");
        if (option == QLatin1String("--dither")) {
            entry.conversion = protocol::Conversion::Dithered;
            continue;
        }
        const auto threshold = numberIn(options.value(++i), 255);
        if (!threshold)
            return tr("--threshold takes a whole number from 0 to 255");
        entry.conversion = protocol::Conversion::Threshold;
        entry.threshold = *threshold;
    }
    return {};
}

// One line's screen, picture and conversion; an error text, or empty.
QString readEntry(const QStringList& words, const QDir& folder, ManifestEntry& entry)
{
    const auto screen = numberIn(words.first(), protocol::flashScreenCount - 1);
    if (!screen)
        return tr("a line starts with a screen number from 0 to 255, not \"%1\"")
            .arg(words.first());
    entry.screen = *screen;
    if (words.size() < 2 || words.at(1).isEmpty())
        return tr("screen %1 has no picture").arg(entry.screen);
    entry.picture = folder.filePath(words.at(1));
    return readConversion(words.mid(2), entry);
}

} // namespace

Manifest parseManifest(const QString& text, const QString& name, const QString& folder)
{
    Manifest manifest;
    const QDir base(folder);
    QMap<int, int> lineOfScreen;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const int lineNumber = static_cast<int>(i) + 1;
        const auto problem = [&](const QString& why) {
            manifest.problems << QStringLiteral("%1:%2: %3").arg(name).arg(lineNumber).arg(why);
        };
        const Tokens tokens = splitLine(lines.at(i));
        if (!tokens.problem.isEmpty()) {
            problem(tokens.problem);
            continue;
        }
        if (tokens.words.isEmpty())
            continue;
        ManifestEntry entry;
        entry.line = lineNumber;
        if (const QString why = readEntry(tokens.words, base, entry); !why.isEmpty()) {
            problem(why);
            continue;
        }
        if (lineOfScreen.contains(entry.screen)) {
            problem(tr("screen %1 is given twice (first on line %2)")
                        .arg(entry.screen)
                        .arg(lineOfScreen.value(entry.screen)));
            continue;
        }
        lineOfScreen.insert(entry.screen, lineNumber);
        manifest.entries << entry;
    }
    return manifest;
}

} // namespace lumivor::cli

#include "cli/request.h"

#include "cli/texts.h"

#include "protocol/charactercode.h"
#include "protocol/flashscreens.h"
#include "protocol/rates.h"

#include <QCommandLineParser>
#include <QHash>
#include <QRegularExpression>

namespace lumivor::cli {

namespace {

struct CommandName
{
    const char* name;
    Command command;
    int arguments; // positional arguments after the command's name; -1: one or more
};

constexpr CommandName commands[] = {
    {"ports", Command::Ports, 0},
    {"identify", Command::Identify, 0},
    {"id", Command::Id, 0},
    {"send", Command::Send, -1},
    {"text", Command::Text, 1},
    {"picture", Command::Picture, 1},
    {"flash-save", Command::FlashSave, 1},
    {"flash-load", Command::FlashLoad, 1},
    {"screen-save", Command::ScreenSave, 1},
    {"screen-load", Command::ScreenLoad, 1},
    {"baud", Command::Baud, 1},
    {"flash-extract", Command::FlashExtract, 2},
    {"flash-build", Command::FlashBuild, 1},
    {"flash-diff", Command::FlashDiff, 2},
};

std::optional<int> wholeNumber(const QString& text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

std::optional<PortTarget> portTarget(const QString& text)
{
    static const QRegularExpression comName(QStringLiteral("^(?:COM)?(\\d+)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QString item = text.trimmed();
    if (const auto match = comName.match(item); match.hasMatch()) {
        if (const auto number = wholeNumber(match.captured(1), 1, 16))
            return PortTarget{*number, {}};
        return std::nullopt;
    }
    if (item.startsWith(QLatin1Char('/')) || item.startsWith(QStringLiteral("\\\\.\\")))
        return PortTarget{0, item};
    return std::nullopt;
}

// "--port 1,2 --port /dev/ttyUSB0": every port once, in the order given.
QString readPorts(const QStringList& values, QList<PortTarget>& ports)
{
    for (const QString& value : values) {
        for (const QString& item : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const auto port = portTarget(item);
            if (!port)
                return tr("--port takes COM numbers 1 to 16 or device paths, not \"%1\"").arg(item);
            for (const PortTarget& known : ports)
                if (known.name() == port->name())
                    return tr("%1 is given twice").arg(port->name());
            ports.append(*port);
        }
    }
    return {};
}

std::optional<int> rateIndex(const QString& text)
{
    return protocol::rates::indexOfRateText(text.trimmed());
}

QString checkText(const QString& text)
{
    for (const QChar character : text)
        if (!protocol::singleByteCode(character))
            return tr("the controller cannot show \"%1\": it is not in its character set")
                .arg(character);
    return {};
}

// The command's own arguments, checked; an error text, or empty.
QString readArguments(Request& request, const QStringList& arguments)
{
    switch (request.command) {
    case Command::Send:
        if (const auto bytes = parseHexBytes(arguments))
            request.bytes = *bytes;
        else
            return tr("send takes hexadecimal bytes such as 1E 00 00 00 EF 3F");
        return {};
    case Command::Text:
        request.text = arguments.first();
        return checkText(request.text);
    case Command::Picture:
    case Command::FlashSave:
    case Command::FlashLoad:
    case Command::FlashBuild:
        request.file = arguments.first();
        return {};
    case Command::FlashExtract:
    case Command::FlashDiff:
        request.file = arguments.at(0);
        request.secondFile = arguments.at(1);
        return {};
    case Command::ScreenSave:
    case Command::ScreenLoad:
        if (const auto screen = wholeNumber(arguments.first(), 1, 255))
            request.screen = *screen;
        else
            return tr("screens are numbered 1 to 255, not \"%1\"").arg(arguments.first());
        if (request.command == Command::ScreenSave && request.screen < 6 && !request.yes)
            return tr("screens 1-5 hold the controller's fonts; add --yes to replace screen %1")
                .arg(request.screen);
        return {};
    case Command::Baud:
        if (const auto index = rateIndex(arguments.first()))
            request.newRateIndex = *index;
        else
            return tr("the rate must be one of %1").arg(protocol::rates::rateTexts().join(u", "));
        return {};
    default:
        return {};
    }
}

// The options of the flash image commands and of the picture conversion.
QString readImageOptions(const QCommandLineParser& parser, Request& request)
{
    request.verify = parser.isSet(QStringLiteral("verify"));
    request.output = parser.value(QStringLiteral("output"));
    request.base = parser.value(QStringLiteral("base"));
    if (parser.isSet(QStringLiteral("screens"))) {
        const auto screens = parseScreenRanges(parser.value(QStringLiteral("screens")));
        if (!screens)
            return tr("--screens takes screen numbers 0 to 255 and ranges, such as 6-20,30");
        request.screens = *screens;
    }
    const bool threshold = parser.isSet(QStringLiteral("threshold"));
    if (threshold && parser.isSet(QStringLiteral("dither")))
        return tr("choose --threshold or --dither, not both");
    if (threshold) {
        const auto value = wholeNumber(parser.value(QStringLiteral("threshold")), 0, 255);
        if (!value)
            return tr("--threshold takes a whole number from 0 to 255");
        request.conversion = protocol::Conversion::Threshold;
        request.threshold = *value;
    } else if (parser.isSet(QStringLiteral("dither"))) {
        request.conversion = protocol::Conversion::Dithered;
    }
    return {};
}

QString readOptions(const QCommandLineParser& parser, Request& request)
{
    request.yes = parser.isSet(QStringLiteral("yes"));
    request.quiet = parser.isSet(QStringLiteral("quiet"));
    request.json = parser.isSet(QStringLiteral("json"));
    if (const QString error = readPorts(parser.values(QStringLiteral("port")), request.ports);
        !error.isEmpty())
        return error;
    if (parser.isSet(QStringLiteral("rate"))) {
        const auto index = rateIndex(parser.value(QStringLiteral("rate")));
        if (!index)
            return tr("--rate must be one of %1").arg(protocol::rates::rateTexts().join(u", "));
        request.rateIndex = *index;
    }
    struct Bounded
    {
        const char* name;
        int lowest, highest;
        std::optional<int>* into;
    };
    std::optional<int> read;
    const Bounded bounded[] = {{"font", 1, 4, &request.font},
                               {"page", 0, 7, &request.page},
                               {"column", 0, 239, &request.column},
                               {"read", 0, 600000, &read}};
    for (const Bounded& option : bounded) {
        const QString name = QString::fromLatin1(option.name);
        if (!parser.isSet(name))
            continue;
        *option.into = wholeNumber(parser.value(name), option.lowest, option.highest);
        if (!*option.into)
            return tr("--%1 takes a whole number from %2 to %3")
                .arg(name)
                .arg(option.lowest)
                .arg(option.highest);
    }
    request.readMs = read.value_or(0);
    return readImageOptions(parser, request);
}

QString checkArgumentCount(const CommandName& command, const QStringList& arguments)
{
    const QString name = QString::fromLatin1(command.name);
    if (command.arguments < 0)
        return arguments.isEmpty() ? tr("%1 takes at least one argument").arg(name) : QString();
    if (arguments.size() == command.arguments)
        return {};
    switch (command.arguments) {
    case 0:
        return tr("%1 takes no arguments").arg(name);
    case 1:
        return tr("%1 takes one argument").arg(name);
    default:
        return tr("%1 takes two arguments").arg(name);
    }
}

// Two ports whose names give the same file ("/dev/a" and "/dev_a", say) would
// write one backup over the other.
QString sharedBackupFile(const Request& request)
{
    QHash<QString, QString> portOfFile;
    for (const PortTarget& port : request.ports) {
        const QString file = request.fileFor(port);
        if (portOfFile.contains(file) && portOfFile.value(file) != port.name())
            return tr("%1 and %2 would both be backed up into %3: give each port a file of "
                      "its own")
                .arg(portOfFile.value(file), port.name(), file);
        portOfFile.insert(file, port.name());
    }
    return {};
}

QString checkCombination(const Request& request)
{
    if (request.command == Command::FlashBuild && request.output.isEmpty())
        return tr("say where the image goes: flash-build MANIFEST -o IMAGE");
    if (request.verify && request.command != Command::FlashLoad)
        return tr("--verify goes with flash-load");
    if (request.conversion != protocol::Conversion::Exact && request.command != Command::Picture)
        return tr("--threshold and --dither go with picture (a manifest gives them per line)");
    if (needsNoPort(request.command))
        return request.ports.isEmpty() || request.command == Command::Ports ? QString()
                                       : tr("this command works on files only: no --port");
    if (request.ports.isEmpty())
        return tr("say which port to use: --port N (a COM number as \"lumivor-cli ports\" lists "
                  "it, or a device path)");
    if (request.command == Command::FlashSave && request.ports.size() > 1 &&
        !request.file.contains(QStringLiteral("{port}")))
        return tr("with several ports, put {port} in the file name so each controller gets its "
                  "own file (e.g. backup-{port}.fls)");
    if (request.command == Command::FlashSave)
        return sharedBackupFile(request);
    return {};
}

} // namespace

bool needsNoPort(Command command)
{
    return command == Command::Ports || command == Command::FlashExtract ||
           command == Command::FlashBuild || command == Command::FlashDiff;
}

std::optional<QList<int>> parseScreenRanges(const QString& text)
{
    static const QRegularExpression range(QStringLiteral("^(\\d+)(?:-(\\d+))?$"));
    QList<int> screens;
    for (const QString& item : text.split(QLatin1Char(','))) {
        const auto match = range.match(item.trimmed());
        if (!match.hasMatch())
            return std::nullopt;
        const auto first = wholeNumber(match.captured(1), 0, protocol::flashScreenCount - 1);
        const auto last = match.captured(2).isEmpty()
                              ? first
                              : wholeNumber(match.captured(2), 0,
                                            protocol::flashScreenCount - 1);
        if (!first || !last || *last < *first)
            return std::nullopt;
        for (int screen = *first; screen <= *last; ++screen)
            if (!screens.contains(screen))
                screens.append(screen);
    }
    return screens;
}

QString PortTarget::name() const
{
    return number > 0 ? QStringLiteral("COM%1").arg(number) : devicePath;
}

QString Request::fileFor(const PortTarget& port) const
{
    QString name = port.name();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QString(file).replace(QStringLiteral("{port}"), name);
}

std::optional<QByteArray> parseHexBytes(const QStringList& tokens)
{
    static const QRegularExpression hex(QStringLiteral("^(?:0x)?((?:[0-9a-f]{2})+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    QByteArray bytes;
    for (const QString& token : tokens) {
        const auto match = hex.match(token.trimmed());
        if (!match.hasMatch())
            return std::nullopt;
        bytes += QByteArray::fromHex(match.captured(1).toLatin1());
    }
    if (bytes.isEmpty())
        return std::nullopt;
    return bytes;
}

ParseOutcome parseRequest(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {{QStringLiteral("p"), QStringLiteral("port")}, QString(), QStringLiteral("N")},
        {{QStringLiteral("r"), QStringLiteral("rate")}, QString(), QStringLiteral("RATE")},
        {QStringLiteral("font"), QString(), QStringLiteral("N")},
        {QStringLiteral("page"), QString(), QStringLiteral("P")},
        {QStringLiteral("column"), QString(), QStringLiteral("C")},
        {QStringLiteral("read"), QString(), QStringLiteral("MS")},
        {{QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("IMAGE")},
        {QStringLiteral("base"), QString(), QStringLiteral("IMAGE")},
        {QStringLiteral("screens"), QString(), QStringLiteral("LIST")},
        {QStringLiteral("threshold"), QString(), QStringLiteral("N")},
        {QStringLiteral("dither"), QString()},
        {QStringLiteral("verify"), QString()},
        {{QStringLiteral("y"), QStringLiteral("yes")}, QString()},
        {{QStringLiteral("q"), QStringLiteral("quiet")}, QString()},
        {QStringLiteral("json"), QString()},
        {{QStringLiteral("h"), QStringLiteral("help")}, QString()},
        {QStringLiteral("version"), QString()},
    });
    if (!parser.parse(QStringList{QStringLiteral("lumivor-cli")} + arguments))
        return {std::nullopt, parser.errorText()};

    Request request;
    request.help = parser.isSet(QStringLiteral("help"));
    request.version = parser.isSet(QStringLiteral("version"));
    QStringList positional = parser.positionalArguments();
    if (request.help || request.version)
        return {request, {}};
    if (positional.isEmpty())
        return {std::nullopt,
                tr("say what to do, e.g. lumivor-cli identify --port 1 (see --help)")};

    const QString name = positional.takeFirst();
    const auto known =
        std::find_if(std::begin(commands), std::end(commands),
                     [&](const CommandName& c) { return name == QLatin1String(c.name); });
    if (known == std::end(commands))
        return {std::nullopt, tr("unknown command \"%1\" (see --help)").arg(name)};
    request.command = known->command;
    if (const QString error = checkArgumentCount(*known, positional); !error.isEmpty())
        return {std::nullopt, error};
    if (QString error = readOptions(parser, request); !error.isEmpty())
        return {std::nullopt, error};
    if (QString error = readArguments(request, positional); !error.isEmpty())
        return {std::nullopt, error};
    if (QString error = checkCombination(request); !error.isEmpty())
        return {std::nullopt, error};
    return {request, {}};
}

} // namespace lumivor::cli

namespace lumivor::cli {

QString helpText()
{
    return tr(R"(Usage: lumivor-cli COMMAND [ARGUMENTS] --port N[,N...] [OPTIONS]

The Kestrin controller from the command line. Ports are the console's COM
numbers ("lumivor-cli ports" lists them) or device paths. Every command but
"ports" and the flash image commands first finds the controller as the
console's Connect does.

Commands:
  ports                  list the COM ports: number, device, how it was found
  identify               find the controller; print its reply and contrast
  id                     ask the controller for its ID (28 00)
  send HEX...            send raw command bytes, e.g. send 1E 00 00 00 EF 3F;
                         with --read MS, print what comes back within MS ms
  text "TEXT"            write text; --font 1-4, --page 0-7, --column 0-239
  picture FILE           convert a picture (BMP, JPEG, PNG, ...) as the console
                         does and upload it, paced at line speed; --threshold N
                         (0-255: pixels darker than N are dark dots) or --dither
                         as the console's "On the LCD" choices (default: every
                         colour but black is a dark dot)
  flash-save FILE        copy the controller's flash into FILE (.fls); the file
                         is written as FILE.part and renamed only when complete
                         (a link is written through; the file keeps its mode);
                         with several ports put {port} in the name
  flash-load FILE        write FILE into the controller's flash; the file is
                         checked completely first; asks on a terminal (--yes);
                         --verify reads the flash back and compares it
  screen-save N          store the shown picture as screen N (1-5: --yes)
  screen-load N          show stored screen N
  baud RATE              switch the controller to RATE and find it again there

Flash image files (no port needed):
  flash-extract IMAGE DIR  one PNG per screen of IMAGE (.fls) in DIR (made if
                         missing): screen-006.png, ..., and index.txt with one
                         line per screen written, "006 empty" or "006 drawn";
                         --screens 6-20,30 for some of them (default all 256)
  flash-build MANIFEST -o IMAGE  an image from the pictures MANIFEST lists, on
                         --base IMAGE or an empty one; screens 1-5 need --yes
  flash-diff A B         the screens in which two images differ, with the
                         number of differing bytes; exit status 1 if any

  A manifest has one line per screen: the number (0-255), then the picture's
  path (relative to the manifest's folder; "quotes" for blanks), then
  optionally --threshold N or --dither. Blank lines and # comments are fine:
    # screen  picture               conversion
    6         logo.png
    7         "photos/front door.jpg" --dither
    8         chart.bmp             --threshold 100
  Nothing is written unless every line and picture can be used.

Options:
  -p, --port N[,N...]    the ports (repeatable); several run in parallel
  -r, --rate RATE        line rate: 2400 ... 115200 (default 9600)
  -o, --output IMAGE     flash-build: the image to write
      --base IMAGE       flash-build: start from this image
      --screens LIST     flash-extract: the screens to write
      --threshold N      picture: brightness threshold conversion
      --dither           picture: dithered conversion
      --verify           flash-load: read back and compare after the write
  -y, --yes              no confirmation
  -q, --quiet            results only, no progress
      --json             results as JSON
  -h, --help             this text
      --version          the version

Exit status (several ports: 0 when all succeeded, else the first failure's):
  0    success
  1    flash-diff: the images differ
  2    the command line cannot be carried out
  3    no answer: no controller answered
  4    port error: cannot open the port (missing, in use, no permission), or it
       failed while in use
  5    bad input: a picture or flash file that cannot be used
  6    time-out: the controller stopped answering during a transfer
  7    protocol error: the controller sent something a transfer cannot use
  8    cannot write: the file to save cannot be written (no name, a folder, a
       missing or read-only folder, no room left on the disk)
  9    declined: the answer to the flash-load question was no; nothing was sent
  10   verify failed: the image was written, but the flash read back differs
       from it (the differing screens are named)
  130  cancelled by Ctrl-C (a flash file being saved is left as FILE.part;
       FILE itself is untouched)
  143  stopped by SIGTERM, as Ctrl-C stops it
)");
}

} // namespace lumivor::cli

// kestrin-sim: a virtual Kestrin display controller on a pseudo-terminal, registered as a
// COM port for the console, with a live view of its LCD (or none, with --headless).
#include "model/controller.h"
#include "transport/flashimagefile.h"
#include "transport/portlink.h"
#include "transport/pseudoterminal.h"
#include "transport/session.h"
#include "transport/signalwatcher.h"
#include "transport/touchinput.h"
#include "view/lcdwidget.h"
#include "view/simwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <optional>
#include <unistd.h>

namespace {

// Exit codes for a start that cannot work as asked: an option value out of range, or a
// window wanted where there is no display. (Unknown options are Qt's: exit code 1.)
constexpr int kUsageExitCode = 2;
constexpr int kNoDisplayExitCode = 2;

struct Options
{
    bool headless = false;
    bool lineTiming = false;
    bool touchInput = false;
    std::optional<int> com;
    std::string flashFile; // --flash: the flash starts from it and is written back to it
    std::optional<std::size_t> flashFault; // --flash-fault: a byte every flash write gets wrong
    int zoom = kestrin::LcdWidget::kDefaultZoom;
};

bool hasArgument(int argc, char** argv, std::initializer_list<const char*> names)
{
    for (int i = 1; i < argc; ++i)
        for (const char* name : names)
            if (std::strcmp(argv[i], name) == 0)
                return true;
    return false;
}

bool wantsHelp(int argc, char** argv)
{
    return hasArgument(argc, argv, {"-h", "--help", "-?", "--help-all"});
}

bool wantsHeadless(int argc, char** argv)
{
    return hasArgument(argc, argv, {"--headless"});
}

bool isSet(const char* variable)
{
    const char* value = std::getenv(variable);
    return value && value[0] != '\0';
}

// Whether a window can be opened at all. Without one, QApplication aborts with a message
// about platform plugins that tells an operator nothing, so we look before we build it.
bool displayAvailable(int argc, char** argv)
{
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM") ||
           hasArgument(argc, argv, {"-platform", "--platform"});
}

constexpr const char* kNoDisplayText =
    "kestrin-sim: no graphical display is available here; run it with --headless, or under a "
    "virtual display: xvfb-run -a kestrin-sim\n";

// A display variable that names no reachable display makes Qt print its platform-plugin
// warnings and abort: while the application starts, those become the one sentence above.
QtMessageHandler qtHandler = nullptr;

void startupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtFatalMsg && message.contains(QLatin1String("platform plugin"))) {
        std::fputs(kNoDisplayText, stderr);
        std::_Exit(kNoDisplayExitCode);
    }
    if (type != QtFatalMsg && context.category &&
        QLatin1String(context.category).startsWith(QLatin1String("qt.qpa")))
        return;
    qtHandler(type, context, message);
}

std::optional<int> parseNumber(const QString& text, int low, int high)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

Options parseOptions(const QCoreApplication& app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Virtual Kestrin display controller on a pseudo-terminal, registered as a COM port "
        "for the Lumivor console.");
    parser.addHelpOption();
    const QCommandLineOption headless("headless", "Run without a window.");
    const QCommandLineOption com("com", "Serve as COM<n> (1-16) instead of the lowest free number.",
                                 "n");
    const QCommandLineOption timing("line-timing",
                                    "Take as long as a real line: 10 bits per byte at the rate.");
    const QCommandLineOption zoom("zoom", "Initial zoom of the LCD view (1-10, default 3).", "z");
    const QCommandLineOption touches(
        "touch-input", "Read touches from standard input: one line \"touch X Y\" per touch.");
    const QCommandLineOption flash(
        "flash",
        "Start with the flash image in FILE (.fls) instead of the shipped one, and write the "
        "flash back to FILE after each flash write and when the simulator ends.",
        "FILE");
    const QCommandLineOption flashFault(
        "flash-fault",
        "Store byte OFFSET (0-491519) of every flash write with its lowest bit flipped, as a "
        "worn cell would: a write then fails its verify in that screen.",
        "OFFSET");
    parser.addOptions({headless, com, timing, zoom, touches, flash, flashFault});
    parser.process(app);
    Options options;
    options.headless = parser.isSet(headless);
    options.lineTiming = parser.isSet(timing);
    options.touchInput = parser.isSet(touches);
    options.flashFile = parser.value(flash).toStdString();
    if (parser.isSet(com)) {
        options.com = parseNumber(parser.value(com), kestrin::PortLink::kFirstPort,
                                  kestrin::PortLink::kLastPort);
        if (!options.com) {
            std::fprintf(stderr, "kestrin-sim: --com takes a number from 1 to 16\n");
            std::exit(kUsageExitCode);
        }
    }
    if (parser.isSet(flashFault)) {
        const auto offset = parseNumber(parser.value(flashFault), 0, int(kestrin::kFlashSize) - 1);
        if (!offset) {
            std::fprintf(stderr, "kestrin-sim: --flash-fault takes an offset from 0 to %d\n",
                         int(kestrin::kFlashSize) - 1);
            std::exit(kUsageExitCode);
        }
        options.flashFault = std::size_t(*offset);
    }
    if (parser.isSet(zoom))
        options.zoom = parseNumber(parser.value(zoom), 1, 10).value_or(options.zoom);
    return options;
}

// The flash to start with: the --flash file's, refused with its reason before any port
// link is made, or the one a new controller ships with.
std::optional<kestrin::Flash> startingFlash(const Options& options)
{
    if (options.flashFile.empty())
        return kestrin::makeDefaultFlash();
    std::string error;
    std::optional<kestrin::Flash> flash = kestrin::readFlashImageFile(options.flashFile, error);
    if (!flash)
        std::fprintf(stderr, "kestrin-sim: %s\n", error.c_str());
    return flash;
}

// Keeps the --flash file up to date: after every completed flash write, and once more at
// the end (stored screens included). A failure is told once per attempt.
class FlashKeeper
{
public:
    FlashKeeper(const kestrin::Controller& controller, std::string file)
        : controller_(controller), file_(std::move(file))
    {
    }
    void afterChange()
    {
        if (file_.empty() || controller_.flashWritesCompleted() == savedAfter_)
            return;
        savedAfter_ = controller_.flashWritesCompleted();
        save();
    }
    bool save()
    {
        std::string error;
        if (file_.empty() || kestrin::writeFlashImageFile(file_, controller_.flash(), error))
            return true;
        std::fprintf(stderr, "kestrin-sim: %s\n", error.c_str());
        return false;
    }

private:
    const kestrin::Controller& controller_;
    std::string file_;
    unsigned savedAfter_ = 0;
};

int run(QCoreApplication& app)
{
    const Options options = parseOptions(app);
    std::optional<kestrin::Flash> flash = startingFlash(options);
    if (!flash)
        return kUsageExitCode;
    kestrin::PseudoTerminal terminal;
    std::string error;
    if (!terminal.open(error)) {
        std::fprintf(stderr, "kestrin-sim: %s\n", error.c_str());
        return 1;
    }
    std::optional<kestrin::PortLink> link = kestrin::PortLink::create(
        kestrin::PortLink::portDirectory(), terminal.devicePath(), options.com, error);
    if (!link) {
        std::fprintf(stderr, "kestrin-sim: %s\n", error.c_str());
        return 1;
    }
    kestrin::Controller controller(std::move(*flash));
    controller.setFlashWriteFault(options.flashFault);
    kestrin::Session session(controller, terminal.masterFd(), options.lineTiming);
    FlashKeeper keeper(controller, options.flashFile);
    QObject::connect(&session, &kestrin::Session::changed, &app, [&keeper] { keeper.afterChange(); });
    kestrin::SignalWatcher signalWatcher;
    QObject::connect(&signalWatcher, &kestrin::SignalWatcher::terminationRequested, &app,
                     &QCoreApplication::quit);
    const QString portName = QStringLiteral("COM%1").arg(link->number());
    std::printf("kestrin-sim: COM%d on %s\n", link->number(), terminal.devicePath().c_str());
    std::fflush(stdout);

    std::unique_ptr<kestrin::TouchInput> touchInput;
    if (options.touchInput)
        touchInput = std::make_unique<kestrin::TouchInput>(session, STDIN_FILENO);

    std::unique_ptr<kestrin::SimWindow> window;
    if (!options.headless) {
        window = std::make_unique<kestrin::SimWindow>(
            session, portName + " (" + QString::fromStdString(terminal.devicePath()) + ")",
            options.zoom);
        window->show();
    }
    // The link goes with 'link' when this returns, however the loop ended.
    const int status = app.exec();
    return keeper.save() ? status : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (wantsHelp(argc, argv) || wantsHeadless(argc, argv)) {
        QCoreApplication app(argc, argv);
        return run(app);
    }
    if (!displayAvailable(argc, argv)) {
        // Bad options still get their own message first.
        QCoreApplication app(argc, argv);
        parseOptions(app);
        std::fputs(kNoDisplayText, stderr);
        return kNoDisplayExitCode;
    }
    qtHandler = qInstallMessageHandler(startupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    return run(app);
}

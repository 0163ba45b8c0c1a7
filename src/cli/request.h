#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "protocol/picture.h"

#include <optional>

namespace lumivor::cli {

// What lumivor-cli's exit status says. With several ports it is 0 when every
// port succeeded, otherwise the status of the first port (in the order given)
// that did not.
enum class ExitCode : int {
    Success = 0,
    Differ = 1,    // flash-diff: the two images differ (as cmp says it)
    Usage = 2,     // the command line cannot be carried out
    NoAnswer = 3,  // no controller answered (detection, ID query, new rate)
    PortError = 4, // the port could not be opened, or failed while in use
    BadInput = 5,      // a picture or flash file that cannot be used
    TimedOut = 6,      // the controller stopped answering during a transfer
    ProtocolError = 7, // the controller sent something a transfer cannot use
    CannotWrite = 8,   // a file that cannot be written: no name, a folder, no room, no permission
    Declined = 9,      // the operator answered no to the question: nothing was done
    // flash-load --verify: the image was written, but the flash read back
    // differs from it (a worn cell, a line that dropped a byte)
    VerifyFailed = 10,
    Cancelled = 130,   // Ctrl-C (the shell's code for SIGINT)
    Terminated = 143,  // SIGTERM (the shell's code for it)
};

enum class Command {
    Ports,
    Identify,
    Id,
    Send,
    Text,
    Picture,
    FlashSave,
    FlashLoad,
    ScreenSave,
    ScreenLoad,
    Baud,
    FlashExtract, // the screens of a .fls as pictures; no port
    FlashBuild,   // a .fls from pictures listed in a manifest; no port
    FlashDiff,    // the screens in which two .fls differ; no port
};

// Whether a command works on files alone, without a controller.
bool needsNoPort(Command command);

// One port to act on: a COM number as the console lists it, or a device path.
struct PortTarget
{
    int number = 0;       // 1..16, or 0 for a device path
    QString devicePath;   // set for a path given on the command line
    QString name() const; // "COM3" or the path
};

// A command line, read and checked.
struct Request
{
    Command command = Command::Ports;
    QList<PortTarget> ports;
    int rateIndex = 2;         // --rate, 9600 by default
    QByteArray bytes;          // send: the raw bytes
    int readMs = 0;            // send --read MS
    QString text;              // text
    std::optional<int> font;   // text --font 1..4
    std::optional<int> page;   // text --page 0..7
    std::optional<int> column; // text --column 0..239
    QString file;              // picture, flash-save, flash-load ("{port}" expands),
                               // flash-extract, flash-diff (A), flash-build (the manifest)
    QString secondFile;        // flash-extract DIR, flash-diff B
    QString output;            // flash-build -o IMAGE
    QString base;              // flash-build --base IMAGE
    QList<int> screens;        // flash-extract --screens (all 256 when not given)
    protocol::Conversion conversion = protocol::Conversion::Exact; // picture
    int threshold = protocol::defaultThreshold;                    // picture --threshold
    bool verify = false;       // flash-load --verify: read the flash back and compare
    int screen = 0;            // screen-save, screen-load: 1..255
    int newRateIndex = -1;     // baud
    bool yes = false;          // --yes: no confirmation
    bool quiet = false;        // --quiet: results only
    bool json = false;         // --json: results as JSON
    bool help = false;
    bool version = false;

    // The file for one port: "{port}" replaced by its name ("backup-COM3.fls").
    QString fileFor(const PortTarget& port) const;
};

struct ParseOutcome
{
    std::optional<Request> request;
    QString error; // why the command line cannot be carried out
};

// Reads the arguments after the program name.
ParseOutcome parseRequest(const QStringList& arguments);

// The raw bytes of "1E 00 00 00 EF 3F", "1e0000", "0x1E 0x00": hexadecimal pairs,
// blanks between bytes optional, each token an even number of digits.
std::optional<QByteArray> parseHexBytes(const QStringList& tokens);

// "6-20,30": screen numbers 0 to 255, each once, in the order given.
std::optional<QList<int>> parseScreenRanges(const QString& text);

QString helpText();

} // namespace lumivor::cli

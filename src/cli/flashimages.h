#pragma once

#include "cli/request.h"
#include "protocol/picture.h"

#include <QByteArray>
#include <QImage>
#include <QJsonObject>
#include <QStringList>

namespace lumivor::cli {

// What a command on flash image files came to: flash-extract, flash-build
// and flash-diff need no controller and run here, before any port.
struct FileCommandResult
{
    ExitCode code = ExitCode::Success;
    // For a person: the result, or every reason nothing was done.
    QStringList lines;
    QJsonObject details; // the same for a script
};

FileCommandResult runFileCommand(const Request& request);

FileCommandResult extractScreens(const Request& request);
FileCommandResult buildImage(const Request& request);
FileCommandResult diffImages(const Request& request);

// A picture's 1,920 screen bytes as the console converts its "On the LCD"
// preview: drawn at its own size from the top-left on white, cut at 240 x 64,
// then turned into dots by the chosen rule.
QByteArray pictureScreenBytes(const QImage& picture, protocol::Conversion conversion,
                              int threshold = protocol::defaultThreshold);

// A screen as a 1-bit PNG file's bytes (white: a dark dot, see screenPicture).
QByteArray screenPng(const QByteArray& screenBytes);

} // namespace lumivor::cli

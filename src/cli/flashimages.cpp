#include "cli/flashimages.h"

#include "cli/manifest.h"
#include "cli/texts.h"
#include "link/flashfile.h"
#include "link/partfile.h"
#include "protocol/flashscreens.h"
#include "protocol/picturefile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLocale>

namespace lumivor::cli {

namespace {

FileCommandResult failed(ExitCode code, QStringList lines)
{
    return {code, std::move(lines), {}};
}

struct LoadedImage
{
    std::optional<protocol::FlashScreens> screens;
    QString problem;
};

// The codec's reason ("It holds ...") as the end of our sentence.
QString asClause(QString reason)
{
    if (reason.size() > 1 && reason.at(0).isUpper() && reason.at(1).isLower())
        reason[0] = reason.at(0).toLower();
    return reason;
}

// A .fls read and checked in full by the codec.
LoadedImage loadImage(const QString& path)
{
    const protocol::FlashConversion read = link::FlashImageFile(path).load();
    if (!read.ok())
        return {std::nullopt, tr("%1 cannot be used as a flash image: %2")
                                  .arg(path, asClause(read.reason()))
                                  .replace(QLatin1Char('\n'), QLatin1Char(' '))};
    return {protocol::FlashScreens::fromImage(read.bytes()), {}};
}

QString screensText(qsizetype count)
{
    return count == 1 ? tr("1 screen") : tr("%1 screens").arg(count);
}

QString screenName(int screen)
{
    return QStringLiteral("%1").arg(screen, 3, 10, QLatin1Char('0'));
}

QJsonArray differenceList(const QList<protocol::ScreenDifference>& differences)
{
    QJsonArray list;
    for (const protocol::ScreenDifference& difference : differences)
        list.append(QJsonObject{{QStringLiteral("screen"), difference.screen},
                                {QStringLiteral("bytes"), difference.bytes}});
    return list;
}

QList<int> screensToExtract(const Request& request)
{
    if (!request.screens.isEmpty())
        return request.screens;
    QList<int> all;
    for (int screen = 0; screen < protocol::flashScreenCount; ++screen)
        all << screen;
    return all;
}

// The screens 1-5 a manifest replaces, which only --yes allows.
QString fontScreensRefusal(const Request& request, const Manifest& manifest)
{
    if (request.yes)
        return {};
    QStringList lines;
    for (const ManifestEntry& entry : manifest.entries)
        if (protocol::isFontScreen(entry.screen))
            lines << QString::number(entry.line);
    if (lines.isEmpty())
        return {};
    return tr("Screens 1-5 are used for fonts storage; %1 replaces them on line %2. Add --yes "
              "to build an image with other fonts.")
        .arg(request.file, lines.join(QStringLiteral(", ")));
}

// Every picture read and converted into its screen; every one that cannot
// be read is named.
QStringList placePictures(const Manifest& manifest, const QString& name,
                          protocol::FlashScreens& screens)
{
    QStringList problems;
    for (const ManifestEntry& entry : manifest.entries) {
        const protocol::PictureRead picture = protocol::readPicture(entry.picture);
        if (!picture.ok()) {
            problems << QStringLiteral("%1:%2: %3").arg(name).arg(entry.line).arg(picture.problem);
            continue;
        }
        screens.setScreen(entry.screen,
                          pictureScreenBytes(picture.image, entry.conversion, entry.threshold));
    }
    return problems;
}

std::optional<QString> readText(const QString& path, QString& text)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return tr("%1 cannot be read: %2").arg(path, file.errorString());
    text = QString::fromUtf8(file.readAll());
    return std::nullopt;
}

} // namespace

QByteArray pictureScreenBytes(const QImage& picture, protocol::Conversion conversion, int threshold)
{
    return protocol::packCanvas(protocol::convertCanvas(
        protocol::canvasFromPicture(picture, Qt::white), conversion, threshold));
}

QByteArray screenPng(const QByteArray& screenBytes)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    protocol::screenPicture(screenBytes).convertToFormat(QImage::Format_Mono).save(&buffer, "PNG");
    return png;
}

FileCommandResult extractScreens(const Request& request)
{
    const LoadedImage image = loadImage(request.file);
    if (!image.screens)
        return failed(ExitCode::BadInput, {image.problem});
    const QDir folder(request.secondFile);
    if (!QDir().mkpath(request.secondFile))
        return failed(ExitCode::CannotWrite,
                      {tr("the folder %1 cannot be made").arg(request.secondFile)});
    QString index;
    int drawn = 0;
    const QList<int> screens = screensToExtract(request);
    for (const int screen : screens) {
        const QString path = folder.filePath(QStringLiteral("screen-%1.png").arg(screenName(screen)));
        if (const auto why = link::writeWholeFile(path, screenPng(image.screens->screen(screen))))
            return failed(ExitCode::CannotWrite, {*why});
        const bool blank = image.screens->isBlank(screen);
        drawn += blank ? 0 : 1;
        index += QStringLiteral("%1 %2\n").arg(screenName(screen),
                                               blank ? QStringLiteral("empty") : QStringLiteral("drawn"));
    }
    if (const auto why = link::writeWholeFile(folder.filePath(QStringLiteral("index.txt")),
                                              index.toUtf8()))
        return failed(ExitCode::CannotWrite, {*why});
    return {ExitCode::Success,
            {tr("%1 of %2 written to %3 (%4 drawn, %5 empty)")
                 .arg(screensText(screens.size()), request.file, request.secondFile)
                 .arg(drawn)
                 .arg(screens.size() - drawn)},
            QJsonObject{{QStringLiteral("screens"), int(screens.size())},
                        {QStringLiteral("drawn"), drawn},
                        {QStringLiteral("folder"), request.secondFile}}};
}

// Everything is checked before anything is written: a manifest with a bad
// line or an unreadable picture leaves no image, not even a part file.
FileCommandResult buildImage(const Request& request)
{
    if (const auto why = link::unwritableTarget(request.output))
        return failed(ExitCode::CannotWrite, {*why});
    QString text;
    if (const auto why = readText(request.file, text))
        return failed(ExitCode::BadInput, {*why});
    const Manifest manifest =
        parseManifest(text, request.file, QFileInfo(request.file).absolutePath());
    if (!manifest.problems.isEmpty())
        return failed(ExitCode::BadInput, manifest.problems);
    if (const QString why = fontScreensRefusal(request, manifest); !why.isEmpty())
        return failed(ExitCode::Usage, {why});
    protocol::FlashScreens screens;
    if (!request.base.isEmpty()) {
        const LoadedImage base = loadImage(request.base);
        if (!base.screens)
            return failed(ExitCode::BadInput, {base.problem});
        screens = *base.screens;
    }
    if (const QStringList problems = placePictures(manifest, request.file, screens);
        !problems.isEmpty())
        return failed(ExitCode::BadInput, problems);
    const protocol::FlashConversion file = protocol::encodeFlashImage(screens.image());
    if (const auto why = link::writeWholeFile(request.output, file.bytes()))
        return failed(ExitCode::CannotWrite, {*why});
    return {ExitCode::Success,
            {tr("%1 was built: %2 from %3 on %4")
                 .arg(request.output, screensText(manifest.entries.size()), request.file,
                      request.base.isEmpty() ? tr("an empty image") : request.base)},
            QJsonObject{{QStringLiteral("image"), request.output},
                        {QStringLiteral("screens"), int(manifest.entries.size())}}};
}

FileCommandResult diffImages(const Request& request)
{
    const LoadedImage first = loadImage(request.file);
    const LoadedImage second = loadImage(request.secondFile);
    QStringList problems;
    for (const LoadedImage* image : {&first, &second})
        if (!image->screens)
            problems << image->problem;
    if (!problems.isEmpty())
        return failed(ExitCode::BadInput, problems);
    const auto differences = protocol::differingScreens(first.screens->image(),
                                                        second.screens->image());
    const QJsonObject details{{QStringLiteral("equal"), differences.isEmpty()},
                              {QStringLiteral("differences"), differenceList(differences)}};
    if (differences.isEmpty())
        return {ExitCode::Success,
                {tr("%1 and %2 hold the same image").arg(request.file, request.secondFile)},
                details};
    QStringList lines;
    qint64 bytes = 0;
    for (const protocol::ScreenDifference& difference : differences) {
        lines << (difference.bytes == 1
                      ? tr("screen %1: 1 byte differs").arg(difference.screen)
                      : tr("screen %1: %2 bytes differ").arg(difference.screen).arg(difference.bytes));
        bytes += difference.bytes;
    }
    lines << tr("%1 and %2 differ in %3 (%4 bytes)")
                 .arg(request.file, request.secondFile, screensText(differences.size()),
                      QLocale().toString(bytes));
    return {ExitCode::Differ, lines, details};
}

FileCommandResult runFileCommand(const Request& request)
{
    switch (request.command) {
    case Command::FlashExtract:
        return extractScreens(request);
    case Command::FlashBuild:
        return buildImage(request);
    case Command::FlashDiff:
        return diffImages(request);
    default:
        return failed(ExitCode::Usage, {tr("this command needs a port")});
    }
}

} // namespace lumivor::cli

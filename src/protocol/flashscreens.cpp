#include "protocol/flashscreens.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cstring>

namespace lumivor::protocol {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("lumivor::protocol", text);
}

qsizetype offsetOf(int screen)
{
    return qsizetype(screen) * flashScreenBytes;
}

} // namespace

FlashScreens::FlashScreens() : image_(flashImageBytes, '\0') {}

std::optional<FlashScreens> FlashScreens::fromImage(const QByteArray& image)
{
    if (image.size() != flashImageBytes)
        return std::nullopt;
    FlashScreens screens;
    screens.image_ = image;
    return screens;
}

QByteArray FlashScreens::screen(int number) const
{
    return image_.mid(offsetOf(number), flashScreenBytes);
}

void FlashScreens::setScreen(int number, const QByteArray& bytes)
{
    Q_ASSERT(number >= 0 && number < flashScreenCount && bytes.size() == flashScreenBytes);
    std::memcpy(image_.data() + offsetOf(number), bytes.constData(), flashScreenBytes);
}

bool FlashScreens::isBlank(int number) const
{
    const char* bytes = image_.constData() + offsetOf(number);
    return std::all_of(bytes, bytes + flashScreenBytes, [](char byte) { return byte == 0; });
}

QImage screenPicture(const QByteArray& screenBytes)
{
    QImage picture(screenWidth, screenHeight, QImage::Format_Mono);
    picture.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < screenHeight; ++y) {
        uchar* line = picture.scanLine(y);
        std::memset(line, 0, std::size_t(picture.bytesPerLine()));
        for (int x = 0; x < screenWidth; ++x) {
            const auto byte = static_cast<unsigned char>(
                screenBytes.at((y / rowsPerPage) * screenWidth + x));
            if ((byte >> (y % rowsPerPage)) & 1)
                line[x / 8] |= uchar(0x80 >> (x % 8));
        }
    }
    return picture;
}

QList<ScreenDifference> differingScreens(const QByteArray& image, const QByteArray& other)
{
    QList<ScreenDifference> differences;
    for (int screen = 0; screen < flashScreenCount; ++screen) {
        const char* a = image.constData() + offsetOf(screen);
        const char* b = other.constData() + offsetOf(screen);
        if (std::memcmp(a, b, flashScreenBytes) == 0)
            continue;
        int bytes = 0;
        for (int i = 0; i < flashScreenBytes; ++i)
            bytes += a[i] != b[i] ? 1 : 0;
        differences.append({screen, bytes});
    }
    return differences;
}

QString screenList(const QList<ScreenDifference>& differences, int shown)
{
    QStringList numbers;
    for (const ScreenDifference& difference : differences.first(std::min<qsizetype>(shown, differences.size())))
        numbers << QString::number(difference.screen);
    const qsizetype more = differences.size() - numbers.size();
    if (more > 0)
        return tr("%1 and %2 more").arg(numbers.join(QStringLiteral(", "))).arg(more);
    if (numbers.size() < 2)
        return numbers.join(QString());
    const QString last = numbers.takeLast();
    return tr("%1 and %2").arg(numbers.join(QStringLiteral(", ")), last);
}

} // namespace lumivor::protocol

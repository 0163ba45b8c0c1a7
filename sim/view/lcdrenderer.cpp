#include "view/lcdrenderer.h"

#include <algorithm>
#include <array>

namespace kestrin {

namespace {

const QColor kLitBackground(186, 208, 64);
const QColor kLitInk(26, 40, 24);
const QColor kUnlitBackground(146, 152, 118);
const QColor kUnlitInk(36, 40, 32);

QColor mix(const QColor& from, const QColor& to, double amount)
{
    const auto channel = [amount](int a, int b) {
        return static_cast<int>(a + (b - a) * amount + 0.5);
    };
    return QColor(channel(from.red(), to.red()), channel(from.green(), to.green()),
                  channel(from.blue(), to.blue()));
}

} // namespace

PanelColours panelColours(const DisplaySettings& display)
{
    const QColor& base = display.backlightOn ? kLitBackground : kUnlitBackground;
    const QColor& ink = display.backlightOn ? kLitInk : kUnlitInk;
    if (!display.poweredOn)
        return {base, base};
    const double inkStrength = std::clamp(display.contrast / 144.0, 0.0, 1.0);
    const double haze = std::clamp((display.contrast - 176) / 79.0, 0.0, 1.0) * 0.45;
    return {mix(base, ink, haze), mix(base, ink, inkStrength)};
}

QImage renderPanel(const Controller& controller, int zoom)
{
    zoom = std::max(1, zoom);
    const PanelColours colours = panelColours(controller.display());
    const QRgb background = colours.background.rgb();
    const QRgb ink = colours.ink.rgb();
    const QRgb gap = mix(colours.background, QColor(Qt::white), 0.12).rgb();
    const bool gaps = zoom >= 3;
    std::array<std::array<bool, kWidth>, kHeight> shown{};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            shown[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                controller.shownPixel(x, y);
    QImage image(kWidth * zoom, kHeight * zoom, QImage::Format_RGB32);
    for (int row = 0; row < image.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        const auto& pixels = shown[static_cast<std::size_t>(row / zoom)];
        const bool gapRow = gaps && row % zoom == zoom - 1;
        for (int column = 0; column < image.width(); ++column) {
            const bool gapColumn = gaps && column % zoom == zoom - 1;
            if (gapRow || gapColumn)
                line[column] = gap;
            else
                line[column] = pixels[static_cast<std::size_t>(column / zoom)] ? ink : background;
        }
    }
    return image;
}

} // namespace kestrin

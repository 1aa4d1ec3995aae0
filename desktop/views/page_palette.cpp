#include "page_palette.h"

#include <QStringView>
#include <algorithm>
#include <cmath>
#include <utility>

namespace quillet {
namespace {

qreal channel_luminance(qreal c) {
    return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

qreal luminance(const QColor& color) {
    return 0.2126 * channel_luminance(color.redF()) + 0.7152 * channel_luminance(color.greenF()) +
           0.0722 * channel_luminance(color.blueF());
}

}  // namespace

QColor mixed(const QColor& from, const QColor& to, qreal share) {
    auto mix = [share](float a, float b) { return a + (b - a) * static_cast<float>(share); };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()),
                            mix(from.blueF(), to.blueF()));
}

bool is_dark(const QPalette& palette) {
    return luminance(palette.color(QPalette::Window)) <
           luminance(palette.color(QPalette::WindowText));
}

qreal contrast_ratio(const QColor& a, const QColor& b) {
    const qreal first = luminance(a);
    const qreal second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QString with_palette_colours(const QString& page, const QPalette& palette) {
    if (!page.contains(QLatin1Char('%')))
        return page;
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    const QColor accent = palette.color(QPalette::Highlight);
    const QColor accent_text = palette.color(QPalette::HighlightedText);
    const bool dark = is_dark(palette);
    const QColor alert = dark ? QColor(0xff, 0x8a, 0x80) : QColor(0xb3, 0x26, 0x1e);
    const std::pair<QLatin1StringView, QColor> tokens[] = {
        {QLatin1StringView("%page%"), palette.color(QPalette::Window)},
        {QLatin1StringView("%card%"), base},
        {QLatin1StringView("%text%"), text},
        {QLatin1StringView("%muted%"), mixed(text, base, 0.45)},
        {QLatin1StringView("%border%"), mixed(base, text, 0.2)},
        {QLatin1StringView("%accent%"), accent},
        {QLatin1StringView("%accent-text%"), accent_text},
        {QLatin1StringView("%accent-muted%"), mixed(accent_text, accent, 0.2)},
        {QLatin1StringView("%title%"), palette.color(QPalette::Link)},
        {QLatin1StringView("%tint%"), mixed(base, accent, 0.25)},
        {QLatin1StringView("%alert%"), alert},
        {QLatin1StringView("%alert-tint%"), mixed(base, QColor(0xd0, 0x40, 0x40), 0.14)},
    };
    QString out = page;
    for (const auto& [token, colour] : tokens)
        out.replace(token, colour.name(QColor::HexRgb));
    return out;
}

}  // namespace quillet

// SPDX-License-Identifier: MIT
#pragma once

#include <QColor>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace kelvane::test {

// The contrast ratio of two colours as the accessibility guidelines define
// it: 1 (the same) to 21 (black on white); body text wants 4.5 at least.
inline double contrastRatio(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark palette as a desktop theme sets it: text, window and base colours,
// nothing for the roles it does not think of.
inline QPalette darkPalette()
{
    QPalette dark;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        dark.setColor(group, QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
        dark.setColor(group, QPalette::WindowText, QColor(0xee, 0xee, 0xee));
        dark.setColor(group, QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
        dark.setColor(group, QPalette::Text, QColor(0xee, 0xee, 0xee));
        dark.setColor(group, QPalette::Button, QColor(0x35, 0x35, 0x35));
        dark.setColor(group, QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    }
    return dark;
}

inline QPalette lightPalette()
{
    QPalette light;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        light.setColor(group, QPalette::Window, QColor(0xf6, 0xf5, 0xf4));
        light.setColor(group, QPalette::WindowText, QColor(0x1a, 0x1a, 0x1a));
        light.setColor(group, QPalette::Base, Qt::white);
        light.setColor(group, QPalette::Text, QColor(0x1a, 0x1a, 0x1a));
    }
    return light;
}

}  // namespace kelvane::test

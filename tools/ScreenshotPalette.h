// SPDX-License-Identifier: MIT
#pragma once

// The palette a screenshot program draws in: the desktop's default, or a dark
// one when KELVANE_SCREENSHOT_PALETTE is "dark", as a dark desktop theme gives it.

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

#include <cstdlib>
#include <cstring>

namespace kelvane::tools {

inline void applyScreenshotPalette()
{
    const char* wanted = std::getenv("KELVANE_SCREENSHOT_PALETTE");
    if (!wanted || std::strcmp(wanted, "dark") != 0)
        return;
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette dark;
    const QColor window(0x2d, 0x2d, 0x30), base(0x1e, 0x1e, 0x20), text(0xe8, 0xe8, 0xea);
    dark.setColor(QPalette::Window, window);
    dark.setColor(QPalette::WindowText, text);
    dark.setColor(QPalette::Base, base);
    dark.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x29));
    dark.setColor(QPalette::ToolTipBase, QColor(0x3a, 0x3a, 0x3d));
    dark.setColor(QPalette::ToolTipText, text);
    dark.setColor(QPalette::PlaceholderText, QColor(0x8e, 0x8e, 0x93));
    dark.setColor(QPalette::Text, text);
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    dark.setColor(QPalette::ButtonText, text);
    dark.setColor(QPalette::BrightText, Qt::red);
    dark.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
    dark.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x44));
    dark.setColor(QPalette::Mid, QColor(0x2a, 0x2a, 0x2c));
    dark.setColor(QPalette::Dark, QColor(0x1a, 0x1a, 0x1c));
    dark.setColor(QPalette::Shadow, Qt::black);
    dark.setColor(QPalette::Link, QColor(0x5a, 0xa9, 0xff));
    dark.setColor(QPalette::Highlight, QColor(0x2f, 0x7d, 0xe1));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        dark.setColor(QPalette::Disabled, role, QColor(0x7a, 0x7a, 0x7e));
    QApplication::setPalette(dark);
}

}  // namespace kelvane::tools

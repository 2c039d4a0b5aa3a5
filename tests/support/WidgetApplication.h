// SPDX-License-Identifier: MIT
#pragma once

// Header-only: the QApplication of a widget test executable, on the offscreen
// platform, so that windows are built and painted without any display.

#include "support/CoreApplication.h"

#include <QApplication>

#include <cstdlib>

namespace kelvane::test {

inline QApplication& widgetApplication()
{
    static QApplication* app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        return new QApplication(testArguments().argc, testArguments().argv);
    }();
    return *app;
}

}  // namespace kelvane::test

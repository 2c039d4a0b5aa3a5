// SPDX-License-Identifier: MIT
#pragma once

// Header-only: the Qt application of a test executable, made on first use and
// never destroyed (one torn down among the exit handlers outlives Qt's own
// statics). This one shows no window; WidgetApplication.h has the other.

#include <QCoreApplication>

namespace kelvane::test {

// The arguments an application is made with; Qt keeps them for its life.
struct TestArguments {
    int argc = 1;
    char name[14] = "kelvane_tests";
    char* argv[2] = {name, nullptr};
};

inline TestArguments& testArguments()
{
    static TestArguments arguments;
    return arguments;
}

inline QCoreApplication& coreApplication()
{
    static QCoreApplication* app = QCoreApplication::instance()
                                       ? QCoreApplication::instance()
                                       : new QCoreApplication(testArguments().argc, testArguments().argv);
    return *app;
}

}  // namespace kelvane::test

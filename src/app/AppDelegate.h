// SPDX-License-Identifier: MIT
#pragma once

#include "app/RunMode.h"

#include <memory>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::app {

// Turns a start with --auto-recompress into a windowless batch run once the
// event loop is up, and ends the process with the run's status.
struct AppDelegate {
    // Called once the application has finished launching with the mode the
    // command line decided and the store opened for it; acts only in the
    // headless mode.
    static void applicationDidFinishLaunching(RunMode mode, std::shared_ptr<store::ModelContainer> container);
    static void startHeadlessAutoRecompress(std::shared_ptr<store::ModelContainer> container);
};

}  // namespace kelvane::app

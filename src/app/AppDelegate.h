#pragma once

namespace kelvane::app {

// Turns a start with --auto-recompress into a windowless batch run once the
// event loop is up, and ends the process with the run's status.
struct AppDelegate {
    // Called once the application has finished launching; acts only in the
    // headless mode.
    static void applicationDidFinishLaunching();
    static void startHeadlessAutoRecompress();
};

}  // namespace kelvane::app

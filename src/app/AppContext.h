#pragma once

#include "app/BundleInfo.h"
#include "app/RunMode.h"

#include <memory>
#include <string>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::app {

// Process-wide state set once during start-up, read afterwards on the main
// thread by code that has no other way to reach it.
struct AppContext {
    static std::shared_ptr<store::ModelContainer> sharedContainer;
    static RunMode runMode;

    // "v<version> (build <build>)" for the main window's subtitle; a missing
    // value shows as "?".
    static std::string versionLabel(const BundleInfo& info = BundleInfo::main());
};

}  // namespace kelvane::app

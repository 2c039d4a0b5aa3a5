#include "app/AppContext.h"

#include "store/ModelContainer.h"

namespace kelvane::app {

std::shared_ptr<store::ModelContainer> AppContext::sharedContainer;
RunMode AppContext::runMode = RunMode::gui;

std::string AppContext::versionLabel(const BundleInfo& info)
{
    return "v" + info.shortVersion.value_or("?") + " (build " + info.buildNumber.value_or("?") + ")";
}

}  // namespace kelvane::app

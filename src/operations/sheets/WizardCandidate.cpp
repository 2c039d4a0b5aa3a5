// SPDX-License-Identifier: MIT
#include "operations/sheets/WizardCandidate.h"

#include "discovery/HomeFolder.h"

namespace kelvane::operations {

std::string WizardCandidate::location() const
{
    const std::string folder = url.parent_path().string();
    std::string home = discovery::homeFolder().string();
    while (home.size() > 1 && home.ends_with('/'))
        home.pop_back();
    if (folder.size() > home.size() && folder.starts_with(home) && folder[home.size()] == '/')
        return "~" + folder.substr(home.size());
    return folder;
}

std::weak_ordering WizardCandidate::compare(const WizardCandidate& a, const WizardCandidate& b, Key key)
{
    switch (key) {
    case Key::name: return a.name() <=> b.name();
    case Key::size: return a.size <=> b.size;
    case Key::stars: return a.stars <=> b.stars;
    case Key::mtime: return a.mtime <=> b.mtime;
    case Key::location: return a.location() <=> b.location();
    }
    return std::weak_ordering::equivalent;
}

}  // namespace kelvane::operations

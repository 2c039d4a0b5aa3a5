// SPDX-License-Identifier: MIT
#include "operations/bulk/PublicFailureText.h"

#include "engine/TypedError.h"

#include <algorithm>
#include <vector>

namespace kelvane::operations {

std::string publicFailureText(std::string_view text, std::initializer_list<std::filesystem::path> paths)
{
    // Each path as a failure quotes it and as it stands; the root alone would
    // mask every slash.
    std::vector<std::pair<std::string, std::string_view>> forms;
    for (const std::filesystem::path& path : paths) {
        if (path.empty() || path == path.root_path())
            continue;
        forms.emplace_back(engine::quotedText(path.string()), "\"<private>\"");
        forms.emplace_back(path.string(), "<private>");
    }
    std::stable_sort(forms.begin(), forms.end(),
                     [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
    std::string result(text);
    for (const auto& [form, mask] : forms)
        for (auto at = result.find(form); at != std::string::npos; at = result.find(form, at + mask.size()))
            result.replace(at, form.size(), mask);
    return result;
}

}  // namespace kelvane::operations

// SPDX-License-Identifier: MIT
#include "operations/sheets/ExtensionSet.h"

#include <QString>

namespace kelvane::operations {

std::set<std::string> extensionSet(const std::vector<std::string>& extensions)
{
    std::set<std::string> result;
    for (const std::string& entry : extensions) {
        const std::size_t start = entry.find_first_not_of('.');
        if (start == std::string::npos)
            continue;
        // Full Unicode lower case: an extension may hold any letter.
        result.insert(QString::fromStdString(entry.substr(start)).toLower().toStdString());
    }
    return result;
}

}  // namespace kelvane::operations

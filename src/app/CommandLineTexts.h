// SPDX-License-Identifier: MIT
#pragma once

#include "app/BundleInfo.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace kelvane::app {

struct CommandLineHelp {
    // The usage text, UTF-8, ending with one line feed. The cron example names
    // `executable`, the program as it is installed (bare "kelvane" when empty).
    static std::string helpText(const std::filesystem::path& executable);
};

struct CommandLineVersion {
    // "Kelvane <version> (build <build>)" and a line feed; missing values read
    // as "0.0.0" and "0".
    static std::string versionText(const BundleInfo& info = BundleInfo::main());
};

// The line that names an argument none of the options matched (standard
// error, every mode): "Kelvane: 不明な引数「<argument>」を無視します", with the
// option it was likely meant to be when there is one, and a line feed.
std::string unrecognisedArgumentText(std::string_view argument);

// Writes the whole text to standard output in one write (retrying only what a
// short write left over) and adds nothing. Returns false if the output failed.
bool writeToStandardOutput(std::string_view text);
bool writeToStandardError(std::string_view text);

}  // namespace kelvane::app

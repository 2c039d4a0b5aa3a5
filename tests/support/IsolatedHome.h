// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace kelvane::test {

// The home folder every test program runs with: a fresh temporary folder
// that HOME and the XDG data, config, cache and state folders point into,
// removed when the program ends. Tests that need a home of their own still
// use TempDir::useAsHome().
const std::filesystem::path& testProgramHome();

}  // namespace kelvane::test

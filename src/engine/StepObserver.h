// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace kelvane::engine {

// Told the name of every step a per-file operation completes, from the thread
// that runs it. Only tests install one (to stop a child process at a chosen
// step); the application leaves it unset, which costs one atomic load a step.
using StepObserver = void (*)(std::string_view step);

void setStepObserver(StepObserver observer);
void notifyStep(std::string_view step);

}  // namespace kelvane::engine

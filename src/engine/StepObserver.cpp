// SPDX-License-Identifier: MIT
#include "engine/StepObserver.h"

#include <atomic>

namespace kelvane::engine {
namespace {
std::atomic<StepObserver> observer{nullptr};
}

void setStepObserver(StepObserver newObserver) { observer.store(newObserver); }

void notifyStep(std::string_view step)
{
    if (const StepObserver current = observer.load(std::memory_order_relaxed))
        current(step);
}

}  // namespace kelvane::engine

// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::operations {

// Follows the saves of a store that touch any of some entities. Saves are
// announced on the thread that saved; `changed` runs on the main thread
// after them, once for however many came in between, and never after the
// watch is gone. Made and destroyed on the main thread.
class SaveWatch {
public:
    SaveWatch(store::ModelContainer& container, std::vector<std::string_view> entities, std::function<void()> changed);
    ~SaveWatch();
    SaveWatch(const SaveWatch&) = delete;
    SaveWatch& operator=(const SaveWatch&) = delete;

private:
    struct State;

    store::ModelContainer& container_;
    std::shared_ptr<State> state_;
    std::uint64_t token_ = 0;
};

}  // namespace kelvane::operations

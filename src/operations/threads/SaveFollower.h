// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace kelvane::store {
class ModelContainer;
}

namespace kelvane::operations {

// Keeps a main-thread copy of stored records current: after every save that
// touches one of `entityNames` (entity names such as "CompressionLog"),
// whichever thread saved, `refetch` runs on the main thread, once however
// many saves came in before it ran. Nothing runs once it is destroyed.
// `container` must outlive it.
class SaveFollower final : public QObject {
public:
    SaveFollower(store::ModelContainer& container, std::vector<std::string_view> entityNames,
                 std::function<void()> refetch, QObject* parent = nullptr);
    ~SaveFollower() override;

private:
    store::ModelContainer& container_;
    std::function<void()> refetch_;
    std::uint64_t observerToken_ = 0;
    std::shared_ptr<std::atomic<bool>> alive_;
    bool refetchQueued_ = false;
};

}  // namespace kelvane::operations

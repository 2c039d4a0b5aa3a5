// SPDX-License-Identifier: MIT
#include "discovery/RegistrationCoordinator.h"

#include "discovery/BookmarkError.h"
#include "discovery/SecurityScopedBookmark.h"
#include "store/ModelContext.h"
#include "store/RegisteredItem.h"
#include "store/Uuid.h"

#include <chrono>
#include <vector>

namespace kelvane::discovery {

RegistrationDecision RegistrationCoordinator::registerItem(const std::filesystem::path& url, ItemKind kind,
                                                           bool includeSubfolders,
                                                           store::ModelContext& context) const {
    const auto items = context.fetch<store::RegisteredItem>();

    std::vector<ExistingRegistration> existing;
    existing.reserve(items.size());
    for (const auto& item : items) {
        const auto itemKind = itemKindFromRawValue(item->kind());
        if (!itemKind) continue;
        try {
            existing.push_back({SecurityScopedBookmark::resolveBookmark(item->bookmark()).url, *itemKind});
        } catch (const BookmarkError&) {
            // An item that can no longer be found does not block its old path.
        }
    }

    auto decision = service.decide(url, kind, includeSubfolders, existing);
    const auto* accepted = decision.as<RegistrationDecision::willRegister>();
    if (accepted == nullptr) return decision;

    auto bookmark = SecurityScopedBookmark::createBookmark(accepted->url);
    const auto name = accepted->url.filename().string();
    auto item = std::make_shared<store::RegisteredItem>(store::Uuid::random(), std::move(bookmark),
                                                        std::string(rawValue(kind)), includeSubfolders,
                                                        std::chrono::system_clock::now(),
                                                        name.empty() ? std::string("/") : name);
    context.insert(item);
    context.save();
    return decision;
}

}  // namespace kelvane::discovery

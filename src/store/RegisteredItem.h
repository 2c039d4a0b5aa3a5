// SPDX-License-Identifier: MIT
#pragma once

#include "store/StoredEntity.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::store {

class FileSnapshot;

// A file or folder the user has registered.
class RegisteredItem final : public StoredEntity<RegisteredItem> {
public:
    static constexpr std::string_view entityName = "RegisteredItem";

    RegisteredItem(Uuid id, ByteData bookmark, std::string kind, bool includeSubfolders,
                   Date registeredAt, std::string displayName,
                   std::optional<std::string> notes = std::nullopt);

    const Uuid& id() const { return id_; }
    const ByteData& bookmark() const { return bookmark_; }
    // "file" or "folder"; any other text is kept as it is and left to readers.
    const std::string& kind() const { return kind_; }
    bool includeSubfolders() const { return includeSubfolders_; }
    Date registeredAt() const { return registeredAt_; }
    const std::string& displayName() const { return displayName_; }
    const std::optional<std::string>& notes() const { return notes_; }

    void setId(Uuid value) { set(&RegisteredItem::id_, value); }
    void setBookmark(ByteData value) { set(&RegisteredItem::bookmark_, std::move(value)); }
    void setKind(std::string value) { set(&RegisteredItem::kind_, std::move(value)); }
    void setIncludeSubfolders(bool value) { set(&RegisteredItem::includeSubfolders_, value); }
    void setRegisteredAt(Date value) { set(&RegisteredItem::registeredAt_, value); }
    void setDisplayName(std::string value) { set(&RegisteredItem::displayName_, std::move(value)); }
    void setNotes(std::optional<std::string> value) { set(&RegisteredItem::notes_, std::move(value)); }

    // The snapshots taken under this item, as its context sees them (pending
    // changes included); empty while the item belongs to no context. Deleting
    // the item deletes them. Throws StoreError (fetchFailed).
    std::vector<std::shared_ptr<FileSnapshot>> snapshots() const;

    struct Attributes;

private:
    friend class StoredEntity<RegisteredItem>;
    RegisteredItem() = default;

    Uuid id_;
    ByteData bookmark_;
    std::string kind_;
    bool includeSubfolders_ = false;
    Date registeredAt_{};
    std::string displayName_;
    std::optional<std::string> notes_;
};

struct RegisteredItem::Attributes : AttributesOf<RegisteredItem> {
    static constexpr A<Uuid> id{"id", &RegisteredItem::id_};
    static constexpr A<ByteData> bookmark{"bookmark", &RegisteredItem::bookmark_};
    static constexpr A<std::string> kind{"kind", &RegisteredItem::kind_};
    static constexpr A<bool> includeSubfolders{"includeSubfolders", &RegisteredItem::includeSubfolders_};
    static constexpr A<Date> registeredAt{"registeredAt", &RegisteredItem::registeredAt_};
    static constexpr A<std::string> displayName{"displayName", &RegisteredItem::displayName_};
    static constexpr A<std::optional<std::string>> notes{"notes", &RegisteredItem::notes_};
    static constexpr std::tuple all{id, bookmark, kind, includeSubfolders, registeredAt, displayName, notes};
};

}  // namespace kelvane::store

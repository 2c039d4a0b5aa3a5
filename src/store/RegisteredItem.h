#pragma once

#include "store/Attribute.h"
#include "store/PersistentModel.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::store {

class FileSnapshot;

// A file or folder the user has registered.
class RegisteredItem final : public PersistentModel {
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

    void setId(Uuid value);
    void setBookmark(ByteData value);
    void setKind(std::string value);
    void setIncludeSubfolders(bool value);
    void setRegisteredAt(Date value);
    void setDisplayName(std::string value);
    void setNotes(std::optional<std::string> value);

    // The snapshots taken under this item, as its context sees them (pending
    // changes included); empty while the item belongs to no context. Deleting
    // the item deletes them. Throws StoreError (fetchFailed).
    std::vector<std::shared_ptr<FileSnapshot>> snapshots() const;

    const EntityDescription& entity() const override { return entityDescription(); }
    static const EntityDescription& entityDescription();

    struct Attributes;

protected:
    std::vector<StoredValue> storedValues() const override;
    void assignStored(const std::vector<StoredValue>& values) override;

private:
    RegisteredItem() = default;

    Uuid id_;
    ByteData bookmark_;
    std::string kind_;
    bool includeSubfolders_ = false;
    Date registeredAt_{};
    std::string displayName_;
    std::optional<std::string> notes_;
};

struct RegisteredItem::Attributes {
    static constexpr Attribute<RegisteredItem, Uuid> id{"id", [](const RegisteredItem& m) { return m.id(); }};
    static constexpr Attribute<RegisteredItem, ByteData> bookmark{
        "bookmark", [](const RegisteredItem& m) { return m.bookmark(); }};
    static constexpr Attribute<RegisteredItem, std::string> kind{
        "kind", [](const RegisteredItem& m) { return m.kind(); }};
    static constexpr Attribute<RegisteredItem, bool> includeSubfolders{
        "includeSubfolders", [](const RegisteredItem& m) { return m.includeSubfolders(); }};
    static constexpr Attribute<RegisteredItem, Date> registeredAt{
        "registeredAt", [](const RegisteredItem& m) { return m.registeredAt(); }};
    static constexpr Attribute<RegisteredItem, std::string> displayName{
        "displayName", [](const RegisteredItem& m) { return m.displayName(); }};
    static constexpr Attribute<RegisteredItem, std::optional<std::string>> notes{
        "notes", [](const RegisteredItem& m) { return m.notes(); }};
};

}  // namespace kelvane::store

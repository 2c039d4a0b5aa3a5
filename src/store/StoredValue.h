// SPDX-License-Identifier: MIT
#pragma once

#include "store/Uuid.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace kelvane::store {

class PersistentModel;

// A moment in time as the models keep it. Stored as nanoseconds since the
// Unix epoch, so a saved date reads back exactly.
using Date = std::chrono::system_clock::time_point;
// Opaque byte data (bookmarks).
using ByteData = std::vector<std::uint8_t>;

// One attribute value on its way to or from the file: NULL, integer, text,
// blob, or a to-one relationship (the related record, or NULL).
using StoredValue = std::variant<std::monostate, std::int64_t, std::string, ByteData,
                                 std::shared_ptr<PersistentModel>>;

// The one mapping between attribute types and stored values, used by the
// models, by predicates and by sorting alike.
StoredValue toStored(std::int64_t value);
StoredValue toStored(bool value);
StoredValue toStored(const std::string& value);
StoredValue toStored(const ByteData& value);
StoredValue toStored(Date value);
StoredValue toStored(const Uuid& value);

template <class T>
StoredValue toStored(const std::optional<T>& value) {
    return value ? toStored(*value) : StoredValue{};
}

template <class M>
    requires std::is_base_of_v<PersistentModel, M>
StoredValue toStored(const std::shared_ptr<M>& value) {
    return value ? StoredValue{std::static_pointer_cast<PersistentModel>(value)} : StoredValue{};
}

// Reading back is lenient: a value of the wrong kind (a damaged or
// hand-edited file) reads as the type's empty value rather than failing.
std::int64_t storedInt(const StoredValue& value);
bool storedBool(const StoredValue& value);
std::string storedText(const StoredValue& value);
ByteData storedBytes(const StoredValue& value);
Date storedDate(const StoredValue& value);
Uuid storedUuid(const StoredValue& value);
std::optional<std::string> storedOptionalText(const StoredValue& value);
std::shared_ptr<PersistentModel> storedModel(const StoredValue& value);

}  // namespace kelvane::store

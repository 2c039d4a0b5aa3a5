// SPDX-License-Identifier: MIT
#include "store/StoredValue.h"

#include <algorithm>

namespace kelvane::store {

StoredValue toStored(std::int64_t value) { return value; }
StoredValue toStored(bool value) { return std::int64_t{value ? 1 : 0}; }
StoredValue toStored(const std::string& value) { return value; }
StoredValue toStored(const ByteData& value) { return value; }

StoredValue toStored(Date value) {
    return static_cast<std::int64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(value.time_since_epoch()).count());
}

StoredValue toStored(const Uuid& value) { return ByteData(value.bytes().begin(), value.bytes().end()); }

std::int64_t storedInt(const StoredValue& value) {
    const auto* number = std::get_if<std::int64_t>(&value);
    return number ? *number : 0;
}

bool storedBool(const StoredValue& value) { return storedInt(value) != 0; }

std::string storedText(const StoredValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    return text ? *text : std::string{};
}

ByteData storedBytes(const StoredValue& value) {
    const auto* bytes = std::get_if<ByteData>(&value);
    return bytes ? *bytes : ByteData{};
}

Date storedDate(const StoredValue& value) {
    return Date(std::chrono::duration_cast<Date::duration>(std::chrono::nanoseconds(storedInt(value))));
}

Uuid storedUuid(const StoredValue& value) {
    Uuid::Bytes bytes{};
    const auto* blob = std::get_if<ByteData>(&value);
    if (blob && blob->size() == bytes.size()) std::copy(blob->begin(), blob->end(), bytes.begin());
    return Uuid(bytes);
}

std::optional<std::string> storedOptionalText(const StoredValue& value) {
    const auto* text = std::get_if<std::string>(&value);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::shared_ptr<PersistentModel> storedModel(const StoredValue& value) {
    const auto* model = std::get_if<std::shared_ptr<PersistentModel>>(&value);
    return model ? *model : nullptr;
}

}  // namespace kelvane::store

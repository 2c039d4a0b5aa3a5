// SPDX-License-Identifier: MIT
#include "store/Uuid.h"

#include <uuid/uuid.h>

namespace kelvane::store {

Uuid Uuid::random() {
    Bytes bytes;
    uuid_generate_random(bytes.data());
    return Uuid(bytes);
}

std::optional<Uuid> Uuid::fromString(std::string_view text) {
    if (text.size() != 36) return std::nullopt;
    const std::string terminated(text);
    Bytes bytes;
    if (uuid_parse(terminated.c_str(), bytes.data()) != 0) return std::nullopt;
    return Uuid(bytes);
}

std::string Uuid::toString() const {
    char text[37];
    uuid_unparse_upper(bytes_.data(), text);
    return text;
}

}  // namespace kelvane::store

std::size_t std::hash<kelvane::store::Uuid>::operator()(const kelvane::store::Uuid& uuid) const noexcept {
    std::size_t h = 1469598103934665603ull;
    for (auto byte : uuid.bytes()) h = (h ^ byte) * 1099511628211ull;
    return h;
}

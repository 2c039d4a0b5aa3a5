// SPDX-License-Identifier: MIT
#include "store/SchemaVersion.h"

namespace kelvane::store {

std::optional<SchemaVersion> SchemaVersion::parse(std::string_view text) {
    int numbers[3] = {0, 0, 0};
    std::size_t position = 0;
    for (int part = 0; part < 3; ++part) {
        if (part > 0) {
            if (position >= text.size() || text[position] != '.') return std::nullopt;
            ++position;
        }
        std::size_t digits = 0;
        while (position < text.size() && text[position] >= '0' && text[position] <= '9') {
            if (++digits > 2) return std::nullopt;
            numbers[part] = numbers[part] * 10 + (text[position] - '0');
            ++position;
        }
        if (digits == 0) return std::nullopt;
    }
    if (position != text.size()) return std::nullopt;
    return SchemaVersion{numbers[0], numbers[1], numbers[2]};
}

std::string SchemaVersion::toString() const {
    return std::to_string(majorNumber) + "." + std::to_string(minorNumber) + "." + std::to_string(patchNumber);
}

}  // namespace kelvane::store

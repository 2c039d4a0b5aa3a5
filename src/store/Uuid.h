// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kelvane::store {

// A 128-bit identifier of a stored record. Its text form is the usual
// 8-4-4-4-12 hexadecimal spelling in upper case.
class Uuid {
public:
    using Bytes = std::array<std::uint8_t, 16>;

    Uuid() = default;  // all zero
    explicit Uuid(const Bytes& bytes) : bytes_(bytes) {}

    // A fresh random (version 4) identifier.
    static Uuid random();
    // Accepts either letter case; anything else gives nullopt.
    static std::optional<Uuid> fromString(std::string_view text);

    std::string toString() const;
    const Bytes& bytes() const { return bytes_; }

    friend auto operator<=>(const Uuid&, const Uuid&) = default;

private:
    Bytes bytes_{};
};

}  // namespace kelvane::store

template <>
struct std::hash<kelvane::store::Uuid> {
    std::size_t operator()(const kelvane::store::Uuid& uuid) const noexcept;
};

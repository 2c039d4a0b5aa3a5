// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace kelvane::platform {

using Sha256Digest = std::array<std::uint8_t, 32>;

// SHA-256, incremental or in one call. Cannot fail (an allocation failure of
// the crypto library throws std::bad_alloc).
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(Sha256&&) noexcept;
    Sha256& operator=(Sha256&&) noexcept;

    void update(std::span<const std::uint8_t> bytes);
    // The digest of everything fed so far; the hasher starts afresh after it.
    Sha256Digest finish();

    static Sha256Digest digest(std::span<const std::uint8_t> bytes);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Lower-case hex text of a digest (64 characters).
std::string toHex(const Sha256Digest& digest);

}  // namespace kelvane::platform

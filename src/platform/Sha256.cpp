// SPDX-License-Identifier: MIT
#include "platform/Sha256.h"

#include <new>
#include <openssl/evp.h>

namespace kelvane::platform {

struct Sha256::State {
    EVP_MD_CTX* context = nullptr;
    ~State() { EVP_MD_CTX_free(context); }
};

namespace {

void startDigest(EVP_MD_CTX* context)
{
    if (EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
}

}  // namespace

Sha256::Sha256() : state_(std::make_unique<State>())
{
    state_->context = EVP_MD_CTX_new();
    if (!state_->context)
        throw std::bad_alloc();
    startDigest(state_->context);
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::update(std::span<const std::uint8_t> bytes)
{
    if (!bytes.empty())
        EVP_DigestUpdate(state_->context, bytes.data(), bytes.size());
}

Sha256Digest Sha256::finish()
{
    Sha256Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->context, digest.data(), &length);
    startDigest(state_->context);
    return digest;
}

Sha256Digest Sha256::digest(std::span<const std::uint8_t> bytes)
{
    Sha256Digest digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1)
        throw std::bad_alloc();
    return digest;
}

std::string toHex(const Sha256Digest& digest)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(digest.size() * 2);
    for (const std::uint8_t byte : digest) {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0f]);
    }
    return text;
}

}  // namespace kelvane::platform

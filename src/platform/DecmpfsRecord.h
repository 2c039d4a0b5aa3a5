// SPDX-License-Identifier: MIT
#pragma once

// Internal to the platform layer: what the file system itself needs of a
// compressed file's records to hand out its bytes (header, inline payloads).

#include "platform/CompressionRoads.h"
#include "platform/DecmpfsFormat.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kelvane::platform::decmpfs {

// The format's numbers (DecmpfsFormat.h) and its table of types (CompressionRoads.h).
using namespace kelvane::decmpfs;

struct Header {
    std::uint32_t type = 0;
    std::uint64_t size = 0;  // logical size of the file
};

// The header when the record is long enough and carries the magic; the type
// is not judged here.
std::optional<Header> readHeader(std::span<const std::uint8_t> record);

// Whether a raw header type is read from the attribute, or from the fork
// (the table's storage, for a type with a decoder).
bool isInlineType(std::uint32_t type);
bool isForkType(std::uint32_t type);

// Decodes the payload of an inline record into exactly `size` bytes.
// Memory grows with what the payload really decodes to, never with the size it
// announces. false when the payload does not decode to exactly that size.
bool decodeInline(const Header& header, std::span<const std::uint8_t> payload, std::vector<std::uint8_t>& out);

// Decodes one fork block of a fork type into exactly `out.size()` bytes.
bool decodeBlock(std::uint32_t type, std::span<const std::uint8_t> block, std::span<std::uint8_t> out);

}  // namespace kelvane::platform::decmpfs

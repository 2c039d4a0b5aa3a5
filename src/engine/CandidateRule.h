// SPDX-License-Identifier: MIT
#pragma once

#include "engine/Conversion.h"
#include "engine/FileCompressionStatus.h"
#include "platform/DecmpfsFormat.h"

#include <cstdint>
#include <optional>

namespace kelvane::engine {

// What a run would do with a file, from what is known of it.
enum class CandidateVerdict {
    none,        // no run takes it
    compress,    // a compression run takes it
    decompress,  // a decompression run takes it
    oversized,   // plain, but beyond what the format holds: set aside and counted apart
};

// Which files the runs take: the one rule behind the bottom bar's counts, the
// folder totals, the row actions and both runners. Below 4 KiB a file costs a
// block on disk either way; above 2^31 - 1 bytes the format cannot hold it.
struct CandidateRule {
    static constexpr std::uint64_t minimumBytes = 4096;
    static constexpr std::uint64_t maximumBytes = decmpfs::maxLogicalSize;

    // A plain file of this size; an unknown size is taken (the compressor
    // decides).
    static constexpr CandidateVerdict forPlainSize(std::optional<std::uint64_t> size)
    {
        if (!size)
            return CandidateVerdict::compress;
        if (*size < minimumBytes)
            return CandidateVerdict::none;
        return *size > maximumBytes ? CandidateVerdict::oversized : CandidateVerdict::compress;
    }

    static constexpr bool isOversized(std::uint64_t size) { return size > maximumBytes; }

    // A file the inspector has seen.
    static CandidateVerdict forStatus(const FileCompressionStatus& status, std::uint64_t logicalSize)
    {
        switch (status.kind()) {
            case FileCompressionStatus::Kind::compressed: return CandidateVerdict::decompress;
            case FileCompressionStatus::Kind::uncompressed: return forPlainSize(logicalSize);
            case FileCompressionStatus::Kind::datalessCloud:
            case FileCompressionStatus::Kind::incompressible: break;
        }
        return CandidateVerdict::none;
    }

    // A file known only from its listing: its compressed flag and size, when
    // they were read.
    static constexpr CandidateVerdict forListing(std::optional<bool> compressed,
                                                 std::optional<std::uint64_t> logicalSize)
    {
        if (!compressed)
            return CandidateVerdict::none;
        return *compressed ? CandidateVerdict::decompress : forPlainSize(logicalSize);
    }

    // Whether a run takes a file of this verdict. A compression run takes the
    // oversized ones too, and sets them aside, counted, before it starts.
    static constexpr bool isTakenBy(Conversion conversion, CandidateVerdict verdict)
    {
        if (conversion == Conversion::decompress)
            return verdict == CandidateVerdict::decompress;
        return verdict == CandidateVerdict::compress || verdict == CandidateVerdict::oversized;
    }
};

}  // namespace kelvane::engine

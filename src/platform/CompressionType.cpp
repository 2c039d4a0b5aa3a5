// SPDX-License-Identifier: MIT
#include "platform/CompressionType.h"

#include "platform/CaseTexts.h"

namespace kelvane::decmpfs {

namespace {

struct TypeTexts {
    CompressionType value;
    std::string_view caseName;
    std::string_view algorithm;
};
constexpr std::array typeTexts{
    TypeTexts{CompressionType::uncompressedAttr, "uncompressedAttr", "Uncompressed"},
    TypeTexts{CompressionType::zlibAttr, "zlibAttr", "ZLIB"},
    TypeTexts{CompressionType::zlibRsrc, "zlibRsrc", "ZLIB"},
    TypeTexts{CompressionType::datalessSparse, "datalessSparse", "Sparse"},
    TypeTexts{CompressionType::uncompressedRsrc, "uncompressedRsrc", "Uncompressed"},
    TypeTexts{CompressionType::lzvnAttr, "lzvnAttr", "LZVN"},
    TypeTexts{CompressionType::lzvnRsrc, "lzvnRsrc", "LZVN"},
    TypeTexts{CompressionType::uncompressedAttrV2, "uncompressedAttrV2", "Uncompressed"},
    TypeTexts{CompressionType::uncompressedRsrcV2, "uncompressedRsrcV2", "Uncompressed"},
    TypeTexts{CompressionType::lzfseAttr, "lzfseAttr", "LZFSE"},
    TypeTexts{CompressionType::lzfseRsrc, "lzfseRsrc", "LZFSE"},
    TypeTexts{CompressionType::lzbitmapAttr, "lzbitmapAttr", "LZBitmap"},
    TypeTexts{CompressionType::lzbitmapRsrc, "lzbitmapRsrc", "LZBitmap"},
};
static_assert(platform::rowsFollowCases(typeTexts, allCompressionTypes));

}  // namespace

std::string_view algorithmName(CompressionType type)
{
    return platform::caseValue(typeTexts, type, &TypeTexts::algorithm, "?");
}

std::string_view caseName(CompressionType type)
{
    return platform::caseValue(typeTexts, type, &TypeTexts::caseName, "?");
}

}  // namespace kelvane::decmpfs

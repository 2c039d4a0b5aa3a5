// SPDX-License-Identifier: MIT
#include "platform/CompressionType.h"

namespace kelvane::decmpfs {

std::string_view algorithmName(CompressionType type)
{
    switch (type) {
    case CompressionType::uncompressedAttr:
    case CompressionType::uncompressedRsrc:
    case CompressionType::uncompressedAttrV2:
    case CompressionType::uncompressedRsrcV2:
        return "Uncompressed";
    case CompressionType::zlibAttr:
    case CompressionType::zlibRsrc:
        return "ZLIB";
    case CompressionType::datalessSparse:
        return "Sparse";
    case CompressionType::lzvnAttr:
    case CompressionType::lzvnRsrc:
        return "LZVN";
    case CompressionType::lzfseAttr:
    case CompressionType::lzfseRsrc:
        return "LZFSE";
    case CompressionType::lzbitmapAttr:
    case CompressionType::lzbitmapRsrc:
        return "LZBitmap";
    }
    return "?";
}

std::string_view caseName(CompressionType type)
{
    switch (type) {
    case CompressionType::uncompressedAttr: return "uncompressedAttr";
    case CompressionType::zlibAttr: return "zlibAttr";
    case CompressionType::zlibRsrc: return "zlibRsrc";
    case CompressionType::datalessSparse: return "datalessSparse";
    case CompressionType::uncompressedRsrc: return "uncompressedRsrc";
    case CompressionType::lzvnAttr: return "lzvnAttr";
    case CompressionType::lzvnRsrc: return "lzvnRsrc";
    case CompressionType::uncompressedAttrV2: return "uncompressedAttrV2";
    case CompressionType::uncompressedRsrcV2: return "uncompressedRsrcV2";
    case CompressionType::lzfseAttr: return "lzfseAttr";
    case CompressionType::lzfseRsrc: return "lzfseRsrc";
    case CompressionType::lzbitmapAttr: return "lzbitmapAttr";
    case CompressionType::lzbitmapRsrc: return "lzbitmapRsrc";
    }
    return "?";
}

}  // namespace kelvane::decmpfs

// SPDX-License-Identifier: MIT
#pragma once

#include "support/TempDir.h"

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kelvane::codec::test {

// One line of the shared vectors' MANIFEST.tsv.
struct LzfseVector {
    std::string name;
    bool mustDecode = false;  // "ok"; otherwise the stream must be rejected
    std::vector<std::uint8_t> stream;
    std::vector<std::uint8_t> raw;  // empty for rejected vectors
};

inline std::filesystem::path lzfseVectorDir()
{
    return kelvane::test::testDataDir() / "lzfse/vectors";
}

inline std::vector<LzfseVector> loadLzfseVectors()
{
    std::ifstream manifest(lzfseVectorDir() / "MANIFEST.tsv");
    std::vector<LzfseVector> vectors;
    std::string line;
    std::getline(manifest, line);  // column names
    while (std::getline(manifest, line)) {
        std::vector<std::string> cols;
        std::stringstream fields(line);
        for (std::string col; std::getline(fields, col, '\t');)
            cols.push_back(col);
        if (cols.size() < 6)
            continue;
        LzfseVector v;
        v.name = cols[0];
        v.mustDecode = cols[5] == "ok";
        v.stream = kelvane::test::readRawFile(lzfseVectorDir() / (v.name + ".lzfse"));
        if (v.mustDecode)
            v.raw = kelvane::test::readRawFile(lzfseVectorDir() / (v.name + ".raw"));
        vectors.push_back(std::move(v));
    }
    return vectors;
}

}  // namespace kelvane::codec::test

// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <vector>

namespace kelvane::bench {

// The middle of a bench's repeated timings (the upper one of an even count):
// one slow turn on a shared machine moves it less than a mean.
inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace kelvane::bench

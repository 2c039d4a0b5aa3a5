#include "operations/WorkerJobs.h"

#include <algorithm>

namespace kelvane::operations {

std::vector<Slice> sliceEvenly(std::size_t count, std::size_t workers)
{
    std::vector<Slice> slices;
    if (count == 0 || workers == 0)
        return slices;
    const std::size_t step = std::max<std::size_t>((count + workers - 1) / workers, 1);
    for (std::size_t begin = 0; begin < count; begin += step)
        slices.push_back({begin, std::min(begin + step, count)});
    return slices;
}

}  // namespace kelvane::operations

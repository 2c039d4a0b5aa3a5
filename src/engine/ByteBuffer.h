// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <memory>
#include <span>

namespace kelvane::engine {

// A growable run of bytes whose growth leaves the new bytes uninitialised,
// for buffers that are overwritten at once (reads, encoder output); a
// std::vector zero-fills on every resize. With the buffers reused (see
// WorkBuffers), compressFile went from 0.69-0.71 to 0.75-0.77 of the raw
// encoder's speed in CPU time (engine_bench), and `operations_bench bulk`
// (six runs over the corpus copied four times) from 255,867 to 49,465 page
// faults.
class ByteBuffer {
public:
    std::uint8_t* data() { return bytes_.get(); }
    const std::uint8_t* data() const { return bytes_.get(); }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    std::span<std::uint8_t> span() { return {bytes_.get(), size_}; }
    std::span<const std::uint8_t> span() const { return {bytes_.get(), size_}; }

    // Keeps the first min(size(), count) bytes; any further ones are undefined.
    void resize(std::size_t count)
    {
        reserve(count);
        size_ = count;
    }
    void reserve(std::size_t count)
    {
        if (count <= capacity_)
            return;
        std::unique_ptr<std::uint8_t[]> bigger(new std::uint8_t[count]);
        if (size_)
            std::memcpy(bigger.get(), bytes_.get(), size_);
        bytes_ = std::move(bigger);
        capacity_ = count;
    }
    void clear() { size_ = 0; }
    // Gives the memory back when it has grown beyond `limit` bytes.
    void releaseAbove(std::size_t limit)
    {
        if (capacity_ <= limit)
            return;
        bytes_.reset();
        size_ = capacity_ = 0;
    }

private:
    std::unique_ptr<std::uint8_t[]> bytes_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace kelvane::engine

// SPDX-License-Identifier: MIT
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelvane::test {

namespace detail {
struct AnyField {
    template <class U>
    operator U() const;
};

template <class T, std::size_t... I>
constexpr bool bracedFrom(std::index_sequence<I...>)
{
    return requires { T{(void(I), AnyField{})...}; };
}

template <class T, std::size_t N = 0>
constexpr std::size_t fieldCount()
{
    if constexpr (N > 32 || !bracedFrom<T>(std::make_index_sequence<N + 1>{}))
        return N;
    else
        return fieldCount<T, N + 1>();
}
}  // namespace detail

// One named change of one field.
template <class T>
using FieldChange = std::pair<std::string, std::function<void(T&)>>;

// The equality of an aggregate looks at every field: a copy of `base` is
// equal to it, and each change (one a field, in its own copy) makes the copy
// unequal, both ways round. There must be as many changes as the type has
// fields, so a field added later without a change here fails the check.
template <class T>
void expectEqualityCoversEveryField(const T& base, const std::vector<FieldChange<T>>& changes)
{
    EXPECT_EQ(changes.size(), detail::fieldCount<T>()) << "one change a field";
    const T copy = base;
    EXPECT_TRUE(copy == base);
    for (const auto& [field, change] : changes) {
        T changed = base;
        change(changed);
        EXPECT_FALSE(changed == base) << field << " is not compared";
        EXPECT_FALSE(base == changed) << field << " is not compared";
    }
}

}  // namespace kelvane::test

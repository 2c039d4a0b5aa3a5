// SPDX-License-Identifier: MIT
#pragma once

#include <string_view>

namespace kelvane::store {

// A stored attribute of model M with value type T, as used in predicates and
// sort descriptors: `CompressionLog::Attributes::executedAt`. The name is the
// column name in the file and never changes.
template <class M, class T>
struct Attribute {
    using Model = M;
    using Value = T;

    std::string_view name;
    T M::*member;
    // For a to-one relationship: the record goes when the related one is deleted.
    bool cascadeDelete = false;

    const T& get(const M& model) const { return model.*member; }
};

// The base of a model's `Attributes`: there `A<T>` is an attribute of M with
// values of T.
template <class M>
struct AttributesOf {
    template <class T>
    using A = Attribute<M, T>;
};

}  // namespace kelvane::store

#pragma once

#include <string_view>

namespace kelvane::store {

// A stored attribute of model M with value type T, as used in predicates and
// sort descriptors: `CompressionLog::Attributes::executedAt`.
template <class M, class T>
struct Attribute {
    using Model = M;
    using Value = T;

    std::string_view name;
    T (*get)(const M&);
};

}  // namespace kelvane::store

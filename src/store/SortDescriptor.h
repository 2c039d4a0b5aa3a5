// SPDX-License-Identifier: MIT
#pragma once

#include "store/Attribute.h"
#include "store/Predicate.h"

#include <compare>
#include <functional>
#include <string_view>

namespace kelvane::store {

enum class SortOrder { forward, reverse };

// One sort key of a fetch: SortDescriptor(CompressionLog::Attributes::executedAt, SortOrder::reverse).
// Absent values sort before present ones (forward); texts sort bytewise.
template <class M>
class SortDescriptor {
public:
    template <class T>
        requires detail::isOrderable<T>
    SortDescriptor(const Attribute<M, T>& attribute, SortOrder order = SortOrder::forward)
        : name_(attribute.name), order_(order), compare_([attribute](const M& a, const M& b) {
              const T left = attribute.get(a);
              const T right = attribute.get(b);
              if (left < right) return -1;
              if (right < left) return 1;
              return 0;
          }) {}

    std::string_view attributeName() const { return name_; }
    SortOrder order() const { return order_; }

    // Negative when a comes first in this descriptor's order, positive when b does.
    int compare(const M& a, const M& b) const {
        const int result = compare_(a, b);
        return order_ == SortOrder::forward ? result : -result;
    }

private:
    std::string_view name_;
    SortOrder order_;
    std::function<int(const M&, const M&)> compare_;
};

template <class M, class T>
SortDescriptor(const Attribute<M, T>&, SortOrder) -> SortDescriptor<M>;
template <class M, class T>
SortDescriptor(const Attribute<M, T>&) -> SortDescriptor<M>;

}  // namespace kelvane::store

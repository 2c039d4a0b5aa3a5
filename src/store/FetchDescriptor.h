// SPDX-License-Identifier: MIT
#pragma once

#include "store/PersistentModel.h"
#include "store/Predicate.h"
#include "store/SortDescriptor.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::store {

// What to fetch: records of M matching the predicate (all when absent), in
// the order of the sort descriptors. Without sort descriptors, and between
// records the descriptors find equal, the order is the store's: saved
// records in the order they were first saved, then unsaved inserts in the
// order they were inserted.
//   FetchDescriptor<CompressionLog>(CompressionLog::Attributes::success == false,
//                                   {{CompressionLog::Attributes::executedAt, SortOrder::reverse}})
template <class M>
struct FetchDescriptor {
    FetchDescriptor() = default;
    FetchDescriptor(Predicate<M> predicate, std::vector<SortDescriptor<M>> sortBy = {})
        : predicate(std::move(predicate)), sortBy(std::move(sortBy)) {}
    FetchDescriptor(std::vector<SortDescriptor<M>> sortBy) : sortBy(std::move(sortBy)) {}

    std::optional<Predicate<M>> predicate;
    std::vector<SortDescriptor<M>> sortBy;
};

namespace detail {

// A fetch descriptor reduced to what the context runs: a SQL condition (a
// superset when not exact) with its bindings and an ORDER BY list, plus the
// same test and order in memory.
struct CompiledQuery {
    std::string where;
    std::vector<StoredValue> bindings;
    bool exact = true;
    std::string orderBy;
    std::function<bool(const PersistentModel&)> matches;
    std::function<int(const PersistentModel&, const PersistentModel&)> compare;
};

template <class M>
CompiledQuery compile(const FetchDescriptor<M>& descriptor) {
    CompiledQuery query;
    if (descriptor.predicate) {
        query.exact = descriptor.predicate->appendSql(query.where, query.bindings);
        query.matches = [predicate = *descriptor.predicate](const PersistentModel& model) {
            return predicate.matches(static_cast<const M&>(model));
        };
    }
    for (const auto& sort : descriptor.sortBy) {
        if (!query.orderBy.empty()) query.orderBy += ", ";
        appendColumn(query.orderBy, sort.attributeName());
        query.orderBy += sort.order() == SortOrder::forward ? " ASC" : " DESC";
    }
    if (!descriptor.sortBy.empty()) {
        query.compare = [sorts = descriptor.sortBy](const PersistentModel& a, const PersistentModel& b) {
            for (const auto& sort : sorts) {
                if (int c = sort.compare(static_cast<const M&>(a), static_cast<const M&>(b)); c != 0) return c;
            }
            return 0;
        };
    }
    return query;
}

}  // namespace detail

}  // namespace kelvane::store

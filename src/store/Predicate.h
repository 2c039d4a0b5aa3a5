// SPDX-License-Identifier: MIT
#pragma once

#include "store/Attribute.h"
#include "store/PersistentModel.h"
#include "store/StoredValue.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace kelvane::store {

// A condition on records of model M, built from attributes:
//   CompressionLog::Attributes::success == false && CompressionLog::Attributes::sizeBefore > 0
//   isIn(IncompressibleFile::Attributes::targetPath, paths)
// A fetch runs it in SQL, and on the context's unsaved objects in memory;
// both give the same answer (NULL / nullopt never compares less, greater or
// equal to a value, and texts compare bytewise).
template <class M>
class Predicate {
public:
    class Node {
    public:
        virtual ~Node() = default;
        // Appends a SQL condition that holds at least for every matching
        // record; returns true when it holds for exactly those.
        virtual bool appendSql(std::string& sql, std::vector<StoredValue>& bindings) const = 0;
        virtual bool matches(const M& model) const = 0;
    };

    explicit Predicate(std::shared_ptr<const Node> node) : node_(std::move(node)) {}

    bool matches(const M& model) const { return node_->matches(model); }
    bool appendSql(std::string& sql, std::vector<StoredValue>& bindings) const {
        return node_->appendSql(sql, bindings);
    }

private:
    std::shared_ptr<const Node> node_;
};

enum class Comparison { equal, notEqual, less, lessOrEqual, greater, greaterOrEqual };

namespace detail {

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <class T>
struct IsRelationship : std::false_type {};
template <class T>
struct IsRelationship<std::shared_ptr<T>> : std::true_type {};

// Above this many values a set test is left to the in-memory pass, which
// keeps every statement far below SQLite's limit on bound parameters.
inline constexpr std::size_t maxSqlSetSize = 500;

inline void appendColumn(std::string& sql, std::string_view name) {
    sql += '"';
    sql += name;
    sql += '"';
}

template <class M, class T>
class ComparisonNode final : public Predicate<M>::Node {
public:
    ComparisonNode(Attribute<M, T> attribute, Comparison op, T value)
        : attribute_(attribute), op_(op), value_(std::move(value)) {}

    bool appendSql(std::string& sql, std::vector<StoredValue>& bindings) const override {
        StoredValue stored = toStored(value_);
        if (auto* related = std::get_if<std::shared_ptr<PersistentModel>>(&stored)) {
            // An unsaved record is referred to by no stored row.
            auto key = (*related)->persistentIdentifier();
            if (!key) {
                sql += op_ == Comparison::equal ? "0" : "1";
                return true;
            }
            stored = *key;
        }
        appendColumn(sql, attribute_.name);
        switch (op_) {
            case Comparison::equal: sql += " IS ?"; break;
            case Comparison::notEqual: sql += " IS NOT ?"; break;
            case Comparison::less: sql += " < ?"; break;
            case Comparison::lessOrEqual: sql += " <= ?"; break;
            case Comparison::greater: sql += " > ?"; break;
            case Comparison::greaterOrEqual: sql += " >= ?"; break;
        }
        bindings.push_back(std::move(stored));
        return true;
    }

    bool matches(const M& model) const override {
        const T actual = attribute_.get(model);
        switch (op_) {
            case Comparison::equal: return actual == value_;
            case Comparison::notEqual: return !(actual == value_);
            default: break;
        }
        if constexpr (IsRelationship<T>::value) {
            return false;
        } else if constexpr (IsOptional<T>::value) {
            return actual && value_ && ordered(*actual, *value_);
        } else {
            return ordered(actual, value_);
        }
    }

private:
    template <class U>
    bool ordered(const U& a, const U& b) const {
        switch (op_) {
            case Comparison::less: return a < b;
            case Comparison::lessOrEqual: return !(b < a);
            case Comparison::greater: return b < a;
            case Comparison::greaterOrEqual: return !(a < b);
            default: return false;
        }
    }

    Attribute<M, T> attribute_;
    Comparison op_;
    T value_;
};

template <class M, class T>
class SetMembershipNode final : public Predicate<M>::Node {
public:
    SetMembershipNode(Attribute<M, T> attribute, std::vector<T> values)
        : attribute_(attribute), values_(std::move(values)) {
        std::sort(values_.begin(), values_.end());
        values_.erase(std::unique(values_.begin(), values_.end()), values_.end());
    }

    bool appendSql(std::string& sql, std::vector<StoredValue>& bindings) const override {
        if (values_.empty()) {
            sql += "0";
            return true;
        }
        if (values_.size() > maxSqlSetSize) {
            sql += "1";
            return false;
        }
        appendColumn(sql, attribute_.name);
        sql += " IN (";
        for (std::size_t i = 0; i < values_.size(); ++i) {
            sql += i == 0 ? "?" : ", ?";
            bindings.push_back(toStored(values_[i]));
        }
        sql += ")";
        return true;
    }

    bool matches(const M& model) const override {
        const T actual = attribute_.get(model);
        if constexpr (IsOptional<T>::value) {
            if (!actual) return false;
        }
        return std::binary_search(values_.begin(), values_.end(), actual);
    }

private:
    Attribute<M, T> attribute_;
    std::vector<T> values_;
};

template <class M>
class LogicalNode final : public Predicate<M>::Node {
public:
    enum class Kind { conjunction, disjunction };

    LogicalNode(Kind kind, Predicate<M> left, Predicate<M> right)
        : kind_(kind), left_(std::move(left)), right_(std::move(right)) {}

    bool appendSql(std::string& sql, std::vector<StoredValue>& bindings) const override {
        sql += "(";
        bool exact = left_.appendSql(sql, bindings);
        sql += kind_ == Kind::conjunction ? " AND " : " OR ";
        exact = right_.appendSql(sql, bindings) && exact;
        sql += ")";
        return exact;
    }

    bool matches(const M& model) const override {
        return kind_ == Kind::conjunction ? left_.matches(model) && right_.matches(model)
                                          : left_.matches(model) || right_.matches(model);
    }

private:
    Kind kind_;
    Predicate<M> left_;
    Predicate<M> right_;
};

template <class M>
class NegationNode final : public Predicate<M>::Node {
public:
    explicit NegationNode(Predicate<M> operand) : operand_(std::move(operand)) {}

    bool appendSql(std::string& sql, std::vector<StoredValue>& bindings) const override {
        std::string inner;
        std::vector<StoredValue> innerBindings;
        if (!operand_.appendSql(inner, innerBindings)) {
            // The negation of a loose condition is not a loose condition.
            sql += "1";
            return false;
        }
        sql += "NOT (" + inner + ")";
        for (auto& value : innerBindings) bindings.push_back(std::move(value));
        return true;
    }

    bool matches(const M& model) const override { return !operand_.matches(model); }

private:
    Predicate<M> operand_;
};

template <class M, class T>
Predicate<M> compare(const Attribute<M, T>& attribute, Comparison op, T value) {
    return Predicate<M>(std::make_shared<ComparisonNode<M, T>>(attribute, op, std::move(value)));
}

template <class T>
inline constexpr bool isOrderable = !IsRelationship<T>::value;

}  // namespace detail

template <class M, class T>
Predicate<M> operator==(const Attribute<M, T>& attribute, const std::type_identity_t<T>& value) {
    return detail::compare(attribute, Comparison::equal, value);
}
template <class M, class T>
Predicate<M> operator!=(const Attribute<M, T>& attribute, const std::type_identity_t<T>& value) {
    return detail::compare(attribute, Comparison::notEqual, value);
}
template <class M, class T>
    requires detail::isOrderable<T>
Predicate<M> operator<(const Attribute<M, T>& attribute, const std::type_identity_t<T>& value) {
    return detail::compare(attribute, Comparison::less, value);
}
template <class M, class T>
    requires detail::isOrderable<T>
Predicate<M> operator<=(const Attribute<M, T>& attribute, const std::type_identity_t<T>& value) {
    return detail::compare(attribute, Comparison::lessOrEqual, value);
}
template <class M, class T>
    requires detail::isOrderable<T>
Predicate<M> operator>(const Attribute<M, T>& attribute, const std::type_identity_t<T>& value) {
    return detail::compare(attribute, Comparison::greater, value);
}
template <class M, class T>
    requires detail::isOrderable<T>
Predicate<M> operator>=(const Attribute<M, T>& attribute, const std::type_identity_t<T>& value) {
    return detail::compare(attribute, Comparison::greaterOrEqual, value);
}

// True when the attribute's value is one of `values` (any range of T).
template <class M, class T, class Range>
    requires detail::isOrderable<T>
Predicate<M> isIn(const Attribute<M, T>& attribute, const Range& values) {
    std::vector<T> copy(std::begin(values), std::end(values));
    return Predicate<M>(std::make_shared<detail::SetMembershipNode<M, T>>(attribute, std::move(copy)));
}

template <class M>
Predicate<M> operator&&(Predicate<M> left, Predicate<M> right) {
    using Node = detail::LogicalNode<M>;
    return Predicate<M>(std::make_shared<Node>(Node::Kind::conjunction, std::move(left), std::move(right)));
}
template <class M>
Predicate<M> operator||(Predicate<M> left, Predicate<M> right) {
    using Node = detail::LogicalNode<M>;
    return Predicate<M>(std::make_shared<Node>(Node::Kind::disjunction, std::move(left), std::move(right)));
}
template <class M>
Predicate<M> operator!(Predicate<M> operand) {
    return Predicate<M>(std::make_shared<detail::NegationNode<M>>(std::move(operand)));
}

}  // namespace kelvane::store

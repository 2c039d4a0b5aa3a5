// SPDX-License-Identifier: MIT
#pragma once

#include "store/Attribute.h"
#include "store/PersistentModel.h"

#include <array>
#include <memory>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kelvane::store {

template <class T>
T fromStored(const StoredValue& value) {
    if constexpr (std::is_same_v<T, bool>) return storedBool(value);
    else if constexpr (std::is_same_v<T, std::int64_t>) return storedInt(value);
    else if constexpr (std::is_same_v<T, std::string>) return storedText(value);
    else if constexpr (std::is_same_v<T, std::optional<std::string>>) return storedOptionalText(value);
    else if constexpr (std::is_same_v<T, ByteData>) return storedBytes(value);
    else if constexpr (std::is_same_v<T, Date>) return storedDate(value);
    else if constexpr (std::is_same_v<T, Uuid>) return storedUuid(value);
    else return std::static_pointer_cast<typename T::element_type>(storedModel(value));
}

// How a model class is stored, written once for all of them. `Derived`
// names its attributes in `struct Attributes`, lists them in stored order in
// `Attributes::all` (a tuple), has `entityName`, optionally
// `uniqueAttribute`, and a private default constructor this class may call.
template <class Derived>
class StoredEntity : public PersistentModel {
public:
    const EntityDescription& entity() const override { return entityDescription(); }

    static const EntityDescription& entityDescription() {
        static constexpr auto attributes = std::apply(
            [](const auto&... a) { return std::array<AttributeDescription, sizeof...(a)>{describe(a)...}; },
            Derived::Attributes::all);
        static const EntityDescription description{
            Derived::entityName, attributes, uniqueAttributeName(),
            []() -> std::shared_ptr<PersistentModel> { return std::shared_ptr<Derived>(new Derived()); }};
        return description;
    }

protected:
    // Sets one attribute; the owning context saves the change.
    template <class T, class V>
    void set(T Derived::*member, V&& value) {
        static_cast<Derived&>(*this).*member = std::forward<V>(value);
        didChange();
    }

    std::vector<StoredValue> storedValues() const override {
        const auto& self = static_cast<const Derived&>(*this);
        return std::apply([&](const auto&... a) { return std::vector<StoredValue>{toStored(a.get(self))...}; },
                          Derived::Attributes::all);
    }

    void assignStored(const std::vector<StoredValue>& values) override {
        auto& self = static_cast<Derived&>(*this);
        std::size_t i = 0;
        std::apply(
            [&](const auto&... a) {
                ((self.*a.member = fromStored<typename std::decay_t<decltype(a)>::Value>(values.at(i++))), ...);
            },
            Derived::Attributes::all);
    }

private:
    template <class T>
    static constexpr AttributeDescription describe(const Attribute<Derived, T>& attribute) {
        if constexpr (requires { &T::element_type::entityDescription; })
            return {attribute.name, &T::element_type::entityDescription, attribute.cascadeDelete};
        else
            return {attribute.name};
    }

    static constexpr std::string_view uniqueAttributeName() {
        if constexpr (requires { Derived::uniqueAttribute; }) return Derived::uniqueAttribute;
        else return {};
    }
};

}  // namespace kelvane::store

// SPDX-License-Identifier: MIT
#pragma once

#include <utility>

namespace kelvane::operations {

// Stores `value` in `field` and emits `changed` on `object`, but only when the
// value differs from the one held. True when it did.
template <class Object, class T, class U>
bool assignAndNotify(Object* object, T& field, U&& value, void (Object::*changed)())
{
    if (field == value)
        return false;
    field = std::forward<U>(value);
    (object->*changed)();
    return true;
}

// Appends `value` to the list `field` and emits `changed` on `object`.
template <class Object, class List, class U>
void appendAndNotify(Object* object, List& field, U&& value, void (Object::*changed)())
{
    field.push_back(std::forward<U>(value));
    (object->*changed)();
}

// Inserts `value` into the set `field` and emits `changed` on `object`, but
// only when it was not there yet. True when it was added.
template <class Object, class Set, class U>
bool insertAndNotify(Object* object, Set& field, U&& value, void (Object::*changed)())
{
    if (!field.insert(std::forward<U>(value)).second)
        return false;
    (object->*changed)();
    return true;
}

}  // namespace kelvane::operations

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

}  // namespace kelvane::operations

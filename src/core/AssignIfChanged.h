#pragma once
// Setters act (repaint, signal, re-arm) only when a value really changes;
// this is the compare-and-store they share.

#include <type_traits>

namespace scb {

template <typename T>
bool assignIfChanged(T &field, const std::type_identity_t<T> &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace scb

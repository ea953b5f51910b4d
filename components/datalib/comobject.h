// What the library's concrete objects share: the one-interface object of the platform and
// handing references out.
#pragma once

#include "platform/com.h"

#include <utility>
#include <vector>

namespace datalib {

using platform::ComObject;

// Refused because the object's owner decides that part of it.
using platform::E_ACCESSDENIED;

// Hands a new reference out through an interface out parameter.
template <class T, class U> platform::HRESULT giveOut(const platform::ComPtr<U> &object, T **out) {
    if (!out)
        return platform::E_POINTER;
    *out = object.get();
    if (*out)
        (*out)->AddRef();
    return *out ? platform::S_OK : platform::E_FAIL;
}

// The entries of a collection that callers address by index (0 .. count - 1), with the
// answers its interface gives: an appended entry's index, E_INVALIDARG outside, E_POINTER.
template <class T> class IndexedList {
public:
    platform::HRESULT add(T entry, platform::LONG *index) {
        m_entries.push_back(std::move(entry));
        if (index)
            *index = static_cast<platform::LONG>(m_entries.size() - 1);
        return platform::S_OK;
    }
    platform::HRESULT remove(platform::LONG index) {
        if (!contains(index))
            return platform::E_INVALIDARG;
        m_entries.erase(m_entries.begin() + index);
        return platform::S_OK;
    }
    platform::HRESULT clear() {
        m_entries.clear();
        return platform::S_OK;
    }
    platform::HRESULT count(platform::LONG *count) const {
        if (!count)
            return platform::E_POINTER;
        *count = static_cast<platform::LONG>(m_entries.size());
        return platform::S_OK;
    }
    bool contains(platform::LONG index) const {
        return index >= 0 && index < static_cast<platform::LONG>(m_entries.size());
    }
    const T &operator[](platform::LONG index) const {
        return m_entries[static_cast<std::size_t>(index)];
    }
    bool empty() const { return m_entries.empty(); }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

private:
    std::vector<T> m_entries;
};

} // namespace datalib

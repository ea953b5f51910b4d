// What the library's concrete objects share: the one-interface object of the platform and
// handing references out.
#pragma once

#include "platform/com.h"

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

} // namespace datalib

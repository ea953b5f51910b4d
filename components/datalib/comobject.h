// Reference counting and the interface query shared by the library's concrete objects.
#pragma once

#include "platform/com.h"

namespace datalib {

// An object implementing one interface besides IUnknown.
template <class Interface> class ComObject : public platform::RefCounted<Interface> {
public:
    platform::HRESULT QueryInterface(const platform::Guid &iid, void **object) override {
        if (!object)
            return platform::E_POINTER;
        if (iid == platform::IUnknown::IID || iid == Interface::IID) {
            *object = static_cast<Interface *>(this);
            this->AddRef();
            return platform::S_OK;
        }
        *object = nullptr;
        return platform::E_NOINTERFACE;
    }
};

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

// Reference counting and interface queries for an object with one interface.
#pragma once

#include "platform/com.h"

namespace engines {

template <class I> class ComObject : public platform::RefCounted<I> {
public:
    platform::HRESULT QueryInterface(const platform::Guid &iid, void **object) override {
        if (!object)
            return platform::E_POINTER;
        if (iid == platform::IUnknown::IID || iid == I::IID) {
            this->AddRef();
            *object = static_cast<I *>(this);
            return platform::S_OK;
        }
        *object = nullptr;
        return platform::E_NOINTERFACE;
    }
};

} // namespace engines

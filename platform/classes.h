// Creating objects by class identifier. Components register their classes in process; a
// class that is not registered here is looked up in the settings store under
// CLSID\{...}\InprocServer32, whose library is loaded and asked through DllGetClassObject.
#pragma once

#include "platform/com.h"

#include <functional>

namespace platform {

// Makes a new object of one class, with one reference owned by the caller.
using ClassFactoryFn = std::function<ComPtr<IUnknown>()>;

PLATFORM_API void registerClass(const Guid &clsid, ClassFactoryFn factory);
PLATFORM_API void unregisterClass(const Guid &clsid);

// REGDB_E_CLASSNOTREG when no factory is known; E_NOINTERFACE when the object lacks iid.
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);

PLATFORM_API HRESULT createInstance(const Guid &clsid, const Guid &iid, void **object);

template <class T> ComPtr<T> createInstance(const Guid &clsid, HRESULT *status = nullptr) {
    void *raw = nullptr;
    const HRESULT hr = createInstance(clsid, T::IID, &raw);
    if (status)
        *status = hr;
    return succeeded(hr) ? ComPtr<T>::attach(static_cast<T *>(raw)) : ComPtr<T>();
}

// What an in-process server library exports: the object for clsid, asked for iid.
using DllGetClassObjectFn = HRESULT (*)(const Guid *clsid, const Guid *iid, void **object);

} // namespace platform

// Self-registration of libquivex.so in the settings store's classes root: the type library
// with its two dispatch interfaces, the control class and its property page (the keys are
// listed in docs/control.md). DllRegisterServer and DllUnregisterServer are the exported entry
// points and work on the default store; the functions below take the store and the module's
// path, so that tests and installers can name their own.
#pragma once

#include "platform/registry.h"
#include "platform/wintypes.h"

#include <string>

namespace quivex {

using platform::HRESULT;

using platform::SELFREG_E_CLASS;
using platform::SELFREG_E_TYPELIB;

// The property page's class; the control's class comes from the type library.
inline constexpr char kPropertyPageClsid[] = "{04521864-9173-11D0-B9DA-444553540000}";
inline constexpr char kControlProgId[] = "QUIVEX.QuivexCtrl";
inline constexpr char kPropertyPageProgId[] = "QUIVEX.QuivexPropPage.1";

// This library's own file as an absolute path, found at run time (dladdr); empty when it
// cannot be found.
std::string moduleFileName();

// One part each. False at the first change the store refuses (and for an empty module path
// or an unreadable type library); what was written before stays.
bool registerTypeLibrary(platform::RegistryStore &store, const std::string &modulePath);
bool registerClasses(platform::RegistryStore &store, const std::string &modulePath);
// Removal touches only keys this library writes: a ProgID that names another class, another
// version of the type library, and the CLSID, Interface and TypeLib keys while they hold
// anything else, stay.
bool unregisterTypeLibrary(platform::RegistryStore &store);
bool unregisterClasses(platform::RegistryStore &store);

// The type library part, then the class part: S_OK, SELFREG_E_TYPELIB or SELFREG_E_CLASS.
HRESULT registerServer(platform::RegistryStore &store, const std::string &modulePath);
HRESULT unregisterServer(platform::RegistryStore &store);

} // namespace quivex

// The exported entry points of an in-process server, on the default store
// (platform::RegistryStore::defaultRoot()) with this library's own path.
extern "C" platform::HRESULT DllRegisterServer();
extern "C" platform::HRESULT DllUnregisterServer();

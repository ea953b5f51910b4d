// Self-registration of libquivex.so in the settings store's classes root: the type library
// with its two dispatch interfaces, the control class and its property page (the keys are
// listed in docs/control.md). DllRegisterServer and DllUnregisterServer are the exported entry
// points and work on the default store; the functions below take the store and the module's
// path, so that tests and installers can name their own.
#pragma once

#include "platform/com.h"
#include "platform/registry.h"
#include "platform/wintypes.h"

#include <string>

namespace quivex {

using platform::HRESULT;

using platform::SELFREG_E_CLASS;
using platform::SELFREG_E_TYPELIB;

// The control's class, as the type library's coclass names it (a test holds them together),
// and the property page's class.
inline constexpr platform::Guid kControlClass =
    platform::guidOf("{04521863-9173-11D0-B9DA-444553540000}");
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
// A new control that the returned dispatch object owns (the library's class object).
HRESULT createControlObject(const platform::Guid &iid, void **object);
HRESULT unregisterServer(platform::RegistryStore &store);

} // namespace quivex

// The exported entry points of an in-process server, on the default store
// (platform::RegistryStore::defaultRoot()) with this library's own path.
extern "C" platform::HRESULT DllRegisterServer();
extern "C" platform::HRESULT DllUnregisterServer();
// A new control for the control's class identifier, asked for `iid` (its dispatch
// interface, IDispatch or IUnknown): a top-level view the returned object owns, deleted with
// its last reference. It needs a running QApplication (E_UNEXPECTED without one). The
// property page only exists for a control (CLASS_E_CLASSNOTAVAILABLE), as does any other class.
extern "C" platform::HRESULT DllGetClassObject(const platform::Guid *clsid,
                                               const platform::Guid *iid, void **object);
// Always S_FALSE: widgets and their meta-objects of this library may live as long as the
// process, so it is never unloaded.
extern "C" platform::HRESULT DllCanUnloadNow();

#include "platform/classes.h"
#include "platform/library.h"
#include "platform/registry.h"

#include <map>
#include <mutex>

namespace platform {

namespace {

std::mutex g_mutex;

std::map<std::string, ClassFactoryFn> &factories() {
    static std::map<std::string, ClassFactoryFn> table;
    return table;
}

} // namespace

void registerClass(const Guid &clsid, ClassFactoryFn factory) {
    std::lock_guard lock(g_mutex);
    factories()[clsid.toString()] = std::move(factory);
}

void unregisterClass(const Guid &clsid) {
    std::lock_guard lock(g_mutex);
    factories().erase(clsid.toString());
}

HRESULT createInstance(const Guid &clsid, const Guid &iid, void **object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    ClassFactoryFn factory;
    {
        std::lock_guard lock(g_mutex);
        const auto it = factories().find(clsid.toString());
        if (it != factories().end())
            factory = it->second;
    }
    if (factory) {
        ComPtr<IUnknown> created = factory();
        if (!created)
            return E_FAIL;
        return created->QueryInterface(iid, object);
    }

    // A registered in-process server: load it and keep it loaded for the process, as COM
    // keeps servers until they are unloaded explicitly.
    const RegistryStore store;
    const auto path = store.readString(RegistryHive::ClassesRoot,
                                       "CLSID\\" + clsid.toString() + "\\InprocServer32", "");
    if (!path || path->empty())
        return REGDB_E_CLASSNOTREG;
    void *handle = libraryProbe().open(*path);
    if (!handle)
        return REGDB_E_CLASSNOTREG;
    auto get =
        reinterpret_cast<DllGetClassObjectFn>(libraryProbe().symbol(handle, "DllGetClassObject"));
    if (!get)
        return REGDB_E_CLASSNOTREG;
    return get(&clsid, &iid, object);
}

} // namespace platform

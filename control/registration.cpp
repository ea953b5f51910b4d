#include "control/registration.h"

#include "control/typelib.h"
#include "platform/com.h"

#include <QJsonArray>
#include <QJsonObject>

#include <dlfcn.h>

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

namespace quivex {

using platform::RegistryHive;
using platform::RegistryStore;

namespace {

constexpr auto kRoot = RegistryHive::ClassesRoot;

// Automation's own marshaller serves every dispatch interface.
constexpr char kDispatchProxy[] = "{00020420-0000-0000-C000-000000000046}";
// Type name strings 1 and 2 of the module.
constexpr char kControlTypeName[] = "Talvor Quivex Control";
constexpr char kPageTypeName[] = "Quivex Property Page";
// Recompose on resize (0x10000), can't link inside (0x10), inside-out (0x80), activate when
// visible (0x100), simple frame (0x20000), set client site first (0x1). Stored in decimal
// under MiscStatus\1, the content aspect.
constexpr unsigned kMiscStatus = 0x30191;
// The type library's flags (hexadecimal): LIBFLAG_FCONTROL, the library describes controls.
constexpr char kControlLibraryFlags[] = "2";
// The module's file is registered for the platform's pointer width.
constexpr const char *kPlatformKey = sizeof(void *) == 8 ? "win64" : "win32";

// What the registration takes from the embedded type library.
struct Identity {
    std::string libid;
    std::string version;
    std::string documentation;
    bool control = false;
    std::vector<std::pair<std::string, std::string>> interfaces; // name, IID
    std::string clsid;                                           // the control's coclass
};

// An identifier in the registry's form (upper case, braced); empty when malformed.
std::string registryGuid(const QString &text) {
    const auto guid = platform::Guid::parse(text.toStdString());
    return guid ? guid->toString() : std::string();
}

bool sameGuid(const std::optional<std::string> &a, const std::string &b) {
    if (!a)
        return false;
    const auto x = platform::Guid::parse(*a), y = platform::Guid::parse(b);
    return x && y && *x == *y;
}

std::optional<Identity> identity() {
    const QJsonObject description = typeLibrary();
    const QJsonObject library = description.value(QStringLiteral("library")).toObject();
    Identity id;
    id.libid = registryGuid(library.value(QStringLiteral("guid")).toString());
    id.version = library.value(QStringLiteral("version")).toString().toStdString();
    id.documentation = library.value(QStringLiteral("documentation")).toString().toStdString();
    id.control = library.value(QStringLiteral("control")).toBool();
    for (const QJsonValue &v : description.value(QStringLiteral("interfaces")).toArray()) {
        const QJsonObject itf = v.toObject();
        const std::string iid = registryGuid(itf.value(QStringLiteral("guid")).toString());
        const std::string name = itf.value(QStringLiteral("name")).toString().toStdString();
        if (iid.empty() || name.empty())
            return std::nullopt;
        id.interfaces.emplace_back(name, iid);
    }
    for (const QJsonValue &v : description.value(QStringLiteral("coclasses")).toArray()) {
        const QJsonObject coclass = v.toObject();
        if (coclass.value(QStringLiteral("control")).toBool()) {
            id.clsid = registryGuid(coclass.value(QStringLiteral("guid")).toString());
            break;
        }
    }
    if (id.libid.empty() || id.version.empty() || id.interfaces.empty() || id.clsid.empty())
        return std::nullopt;
    return id;
}

bool setDefault(RegistryStore &store, const std::string &key, const std::string &value) {
    return store.writeString(kRoot, key, "", value);
}

// A key that is not there is removed already.
bool removeKey(RegistryStore &store, const std::string &key) {
    return !store.keyExists(kRoot, key) || store.deleteKey(kRoot, key);
}

// Removes a key the registration made as a parent once nothing is left in it. The store
// cannot list a key's named values, so "nothing" is: no subkey and no default value.
bool removeIfEmpty(RegistryStore &store, const std::string &key) {
    if (!store.keyExists(kRoot, key) || !store.subkeys(kRoot, key).empty() ||
        store.readString(kRoot, key, "") || store.readDword(kRoot, key, ""))
        return true;
    return store.deleteKey(kRoot, key);
}

// A ProgID is ours when it names our class, or names none and carries our type name (what
// a registration cut short leaves).
bool removeProgId(RegistryStore &store, const std::string &progId, const std::string &clsid,
                  const std::string &typeName) {
    if (!store.keyExists(kRoot, progId))
        return true;
    const auto owner = store.readString(kRoot, progId + "\\CLSID", "");
    const bool ours = owner ? sameGuid(owner, clsid)
                            : store.readString(kRoot, progId, "") == std::optional(typeName);
    return !ours || store.deleteKey(kRoot, progId);
}

bool registerClass(RegistryStore &store, const std::string &clsid, const std::string &typeName,
                   const std::string &progId, const std::string &modulePath) {
    const std::string key = "CLSID\\" + clsid;
    return setDefault(store, key, typeName) && setDefault(store, key + "\\ProgID", progId) &&
           setDefault(store, key + "\\InprocServer32", modulePath) &&
           store.writeString(kRoot, key + "\\InprocServer32", "ThreadingModel", "Apartment") &&
           setDefault(store, progId, typeName) && setDefault(store, progId + "\\CLSID", clsid);
}

} // namespace

std::string moduleFileName() {
    static const char anchor = 0; // any object of this library names its file
    Dl_info info{};
    if (::dladdr(&anchor, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    std::error_code ec;
    auto path = std::filesystem::absolute(info.dli_fname, ec);
    if (ec)
        return {};
    const auto canonical = std::filesystem::weakly_canonical(path, ec);
    return (ec ? path : canonical).string();
}

bool registerTypeLibrary(RegistryStore &store, const std::string &modulePath) {
    const auto id = identity();
    if (!id || modulePath.empty())
        return false;
    const std::string base = "TypeLib\\" + id->libid + "\\" + id->version;
    const std::string helpDir = std::filesystem::path(modulePath).parent_path().string();
    if (!setDefault(store, base, id->documentation) ||
        !setDefault(store, base + "\\0\\" + kPlatformKey, modulePath) ||
        !setDefault(store, base + "\\FLAGS", id->control ? kControlLibraryFlags : "0") ||
        !setDefault(store, base + "\\HELPDIR", helpDir))
        return false;
    for (const auto &[name, iid] : id->interfaces) {
        const std::string key = "Interface\\" + iid;
        if (!setDefault(store, key, name) ||
            !setDefault(store, key + "\\ProxyStubClsid", kDispatchProxy) ||
            !setDefault(store, key + "\\ProxyStubClsid32", kDispatchProxy) ||
            !setDefault(store, key + "\\TypeLib", id->libid) ||
            !store.writeString(kRoot, key + "\\TypeLib", "Version", id->version))
            return false;
    }
    return true;
}

bool registerClasses(RegistryStore &store, const std::string &modulePath) {
    const auto id = identity();
    if (!id || modulePath.empty())
        return false;
    const std::string key = "CLSID\\" + id->clsid;
    return registerClass(store, id->clsid, kControlTypeName, kControlProgId, modulePath) &&
           store.createKey(kRoot, key + "\\Control") &&
           setDefault(store, key + "\\MiscStatus", "0") &&
           setDefault(store, key + "\\MiscStatus\\1", std::to_string(kMiscStatus)) &&
           setDefault(store, key + "\\ToolboxBitmap32", modulePath + ", 1") &&
           setDefault(store, key + "\\TypeLib", id->libid) &&
           setDefault(store, key + "\\Version", id->version) &&
           // Not insertable: a mark an older registration left goes.
           removeKey(store, key + "\\Insertable") &&
           registerClass(store, registryGuid(QString::fromLatin1(kPropertyPageClsid)),
                         kPageTypeName, kPropertyPageProgId, modulePath);
}

bool unregisterTypeLibrary(RegistryStore &store) {
    const auto id = identity();
    if (!id)
        return false;
    const std::string library = "TypeLib\\" + id->libid;
    if (!removeKey(store, library + "\\" + id->version) || !removeIfEmpty(store, library) ||
        !removeIfEmpty(store, "TypeLib"))
        return false;
    for (const auto &[name, iid] : id->interfaces) {
        const std::string key = "Interface\\" + iid;
        // An interface key another library's registration points at stays.
        const auto owner = store.readString(kRoot, key + "\\TypeLib", "");
        if (owner && !sameGuid(owner, id->libid))
            continue;
        if (!removeKey(store, key))
            return false;
    }
    return removeIfEmpty(store, "Interface");
}

bool unregisterClasses(RegistryStore &store) {
    const auto id = identity();
    if (!id)
        return false;
    const std::string page = registryGuid(QString::fromLatin1(kPropertyPageClsid));
    return removeKey(store, "CLSID\\" + id->clsid) && removeKey(store, "CLSID\\" + page) &&
           removeProgId(store, kControlProgId, id->clsid, kControlTypeName) &&
           removeProgId(store, kPropertyPageProgId, page, kPageTypeName) &&
           removeIfEmpty(store, "CLSID");
}

HRESULT registerServer(RegistryStore &store, const std::string &modulePath) {
    if (!registerTypeLibrary(store, modulePath))
        return SELFREG_E_TYPELIB;
    if (!registerClasses(store, modulePath))
        return SELFREG_E_CLASS;
    return platform::S_OK;
}

HRESULT unregisterServer(RegistryStore &store) {
    if (!unregisterTypeLibrary(store))
        return SELFREG_E_TYPELIB;
    if (!unregisterClasses(store))
        return SELFREG_E_CLASS;
    return platform::S_OK;
}

} // namespace quivex

platform::HRESULT DllRegisterServer() {
    platform::RegistryStore store;
    return quivex::registerServer(store, quivex::moduleFileName());
}

platform::HRESULT DllUnregisterServer() {
    platform::RegistryStore store;
    return quivex::unregisterServer(store);
}

platform::HRESULT DllGetClassObject(const platform::Guid *clsid, const platform::Guid *iid,
                                    void **object) {
    if (!clsid || !iid || !object)
        return platform::E_POINTER;
    *object = nullptr;
    if (*clsid != quivex::kControlClass)
        return platform::CLASS_E_CLASSNOTAVAILABLE;
    return quivex::createControlObject(*iid, object);
}

platform::HRESULT DllCanUnloadNow() {
    return platform::S_FALSE;
}

#include "platform/registry.h"

#include "platform/filelock.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <variant>

namespace platform {

namespace {

// Registry names compare without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lx = static_cast<unsigned char>(x), ly = static_cast<unsigned char>(y);
        return std::tolower(lx) == std::tolower(ly);
    });
}

// "Software\\\\Talvor\\" and "software\\talvor" name the same key.
std::string normalizeKey(std::string_view key) {
    std::string out;
    bool lastSep = true;
    for (char c : key) {
        if (c == '\\' || c == '/') {
            if (!lastSep)
                out += '\\';
            lastSep = true;
        } else {
            out += c;
            lastSep = false;
        }
    }
    if (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

bool isBelow(std::string_view key, std::string_view parent) {
    return key.size() > parent.size() && key[parent.size()] == '\\' &&
           sameName(key.substr(0, parent.size()), parent);
}

using Value = std::variant<std::string, DWORD>;

struct Entry {
    std::string name;
    Value value;
};

struct Key {
    std::string path;
    std::vector<Entry> values;
};

// One hive, parsed. Unreadable lines are skipped, so a damaged file loses only them.
struct Hive {
    std::vector<Key> keys;

    Key *find(std::string_view path) {
        for (auto &k : keys)
            if (sameName(k.path, path))
                return &k;
        return nullptr;
    }

    Key &ensure(std::string_view path) {
        // Parents first, as the registry keeps every level of a path.
        std::size_t pos = 0;
        Key *key = nullptr;
        while (true) {
            pos = path.find('\\', pos);
            const auto prefix = path.substr(0, pos);
            key = find(prefix);
            if (!key) {
                keys.push_back(Key{std::string(prefix), {}});
                key = &keys.back();
            }
            if (pos == std::string_view::npos)
                break;
            ++pos;
        }
        return *key;
    }
};

std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out + '"';
}

// Parses a quoted string starting at line[pos] == '"'; pos ends after the closing quote.
std::optional<std::string> unquote(std::string_view line, std::size_t &pos) {
    if (pos >= line.size() || line[pos] != '"')
        return std::nullopt;
    std::string out;
    for (++pos; pos < line.size(); ++pos) {
        char c = line[pos];
        if (c == '"') {
            ++pos;
            return out;
        }
        if (c == '\\' && pos + 1 < line.size()) {
            c = line[++pos];
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else {
            out += c;
        }
    }
    return std::nullopt;
}

Hive parseHive(std::string_view text) {
    // A byte-order mark an editor added would hide the first key.
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    std::istringstream in{std::string(text)};
    Hive hive;
    Key *current = nullptr;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            const auto path = normalizeKey(std::string_view(line).substr(1, line.size() - 2));
            current = path.empty() ? nullptr : &hive.ensure(path);
            continue;
        }
        if (!current)
            continue;
        std::size_t pos = 0;
        std::string name;
        if (line[0] == '@') {
            pos = 1;
        } else if (auto n = unquote(line, pos)) {
            name = *n;
        } else {
            continue;
        }
        if (pos >= line.size() || line[pos] != '=')
            continue;
        ++pos;
        const std::string_view rest = std::string_view(line).substr(pos);
        Value value;
        if (rest.starts_with("dword:")) {
            const std::string digits(rest.substr(6));
            char *end = nullptr;
            const unsigned long v = std::strtoul(digits.c_str(), &end, 16);
            if (digits.empty() || *end != '\0' || v > 0xFFFFFFFFul)
                continue;
            value = static_cast<DWORD>(v);
        } else if (auto s = unquote(line, pos); s && pos == line.size()) {
            value = *s;
        } else {
            continue;
        }
        // A repeated name keeps its first occurrence, as a reader would see it.
        const bool seen = std::any_of(current->values.begin(), current->values.end(),
                                      [&](const Entry &e) { return sameName(e.name, name); });
        if (!seen)
            current->values.push_back(Entry{name, value});
    }
    return hive;
}

void writeHiveText(std::ostream &out, const Hive &hive) {
    out << "; Orvane settings store. One [key] per section; values are \"name\"=\"text\" or "
           "\"name\"=dword:hex.\n";
    for (const auto &k : hive.keys) {
        out << "\n[" << k.path << "]\n";
        for (const auto &e : k.values) {
            out << (e.name.empty() ? std::string("@") : quote(e.name)) << '=';
            if (const auto *s = std::get_if<std::string>(&e.value)) {
                out << quote(*s) << '\n';
            } else {
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", std::get<DWORD>(e.value));
                out << buf << '\n';
            }
        }
    }
}

// Serialises the store's work within this process; the lock on the hive file itself does the
// same between processes (see FileLock).
std::mutex &storeMutex() {
    static std::mutex m;
    return m;
}

Hive loadHive(const std::filesystem::path &file) {
    const auto text = readSettingsFile(file);
    return text ? parseHive(*text) : Hive{};
}

// A key path with a line break would split its "[key]" line: the values written under it
// would read back under another key, or none.
bool storableKey(std::string_view path) {
    return !path.empty() && path.find_first_of("\r\n") == std::string_view::npos;
}

const Entry *findValue(const Key &key, std::string_view name) {
    for (const auto &e : key.values)
        if (sameName(e.name, name))
            return &e;
    return nullptr;
}

// One read-modify-write of a hive under its lock. `create`: a missing hive file is made (for
// changes that add); else a missing hive means there is nothing to change.
template <class Change>
bool modify(const RegistryStore &store, RegistryHive which, bool create, Change change) {
    std::lock_guard lock(storeMutex());
    const auto file = store.hiveFile(which);
    std::error_code ec;
    if (create)
        std::filesystem::create_directories(file.parent_path(), ec);
    FileLock hiveLock(file, create); // another running program may change the same hive
    if (!hiveLock.locked())
        return false;
    Hive hive = parseHive(hiveLock.content());
    if (!change(hive))
        return false;
    std::ostringstream text;
    writeHiveText(text, hive);
    return hiveLock.replace(text.str());
}

} // namespace

std::filesystem::path RegistryStore::defaultRoot() {
    if (const char *root = std::getenv("ORVANE_REGISTRY_ROOT"); root && *root)
        return root;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg && xdg[0] == '/')
        return std::filesystem::path(xdg) / "orvane" / "registry";
    if (const char *home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".config" / "orvane" / "registry";
    return std::filesystem::temp_directory_path() / "orvane-registry";
}

RegistryStore::RegistryStore(std::filesystem::path root) : m_root(std::move(root)) {}

std::filesystem::path RegistryStore::hiveFile(RegistryHive hive) const {
    switch (hive) {
    case RegistryHive::ClassesRoot:
        return m_root / "HKEY_CLASSES_ROOT.reg";
    case RegistryHive::CurrentUser:
        return m_root / "HKEY_CURRENT_USER.reg";
    case RegistryHive::LocalMachine:
        break;
    }
    return m_root / "HKEY_LOCAL_MACHINE.reg";
}

std::optional<std::string> RegistryStore::readString(RegistryHive hive, std::string_view key,
                                                     std::string_view name) const {
    std::lock_guard lock(storeMutex());
    Hive h = loadHive(hiveFile(hive));
    const Key *k = h.find(normalizeKey(key));
    const Entry *e = k ? findValue(*k, name) : nullptr;
    if (!e)
        return std::nullopt;
    if (const auto *s = std::get_if<std::string>(&e->value))
        return *s;
    return std::nullopt;
}

std::optional<DWORD> RegistryStore::readDword(RegistryHive hive, std::string_view key,
                                              std::string_view name) const {
    std::lock_guard lock(storeMutex());
    Hive h = loadHive(hiveFile(hive));
    const Key *k = h.find(normalizeKey(key));
    const Entry *e = k ? findValue(*k, name) : nullptr;
    if (!e)
        return std::nullopt;
    if (const auto *d = std::get_if<DWORD>(&e->value))
        return *d;
    return std::nullopt;
}

bool RegistryStore::keyExists(RegistryHive hive, std::string_view key) const {
    std::lock_guard lock(storeMutex());
    Hive h = loadHive(hiveFile(hive));
    return h.find(normalizeKey(key)) != nullptr;
}

std::vector<std::string> RegistryStore::subkeys(RegistryHive hive, std::string_view key) const {
    std::lock_guard lock(storeMutex());
    Hive h = loadHive(hiveFile(hive));
    const auto parent = normalizeKey(key);
    std::vector<std::string> out;
    for (const auto &k : h.keys) {
        const std::string_view path = k.path;
        std::string_view rest;
        if (parent.empty())
            rest = path;
        else if (isBelow(path, parent))
            rest = path.substr(parent.size() + 1);
        else
            continue;
        if (!rest.empty() && rest.find('\\') == std::string_view::npos)
            out.emplace_back(rest);
    }
    return out;
}

bool RegistryStore::writeString(RegistryHive hive, std::string_view key, std::string_view name,
                                std::string_view value) {
    const auto path = normalizeKey(key);
    if (!storableKey(path))
        return false;
    return modify(*this, hive, true, [&](Hive &h) {
        Key &k = h.ensure(path);
        for (auto &e : k.values)
            if (sameName(e.name, name)) {
                e.value = std::string(value);
                return true;
            }
        k.values.push_back(Entry{std::string(name), std::string(value)});
        return true;
    });
}

bool RegistryStore::writeDword(RegistryHive hive, std::string_view key, std::string_view name,
                               DWORD value) {
    const auto path = normalizeKey(key);
    if (!storableKey(path))
        return false;
    return modify(*this, hive, true, [&](Hive &h) {
        Key &k = h.ensure(path);
        for (auto &e : k.values)
            if (sameName(e.name, name)) {
                e.value = value;
                return true;
            }
        k.values.push_back(Entry{std::string(name), value});
        return true;
    });
}

bool RegistryStore::createKey(RegistryHive hive, std::string_view key) {
    const auto path = normalizeKey(key);
    if (!storableKey(path))
        return false;
    return modify(*this, hive, true, [&](Hive &h) {
        h.ensure(path);
        return true;
    });
}

bool RegistryStore::deleteValue(RegistryHive hive, std::string_view key, std::string_view name) {
    const auto path = normalizeKey(key);
    return modify(*this, hive, false, [&](Hive &h) {
        Key *k = h.find(path);
        if (!k)
            return false;
        const auto before = k->values.size();
        std::erase_if(k->values, [&](const Entry &e) { return sameName(e.name, name); });
        return k->values.size() != before;
    });
}

bool RegistryStore::deleteKey(RegistryHive hive, std::string_view key) {
    const auto path = normalizeKey(key);
    // A key a damaged or hand-edited hive holds with a line break in its path can still be
    // removed: nothing is written under it.
    if (path.empty())
        return false;
    return modify(*this, hive, false, [&](Hive &h) {
        const auto before = h.keys.size();
        std::erase_if(
            h.keys, [&](const Key &k) { return sameName(k.path, path) || isBelow(k.path, path); });
        return h.keys.size() != before;
    });
}

} // namespace platform

// The settings store's hive files: the input is a hive file's content followed by a series of
// changes. Each change is checked against what it promises: a refused change leaves the file
// byte for byte as it was; a written value reads back as written, under its key and with its
// type; a removal removes exactly its value or its key with the keys below; and every other
// value and key reads as before. Key paths without a line break must be accepted.
#include "platform/registry.h"

#include "settingsfuzz.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using platform::DWORD;
using platform::RegistryHive;
using platform::RegistryStore;
using settingsfuzz::check;
using settingsfuzz::readAll;
using settingsfuzz::scratchFolder;

constexpr auto kHive = RegistryHive::CurrentUser;

const fs::path &scratchRoot() {
    static const fs::path root = scratchFolder("fuzz_registry");
    return root;
}

bool sameText(std::string_view a, std::string_view b) {
    return settingsfuzz::sameIgnoringCase(a, b);
}

// Key paths as the store compares them: "/" and runs of "\" separate, no empty levels.
std::string normalized(std::string_view key) {
    std::string out;
    bool separator = true;
    for (char c : key) {
        if (c == '\\' || c == '/') {
            if (!separator)
                out += '\\';
            separator = true;
        } else {
            out += c;
            separator = false;
        }
    }
    if (!out.empty() && out.back() == '\\')
        out.pop_back();
    return out;
}

bool sameKey(std::string_view a, std::string_view b) {
    return sameText(normalized(a), normalized(b));
}

// `key` is `parent` or lies below it.
bool within(std::string_view key, std::string_view parent) {
    const auto k = normalized(key), p = normalized(parent);
    return sameText(k, p) ||
           (k.size() > p.size() && k[p.size()] == '\\' && sameText(k.substr(0, p.size()), p));
}

// `ancestor` is `key` or one of its parents.
bool isAncestorOrSelf(std::string_view ancestor, std::string_view key) {
    return !normalized(ancestor).empty() && within(key, ancestor);
}

bool storable(std::string_view key) {
    const auto k = normalized(key);
    return !k.empty() && k.find_first_of("\r\n") == std::string::npos;
}

// Key paths and value names the file appears to use, found without the store's parser; they
// are only probes.
void scanNames(std::string_view text, std::vector<std::string> &keys,
               std::vector<std::string> &names) {
    // Every probe reads the hive once per key and name, so a few are enough.
    std::size_t start = 0;
    while (start < text.size() && keys.size() < 8 && names.size() < 8) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        auto line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']')
            keys.emplace_back(line.substr(1, line.size() - 2));
        else if (line.size() >= 2 && line.front() == '"')
            names.emplace_back(line.substr(1, line.find('"', 1) - 1));
        start = end + 1;
    }
}

std::string pick(FuzzedDataProvider &in, const std::vector<std::string> &seen) {
    if (!seen.empty() && in.ConsumeBool())
        return seen[in.ConsumeIntegralInRange<std::size_t>(0, seen.size() - 1)];
    return in.ConsumeRandomLengthString(12);
}

struct Probe {
    bool exists;
    std::vector<std::optional<std::string>> strings;
    std::vector<std::optional<DWORD>> dwords;
};

std::vector<Probe> probe(const RegistryStore &store, const std::vector<std::string> &keys,
                         const std::vector<std::string> &names) {
    std::vector<Probe> out;
    for (const auto &k : keys) {
        Probe p{store.keyExists(kHive, k), {}, {}};
        for (const auto &n : names) {
            p.strings.push_back(store.readString(kHive, k, n));
            p.dwords.push_back(store.readDword(kHive, k, n));
        }
        out.push_back(std::move(p));
    }
    return out;
}

enum Op { WriteString, WriteDword, CreateKey, DeleteValue, DeleteKey };

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    RegistryStore store(scratchRoot());
    const fs::path file = store.hiveFile(kHive);
    const std::string initial = in.ConsumeRandomLengthString(2048);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(initial.data(), static_cast<std::streamsize>(initial.size()));
    }
    std::vector<std::string> keys, names{""};
    scanNames(initial, keys, names);

    for (int step = 0; step < 6 && in.remaining_bytes() > 0; ++step) {
        const auto op = static_cast<Op>(in.ConsumeIntegralInRange(0, 4));
        const std::string key = pick(in, keys);
        const std::string name = op == WriteString || op == WriteDword || op == DeleteValue
                                     ? pick(in, names)
                                     : std::string();
        const std::string text = op == WriteString ? in.ConsumeRandomLengthString(24) : "";
        const DWORD number = op == WriteDword ? in.ConsumeIntegral<DWORD>() : 0;
        keys.push_back(key);
        names.push_back(name);

        const auto before = probe(store, keys, names);
        const std::string bytesBefore = readAll(file);
        std::optional<std::size_t> targetIndex;
        for (std::size_t k = 0; k < keys.size() && !targetIndex; ++k)
            if (sameKey(keys[k], key))
                targetIndex = k;
        std::size_t nameIndex = names.size() - 1;
        for (std::size_t n = 0; n < names.size(); ++n)
            if (sameText(names[n], name)) {
                nameIndex = n;
                break;
            }
        const Probe &was = before[*targetIndex];

        bool done = false, expected = storable(key);
        switch (op) {
        case WriteString:
            done = store.writeString(kHive, key, name, text);
            break;
        case WriteDword:
            done = store.writeDword(kHive, key, name, number);
            break;
        case CreateKey:
            done = store.createKey(kHive, key);
            break;
        case DeleteValue:
            done = store.deleteValue(kHive, key, name);
            expected = was.strings[nameIndex] || was.dwords[nameIndex];
            break;
        case DeleteKey:
            done = store.deleteKey(kHive, key);
            expected = was.exists;
            break;
        }
        check(done == expected);
        if (!done) {
            check(readAll(file) == bytesBefore);
            continue;
        }

        const auto after = probe(store, keys, names);
        for (std::size_t k = 0; k < keys.size(); ++k) {
            const bool isTarget = sameKey(keys[k], key);
            const bool adds = op == WriteString || op == WriteDword || op == CreateKey;
            if (op == DeleteKey && within(keys[k], key)) {
                check(!after[k].exists);
                continue;
            }
            if (adds && isAncestorOrSelf(keys[k], key))
                check(after[k].exists);
            else
                check(after[k].exists == before[k].exists);
            for (std::size_t n = 0; n < names.size(); ++n) {
                if (isTarget && sameText(names[n], name)) {
                    if (op == WriteString) {
                        check(after[k].strings[n] == text && !after[k].dwords[n]);
                        continue;
                    }
                    if (op == WriteDword) {
                        check(after[k].dwords[n] == number && !after[k].strings[n]);
                        continue;
                    }
                    if (op == DeleteValue) {
                        check(!after[k].strings[n] && !after[k].dwords[n]);
                        continue;
                    }
                }
                check(after[k].strings[n] == before[k].strings[n]);
                check(after[k].dwords[n] == before[k].dwords[n]);
            }
        }
    }
    return 0;
}

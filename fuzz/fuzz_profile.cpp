// INI files and the private-profile functions: the input is a file's content followed by a
// series of writes, removals and reads. Every write must either be refused and leave the file
// byte for byte as it was, or succeed, read back as Windows reads it (value trimmed, one pair
// of quotes removed) and leave every other key's value as it was; a byte-order mark stays.
// Names that can be written back (see writableNames below) must be accepted.
#include "platform/profile.h"

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
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using settingsfuzz::check;
using settingsfuzz::readAll;
using settingsfuzz::scratchFolder;

const std::string &scratchFile() {
    static const std::string file = (scratchFolder("fuzz_profile") / "Orvane.INI").string();
    return file;
}

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    return settingsfuzz::sameIgnoringCase(trim(a), trim(b));
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

// The names a line of the form "[section]" or "key=value" can carry and be read back by.
bool writableNames(std::string_view section, std::string_view key) {
    section = trim(section);
    key = trim(key);
    return !section.empty() && !key.empty() && !hasLineBreak(section) && !hasLineBreak(key) &&
           section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
           key.front() != '[' && key.front() != ';';
}

// What a reader gets for a written value: trimmed, one pair of quotes removed.
std::string expectedRead(std::string_view value) {
    value = trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

using Name = std::pair<std::string, std::string>;

// Section and key names the file appears to use, found independently of the reader; they are
// only probes, so a rough scan does.
void scanNames(std::string_view text, std::vector<Name> &names) {
    std::string section;
    std::size_t start = 0;
    while (start < text.size() && names.size() < 48) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const auto line = trim(text.substr(start, end - start));
        if (!line.empty() && line.front() == '[' && line.find(']') != std::string_view::npos)
            section = std::string(line.substr(1, line.find(']') - 1));
        else if (const auto eq = line.find('='); eq != std::string_view::npos)
            names.emplace_back(section, std::string(line.substr(0, eq)));
        start = end + 1;
    }
}

std::string pickName(FuzzedDataProvider &in, const std::vector<Name> &names, bool section) {
    if (!names.empty() && in.ConsumeBool()) {
        const auto &n = names[in.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)];
        return section ? n.first : n.second;
    }
    return in.ConsumeRandomLengthString(12);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string &file = scratchFile();
    const std::string initial = in.ConsumeRandomLengthString(2048);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(initial.data(), static_cast<std::streamsize>(initial.size()));
    }
    std::vector<Name> names;
    scanNames(initial, names);
    const bool bom = initial.starts_with("\xEF\xBB\xBF");

    for (int op = 0; op < 8 && in.remaining_bytes() > 0; ++op) {
        Name target{pickName(in, names, true), pickName(in, names, false)};
        const bool remove = in.ConsumeIntegralInRange(0, 4) == 0;
        std::optional<std::string> value;
        if (!remove)
            value = in.ConsumeRandomLengthString(24);
        names.push_back(target);

        std::vector<std::optional<std::string>> before;
        for (const auto &n : names)
            before.push_back(platform::readProfileValue(n.first, n.second, file));
        const std::string bytesBefore = readAll(file);

        const std::optional<std::string_view> arg =
            value ? std::optional<std::string_view>(*value) : std::nullopt;
        const bool written =
            platform::writePrivateProfileString(target.first, target.second, arg, file) != 0;
        const bool acceptable =
            writableNames(target.first, target.second) && !(value && hasLineBreak(*value));
        check(written == acceptable);
        if (!written) {
            check(readAll(file) == bytesBefore);
            continue;
        }
        const auto now = platform::readProfileValue(target.first, target.second, file);
        if (value)
            check(now == expectedRead(*value));
        else
            check(!now);
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto &n = names[i];
            if (sameName(n.first, target.first) && sameName(n.second, target.second))
                continue;
            check(platform::readProfileValue(n.first, n.second, file) == before[i]);
        }
        if (bom && fs::exists(file))
            check(readAll(file).starts_with("\xEF\xBB\xBF"));
    }

    // The C-style reader agrees with the value reader and never overruns its buffer.
    if (!names.empty()) {
        const auto &n = names.front();
        char buffer[8];
        const auto count = platform::getPrivateProfileString(n.first, n.second, "def", buffer,
                                                             sizeof buffer, file);
        check(count < sizeof buffer && buffer[count] == '\0');
        const auto value = platform::readProfileValue(n.first, n.second, file);
        const std::string expected = value ? *value : "def";
        check(std::string(buffer, count) == expected.substr(0, sizeof buffer - 1));
    }
    return 0;
}

#include "platform/profile.h"

#include "platform/filelock.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <vector>

namespace platform {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

bool sameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The file as lines without their line ends; `crlf` tells whether the file used "\r\n", `bom`
// whether it began with a UTF-8 byte-order mark (which editors add and a rewrite keeps).
struct ProfileFile {
    std::vector<std::string> lines;
    bool crlf = false;
    bool finalNewline = true;
    bool bom = false;
};

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

ProfileFile parseFile(std::string_view text) {
    ProfileFile result;
    if (text.starts_with(kUtf8Bom)) {
        result.bom = true;
        text.remove_prefix(kUtf8Bom.size());
    }
    result.crlf = text.find("\r\n") != std::string_view::npos;
    result.finalNewline = text.empty() || text.back() == '\n';
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        result.lines.push_back(std::move(line));
        start = end + 1;
    }
    return result;
}

// Nothing when the file is missing, unreadable or no regular file (a FIFO is never waited on).
std::optional<ProfileFile> loadFile(const std::string &file) {
    const auto text = readSettingsFile(file);
    if (!text)
        return std::nullopt;
    return parseFile(*text);
}

// The section name of a "[name]" line, or nothing for other lines.
std::optional<std::string_view> sectionOf(std::string_view line) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[')
        return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyOf(std::string_view line) {
    const auto trimmed = trim(line);
    if (trimmed.empty() || trimmed.front() == ';')
        return std::nullopt;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

// Index of the first line of the first section with that name, or -1.
long findSection(const ProfileFile &f, std::string_view section) {
    for (std::size_t i = 0; i < f.lines.size(); ++i)
        if (auto name = sectionOf(f.lines[i]); name && sameName(*name, section))
            return static_cast<long>(i);
    return -1;
}

// One past the last line of the section that starts at `header`.
std::size_t sectionEnd(const ProfileFile &f, std::size_t header) {
    std::size_t i = header + 1;
    while (i < f.lines.size() && !sectionOf(f.lines[i]))
        ++i;
    return i;
}

long findKey(const ProfileFile &f, std::size_t header, std::string_view key) {
    const auto end = sectionEnd(f, header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (auto k = keyOf(f.lines[i]); k && sameName(k->key, key))
            return static_cast<long>(i);
    return -1;
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool hasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

std::string fileText(const ProfileFile &f) {
    const char *eol = f.crlf ? "\r\n" : "\n";
    std::string text(f.bom ? kUtf8Bom : std::string_view{});
    for (std::size_t i = 0; i < f.lines.size(); ++i) {
        text += f.lines[i];
        if (i + 1 < f.lines.size() || f.finalNewline)
            text += eol;
    }
    return text;
}

// Whether trimmed names can be written and read back: a line break, a bracket closing a
// section name, an equals sign in a key, or a key that would read as a section line
// ("[Trace]") or a comment would write lines that read back as something else.
bool writableNames(std::string_view section, std::string_view key) {
    return !section.empty() && !key.empty() && !hasLineBreak(section) && !hasLineBreak(key) &&
           section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
           key.front() != '[' && key.front() != ';';
}

} // namespace

std::optional<std::string> readProfileValue(std::string_view section, std::string_view key,
                                            const std::string &file) {
    // Trimmed as the writer trims them and as the names in the file are.
    section = trim(section);
    key = trim(key);
    if (section.empty() || key.empty())
        return std::nullopt;
    const auto f = loadFile(file);
    if (!f)
        return std::nullopt;
    const long header = findSection(*f, section);
    if (header < 0)
        return std::nullopt;
    const long line = findKey(*f, static_cast<std::size_t>(header), key);
    if (line < 0)
        return std::nullopt;
    return std::string(unquote(keyOf(f->lines[static_cast<std::size_t>(line)])->value));
}

DWORD getPrivateProfileString(std::string_view section, std::string_view key, std::string_view def,
                              char *buffer, DWORD size, const std::string &file) {
    if (!buffer || size == 0)
        return 0;
    const auto value = readProfileValue(section, key, file);
    std::string_view text = value ? std::string_view(*value) : def;
    if (!value) {
        const auto last = text.find_last_not_of(kBlanks);
        text = last == std::string_view::npos ? std::string_view{} : text.substr(0, last + 1);
    }
    const auto count = static_cast<DWORD>(std::min<std::size_t>(text.size(), size - 1));
    if (count > 0)
        std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return count;
}

BOOL writePrivateProfileString(std::string_view section, std::string_view key,
                               std::optional<std::string_view> value, const std::string &file) {
    section = trim(section);
    key = trim(key);
    // A line break in the value would write lines that read back as something else.
    if (!writableNames(section, key) || (value && hasLineBreak(*value)))
        return FALSE_;

    // Held until the new content is in place: no other thread or program rewrites the file
    // meanwhile, and the content below is the latest. Removing a key from a missing file
    // changes nothing and creates nothing.
    FileLock lock(file, value.has_value());
    if (!lock.locked())
        return !value && lock.error() == ENOENT ? TRUE_ : FALSE_;
    ProfileFile f = parseFile(lock.content());

    const long header = findSection(f, section);
    if (header < 0) {
        if (!value)
            return TRUE_;
        if (!f.lines.empty() && !trim(f.lines.back()).empty())
            f.lines.emplace_back();
        // Appended piece by piece: GCC 12 misreads `"[" + std::string(...)` at -O3 (-Wrestrict).
        std::string title;
        title.reserve(section.size() + 2);
        title.append(1, '[').append(section).append(1, ']');
        f.lines.push_back(std::move(title));
        f.lines.push_back(std::string(key) + "=" + std::string(*value));
        f.finalNewline = true;
        return lock.replace(fileText(f)) ? TRUE_ : FALSE_;
    }
    const auto head = static_cast<std::size_t>(header);
    const long line = findKey(f, head, key);
    if (line >= 0) {
        const auto at = static_cast<std::size_t>(line);
        if (value) {
            f.lines[at] = std::string(key) + "=" + std::string(*value);
        } else {
            // Repeats of the key further down were hidden by the first; removing only that
            // one would bring the next back.
            for (long next = line; next >= 0; next = findKey(f, head, key))
                f.lines.erase(f.lines.begin() + next);
        }
    } else {
        if (!value)
            return TRUE_;
        // After the section's last non-blank line, so blank separators stay in place.
        std::size_t insertAt = sectionEnd(f, head);
        while (insertAt > head + 1 && trim(f.lines[insertAt - 1]).empty())
            --insertAt;
        f.lines.insert(f.lines.begin() + static_cast<long>(insertAt),
                       std::string(key) + "=" + std::string(*value));
        if (insertAt + 1 == f.lines.size())
            f.finalNewline = true;
    }
    return lock.replace(fileText(f)) ? TRUE_ : FALSE_;
}

} // namespace platform

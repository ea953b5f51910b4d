#include "platform/profile.h"

#include "platform/filelock.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
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

// The file as lines without their line ends; `crlf` tells whether the file used "\r\n".
struct ProfileFile {
    std::vector<std::string> lines;
    bool crlf = false;
    bool finalNewline = true;
};

std::optional<ProfileFile> loadFile(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    const std::string text = content.str();
    ProfileFile result;
    result.crlf = text.find("\r\n") != std::string::npos;
    result.finalNewline = text.empty() || text.back() == '\n';
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        result.lines.push_back(std::move(line));
        start = end + 1;
    }
    return result;
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

// Writes through a temporary file and a rename, so that a failed write never leaves a
// truncated settings file behind; falls back to writing in place where the folder is
// read-only but the file itself is writable.
bool saveFile(const ProfileFile &f, const std::string &file) {
    const char *eol = f.crlf ? "\r\n" : "\n";
    std::string text;
    for (std::size_t i = 0; i < f.lines.size(); ++i) {
        text += f.lines[i];
        if (i + 1 < f.lines.size() || f.finalNewline)
            text += eol;
    }
    namespace fs = std::filesystem;
    const std::string temp = file + ".tmp~";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(text.data(), static_cast<std::streamsize>(text.size()));
            out.close();
            if (out) {
                std::error_code ec;
                if (fs::exists(file, ec)) {
                    // Keep the permissions of the file being replaced.
                    fs::permissions(temp, fs::status(file, ec).permissions(), ec);
                }
                fs::rename(temp, file, ec);
                if (!ec)
                    return true;
            }
            std::error_code ignored;
            fs::remove(temp, ignored);
        }
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace

std::optional<std::string> readProfileValue(std::string_view section, std::string_view key,
                                            const std::string &file) {
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
    // A line break or a bracket in a name, or a line break in the value, would write lines
    // that read back as something else.
    if (trim(section).empty() || trim(key).empty() || hasLineBreak(section) || hasLineBreak(key) ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos ||
        (value && hasLineBreak(*value)))
        return FALSE_;
    section = trim(section);
    key = trim(key);

    const FileLock writers(file); // no other thread or program rewrites it meanwhile
    ProfileFile f;
    if (auto existing = loadFile(file))
        f = std::move(*existing);
    else if (std::filesystem::exists(file))
        return FALSE_; // exists but cannot be read: never overwrite what we cannot keep

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
        return saveFile(f, file) ? TRUE_ : FALSE_;
    }
    const auto head = static_cast<std::size_t>(header);
    const long line = findKey(f, head, key);
    if (line >= 0) {
        const auto at = static_cast<std::size_t>(line);
        if (value)
            f.lines[at] = std::string(key) + "=" + std::string(*value);
        else
            f.lines.erase(f.lines.begin() + line);
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
    return saveFile(f, file) ? TRUE_ : FALSE_;
}

} // namespace platform

#include "components/aviplayer/imagesequence.h"

#include "components/aviplayer/regularfile.h"

#include <climits>
#include <filesystem>
#include <system_error>

namespace aviplayer {

namespace {

// The parts of a pattern around its one conversion.
struct Pattern {
    std::string prefix;
    std::string suffix;
    int width = 0;
    bool zeroPad = false;
};

std::optional<Pattern> parse(const std::string &text) {
    Pattern p;
    bool found = false;
    std::string *out = &p.prefix;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out->push_back(text[i]);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            out->push_back('%');
            ++i;
            continue;
        }
        if (found)
            return std::nullopt; // a second conversion
        std::size_t j = i + 1;
        if (j < text.size() && text[j] == '0') {
            p.zeroPad = true;
            ++j;
        }
        int width = 0;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9' && width < 100)
            width = width * 10 + (text[j++] - '0');
        if (j >= text.size() || text[j] != 'd' || width >= 100)
            return std::nullopt;
        p.width = width;
        found = true;
        out = &p.suffix;
        i = j;
    }
    if (!found)
        return std::nullopt;
    return p;
}

std::string format(const Pattern &p, long long number) {
    std::string digits = std::to_string(number < 0 ? -number : number);
    const std::size_t sign = number < 0 ? 1 : 0;
    if (static_cast<std::size_t>(p.width) > digits.size() + sign)
        digits.insert(0, static_cast<std::size_t>(p.width) - digits.size() - sign,
                      p.zeroPad ? '0' : ' ');
    if (number < 0)
        digits.insert(p.zeroPad ? 0 : digits.find_first_not_of(' '), 1, '-');
    return p.prefix + digits + p.suffix;
}

} // namespace

bool ImageSequence::isPattern(const std::string &path) {
    return parse(path).has_value();
}

std::optional<std::string> ImageSequence::fileName(const std::string &pattern, long long number) {
    const auto p = parse(pattern);
    if (!p)
        return std::nullopt;
    return format(*p, number);
}

ImageSequence ImageSequence::list(const std::string &pattern) {
    ImageSequence seq;
    const auto p = parse(pattern);
    if (!p)
        return seq;
    namespace fs = std::filesystem;
    const fs::path prefixPath(p->prefix);
    // The conversion must be in the file name, not in a folder name.
    if (p->suffix.find('/') != std::string::npos)
        return seq;
    const std::string namePrefix = prefixPath.filename().string();
    const fs::path folder = p->prefix.empty() || p->prefix.back() == '/' ? fs::path(p->prefix)
                                                                         : prefixPath.parent_path();
    const fs::path dir = folder.empty() ? fs::path(".") : folder;

    // The lowest number whose formatted name exists.
    std::optional<long long> first;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= namePrefix.size() + p->suffix.size() ||
            name.compare(0, namePrefix.size(), namePrefix) != 0 ||
            name.compare(name.size() - p->suffix.size(), p->suffix.size(), p->suffix) != 0)
            continue;
        const std::string middle =
            name.substr(namePrefix.size(), name.size() - namePrefix.size() - p->suffix.size());
        std::size_t used = 0;
        long long number = 0;
        try {
            number = std::stoll(middle, &used);
        } catch (...) {
            continue;
        }
        if (used == 0)
            continue;
        // Only names the pattern itself produces count ("img7.bmp" is not "img%04d.bmp").
        if (fs::path(format(*p, number)).filename().string() != name)
            continue;
        if (!first || number < *first)
            first = number;
    }
    if (!first)
        return seq;
    seq.m_first = *first;
    for (long long n = *first; n < LLONG_MAX; ++n) {
        std::string name = format(*p, n);
        if (!isRegularFile(name))
            break;
        seq.m_files.push_back(std::move(name));
    }
    return seq;
}

} // namespace aviplayer

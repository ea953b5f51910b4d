#include "platform/locale.h"

#include <array>
#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <locale.h>

namespace platform {

namespace {

struct LocaleEntry {
    std::string_view name; // "de_DE", or a bare language "de" for its primary identifier
    LCID lcid;
    char decimal;
};

// Every English locale maps to 1033 and every Portuguese one to 1046, as the program's
// language choice knows only those two; the German ones keep their own identifiers since
// the language choice tells them apart.
constexpr std::array<LocaleEntry, 44> kLocales = {{
    {"de_DE", 1031, ','}, {"de_CH", 2055, '.'}, {"de_AT", 3079, ','}, {"de_LU", 4103, ','},
    {"de_LI", 5127, '.'}, {"de_BE", 1031, ','}, {"de_IT", 1031, ','}, {"de", 1031, ','},
    {"en_US", 1033, '.'}, {"en_GB", 1033, '.'}, {"en_AU", 1033, '.'}, {"en_CA", 1033, '.'},
    {"en_IE", 1033, '.'}, {"en_NZ", 1033, '.'}, {"en_ZA", 1033, ','}, {"en_IN", 1033, '.'},
    {"en", 1033, '.'},    {"pt_BR", 1046, ','}, {"pt_PT", 1046, ','}, {"pt", 1046, ','},
    {"fr_FR", 1036, ','}, {"fr_BE", 2060, ','}, {"fr_CA", 3084, ','}, {"fr_CH", 4108, '.'},
    {"fr", 1036, ','},    {"es_ES", 3082, ','}, {"es_MX", 2058, '.'}, {"es", 3082, ','},
    {"it_IT", 1040, ','}, {"it_CH", 2064, '.'}, {"it", 1040, ','},    {"nl_NL", 1043, ','},
    {"nl_BE", 2067, ','}, {"nl", 1043, ','},    {"sv", 1053, ','},    {"da", 1030, ','},
    {"nb", 1044, ','},    {"fi", 1035, ','},    {"pl", 1045, ','},    {"cs", 1029, ','},
    {"ru", 1049, ','},    {"ja", 1041, '.'},    {"zh_CN", 2052, '.'}, {"zh_TW", 1028, '.'},
}};

// "de_DE.UTF-8@euro" -> "de_DE"
std::string_view stripCodeset(std::string_view name) {
    return name.substr(0, name.find_first_of(".@"));
}

const LocaleEntry *lookup(std::string_view localeName) {
    const auto base = stripCodeset(localeName);
    for (const auto &e : kLocales)
        if (e.name == base)
            return &e;
    const auto language = base.substr(0, base.find('_'));
    for (const auto &e : kLocales)
        if (e.name == language)
            return &e;
    return nullptr;
}

std::string envValue(const char *name) {
    const char *v = std::getenv(name);
    return v && *v ? std::string(v) : std::string();
}

} // namespace

std::string userLocaleName() {
    for (const char *var : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
        auto v = envValue(var);
        if (!v.empty())
            return v;
    }
    return "C";
}

LCID lcidFromLocaleName(std::string_view name) {
    const auto *e = lookup(name);
    return e ? e->lcid : 1033;
}

LCID userDefaultLcid() {
    return lcidFromLocaleName(userLocaleName());
}

std::string decimalSeparatorOf(std::string_view localeName) {
    const std::string name(localeName);
    if (locale_t loc = ::newlocale(LC_NUMERIC_MASK, name.c_str(), static_cast<locale_t>(0))) {
        std::string sep = ::nl_langinfo_l(RADIXCHAR, loc);
        ::freelocale(loc);
        // Without the locale installed glibc would not have created it, so this is real.
        if (!sep.empty())
            return sep;
    }
    const auto *e = lookup(localeName);
    return std::string(1, e ? e->decimal : '.');
}

std::string userDecimalSeparator() {
    return decimalSeparatorOf(userLocaleName());
}

} // namespace platform

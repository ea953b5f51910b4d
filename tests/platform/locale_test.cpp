#include "platform/locale.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Locale, IdentifiersFromLocaleNames) {
    EXPECT_EQ(lcidFromLocaleName("de_DE.UTF-8"), 1031u);
    EXPECT_EQ(lcidFromLocaleName("de_DE@euro"), 1031u);
    EXPECT_EQ(lcidFromLocaleName("de_CH.UTF-8"), 2055u);
    EXPECT_EQ(lcidFromLocaleName("de_AT"), 3079u);
    EXPECT_EQ(lcidFromLocaleName("de_LU"), 4103u);
    EXPECT_EQ(lcidFromLocaleName("de_LI.UTF-8"), 5127u);
    // Territories outside the table fall back to the language.
    EXPECT_EQ(lcidFromLocaleName("de_NA"), 1031u);
    EXPECT_EQ(lcidFromLocaleName("en_GB.UTF-8"), 1033u);
    EXPECT_EQ(lcidFromLocaleName("en_SG"), 1033u);
    EXPECT_EQ(lcidFromLocaleName("pt_PT"), 1046u);
    EXPECT_EQ(lcidFromLocaleName("pt_AO"), 1046u);
    EXPECT_EQ(lcidFromLocaleName("fr_FR.UTF-8"), 1036u);
    EXPECT_EQ(lcidFromLocaleName("C"), 1033u);
    EXPECT_EQ(lcidFromLocaleName("C.UTF-8"), 1033u);
    EXPECT_EQ(lcidFromLocaleName("POSIX"), 1033u);
    EXPECT_EQ(lcidFromLocaleName(""), 1033u);
    EXPECT_EQ(lcidFromLocaleName("xx_YY"), 1033u);
}

TEST(Locale, EnvironmentOrderIsLcAllThenNumericThenLang) {
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_NUMERIC");
    ::setenv("LANG", "pt_BR.UTF-8", 1);
    EXPECT_EQ(userLocaleName(), "pt_BR.UTF-8");
    EXPECT_EQ(userDefaultLcid(), 1046u);
    ::setenv("LC_NUMERIC", "de_AT.UTF-8", 1);
    EXPECT_EQ(userDefaultLcid(), 3079u);
    ::setenv("LC_ALL", "en_US.UTF-8", 1);
    EXPECT_EQ(userDefaultLcid(), 1033u);
    ::unsetenv("LC_ALL");
    ::unsetenv("LC_NUMERIC");
    ::unsetenv("LANG");
    EXPECT_EQ(userLocaleName(), "C");
}

TEST(Locale, DecimalSeparatorsWithOrWithoutInstalledLocales) {
    EXPECT_EQ(decimalSeparatorOf("C"), ".");
    EXPECT_EQ(decimalSeparatorOf("en_US.UTF-8"), ".");
    // Whether or not glibc has these locales installed, the answer is the same.
    EXPECT_EQ(decimalSeparatorOf("de_DE.UTF-8"), ",");
    EXPECT_EQ(decimalSeparatorOf("pt_BR.UTF-8"), ",");
    EXPECT_EQ(decimalSeparatorOf("zz_ZZ"), ".");
}

// Number text with the C locale and no separator override: the separator is '.'.
#include "kernel/vexcore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

struct Parsed {
    platform::BOOL ok;
    float value;
};

Parsed parse(const char *text) {
    float v = 42.0f;
    const auto ok = LocStrgToFloat(text, &v);
    return {ok, v};
}

std::string format(float value, int decimals) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    FloatToLocStrg(value, buffer, decimals);
    return buffer;
}

} // namespace

TEST(LocStrgToFloat, AcceptsBothSeparatorsSpacesAndOneLeadingMinus) {
    EXPECT_EQ(parse("  -12,5  ").ok, 1);
    EXPECT_EQ(parse("  -12,5  ").value, -12.5f);
    EXPECT_EQ(parse("-12.5").value, -12.5f);
    EXPECT_EQ(parse("- 12.5").value, -12.5f);
    EXPECT_EQ(parse("7").value, 7.0f);
    EXPECT_EQ(parse(".5").value, 0.5f);
    EXPECT_EQ(parse("5.").value, 5.0f);
}

TEST(LocStrgToFloat, ExponentsUseTheSinglePrecisionTenth) {
    EXPECT_EQ(parse("1,5e3").value, 1500.0f);
    EXPECT_EQ(parse("1E+2").value, 100.0f);
    // 2e-2 lands one unit above the float nearest 0.02.
    const Parsed p = parse("2e-2");
    EXPECT_EQ(p.ok, 1);
    EXPECT_EQ(p.value, std::nextafter(0.02f, 1.0f));
    EXPECT_FLOAT_EQ(p.value, 0.0200000014f);
    // A bare exponent is exponent 0.
    EXPECT_EQ(parse("3e").value, 3.0f);
    EXPECT_EQ(parse("3e+").value, 3.0f);
    EXPECT_EQ(parse("3e-").value, 3.0f);
}

TEST(LocStrgToFloat, TextsWithoutDigitsGiveZeroAndSucceed) {
    EXPECT_EQ(parse("e5").ok, 1);
    EXPECT_EQ(parse("e5").value, 0.0f);
    EXPECT_EQ(parse(".").ok, 1);
    EXPECT_EQ(parse(".").value, 0.0f);
}

TEST(LocStrgToFloat, RejectsAndLeavesZero) {
    for (const char *bad : {"+12.5", "1 000", "12,5,0", "", "   ", "-", " - ", "12a", "1e5x", "--1",
                            "1.2.3", "1e5.0", "0x10"}) {
        const Parsed p = parse(bad);
        EXPECT_EQ(p.ok, 0) << bad;
        EXPECT_EQ(p.value, 0.0f) << bad;
    }
    EXPECT_EQ(parse(nullptr).ok, 0);
    EXPECT_EQ(parse(nullptr).value, 0.0f);
    EXPECT_EQ(LocStrgToFloat("1", nullptr), 0);
}

TEST(LocStrgToFloat, HugeExponentsAndMantissasStayBoundedAndIeeeSane) {
    EXPECT_TRUE(std::isinf(parse("1e999999999999").value));
    EXPECT_EQ(parse("1e-999999999999").value, 0.0f);
    EXPECT_EQ(parse("0e999999999").value, 0.0f);
    EXPECT_TRUE(std::isinf(parse("1e39").value));
    const std::string digits(6000, '9');
    EXPECT_TRUE(std::isinf(parse(digits.c_str()).value));
}

TEST(FloatToLocStrg, AutomaticPrecisionTrimsZerosButKeepsTheWidth) {
    EXPECT_EQ(format(5.0f, -1), " 5");
    EXPECT_EQ(format(0.0f, -1), "0");
    EXPECT_EQ(format(1234.5f, -1), "1234.5");
    EXPECT_EQ(format(-2.25f, -1), "-2.25");
    EXPECT_EQ(format(0.5f, -1), "0.5");         // 4 decimals: 0.5000
    EXPECT_EQ(format(0.005f, -1), "0.005");     // 5 decimals
    EXPECT_EQ(format(0.00005f, -1), "0.00005"); // 6 decimals
    EXPECT_EQ(format(100.0f, -1), "100");       // 100.000 already fills the width
    EXPECT_EQ(format(1.5f, -1), " 1.5");
}

TEST(FloatToLocStrg, FixedDecimalsKeepTrailingZeros) {
    EXPECT_EQ(format(2.5f, 2), "  2.50");
    EXPECT_EQ(format(2.0f, 0), "     2");
    EXPECT_EQ(format(-1.0f, 3), "-1.000");
}

TEST(FloatToLocStrg, MissingValuesGiveTheEmptyText) {
    EXPECT_EQ(format(-1.0e9f, 2), "");
    EXPECT_EQ(format(-1.0e9f, -1), "");
    EXPECT_EQ(format(-3.0e9f, 0), "");
    EXPECT_EQ(format(NAN, 2), "");
    EXPECT_EQ(format(-INFINITY, 2), "");
    EXPECT_NE(format(-999999936.0f, 0), ""); // the float just above -1e9 is a value
}

TEST(FloatToLocStrg, LongTextsAreCutTo30CharactersWithinThe31ByteContract) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    FloatToLocStrg(1.0e30f, buffer, 3);
    EXPECT_EQ(std::strlen(buffer), 30u);
    EXPECT_EQ(buffer[31], 'x'); // nothing written past byte 31
    // A cut integer part keeps its digits even with automatic precision.
    std::memset(buffer, 'x', sizeof buffer);
    FloatToLocStrg(1.0e30f, buffer, -1);
    EXPECT_EQ(std::string(buffer), std::string("100000001504746621987668885504"));
    EXPECT_EQ(format(1.0f, 1000000000).size(), 30u);
    FloatToLocStrg(1.0f, nullptr, 2); // no buffer: nothing happens
}

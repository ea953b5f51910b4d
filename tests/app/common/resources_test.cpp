#include "app/common/appstate.h"
#include "app/common/resources.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Resources : public ::testing::Test {
protected:
    void SetUp() override { common::resetAppState(); }
    void TearDown() override { common::resetAppState(); }
};

TEST_F(Resources, EachSlotAnswersWithItsOwnLanguage) {
    EXPECT_EQ(common::resourceString(1612), QStringLiteral("Abbrechen"));
    EXPECT_EQ(common::resourceString(5612), QStringLiteral("Cancel"));
    EXPECT_EQ(common::resourceString(9612), QStringLiteral("Cancel"));
    // Texts with a third-slot translation of their own use it; the others fall back.
    EXPECT_EQ(common::resourceString(1538), QStringLiteral("Von &Kamera aufnehmen..."));
    EXPECT_EQ(common::resourceString(5538), QStringLiteral("&Record from camera..."));
    EXPECT_EQ(common::resourceString(9538), QStringLiteral("&Gravar da câmera..."));

    common::appState().TextBase = common::kEnglishBase;
    EXPECT_EQ(common::res(1054), QStringLiteral("Do you want to save before you quit?"));
    common::appState().TextBase = common::kGermanBase;
    EXPECT_EQ(common::res(1044), QStringLiteral("Punkt "));
}

TEST_F(Resources, ThirdSlotLacksTheNewButtonToolTipOnly) {
    EXPECT_FALSE(common::resourceString(9020).has_value());
    EXPECT_EQ(common::resourceString(5020), QStringLiteral("New project"));
    EXPECT_EQ(common::resourceString(9021), QStringLiteral("Open video file"));
    common::appState().TextBase = common::kThirdBase;
    EXPECT_FALSE(common::lookupRes(1020).has_value());
    EXPECT_TRUE(common::res(1020).isEmpty());
}

TEST_F(Resources, NumbersOutsideTheTableHaveNoText) {
    for (int n : {999, 1014, 1999, 2000, 4999, 6000, 8999, 10000, -1})
        EXPECT_FALSE(common::resourceString(n).has_value()) << n;
    // A German number is looked up only in the German range, never straight in another slot.
    common::appState().TextBase = common::kEnglishBase;
    EXPECT_FALSE(common::lookupRes(5612).has_value());
}

TEST_F(Resources, EveryNumberTheProgramUsesHasBothLanguages) {
    const int used[] = {
        1000, 1001, 1002, 1004, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1015, 1018,
        1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1031, 1032, 1033, 1034,
        1035, 1036, 1037, 1038, 1039, 1041, 1042, 1043, 1044, 1045, 1046, 1047, 1048, 1049, 1050,
        1051, 1052, 1054, 1055, 1500, 1501, 1502, 1503, 1504, 1505, 1506, 1507, 1508, 1509, 1511,
        1512, 1514, 1515, 1516, 1517, 1518, 1519, 1520, 1521, 1522, 1523, 1524, 1525, 1526, 1527,
        1528, 1529, 1536, 1537, 1600, 1601, 1602, 1603, 1604, 1605, 1606, 1607, 1608, 1609, 1610,
        1611, 1612, 1613, 1614, 1615, 1616, 1617, 1618, 1619, 1620, 1621, 1622, 1623, 1624, 1625,
        1626, 1627, 1628, 1629, 1630, 1631, 1632, 1633, 1634, 1635, 1636, 1637, 1638, 1639, 1640,
        1641, 1642, 1643, 1644, 1645, 1700, 1701, 1702, 1703, 1704, 1705, 1800};
    for (int n : used) {
        const auto german = common::resourceString(n);
        const auto english = common::resourceString(n + 4000);
        ASSERT_TRUE(german && !german->isEmpty()) << n;
        ASSERT_TRUE(english && !english->isEmpty()) << n;
        if (n != 1020) {
            EXPECT_EQ(common::resourceString(n + 8000), english) << n;
        }
    }
}

TEST_F(Resources, AnalysisTextsHaveAllThreeLanguages) {
    std::vector<int> numbers = {1548, 1549, 1550};
    for (int n = 1900; n <= 1929; ++n)
        numbers.push_back(n);
    for (int n : numbers) {
        for (int base : {common::kGermanBase, common::kEnglishBase, common::kThirdBase}) {
            const auto text = common::resourceString(n + base);
            ASSERT_TRUE(text && !text->isEmpty()) << n + base;
        }
    }
    EXPECT_EQ(common::resourceString(1548), QStringLiteral("&Analyse"));
    EXPECT_EQ(common::resourceString(5548), QStringLiteral("&Analysis"));
    EXPECT_EQ(common::resourceString(9548), QStringLiteral("&Análise"));
    EXPECT_EQ(common::resourceString(5549), QStringLiteral("&Kinematics..."));
    EXPECT_EQ(common::resourceString(9550), QStringLiteral("Com &velocidades e acelerações"));
    // The axis titles take the unit; the third slot has its own words.
    for (int n : {1909, 1910, 1911, 1912, 5911, 9912})
        EXPECT_TRUE(common::resourceString(n)->contains(QStringLiteral("(%1"))) << n;
    EXPECT_EQ(common::resourceString(9911), QStringLiteral("Velocidade (%1/s)"));
}

TEST_F(Resources, QuotedTextsAreKeptToTheCharacter) {
    // Doubled blank, missing letter and leading blanks belong to these texts.
    EXPECT_EQ(common::resourceString(5024), QStringLiteral("Decreases zoom level by  10%"));
    EXPECT_EQ(common::resourceString(5004),
              QStringLiteral("An error occured while opening this file."));
    EXPECT_EQ(common::resourceString(5015), QStringLiteral(" Points "));
    EXPECT_EQ(common::resourceString(5033),
              QStringLiteral("Orbisa project (*.oxp)|*.oxp|All files (*.*)|*.*"));
    EXPECT_EQ(common::productTitle(), QStringLiteral("Talvor Orvane"));
}

TEST_F(Resources, FileFiltersComeInDescriptionPatternPairs) {
    for (int n : {1002, 1031, 1032, 1033, 1047, 1915, 1916, 5002, 5031, 5032, 5033, 5047, 5915,
                  5916, 9915, 9916}) {
        const QStringList parts = common::resourceString(n)->split(u'|');
        EXPECT_EQ(parts.size() % 2, 0) << n;
        for (qsizetype i = 1; i < parts.size(); i += 2)
            EXPECT_TRUE(parts[i].startsWith(u'*')) << n << " " << parts[i].toStdString();
    }
}

} // namespace

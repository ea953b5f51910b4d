// Sequence patterns, number texts and the rounding of zoom arithmetic.
#include "app/common/numbertext.h"
#include "app/video/sequencepattern.h"
#include "app/video/videomodes.h"

#include <gtest/gtest.h>

using namespace video;

TEST(SequencePattern, NamesBecomePatternsOnlyWithTrailingDigits) {
    EXPECT_EQ(videoOpenName("/seq/img0017.bmp"), "/seq/img%04d.bmp");
    EXPECT_EQ(videoOpenName("/seq/img17.jpg"), "/seq/img%d.jpg");
    EXPECT_EQ(videoOpenName("/seq/image.bmp"), "/seq/image.bmp");
    EXPECT_EQ(videoOpenName("/seq/IMG0.JPG"), "/seq/IMG%01d.JPG");
    EXPECT_EQ(videoOpenName("/seq/clip0001.avi"), "/seq/clip0001.avi");
    // Only the last three characters count, so ".jpeg" is a plain file.
    EXPECT_EQ(videoOpenName("/seq/img0001.jpeg"), "/seq/img0001.jpeg");
    // Digits of the folder are not part of the number.
    EXPECT_EQ(videoOpenName("/seq2/a.bmp"), "/seq2/a.bmp");
}

TEST(SequencePattern, NamesWithoutDigitsKeepAnUnusedPattern) {
    const SequencePattern p = sequencePattern("/seq/image.bmp");
    EXPECT_FALSE(p.use);
    EXPECT_EQ(p.pattern, "/seq/image%d.bmp");
    EXPECT_TRUE(isSequencePicture("x.Bmp"));
    EXPECT_FALSE(isSequencePicture("x.png"));
}

TEST(SequencePattern, ShortAndOddNamesAreSafe) {
    EXPECT_EQ(videoOpenName("bmp"), "bmp");
    EXPECT_EQ(videoOpenName(".bmp"), ".bmp");
    EXPECT_EQ(videoOpenName("7.bmp"), "%d.bmp");
    EXPECT_EQ(videoOpenName("0.bmp"), "%01d.bmp");
    EXPECT_EQ(videoOpenName(""), "");
    // Non-ASCII digits are not frame numbers.
    EXPECT_EQ(videoOpenName(QString::fromUtf8("a\u0663.bmp")), QString::fromUtf8("a\u0663.bmp"));
}

TEST(SequencePattern, PercentSignsOfTheNameStayLiteral) {
    EXPECT_EQ(videoOpenName("/seq/50%_0001.bmp"), "/seq/50%%_%04d.bmp");
}

TEST(VideoText, FixedDecimalsWithTheSeparator) {
    EXPECT_EQ(common::maskDecimals("0"), 0);
    EXPECT_EQ(common::maskDecimals("0.000"), 3);
    EXPECT_EQ(common::formatFixed(1.0, 2, "."), "1.00");
    EXPECT_EQ(common::formatFixed(1.0, 2, ","), "1,00");
    EXPECT_EQ(common::formatFixed(2.6, 0, ","), "3");
    EXPECT_EQ(common::formatFixed(-0.0001, 2, "."), "0.00");
    EXPECT_EQ(common::formatFixed(std::numeric_limits<double>::infinity(), 1, "."), "0.0");
}

TEST(VideoText, RoundingTiesToEven) {
    EXPECT_EQ(roundToEven(2.5), 2);
    EXPECT_EQ(roundToEven(3.5), 4);
    EXPECT_EQ(roundToEven(-2.5), -2);
    EXPECT_EQ(roundToEven(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(roundToEven(std::nan("")), 0);
}

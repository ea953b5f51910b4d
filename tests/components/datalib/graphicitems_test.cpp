// The overlay item collection: filing, showing and removing by number, and what the items
// paint at a known scale and offset.
#include "components/datalib/datalib.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using namespace datalib;
using platform::ComPtr;
using platform::S_OK;

namespace {

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlue = 0xFF0000;
const QRgb kWhite = qRgb(255, 255, 255);

class GraphicItemsTest : public ::testing::Test {
protected:
    ComPtr<TalvorGraphicItem> add(LONG kind, LONG number) {
        TalvorGraphicItem *raw = nullptr;
        EXPECT_EQ(items->Add(kind, &raw), S_OK);
        auto item = ComPtr<TalvorGraphicItem>::attach(raw);
        if (item) {
            EXPECT_EQ(items->FileItem(item.get(), number), S_OK);
        }
        return item;
    }

    std::vector<LONG> numbers() {
        std::vector<LONG> out;
        LONG count = 0;
        items->GetCount(&count);
        for (LONG i = 1; i <= count; ++i) {
            TalvorGraphicItem *raw = nullptr;
            items->GetItem(i, &raw);
            auto item = ComPtr<TalvorGraphicItem>::attach(raw);
            LONG id = 0;
            item->GetID(&id);
            out.push_back(id);
        }
        return out;
    }

    BOOL visible(const ComPtr<TalvorGraphicItem> &item) {
        BOOL v = -1;
        item->GetVisible(&v);
        return v;
    }

    // Paints the collection into a white 100 x 100 image.
    QImage paint(float scale = 1.0f, float hOffset = 0.0f, float vOffset = 0.0f,
                 QRect target = QRect(0, 0, 100, 100)) {
        QImage image(100, 100, QImage::Format_RGB32);
        image.fill(kWhite);
        QPainter painter(&image);
        EXPECT_EQ(items->Draw(0, &painter, target, scale, hOffset, vOffset, 640, 480), S_OK);
        painter.end();
        return image;
    }

    ComPtr<TalvorGraphicItems> items = createGraphicItems();
};

} // namespace

TEST_F(GraphicItemsTest, AddsTheFourKindsVisibleWithNumberZero) {
    for (LONG kind : {1, 2, 3, 6}) {
        TalvorGraphicItem *raw = nullptr;
        ASSERT_EQ(items->Add(kind, &raw), S_OK);
        auto item = ComPtr<TalvorGraphicItem>::attach(raw);
        LONG k = 0, id = -1;
        item->GetKind(&k);
        item->GetID(&id);
        EXPECT_EQ(k, kind);
        EXPECT_EQ(id, 0);
        EXPECT_EQ(visible(item), 1);
    }
    TalvorGraphicItem *raw = nullptr;
    EXPECT_EQ(items->Add(4, &raw), platform::E_INVALIDARG);
    EXPECT_EQ(raw, nullptr);
    LONG count = 0;
    items->GetCount(&count);
    EXPECT_EQ(count, 4);
}

TEST_F(GraphicItemsTest, ShowAndRemoveActOnEveryItemWithTheNumberOnly) {
    auto box = add(2, 7);
    auto path = add(3, 1000007);
    auto cross = add(6, 7);
    auto other = add(2, 8);
    EXPECT_EQ(numbers(), (std::vector<LONG>{7, 1000007, 7, 8}));

    ASSERT_EQ(items->Show(7, 0), S_OK);
    EXPECT_EQ(visible(box), 0);
    EXPECT_EQ(visible(cross), 0);
    EXPECT_EQ(visible(path), 1);
    EXPECT_EQ(visible(other), 1);
    items->Show(7, 1);
    EXPECT_EQ(visible(box), 1);

    ASSERT_EQ(items->Remove(7), S_OK);
    EXPECT_EQ(numbers(), (std::vector<LONG>{1000007, 8}));
    EXPECT_EQ(items->Remove(7), platform::S_FALSE);
    EXPECT_EQ(items->Show(12345, 1), platform::S_FALSE);

    TalvorGraphicItem *raw = nullptr;
    EXPECT_EQ(items->GetItem(0, &raw), platform::E_INVALIDARG);
    EXPECT_EQ(items->GetItem(3, &raw), platform::E_INVALIDARG);
    items->Clear();
    EXPECT_TRUE(numbers().empty());
}

TEST_F(GraphicItemsTest, FilingAnItemOfAnotherCollectionAddsItHereOnce) {
    auto foreignItems = createGraphicItems();
    TalvorGraphicItem *raw = nullptr;
    foreignItems->Add(1, &raw);
    auto item = ComPtr<TalvorGraphicItem>::attach(raw);
    ASSERT_EQ(items->FileItem(item.get(), 1000), S_OK);
    ASSERT_EQ(items->FileItem(item.get(), 1001), S_OK);
    EXPECT_EQ(numbers(), (std::vector<LONG>{1001}));
    EXPECT_EQ(items->FileItem(nullptr, 1), platform::E_POINTER);
}

TEST_F(GraphicItemsTest, ColorIsTheLineColourAndRecolouringShowsInThePaint) {
    auto box = add(2, 1);
    box->SetPoint1(10, 10);
    box->SetPoint2(20, 20);
    box->SetLineColor(kRed);
    COLORREF c = 0;
    box->GetColor(&c);
    EXPECT_EQ(c, kRed);
    EXPECT_EQ(paint().pixel(10, 15), qRgb(255, 0, 0));
    box->SetColor(kBlue); // 0x00BBGGRR: this is blue
    EXPECT_EQ(paint().pixel(10, 15), qRgb(0, 0, 255));
}

TEST_F(GraphicItemsTest, ABoxSpansBothPointsAndIsFilledOnlyWithTheFillBit) {
    auto box = add(2, 1);
    box->SetPoint1(20, 20); // the corners may come in either order
    box->SetPoint2(10, 10);
    box->SetLineColor(kRed);
    box->SetFillColor(kBlue);
    QImage image = paint();
    EXPECT_EQ(image.pixel(10, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(20, 20), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(20, 10), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(15, 15), kWhite);
    EXPECT_EQ(image.pixel(21, 15), kWhite);
    EXPECT_EQ(image.pixel(9, 15), kWhite);

    box->SetStyle(1);
    image = paint();
    EXPECT_EQ(image.pixel(15, 15), qRgb(0, 0, 255));
    EXPECT_EQ(image.pixel(10, 15), qRgb(255, 0, 0));
}

TEST_F(GraphicItemsTest, PositionsFollowScaleCentreTermAndOffsets) {
    // Zoom 200, offsets (5, 3): image x -> x * 2 + 1 - 5, y -> y * 2 + 1 - 3.
    auto line = add(1, 1);
    line->SetPoint1(10, 10);
    line->SetPoint2(30, 10);
    line->SetLineColor(kRed);
    const QImage image = paint(2.0f, 5.0f, 3.0f);
    EXPECT_EQ(image.pixel(16, 18), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(56, 18), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(36, 18), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(15, 18), kWhite);
    EXPECT_EQ(image.pixel(57, 18), kWhite);
    EXPECT_EQ(image.pixel(36, 17), kWhite);
    EXPECT_EQ(image.pixel(36, 19), kWhite);

    // Zoom 400 is passed as 4.0f * 0.01-ish arithmetic; the centre term must still be 2.
    line->SetPoint1(5, 5);
    line->SetPoint2(5, 5);
    const QImage zoomed = paint(400 * 0.01f);
    EXPECT_EQ(zoomed.pixel(22, 22), qRgb(255, 0, 0));
}

TEST_F(GraphicItemsTest, ACrossIsCentredOnTheFirstPointWithArmsOfTheSize) {
    auto cross = add(6, 3000001);
    cross->SetPoint1(50, 50);
    cross->SetSize(3.0f);
    cross->SetLineColor(kRed);
    const QImage image = paint();
    for (QPoint p :
         {QPoint(47, 50), QPoint(53, 50), QPoint(50, 47), QPoint(50, 53), QPoint(50, 50)})
        EXPECT_EQ(image.pixel(p), qRgb(255, 0, 0)) << p.x() << "," << p.y();
    EXPECT_EQ(image.pixel(54, 50), kWhite);
    EXPECT_EQ(image.pixel(50, 54), kWhite);
    EXPECT_EQ(image.pixel(51, 51), kWhite);
}

TEST_F(GraphicItemsTest, TheWidthCodeWidensThePen) {
    auto line = add(1, 1);
    line->SetPoint1(10, 50);
    line->SetPoint2(90, 50);
    line->SetLineColor(kRed);
    line->SetStyle(4); // code 4: three pixels
    const QImage image = paint();
    EXPECT_EQ(image.pixel(50, 49), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(50, 51), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(50, 47), kWhite);
    EXPECT_EQ(image.pixel(50, 53), kWhite);
}

TEST_F(GraphicItemsTest, HiddenMissingAndOutsideItemsPaintNothing) {
    auto hidden = add(2, 1);
    hidden->SetPoint1(10, 10);
    hidden->SetPoint2(20, 20);
    items->Show(1, 0);
    auto missing = add(1, 2);
    missing->SetPoint1(kMissing, 10);
    missing->SetPoint2(90, 10);
    auto huge = add(1, 3);
    huge->SetPoint1(std::numeric_limits<float>::max(), 5);
    huge->SetPoint2(-std::numeric_limits<float>::max(), 5);
    huge->SetLineColor(kRed);
    auto nan = add(2, 4);
    nan->SetPoint1(std::numeric_limits<float>::quiet_NaN(), 1);
    auto clipped = add(1, 5);
    clipped->SetPoint1(0, 70);
    clipped->SetPoint2(99, 70);

    const QImage image = paint(1.0f, 0.0f, 0.0f, QRect(0, 0, 100, 50));
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 100; ++x) {
            if (y == 5) // the huge line is clamped, so it crosses the picture
                continue;
            ASSERT_EQ(image.pixel(x, y), kWhite) << x << "," << y;
        }
    }
}

TEST_F(GraphicItemsTest, DrawingWithoutAPainterFails) {
    add(2, 1);
    EXPECT_EQ(items->Draw(0, nullptr, QRect(0, 0, 1, 1), 1.0f, 0, 0, 1, 1), platform::E_POINTER);
    QImage image(4, 4, QImage::Format_RGB32);
    QPainter inactive;
    EXPECT_EQ(items->Draw(0, &inactive, QRect(0, 0, 4, 4), 1.0f, 0, 0, 1, 1), platform::E_FAIL);
}

// The collection keeps the numbers of its items to itself; a number given to the item
// directly must count all the same, however many items are renumbered between two calls.
TEST_F(GraphicItemsTest, NumbersGivenToTheItemsThemselvesCount) {
    std::vector<ComPtr<TalvorGraphicItem>> held;
    for (LONG i = 0; i < 3000; ++i)
        held.push_back(add(i % 3 == 0 ? 2 : 6, 1000 + i % 10));
    held[5]->SetID(42);
    held[2999]->SetID(42);
    ASSERT_EQ(items->Show(42, 0), S_OK);
    EXPECT_EQ(visible(held[5]) + visible(held[2999]) + visible(held[15]), 1);
    ASSERT_EQ(items->Remove(42), S_OK);
    EXPECT_EQ(numbers()[5], 1006);

    for (std::size_t i = 0; i < held.size(); i += 2)
        held[i]->SetID(7);
    ASSERT_EQ(items->Remove(7), S_OK);
    const auto now = numbers();
    EXPECT_EQ(now.size(), 1498u);
    EXPECT_EQ(std::count(now.begin(), now.end(), 1004), 0); // all were at even places
    EXPECT_EQ(std::count(now.begin(), now.end(), 1005), 299);
    EXPECT_EQ(now.front(), 1001);
}

// What the overlay collection keeps between calls (the numbers of its items, the pixels of
// its settled items) must never show: every Draw gives the pixels of painting each visible
// item in order, and operations by number see every number however it was given.
#include "components/datalib/datalib.h"
#include "components/datalib/graphicitems.h"

#include <QImage>
#include <QPainter>
#include <QTransform>

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <random>
#include <sstream>

using namespace datalib;
using platform::ComPtr;
using platform::S_OK;

namespace {

// An item implemented outside the library, around a real one that no collection watches. It
// paints translucent and moves with the frame.
class ForeignItem final : public platform::ComObject<TalvorGraphicItem> {
public:
    ForeignItem() {
        TalvorGraphicItem *raw = nullptr;
        createGraphicItems()->Add(ItemCircle, &raw);
        inner = ComPtr<TalvorGraphicItem>::attach(raw);
    }
    HRESULT GetKind(LONG *v) override { return inner->GetKind(v); }
    HRESULT SetStyle(LONG v) override { return inner->SetStyle(v); }
    HRESULT GetStyle(LONG *v) override { return inner->GetStyle(v); }
    HRESULT SetPoint1(float x, float y) override { return inner->SetPoint1(x, y); }
    HRESULT GetPoint1(float *x, float *y) override { return inner->GetPoint1(x, y); }
    HRESULT SetPoint2(float x, float y) override { return inner->SetPoint2(x, y); }
    HRESULT GetPoint2(float *x, float *y) override { return inner->GetPoint2(x, y); }
    HRESULT SetSize(float v) override { return inner->SetSize(v); }
    HRESULT GetSize(float *v) override { return inner->GetSize(v); }
    HRESULT SetLineColor(COLORREF v) override { return inner->SetLineColor(v); }
    HRESULT GetLineColor(COLORREF *v) override { return inner->GetLineColor(v); }
    HRESULT SetFillColor(COLORREF v) override { return inner->SetFillColor(v); }
    HRESULT GetFillColor(COLORREF *v) override { return inner->GetFillColor(v); }
    HRESULT SetID(LONG v) override { return inner->SetID(v); }
    HRESULT GetID(LONG *v) override { return inner->GetID(v); }
    HRESULT SetColor(COLORREF v) override { return inner->SetColor(v); }
    HRESULT GetColor(COLORREF *v) override { return inner->GetColor(v); }
    HRESULT GetVisible(BOOL *v) override { return inner->GetVisible(v); }
    HRESULT SetVisible(BOOL v) override {
        if (onSetVisible)
            onSetVisible();
        return inner->SetVisible(v);
    }
    HRESULT Draw(LONG frame, QPainter *painter, const QRect &target, float scale, float hOffset,
                 float vOffset, LONG width, LONG height) override {
        painter->save();
        painter->setOpacity(0.5);
        inner->Draw(frame, painter, target, scale, hOffset - float(frame % 7), vOffset, width,
                    height);
        painter->restore();
        if (onDraw)
            onDraw();
        return S_OK;
    }

    ComPtr<TalvorGraphicItem> inner;
    std::function<void()> onDraw, onSetVisible;
};

// Where a Draw goes: the image it paints on and the painter state it finds there.
struct Surface {
    QImage::Format format = QImage::Format_RGB32;
    int ratio = 1;
    QTransform transform{};
    QRect clip{};
    qreal opacity = 1.0;
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
};

const Surface kSurfaces[] = {
    {},
    {.format = QImage::Format_ARGB32_Premultiplied},
    {.ratio = 2},
    {.transform = QTransform::fromTranslate(7, -3)},
    {.clip = QRect(20, 20, 40, 30)},
    // Surfaces that a composite of cached pixels could not reproduce.
    {.transform = QTransform::fromScale(1.5, 1.5)},
    {.format = QImage::Format_ARGB32},
    {.opacity = 0.5},
    {.format = QImage::Format_ARGB32_Premultiplied, .mode = QPainter::CompositionMode_Xor},
};

struct View {
    float scale, hOffset, vOffset;
    QRect target;
};

const View kViews[] = {
    {1.0f, 0.0f, 0.0f, QRect(0, 0, 160, 120)},
    {0.37f, -20.0f, -10.0f, QRect(0, 0, 160, 120)},
    {1.13f, 15.0f, 7.0f, QRect(10, 5, 130, 100)},
    {2.5f, 300.0f, 200.0f, QRect(0, 0, 160, 120)},
    {2.5f, -40.0f, -35.0f, QRect(-20, -20, 300, 90)},
    {0.66f, 3.0f, -2.0f, QRect(40, 0, 400, 400)},
};

// Empty when equal, else where they first differ.
std::string difference(const QImage &got, const QImage &want) {
    for (int y = 0; y < got.height(); ++y) {
        for (int x = 0; x < got.width(); ++x) {
            if (got.pixel(x, y) != want.pixel(x, y)) {
                std::ostringstream out;
                out << "(" << x << "," << y << ") is " << std::hex << got.pixel(x, y)
                    << " instead of " << want.pixel(x, y);
                return out.str();
            }
        }
    }
    return {};
}

class GraphicItemsCacheTest : public ::testing::Test {
protected:
    // Through the collection's Draw, or each item asked in turn with nothing kept.
    QImage paint(bool itemByItem, const Surface &surface = kSurfaces[0],
                 QRgb background = qRgb(30, 40, 50), const View &view = kViews[0], LONG frame = 0) {
        QImage image(160 * surface.ratio, 120 * surface.ratio, surface.format);
        image.setDevicePixelRatio(surface.ratio);
        image.fill(QColor::fromRgba(background));
        QPainter painter(&image);
        painter.setTransform(surface.transform);
        if (surface.clip.isValid())
            painter.setClipRect(surface.clip);
        painter.setOpacity(surface.opacity);
        painter.setCompositionMode(surface.mode);
        const auto draw = [&](auto *on) {
            return on->Draw(frame, &painter, view.target, view.scale, view.hOffset, view.vOffset,
                            640, 480);
        };
        LONG count = 0;
        items->GetCount(&count);
        for (LONG i = 1; itemByItem && i <= count; ++i) {
            TalvorGraphicItem *raw = nullptr;
            items->GetItem(i, &raw);
            draw(ComPtr<TalvorGraphicItem>::attach(raw).get());
        }
        if (!itemByItem) {
            EXPECT_EQ(draw(items.get()), S_OK);
        }
        painter.end();
        return image;
    }

    void expectSameTwice(const Surface &surface = kSurfaces[0], const View &view = kViews[0]) {
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(difference(paint(false, surface, 0, view), paint(true, surface, 0, view)),
                      "");
    }

    ComPtr<TalvorGraphicItem> add(LONG kind, LONG number, float x, float y, LONG style = 2) {
        TalvorGraphicItem *raw = nullptr;
        EXPECT_EQ(items->Add(kind, &raw), S_OK);
        auto item = ComPtr<TalvorGraphicItem>::attach(raw);
        item->SetPoint1(x, y);
        item->SetPoint2(x + 14, y + 35);
        item->SetSize(5);
        item->SetStyle(style);
        item->SetLineColor(0x2080F0);
        items->FileItem(item.get(), number);
        return item;
    }

    // Small boxes and crosses in rows over the view.
    void addPathMarks(int count, LONG number) {
        for (int i = 0; i < count; ++i)
            add(i % 2 ? ItemCross : ItemBox, number, float(i % 30) * 5, float(i / 30) * 9, 0)
                ->SetPoint2(float(i % 30) * 5 + 3, float(i / 30) * 9 + 3);
    }

    ComPtr<GraphicItems> items = ComPtr<GraphicItems>::attach(new GraphicItems);
};

} // namespace

// Random edits of every kind between Draws on every surface. The mix is that of tracking:
// runs of path marks that stay, a frame's symbols near the end that come and go, and now
// and then an edit anywhere, by number or on the item itself.
TEST_F(GraphicItemsCacheTest, EveryDrawEqualsPaintingTheItemsOneByOne) {
    std::mt19937 rng(20240611);
    const auto pick = [&](int n) {
        return std::uniform_int_distribution<int>(0, n - 1)(rng);
    };
    const auto chance = [&](int percent) {
        return pick(100) < percent;
    };
    const auto coordinate = [&] {
        const int r = pick(100);
        return r == 0 ? kMissing : r == 1 ? 3.0e9f : float(pick(700) - 40) + 0.25f * float(pick(4));
    };
    const COLORREF palette[] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF, 0x000000, 0x3366CC};
    const QRgb backgrounds[] = {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(12, 200, 90),
                                qPremultiply(qRgba(200, 30, 30, 128))};
    const LONG kinds[] = {ItemLines, ItemBox, ItemCircle, ItemCross};
    const auto symbol = [&] {
        return LONG(1 + pick(6));
    };
    LONG path = 1000; // path marks are filed in runs under one number, symbols under 1 to 6
    const auto addTo = [&](TalvorGraphicItems *to, LONG kind, LONG number) {
        TalvorGraphicItem *raw = nullptr;
        ASSERT_EQ(to->Add(kind, &raw), S_OK);
        raw->SetPoint1(coordinate(), coordinate());
        raw->SetPoint2(coordinate(), coordinate());
        raw->SetSize(float(pick(12)));
        raw->SetStyle(pick(14));
        raw->SetLineColor(palette[pick(6)]);
        raw->SetFillColor(palette[pick(6)]);
        EXPECT_EQ(items->FileItem(raw, number), S_OK); // here, whoever added it
        raw->Release();
    };
    auto other = createGraphicItems();
    std::vector<ComPtr<ForeignItem>> foreign;
    std::size_t surface = 0, view = 0, lastCached = 0;
    int draws = 0, cachedDraws = 0, shrinks = 0;
    for (int step = 0; step < 1500; ++step) {
        LONG count = 0;
        items->GetCount(&count);
        const int op = pick(100);
        if (count < 120 || (op < 12 && count < 450)) {
            for (int i = 1 + pick(40); i > 0; --i)
                addTo(items.get(), kinds[pick(4)], chance(80) ? path + pick(2) : symbol());
            path += chance(30);
        } else if (op < 30) {
            const LONG number = symbol();
            items->Remove(number);
            addTo(items.get(), ItemBox, number);
            addTo(items.get(), ItemCross, number);
        } else if (op < 38) {
            items->Remove(chance(50) ? path - pick(4) : LONG(1000 + pick(40)));
        } else if (op < 46) {
            items->Show(chance(50) ? symbol() : path - pick(8), chance(50));
        } else if (op < 75) {
            TalvorGraphicItem *raw = nullptr;
            items->GetItem(chance(70) ? std::max<LONG>(1, count - pick(40)) : 1 + pick(count),
                           &raw);
            const auto item = ComPtr<TalvorGraphicItem>::attach(raw);
            COLORREF color = 0;
            switch (pick(6)) {
            case 0:
                item->SetColor(palette[pick(6)]);
                break;
            case 1:
                item->SetPoint1(coordinate(), coordinate());
                break;
            case 2:
                item->SetStyle(pick(14));
                break;
            case 3:
                item->SetVisible(chance(50));
                break;
            case 4:
                item->SetID(chance(50) ? symbol() : path);
                break;
            default: // the same value again
                item->GetColor(&color);
                item->SetColor(color);
            }
        } else if (op < 80) {
            auto item = ComPtr<ForeignItem>::attach(new ForeignItem);
            item->SetPoint1(coordinate(), coordinate());
            EXPECT_EQ(items->FileItem(item.get(), chance(50) ? symbol() : path), S_OK);
            if (chance(50))
                foreign.push_back(item); // else the collection is its only owner
        } else if (op < 84) {
            addTo(other.get(), kinds[pick(4)], symbol()); // held by both collections
        } else if (op < 88) {
            other->Show(symbol(), chance(50));
            if (chance(30))
                other->Remove(symbol());
        } else if (op < 90 && !foreign.empty()) { // behind the collection's back
            const auto &item = foreign[std::size_t(pick(int(foreign.size())))]->inner;
            if (chance(50))
                item->SetID(symbol());
            else
                item->SetPoint1(coordinate(), coordinate());
        } else if (op == 90) {
            items->Clear();
        }
        if (step % 2 == 0 && !chance(30))
            continue;

        // Mostly the same surface and view again; now and then a switch, or one Draw
        // elsewhere.
        surface = chance(6) ? std::size_t(pick(int(std::size(kSurfaces)))) : surface;
        view = chance(6) ? std::size_t(pick(int(std::size(kViews)))) : view;
        const bool once = chance(8);
        const Surface &s = kSurfaces[once ? std::size_t(pick(int(std::size(kSurfaces)))) : surface];
        const View &v = kViews[once ? std::size_t(pick(int(std::size(kViews)))) : view];
        const QRgb background = backgrounds[pick(4)];
        const LONG frame = pick(50);
        ASSERT_EQ(
            difference(paint(false, s, background, v, frame), paint(true, s, background, v, frame)),
            "")
            << "step " << step;
        ++draws;
        cachedDraws += items->cachedItemCount() > 0;
        shrinks += items->cachedItemCount() < lastCached;
        lastCached = items->cachedItemCount();
    }
    // The cache took part, and was cut back often, rather than everything painting directly.
    EXPECT_GT(cachedDraws, draws / 3) << draws;
    EXPECT_GT(shrinks, 20);
}

// Alone in the cache, an item decides how much of it is laid over the device: wide pens,
// square caps on slanted lines and mitred corners must all come through.
TEST_F(GraphicItemsCacheTest, WidePensReachTheDeviceWhole) {
    for (int i = 0; i < 8; ++i)
        add(std::array{ItemLines, ItemBox, ItemCircle, ItemCross}[i % 4], 1,
            10.0f + 37.0f * float(i % 4), 12.0f + 50.0f * float(i / 4), i < 4 ? 12 : 13);
    for (int i = 0; i < 100; ++i) // far outside the view, to push the items above into the cache
        add(ItemBox, 2, 5000, 5000);
    for (const View &view : {kViews[0], kViews[3], kViews[1]}) {
        for (const Surface &surface : {kSurfaces[0], kSurfaces[2]}) {
            expectSameTwice(surface, view);
            EXPECT_GE(items->cachedItemCount(), 8u);
        }
    }
}

TEST_F(GraphicItemsCacheTest, AnItemInTwoCollectionsIsUpToDateInBoth) {
    auto shared = add(ItemBox, 7, 20, 20);
    addPathMarks(300, 1000);
    auto other = createGraphicItems();
    ASSERT_EQ(other->FileItem(shared.get(), 8), S_OK);
    expectSameTwice();
    ASSERT_GT(items->cachedItemCount(), 1u);
    ASSERT_EQ(other->Show(8, 0), S_OK);
    expectSameTwice();
    EXPECT_EQ(items->Remove(7), platform::S_FALSE); // the other collection renumbered it
    ASSERT_EQ(items->Show(8, 1), S_OK);
    expectSameTwice();

    // The other collection goes; the item stays here and is still followed.
    other = nullptr;
    shared->SetVisible(0);
    expectSameTwice();
    shared->SetID(9);
    EXPECT_EQ(items->Remove(9), S_OK);
    expectSameTwice();
}

TEST_F(GraphicItemsCacheTest, ItemsLetGoOfWhilePaintedAreStillPainted) {
    addPathMarks(200, 1000);
    // Once armed, this item from elsewhere empties the collection while it paints.
    auto clearing = ComPtr<ForeignItem>::attach(new ForeignItem);
    clearing->SetPoint1(30, 30);
    bool armed = false;
    clearing->onDraw = [&] {
        if (armed)
            items->Clear();
    };
    ASSERT_EQ(items->FileItem(clearing.get(), 1), S_OK);
    addPathMarks(100, 1001);
    expectSameTwice();
    EXPECT_EQ(items->cachedItemCount(), 200u); // nothing from the foreign item on

    // The Draw in progress paints all it began with, the clearing item included though the
    // collection was its only owner.
    const QImage want = paint(true);
    clearing = nullptr;
    armed = true;
    EXPECT_EQ(difference(paint(false), want), "");
    LONG count = -1;
    items->GetCount(&count);
    EXPECT_EQ(count, 0);
}

TEST_F(GraphicItemsCacheTest, AnItemFromElsewhereIsAskedForItsNumberEachTime) {
    add(ItemBox, 1, 0, 0);
    auto foreign = ComPtr<ForeignItem>::attach(new ForeignItem);
    ASSERT_EQ(items->FileItem(foreign.get(), 1), S_OK);
    add(ItemBox, 2, 0, 0);
    foreign->inner->SetID(2); // behind the collection's back
    ASSERT_EQ(items->Show(2, 0), S_OK);
    BOOL shown = 1;
    foreign->GetVisible(&shown);
    EXPECT_EQ(shown, 0);
    ASSERT_EQ(items->Remove(2), S_OK);
    LONG count = 0;
    items->GetCount(&count);
    EXPECT_EQ(count, 1);

    // It may even empty the collection while shown; the items still to be shown survive.
    foreign->onSetVisible = [this] {
        items->Clear();
    };
    ASSERT_EQ(items->FileItem(foreign.get(), 1), S_OK);
    for (int i = 0; i < 3; ++i)
        add(ItemCross, 1, 0, 0);
    foreign = nullptr;
    EXPECT_EQ(items->Show(1, 0), S_OK);
    EXPECT_EQ(items->Show(1, 1), platform::S_FALSE);
}

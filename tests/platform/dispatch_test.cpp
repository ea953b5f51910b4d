#include "platform/classes.h"
#include "platform/dispatch.h"
#include "platform/picture.h"
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace platform;

TEST(Variant, CoercesLikeAutomation) {
    bool ok = false;
    EXPECT_EQ(Variant(2.5).toLong(&ok), 2); // halves to even
    EXPECT_TRUE(ok);
    EXPECT_EQ(Variant(3.5f).toLong(), 4);
    EXPECT_EQ(Variant(std::string("  42 ")).toLong(&ok), 42);
    EXPECT_TRUE(ok);
    EXPECT_EQ(Variant("abc").toLong(&ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Variant(1e12).toLong(&ok), 0); // does not fit 32 bits
    EXPECT_FALSE(ok);
    EXPECT_EQ(Variant(LONGLONG{1} << 40).toLongLong(), LONGLONG{1} << 40);
    EXPECT_EQ(Variant(true).toLong(), -1);
    EXPECT_TRUE(Variant(LONG{5}).toBool());
    EXPECT_FALSE(Variant(0.0).toBool());
    EXPECT_EQ(Variant(LONG{7}).toString(), "7");
    EXPECT_FLOAT_EQ(Variant("1.25").toFloat(), 1.25f);
    EXPECT_EQ(Variant().toLong(&ok), 0);
    EXPECT_TRUE(ok); // empty converts to 0
    EXPECT_FALSE(Variant::null().toDouble(&ok) != 0.0);
    EXPECT_FALSE(ok);
    EXPECT_TRUE(std::isnan(Variant(std::nan("")).toDouble()));
    EXPECT_EQ(Variant(std::nan("")).toLong(&ok), 0);
    EXPECT_FALSE(ok);
}

TEST(Variant, ReferencesAndArraysShareTheirTarget) {
    Variant out;
    Variant ref = Variant::byRef(&out);
    ref.deref() = Variant(LONG{9});
    EXPECT_EQ(out.toLong(), 9);
    EXPECT_EQ(ref.toLong(), 9); // reads through the reference

    SafeArray a{VarType::I4, {Variant(LONG{1}), Variant(LONG{2})}};
    Variant arr(a);
    EXPECT_TRUE(arr.isArray());
    EXPECT_EQ(static_cast<USHORT>(arr.type()),
              static_cast<USHORT>(VarType::Array) | static_cast<USHORT>(VarType::I4));
    Variant copy = arr;
    copy.array()->elements[0] = Variant(LONG{5});
    EXPECT_EQ(arr.array()->elements[0].toLong(), 5);
}

namespace {

// A tiny automation object: property 1 (I4, accepts 0..9), method 2 adds its arguments.
class Counter final : public RefCounted<IDispatch> {
public:
    Counter() {
        m_table.add(1, DispatchKind::PropertyGet, "Value", 0, [this](auto, Variant *r) {
            *r = Variant(m_value);
            return S_OK;
        });
        m_table.add(1, DispatchKind::PropertyPut, "Value", 1, [this](auto args, Variant *) {
            bool ok = false;
            const LONG v = args[0].toLong(&ok);
            if (!ok)
                return DISP_E_TYPEMISMATCH;
            if (v >= 0 && v <= 9)
                m_value = v;
            return S_OK;
        });
        m_table.add(2, DispatchKind::Method, "Add", 2, [](auto args, Variant *r) {
            *r = Variant(args[0].toLong() + args[1].toLong());
            return S_OK;
        });
    }
    HRESULT QueryInterface(const Guid &iid, void **object) override {
        if (iid == IUnknown::IID || iid == IDispatch::IID) {
            AddRef();
            *object = static_cast<IDispatch *>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Invoke(DISPID id, DispatchKind kind, std::span<Variant> args,
                   Variant *result) override {
        return m_table.invoke(id, kind, args, result);
    }
    DispatchTable m_table;
    LONG m_value = 3;
};

constexpr Guid kCounterClass = guidOf("{0A0B0C0D-0000-4000-8000-000000000001}");

} // namespace

TEST(Dispatch, CallsByIdCheckCountsAndReportUnknownMembers) {
    auto counter = ComPtr<Counter>::attach(new Counter);
    IDispatch *d = counter.get();
    EXPECT_EQ(invoke(d, 1, DispatchKind::PropertyGet).value.toLong(), 3);
    EXPECT_TRUE(invoke(d, 1, DispatchKind::PropertyPut, {Variant(LONG{7})}).ok());
    EXPECT_TRUE(invoke(d, 1, DispatchKind::PropertyPut, {Variant(LONG{12})}).ok()); // ignored
    EXPECT_EQ(invoke(d, 1, DispatchKind::PropertyGet).value.toLong(), 7);
    EXPECT_EQ(invoke(d, 1, DispatchKind::PropertyPut, {Variant("x")}).status, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(invoke(d, 2, DispatchKind::Method, {Variant(LONG{2}), Variant(3.0)}).value.toLong(),
              5);
    EXPECT_EQ(invoke(d, 2, DispatchKind::Method, {Variant(LONG{2})}).status, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invoke(d, 2, DispatchKind::PropertyGet).status, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(d, 99, DispatchKind::Method).status, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(invoke(nullptr, 1, DispatchKind::PropertyGet).status, E_POINTER);
    EXPECT_EQ(counter->m_table.members().size(), 3u);
}

namespace {

// Members of every shape the typed bindings take: a plain value, a BOOL that travels as
// VT_BOOL, a colour that travels as I4, an indexed property, a read-only one, methods with
// and without a result and one with an out parameter.
class Gauge {
public:
    LONG level() const { return m_level; }
    void setLevel(LONG level) {
        m_level = level;
        ++levelPuts;
    }
    BOOL lit() const { return m_lit; }
    void setLit(BOOL lit) { m_lit = lit; }
    std::uint32_t colour() const { return m_colour; }
    void setColour(std::uint32_t colour) { m_colour = colour; }
    float scale(LONG channel) const { return m_scale[channel & 1]; }
    void setScale(LONG channel, float scale) { m_scale[channel & 1] = scale; }
    std::string label() const { return m_label; }
    LONG rename(const std::string &label, double width) {
        m_label = label;
        return static_cast<LONG>(width * 10);
    }
    void reset() { m_level = 0; }
    LONG limit() const { return m_limit; }
    // A put that reports its own status: a negative limit is refused.
    HRESULT setLimit(LONG limit) {
        if (limit < 0)
            return E_INVALIDARG;
        m_limit = limit;
        return S_OK;
    }
    BOOL copyLabel(Variant *out) const {
        if (out)
            *out = Variant(m_label);
        return out != nullptr;
    }

    int levelPuts = 0;

private:
    LONG m_level = 4;
    BOOL m_lit = 0;
    std::uint32_t m_colour = 0;
    float m_scale[2] = {1.0f, 1.0f};
    std::string m_label = "gauge";
    LONG m_limit = 10;
};

constexpr Guid kGaugeInterface = guidOf("{0A0B0C0D-0000-4000-8000-000000000002}");

class GaugeObject final : public DispatchObject<kGaugeInterface> {
public:
    GaugeObject() {
        auto t = m_table.bind(&gauge);
        t.property(1, "Level", &Gauge::level, &Gauge::setLevel);
        t.property<bool>(2, "Lit", &Gauge::lit, &Gauge::setLit);
        t.property<LONG>(3, "Colour", &Gauge::colour, &Gauge::setColour);
        t.property(4, "Scale", &Gauge::scale, &Gauge::setScale);
        t.property(5, "Label", &Gauge::label);
        t.method(6, "Rename", &Gauge::rename);
        t.method(7, "Reset", &Gauge::reset);
        t.method<bool(Variant *)>(8, "CopyLabel", &Gauge::copyLabel);
        t.property(9, "Limit", &Gauge::limit, &Gauge::setLimit);
    }
    Gauge gauge;
    bool gone = false; // the members' owner has gone

private:
    const DispatchTable *dispatchTable() const override { return gone ? nullptr : &m_table; }
    DispatchTable m_table;
};

} // namespace

TEST(DispatchBinding, ConvertsArgumentsToTheMembersTypesAndResultsBack) {
    auto object = ComPtr<GaugeObject>::attach(new GaugeObject);
    IDispatch *d = object.get();
    const Gauge &g = object->gauge;
    using K = DispatchKind;

    EXPECT_TRUE(invoke(d, 1, K::PropertyPut, {Variant("12")}).ok());
    EXPECT_EQ(g.level(), 12);
    const auto level = invoke(d, 1, K::PropertyGet);
    EXPECT_EQ(level.value.type(), VarType::I4);
    EXPECT_EQ(level.value.toLong(), 12);

    // A BOOL named as bool takes any number as true and shows as VT_BOOL.
    EXPECT_TRUE(invoke(d, 2, K::PropertyPut, {Variant(0.25)}).ok());
    EXPECT_EQ(g.lit(), 1);
    EXPECT_EQ(invoke(d, 2, K::PropertyGet).value.type(), VarType::Bool);
    EXPECT_EQ(invoke(d, 2, K::PropertyGet).value.toLong(), -1);
    // A colour named as LONG keeps its bits both ways.
    EXPECT_TRUE(invoke(d, 3, K::PropertyPut, {Variant(LONG{-2})}).ok());
    EXPECT_EQ(g.colour(), 0xFFFFFFFEu);
    EXPECT_EQ(invoke(d, 3, K::PropertyGet).value.toLong(), -2);

    // The getter's parameters are the indices; a put passes them first, the value last.
    EXPECT_TRUE(invoke(d, 4, K::PropertyPut, {Variant(LONG{1}), Variant("2.5")}).ok());
    EXPECT_FLOAT_EQ(g.scale(1), 2.5f);
    EXPECT_FLOAT_EQ(g.scale(0), 1.0f);
    const auto scale = invoke(d, 4, K::PropertyGet, {Variant(LONG{1})});
    EXPECT_EQ(scale.value.type(), VarType::R4);
    EXPECT_FLOAT_EQ(scale.value.toFloat(), 2.5f);
    EXPECT_EQ(invoke(d, 4, K::PropertyGet).status, DISP_E_BADPARAMCOUNT);

    const auto renamed = invoke(d, 6, K::Method, {Variant(LONG{7}), Variant(LONG{3})});
    EXPECT_EQ(renamed.value.toLong(), 30);
    EXPECT_EQ(g.label(), "7");
    EXPECT_EQ(invoke(d, 5, K::PropertyGet).value.toString(), "7");
    const auto reset = invoke(d, 7, K::Method);
    EXPECT_TRUE(reset.ok());
    EXPECT_TRUE(reset.value.isEmpty());
    EXPECT_EQ(g.level(), 0);
    // An out parameter receives the target of a by-reference argument.
    Variant out;
    const auto copied = invoke(d, 8, K::Method, {Variant::byRef(&out)});
    EXPECT_EQ(copied.value.type(), VarType::Bool);
    EXPECT_TRUE(copied.value.toBool());
    EXPECT_EQ(out.toString(), "7");
    EXPECT_FALSE(invoke(d, 8, K::Method, {Variant(LONG{0})}).value.toBool());

    // A setter's own status is the put's.
    EXPECT_EQ(invoke(d, 9, K::PropertyPut, {Variant(LONG{-1})}).status, E_INVALIDARG);
    EXPECT_EQ(invoke(d, 9, K::PropertyGet).value.toLong(), 10);
    EXPECT_EQ(invoke(d, 9, K::PropertyPut, {Variant(LONG{3})}).status, S_OK);
    EXPECT_EQ(invoke(d, 9, K::PropertyGet).value.toLong(), 3);
}

TEST(DispatchBinding, RefusesWhatTheMembersCannotTakeWithoutCallingThem) {
    auto object = ComPtr<GaugeObject>::attach(new GaugeObject);
    IDispatch *d = object.get();
    const Gauge &g = object->gauge;
    using K = DispatchKind;
    EXPECT_EQ(invoke(d, 1, K::PropertyPut, {Variant("high")}).status, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(invoke(d, 1, K::PropertyPut, {Variant::null()}).status, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(g.levelPuts, 0);
    // One argument that does not convert stops the call, whichever it is.
    EXPECT_EQ(invoke(d, 6, K::Method, {Variant("new"), Variant("wide")}).status,
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(g.label(), "gauge");
    EXPECT_EQ(invoke(d, 1, K::PropertyPut).status, DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(invoke(d, 5, K::PropertyPut, {Variant("dial")}).status, DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(g.label(), "gauge");
}

TEST(DispatchObject, AnswersItsInterfacesAndFailsCallsOnceItsMembersAreGone) {
    auto object = ComPtr<GaugeObject>::attach(new GaugeObject);
    for (const Guid &iid : {IUnknown::IID, IDispatch::IID, kGaugeInterface}) {
        void *raw = nullptr;
        ASSERT_EQ(object->QueryInterface(iid, &raw), S_OK);
        EXPECT_EQ(raw, static_cast<IDispatch *>(object.get()));
        static_cast<IDispatch *>(raw)->Release();
    }
    void *raw = &raw;
    EXPECT_EQ(object->QueryInterface(IPicture::IID, &raw), E_NOINTERFACE);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(object->QueryInterface(IDispatch::IID, nullptr), E_POINTER);
    object->gone = true;
    EXPECT_EQ(invoke(object.get(), 1, DispatchKind::PropertyGet).status, E_FAIL);
}

TEST(Classes, CreatesRegisteredClassesAndRefusesUnknownOnes) {
    registerClass(kCounterClass, [] { return ComPtr<IUnknown>::attach(new Counter); });
    HRESULT status = E_FAIL;
    auto d = createInstance<IDispatch>(kCounterClass, &status);
    EXPECT_EQ(status, S_OK);
    ASSERT_TRUE(d);
    EXPECT_EQ(invoke(d.get(), 1, DispatchKind::PropertyGet).value.toLong(), 3);
    EXPECT_FALSE(createInstance<IPicture>(kCounterClass, &status));
    EXPECT_EQ(status, E_NOINTERFACE);
    unregisterClass(kCounterClass);
    EXPECT_FALSE(createInstance<IDispatch>(kCounterClass, &status));
    EXPECT_EQ(status, REGDB_E_CLASSNOTREG);
}

TEST(Classes, RegisteredServerWithoutLibraryIsNotRegistered) {
    RegistryStore store;
    ASSERT_TRUE(store.writeString(RegistryHive::ClassesRoot,
                                  "CLSID\\" + kCounterClass.toString() + "\\InprocServer32", "",
                                  "/nonexistent/libnothing.so"));
    HRESULT status = S_OK;
    EXPECT_FALSE(createInstance<IDispatch>(kCounterClass, &status));
    EXPECT_EQ(status, REGDB_E_CLASSNOTREG);
    store.deleteKey(RegistryHive::ClassesRoot, "CLSID\\" + kCounterClass.toString());
}

TEST(Picture, OwnsOrWrapsPixelsAndDerivesLuma) {
    auto pic = createPicture(3, 2, PixelFormat::Bgra32);
    ASSERT_TRUE(pic);
    const ImageView v = pic->image();
    EXPECT_EQ(v.width, 3);
    EXPECT_EQ(v.height, 2);
    EXPECT_GE(v.stride, 12);
    EXPECT_EQ(v.stride % 32, 0);
    std::uint8_t *px = pic->mutableData();
    ASSERT_NE(px, nullptr);
    // White, red, green in row 0; the luma follows BT.601 weights.
    const std::uint8_t row0[] = {255, 255, 255, 255, 0, 0, 255, 255, 0, 255, 0, 255};
    std::copy(std::begin(row0), std::end(row0), px);
    const ImageView y = pic->luma();
    EXPECT_EQ(y.format, PixelFormat::Gray8);
    EXPECT_EQ(y.row(0)[0], 255);
    EXPECT_EQ(y.row(0)[1], 77);
    EXPECT_EQ(y.row(0)[2], 149); // (255 * 150 + 128) >> 8
    EXPECT_EQ(y.row(1)[0], 0);
    EXPECT_EQ(pic->luma().data, y.data); // computed once

    LONG w = 0, h = 0;
    pic->sizeHimetric(&w, &h);
    EXPECT_EQ(himetricToPixels(w), 3);
    EXPECT_EQ(himetricToPixels(h), 2);
    EXPECT_EQ(pixelsToHimetric(96), 2540);

    // A wrapped buffer stays alive with the picture and is read-only through it.
    auto buffer = std::make_shared<std::vector<std::uint8_t>>(16, 9);
    ImageView gray{buffer->data(), 4, 4, 4, PixelFormat::Gray8};
    auto wrapped = wrapPicture(gray, buffer);
    buffer.reset();
    EXPECT_EQ(wrapped->mutableData(), nullptr);
    EXPECT_EQ(wrapped->image().row(3)[3], 9);
    EXPECT_EQ(wrapped->luma().data, wrapped->image().data);
    EXPECT_FALSE(createPicture(-1, 2, PixelFormat::Gray8));
}

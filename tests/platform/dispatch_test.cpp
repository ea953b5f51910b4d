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

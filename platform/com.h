// A minimal component object model: interface identifiers, reference counting and
// interface queries, enough for the objects the design passes between components.
#pragma once

#include "platform/export.h"
#include "platform/wintypes.h"

#include <array>
#include <atomic>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

struct Guid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};

    friend constexpr bool operator==(const Guid &, const Guid &) = default;

    // Accepts "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with or without braces.
    static constexpr std::optional<Guid> parse(std::string_view text);
    // Upper-case, braced registry form.
    PLATFORM_API std::string toString() const;
};

namespace detail {
constexpr int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
} // namespace detail

constexpr std::optional<Guid> Guid::parse(std::string_view text) {
    if (text.size() == 38 && text.front() == '{' && text.back() == '}')
        text = text.substr(1, 36);
    if (text.size() != 36)
        return std::nullopt;
    // Positions of the hex digits in the 36-character form; the rest must be dashes.
    constexpr int dashes[] = {8, 13, 18, 23};
    std::uint8_t bytes[16]{};
    int nibble = 0;
    for (int i = 0; i < 36; ++i) {
        const bool dash = i == dashes[0] || i == dashes[1] || i == dashes[2] || i == dashes[3];
        if (dash) {
            if (text[static_cast<std::size_t>(i)] != '-')
                return std::nullopt;
            continue;
        }
        const int v = detail::hexValue(text[static_cast<std::size_t>(i)]);
        if (v < 0)
            return std::nullopt;
        bytes[nibble / 2] = static_cast<std::uint8_t>(bytes[nibble / 2] << 4 | v);
        ++nibble;
    }
    Guid g;
    g.data1 = static_cast<std::uint32_t>(bytes[0]) << 24 |
              static_cast<std::uint32_t>(bytes[1]) << 16 |
              static_cast<std::uint32_t>(bytes[2]) << 8 | bytes[3];
    g.data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    g.data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i)
        g.data4[static_cast<std::size_t>(i)] = bytes[8 + i];
    return g;
}

// Identifier from a literal in the registry form; a malformed literal does not compile
// when used in a constant expression.
consteval Guid guidOf(std::string_view text) {
    const auto g = Guid::parse(text);
    if (!g)
        throw "malformed interface identifier";
    return *g;
}

class IUnknown {
public:
    virtual HRESULT QueryInterface(const Guid &iid, void **object) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

    static constexpr Guid IID = guidOf("{00000000-0000-0000-C000-000000000046}");

protected:
    virtual ~IUnknown() = default;
};

// Reference counting shared by all concrete objects; the count starts at 1 for the creator.
template <class Base> class RefCounted : public Base {
public:
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    using Base::Base;

private:
    std::atomic<ULONG> m_refs{1};
};

// An object implementing one interface besides IUnknown: reference counting and the
// interface query, for the components' concrete objects.
template <class Interface> class ComObject : public RefCounted<Interface> {
public:
    HRESULT QueryInterface(const Guid &iid, void **object) override {
        if (!object)
            return E_POINTER;
        if (iid == IUnknown::IID || iid == Interface::IID) {
            this->AddRef();
            *object = static_cast<Interface *>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
};

// Owning smart pointer for interfaces. attach() takes over a reference, the copy
// operations add one.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(const ComPtr &other) : m_ptr(other.m_ptr) { addRef(); }
    ComPtr(ComPtr &&other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    ~ComPtr() { release(); }

    ComPtr &operator=(ComPtr other) noexcept {
        std::swap(m_ptr, other.m_ptr);
        return *this;
    }

    static ComPtr attach(T *ptr) {
        ComPtr p;
        p.m_ptr = ptr;
        return p;
    }
    static ComPtr share(T *ptr) {
        ComPtr p;
        p.m_ptr = ptr;
        p.addRef();
        return p;
    }
    T *detach() { return std::exchange(m_ptr, nullptr); }

    T *get() const { return m_ptr; }
    T *operator->() const { return m_ptr; }
    T &operator*() const { return *m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }
    void reset() { release(); }

    // Asks the object for interface U; empty when it has none.
    template <class U> ComPtr<U> query() const {
        ComPtr<U> out;
        void *raw = nullptr;
        if (m_ptr && succeeded(m_ptr->QueryInterface(U::IID, &raw)))
            out = ComPtr<U>::attach(static_cast<U *>(raw));
        return out;
    }

private:
    void addRef() {
        if (m_ptr)
            m_ptr->AddRef();
    }
    void release() {
        if (auto *p = std::exchange(m_ptr, nullptr))
            p->Release();
    }
    T *m_ptr = nullptr;
};

} // namespace platform

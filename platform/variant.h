// Automation values: VARIANTs with the types the interfaces use, one-dimensional
// SAFEARRAYs, and references for out parameters.
#pragma once

#include "platform/com.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class IDispatch;

enum class VarType : USHORT {
    Empty = 0,
    Null = 1,
    I2 = 2,
    I4 = 3,
    R4 = 4,
    R8 = 5,
    BStr = 8,
    Dispatch = 9,
    Error = 10,
    Bool = 11,
    Unknown = 13,
    UI1 = 17,
    I8 = 20,
    Array = 0x2000, // combined with the element type
    ByRef = 0x4000, // a reference to another Variant (out parameters)
};

class Variant;

// A one-dimensional array with a fixed element type; elements are Variants of that type.
struct SafeArray {
    VarType elementType = VarType::Empty;
    std::vector<Variant> elements;
};

class PLATFORM_API Variant {
public:
    Variant() = default;
    Variant(std::int16_t v) : m_type(VarType::I2), m_int(v) {}
    Variant(LONG v) : m_type(VarType::I4), m_int(v) {}
    Variant(LONGLONG v) : m_type(VarType::I8), m_int(v) {}
    Variant(float v) : m_type(VarType::R4), m_real(v) {}
    Variant(double v) : m_type(VarType::R8), m_real(v) {}
    Variant(bool v) : m_type(VarType::Bool), m_int(v ? -1 : 0) {} // VARIANT_TRUE is -1
    Variant(const char *v) : m_type(VarType::BStr), m_text(v ? v : "") {}
    Variant(std::string v) : m_type(VarType::BStr), m_text(std::move(v)) {}
    Variant(std::string_view v) : m_type(VarType::BStr), m_text(v) {}
    Variant(ComPtr<IUnknown> v);
    Variant(ComPtr<IDispatch> v);
    Variant(SafeArray v);

    static Variant null();
    static Variant error(HRESULT code);
    static Variant byRef(Variant *target);
    static Variant byte(BYTE v);

    VarType type() const { return m_type; }
    bool isEmpty() const { return m_type == VarType::Empty; }
    bool isArray() const { return m_array != nullptr; }

    // Coercions in the manner of VariantChangeType; `ok` (when given) tells whether the
    // value could be converted. Failed conversions give 0, "" or null.
    LONG toLong(bool *ok = nullptr) const;
    LONGLONG toLongLong(bool *ok = nullptr) const;
    float toFloat(bool *ok = nullptr) const;
    double toDouble(bool *ok = nullptr) const;
    bool toBool(bool *ok = nullptr) const;
    std::string toString(bool *ok = nullptr) const;
    ComPtr<IUnknown> toUnknown() const; // also for Dispatch values
    ComPtr<IDispatch> toDispatch() const;

    const SafeArray *array() const { return m_array.get(); }
    SafeArray *array() { return m_array.get(); }
    Variant *target() const { return m_ref; } // for ByRef
    HRESULT errorCode() const { return static_cast<HRESULT>(m_int); }

    // Follows a ByRef to its target; the value itself otherwise.
    const Variant &deref() const { return m_ref ? *m_ref : *this; }
    Variant &deref() { return m_ref ? *m_ref : *this; }

private:
    VarType m_type = VarType::Empty;
    LONGLONG m_int = 0;
    double m_real = 0.0;
    std::string m_text;
    ComPtr<IUnknown> m_object;
    std::shared_ptr<SafeArray> m_array; // copies share the array, as SAFEARRAY handles do
    Variant *m_ref = nullptr;
};

} // namespace platform

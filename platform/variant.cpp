#include "platform/variant.h"
#include "platform/dispatch.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace platform {

Variant::Variant(ComPtr<IUnknown> v) : m_type(VarType::Unknown), m_object(std::move(v)) {}

Variant::Variant(ComPtr<IDispatch> v) : m_type(VarType::Dispatch) {
    if (v)
        m_object = ComPtr<IUnknown>::share(v.get());
}

Variant::Variant(SafeArray v)
    : m_type(static_cast<VarType>(static_cast<USHORT>(VarType::Array) |
                                  static_cast<USHORT>(v.elementType))),
      m_array(std::make_shared<SafeArray>(std::move(v))) {}

Variant Variant::null() {
    Variant v;
    v.m_type = VarType::Null;
    return v;
}

Variant Variant::error(HRESULT code) {
    Variant v;
    v.m_type = VarType::Error;
    v.m_int = code;
    return v;
}

Variant Variant::byRef(Variant *target) {
    Variant v;
    v.m_type = VarType::ByRef;
    v.m_ref = target;
    return v;
}

Variant Variant::byte(BYTE b) {
    Variant v;
    v.m_type = VarType::UI1;
    v.m_int = b;
    return v;
}

namespace {

bool parseNumber(const std::string &text, double &out) {
    if (text.empty())
        return false;
    errno = 0;
    char *end = nullptr;
    out = std::strtod(text.c_str(), &end);
    while (end && (*end == ' ' || *end == '\t'))
        ++end;
    return errno == 0 && end && *end == '\0';
}

void setOk(bool *ok, bool value) {
    if (ok)
        *ok = value;
}

} // namespace

double Variant::toDouble(bool *ok) const {
    const Variant &v = deref();
    setOk(ok, true);
    switch (v.m_type) {
    case VarType::Empty:
        return 0.0;
    case VarType::I2:
    case VarType::I4:
    case VarType::I8:
    case VarType::UI1:
    case VarType::Bool:
        return static_cast<double>(v.m_int);
    case VarType::R4:
    case VarType::R8:
        return v.m_real;
    case VarType::BStr: {
        double d = 0.0;
        if (parseNumber(v.m_text, d))
            return d;
        break;
    }
    default:
        break;
    }
    setOk(ok, false);
    return 0.0;
}

LONGLONG Variant::toLongLong(bool *ok) const {
    const Variant &v = deref();
    switch (v.m_type) {
    case VarType::I2:
    case VarType::I4:
    case VarType::I8:
    case VarType::UI1:
    case VarType::Bool:
    case VarType::Empty:
        setOk(ok, true);
        return v.m_int;
    default:
        break;
    }
    bool good = false;
    const double d = v.toDouble(&good);
    // Automation rounds reals to integers half to even.
    if (good && std::isfinite(d) && std::fabs(d) < 9.2e18) {
        setOk(ok, true);
        return static_cast<LONGLONG>(std::nearbyint(d));
    }
    setOk(ok, false);
    return 0;
}

LONG Variant::toLong(bool *ok) const {
    bool good = false;
    const LONGLONG v = toLongLong(&good);
    if (good && v >= std::numeric_limits<LONG>::min() && v <= std::numeric_limits<LONG>::max()) {
        setOk(ok, true);
        return static_cast<LONG>(v);
    }
    setOk(ok, false);
    return 0;
}

float Variant::toFloat(bool *ok) const {
    bool good = false;
    const double d = toDouble(&good);
    setOk(ok, good);
    return good ? static_cast<float>(d) : 0.0f;
}

bool Variant::toBool(bool *ok) const {
    bool good = false;
    const double d = toDouble(&good);
    setOk(ok, good);
    return good && d != 0.0;
}

std::string Variant::toString(bool *ok) const {
    const Variant &v = deref();
    setOk(ok, true);
    switch (v.m_type) {
    case VarType::Empty:
        return {};
    case VarType::BStr:
        return v.m_text;
    case VarType::I2:
    case VarType::I4:
    case VarType::I8:
    case VarType::UI1:
        return std::to_string(v.m_int);
    case VarType::Bool:
        return v.m_int ? "True" : "False";
    case VarType::R4:
    case VarType::R8: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.*g", v.m_type == VarType::R4 ? 7 : 15, v.m_real);
        return buf;
    }
    default:
        break;
    }
    setOk(ok, false);
    return {};
}

ComPtr<IUnknown> Variant::toUnknown() const {
    const Variant &v = deref();
    if (v.m_type == VarType::Unknown || v.m_type == VarType::Dispatch)
        return v.m_object;
    return {};
}

ComPtr<IDispatch> Variant::toDispatch() const {
    return toUnknown().query<IDispatch>();
}

} // namespace platform

// Late-bound calls by dispatch identifier (DISPID), as automation hosts make them.
// Arguments are passed in their declared order (not reversed); a property put passes its
// indices first and the new value last.
#pragma once

#include "platform/variant.h"

#include <functional>
#include <map>
#include <span>

namespace platform {

using DISPID = LONG;

inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
inline constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
inline constexpr HRESULT DISP_E_EXCEPTION = static_cast<HRESULT>(0x80020009u);

enum class DispatchKind : WORD { Method = 1, PropertyGet = 2, PropertyPut = 4 };

class IDispatch : public IUnknown {
public:
    virtual HRESULT Invoke(DISPID id, DispatchKind kind, std::span<Variant> args,
                           Variant *result) = 0;
    static constexpr Guid IID = guidOf("{00020400-0000-0000-C000-000000000046}");
};

// Result of a call made through invoke(): the status and the returned value.
struct DispatchResult {
    HRESULT status = S_OK;
    Variant value;
    bool ok() const { return succeeded(status); }
};

PLATFORM_API DispatchResult invoke(IDispatch *target, DISPID id, DispatchKind kind,
                                   std::vector<Variant> args = {});

// The member table of a dispatch implementation: one handler per DISPID and kind.
// Handlers check their own argument types; the table checks the argument count.
class PLATFORM_API DispatchTable {
public:
    using Handler = std::function<HRESULT(std::span<Variant> args, Variant *result)>;

    struct Member {
        DISPID id;
        DispatchKind kind;
        std::string name;
        std::size_t argCount; // including the put value
    };

    void add(DISPID id, DispatchKind kind, std::string name, std::size_t argCount, Handler handler);
    HRESULT invoke(DISPID id, DispatchKind kind, std::span<Variant> args, Variant *result) const;
    bool has(DISPID id, DispatchKind kind) const;
    std::vector<Member> members() const;

private:
    struct Entry {
        Member member;
        Handler handler;
    };
    std::map<std::pair<DISPID, WORD>, Entry> m_entries;
};

} // namespace platform

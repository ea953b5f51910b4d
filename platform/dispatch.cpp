#include "platform/dispatch.h"

namespace platform {

DispatchResult invoke(IDispatch *target, DISPID id, DispatchKind kind, std::vector<Variant> args) {
    DispatchResult r;
    if (!target) {
        r.status = E_POINTER;
        return r;
    }
    r.status = target->Invoke(id, kind, args, &r.value);
    return r;
}

void DispatchTable::add(DISPID id, DispatchKind kind, std::string name, std::size_t argCount,
                        Handler handler) {
    m_entries[{id, static_cast<WORD>(kind)}] =
        Entry{Member{id, kind, std::move(name), argCount}, std::move(handler)};
}

HRESULT DispatchTable::invoke(DISPID id, DispatchKind kind, std::span<Variant> args,
                              Variant *result) const {
    const auto it = m_entries.find({id, static_cast<WORD>(kind)});
    if (it == m_entries.end())
        return DISP_E_MEMBERNOTFOUND;
    if (args.size() != it->second.member.argCount)
        return DISP_E_BADPARAMCOUNT;
    Variant scratch;
    return it->second.handler(args, result ? result : &scratch);
}

bool DispatchTable::has(DISPID id, DispatchKind kind) const {
    return m_entries.contains({id, static_cast<WORD>(kind)});
}

std::vector<DispatchTable::Member> DispatchTable::members() const {
    std::vector<Member> out;
    out.reserve(m_entries.size());
    for (const auto &[key, entry] : m_entries)
        out.push_back(entry.member);
    return out;
}

} // namespace platform

// Late-bound calls by dispatch identifier (DISPID), as automation hosts make them.
// Arguments are passed in their declared order (not reversed); a property put passes its
// indices first and the new value last.
#pragma once

#include "platform/variant.h"

#include <cstddef>
#include <functional>
#include <map>
#include <span>
#include <tuple>
#include <type_traits>
#include <utility>

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

// How a value of type T travels in a Variant, for members bound by their types:
// `in` converts an argument and clears *ok when it cannot (a bound call then fails with
// DISP_E_TYPEMISMATCH), `out` makes a result. A type of one's own (say, an object that
// carries a native handle) becomes bindable by specialising this.
// Trap: BOOL is LONG on this platform, so a BOOL member binds as an I4 unless its binding
// names `bool` as the type it travels as (see DispatchTable::Binder).
template <class T> struct DispatchValue;

template <> struct DispatchValue<LONG> {
    static LONG in(const Variant &v, bool *ok) { return v.toLong(ok); }
    static Variant out(LONG v) { return Variant(v); }
};
template <> struct DispatchValue<bool> { // VT_BOOL; any number converts, non-zero is true
    static bool in(const Variant &v, bool *ok) { return v.toBool(ok); }
    static Variant out(bool v) { return Variant(v); }
};
template <> struct DispatchValue<float> {
    static float in(const Variant &v, bool *ok) { return v.toFloat(ok); }
    static Variant out(float v) { return Variant(v); }
};
template <> struct DispatchValue<double> {
    static double in(const Variant &v, bool *ok) { return v.toDouble(ok); }
    static Variant out(double v) { return Variant(v); }
};
// Results only: no narrowing rule for arguments is chosen here.
template <> struct DispatchValue<std::int16_t> {
    static Variant out(std::int16_t v) { return Variant(v); }
};
template <> struct DispatchValue<std::string> {
    static std::string in(const Variant &v, bool *ok) { return v.toString(ok); }
    static Variant out(std::string v) { return Variant(std::move(v)); }
};
// A Variant passes as it is; an argument given by reference passes its target.
template <> struct DispatchValue<Variant> {
    static Variant in(const Variant &v, bool *) { return v.deref(); }
    static Variant out(Variant v) { return v; }
};
// An out parameter: the target of a by-reference argument, null for any other argument.
template <> struct DispatchValue<Variant *> {
    static Variant *in(const Variant &v, bool *) { return v.target(); }
};
// Objects never mismatch: an argument that is no object, or lacks the interface, passes as
// null.
template <> struct DispatchValue<ComPtr<IUnknown>> {
    static ComPtr<IUnknown> in(const Variant &v, bool *) { return v.toUnknown(); }
    static Variant out(ComPtr<IUnknown> v) { return Variant(std::move(v)); }
};
template <> struct DispatchValue<ComPtr<IDispatch>> {
    static ComPtr<IDispatch> in(const Variant &v, bool *) { return v.toDispatch(); }
    static Variant out(ComPtr<IDispatch> v) { return Variant(std::move(v)); }
};
// Any other interface travels as VT_UNKNOWN.
template <class I> struct DispatchValue<ComPtr<I>> {
    static ComPtr<I> in(const Variant &v, bool *) { return v.toUnknown().template query<I>(); }
    static Variant out(const ComPtr<I> &v) { return Variant(ComPtr<IUnknown>::share(v.get())); }
};

namespace dispatch_detail {

template <class... T> struct Types {};

template <class T> using Plain = std::remove_cvref_t<T>;

// A member function's result and parameters.
template <class M> struct MemberOf;
template <class C, class R, class... A> struct MemberOf<R (C::*)(A...)> {
    using Result = R;
    using Params = Types<A...>;
    using Wire = Plain<R>(Plain<A>...); // the types it travels as, when none are named
    static constexpr std::size_t arity = sizeof...(A);
};
template <class C, class R, class... A>
struct MemberOf<R (C::*)(A...) const> : MemberOf<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct MemberOf<R (C::*)(A...) noexcept> : MemberOf<R (C::*)(A...)> {};
template <class C, class R, class... A>
struct MemberOf<R (C::*)(A...) const noexcept> : MemberOf<R (C::*)(A...)> {};

template <class S> struct SignatureOf;
template <class R, class... A> struct SignatureOf<R(A...)> {
    using Result = R;
    using Params = Types<A...>;
    static constexpr std::size_t arity = sizeof...(A);
};

template <class W> W read(const Variant &arg, bool &ok) {
    bool good = true;
    W value = DispatchValue<W>::in(arg, &good);
    ok = ok && good;
    return value;
}

// Converts every argument to its wire type W, then to the member's parameter type P, and
// calls `call` with them; DISP_E_TYPEMISMATCH, without a call, when any conversion fails.
// All arguments are converted before that is decided, as the hand-written handlers did.
template <class... W, class... P, std::size_t... I, class F>
HRESULT convertAndCall([[maybe_unused]] std::span<Variant> args, Types<W...>, Types<P...>,
                       std::index_sequence<I...>, F &&call) {
    static_assert(sizeof...(W) == sizeof...(P), "the wire signature has the member's arity");
    bool ok = true;
    std::tuple<W...> wire{read<W>(args[I], ok)...};
    if (!ok)
        return DISP_E_TYPEMISMATCH;
    using R = decltype(call(static_cast<P>(std::get<I>(wire))...));
    if constexpr (std::is_void_v<R>) {
        call(static_cast<P>(std::get<I>(wire))...);
        return S_OK;
    } else {
        return call(static_cast<P>(std::get<I>(wire))...); // the call's own status
    }
}

// The handler of a get or method: the result converted to WireSig's result type; a member
// without one gives an empty result.
template <class WireSig, class C, class M> auto callHandler(C *object, M member) {
    using Wire = SignatureOf<WireSig>;
    using Member = MemberOf<M>;
    static_assert(Wire::arity == Member::arity, "the wire signature has the member's arity");
    return [object, member](std::span<Variant> args, Variant *result) {
        return convertAndCall(args, typename Wire::Params{}, typename Member::Params{},
                              std::make_index_sequence<Wire::arity>{}, [&](auto &&...a) {
                                  using R = typename Wire::Result;
                                  if constexpr (std::is_void_v<R>) {
                                      std::invoke(member, object, std::forward<decltype(a)>(a)...);
                                      *result = Variant();
                                  } else {
                                      *result = DispatchValue<R>::out(static_cast<R>(std::invoke(
                                          member, object, std::forward<decltype(a)>(a)...)));
                                  }
                              });
    };
}

// The handler of a put: the indices and the value converted; the result is not touched.
// A setter that returns an HRESULT gives the put its status; any other result is dropped.
template <class WireArgs, class C, class M> auto putHandler(C *object, M setter) {
    using Member = MemberOf<M>;
    return [object, setter](std::span<Variant> args, Variant *) {
        return convertAndCall(args, WireArgs{}, typename Member::Params{},
                              std::make_index_sequence<Member::arity>{}, [&](auto &&...a) {
                                  if constexpr (std::is_same_v<typename Member::Result, HRESULT>)
                                      return std::invoke(setter, object,
                                                         std::forward<decltype(a)>(a)...);
                                  else
                                      std::invoke(setter, object, std::forward<decltype(a)>(a)...);
                              });
    };
}

template <class S, class V> struct Append;
template <class... A, class V> struct Append<Types<A...>, V> { using type = Types<A..., V>; };

// The getter's wire signature: as deduced, a value type with the getter's own indices, or a
// whole signature as named.
template <class V, class G> struct WithValue;
template <class V, class R, class... A> struct WithValue<V, R(A...)> { using type = V(A...); };
template <class Wire, class Getter, class = void> struct GetSignature {
    using type = typename WithValue<Wire, typename MemberOf<Getter>::Wire>::type;
};
template <class Getter> struct GetSignature<void, Getter> {
    using type = typename MemberOf<Getter>::Wire;
};
template <class Wire, class Getter>
struct GetSignature<Wire, Getter, std::enable_if_t<std::is_function_v<Wire>>> {
    using type = Wire;
};

// The put's wire arguments: the setter's own parameter types when nothing is named, else
// the getter's indices and value.
template <class Wire, class Setter, class GetSig> struct PutArgs {
    using type = typename Append<typename SignatureOf<GetSig>::Params,
                                 typename SignatureOf<GetSig>::Result>::type;
};
template <class Setter, class GetSig> struct PutArgs<void, Setter, GetSig> {
    using type = typename SignatureOf<typename MemberOf<Setter>::Wire>::Params;
};

} // namespace dispatch_detail

// The member table of a dispatch implementation: one handler per DISPID and kind.
// Handlers check their own argument types; the table checks the argument count.
class PLATFORM_API DispatchTable {
public:
    using Handler = std::function<HRESULT(std::span<Variant> args, Variant *result)>;

    // Binds members of one object by their types, so the table converts the arguments and
    // the result:
    //   property(id, name, &C::Get, &C::Set) - a get with the getter's parameters as
    //     indices, and a put with the setter's (the indices, then the value); without a
    //     setter the property is read-only and a put finds no member;
    //     a setter returning an HRESULT (or any LONG: they are one type) gives the put's
    //     status;
    //   method(id, name, &C::M) - a method with M's parameters and result; a member without
    //     a result gives an empty one.
    // A failed conversion fails the call with DISP_E_TYPEMISMATCH before the member runs.
    // Where a type travels as another, name it: property<bool> for a BOOL shown as VT_BOOL,
    // property<LONG> for a colour, method<LONG(bool, LONG)> for a whole signature; each
    // value converts to the member's own type with a static_cast. The object must outlive
    // the table.
    template <class C> class Binder {
    public:
        Binder(DispatchTable &table, C *object) : m_table(table), m_object(object) {}

        template <class Wire = void, class Getter, class Setter = std::nullptr_t>
        void property(DISPID id, const std::string &name, Getter getter, Setter setter = nullptr) {
            namespace d = dispatch_detail;
            using GetSig = typename d::GetSignature<Wire, Getter>::type;
            using Get = d::SignatureOf<GetSig>;
            m_table.add(id, DispatchKind::PropertyGet, name, Get::arity,
                        d::callHandler<GetSig>(m_object, getter));
            if constexpr (!std::is_same_v<Setter, std::nullptr_t>) {
                static_assert(d::MemberOf<Setter>::arity == Get::arity + 1,
                              "a setter takes the getter's indices and the value");
                m_table.add(id, DispatchKind::PropertyPut, name, Get::arity + 1,
                            d::putHandler<typename d::PutArgs<Wire, Setter, GetSig>::type>(m_object,
                                                                                           setter));
            }
        }

        template <class Wire = void, class M>
        void method(DISPID id, const std::string &name, M member) {
            namespace d = dispatch_detail;
            using Sig =
                std::conditional_t<std::is_void_v<Wire>, typename d::MemberOf<M>::Wire, Wire>;
            m_table.add(id, DispatchKind::Method, name, d::SignatureOf<Sig>::arity,
                        d::callHandler<Sig>(m_object, member));
        }

        // An entry written out, for a member whose behaviour no typed binding expresses.
        void add(DISPID id, DispatchKind kind, std::string name, std::size_t argCount,
                 Handler handler) {
            m_table.add(id, kind, std::move(name), argCount, std::move(handler));
        }

    private:
        DispatchTable &m_table;
        C *m_object;
    };

    template <class C> Binder<C> bind(C *object) { return Binder<C>(*this, object); }

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

// A dispatch object: answers IUnknown, IDispatch and its own dispatch interface
// `Interface`, and sends calls to the table the derived class gives, failing them with
// E_FAIL while it gives none (the object whose members they were is gone).
template <const Guid &Interface> class DispatchObject : public RefCounted<IDispatch> {
public:
    HRESULT QueryInterface(const Guid &iid, void **object) override {
        if (!object)
            return E_POINTER;
        if (iid == IUnknown::IID || iid == IDispatch::IID || iid == Interface) {
            AddRef();
            *object = static_cast<IDispatch *>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Invoke(DISPID id, DispatchKind kind, std::span<Variant> args,
                   Variant *result) override {
        const DispatchTable *table = dispatchTable();
        return table ? table->invoke(id, kind, args, result) : E_FAIL;
    }

protected:
    virtual const DispatchTable *dispatchTable() const = 0;
};

} // namespace platform

// Host forwards of every plat:: call: trace, fault injection, then the installed backend.
// Host builds only.
#include <cinttypes>
#include <cstdio>
#include <exception>
#include <string>
#include <type_traits>

#include "platform/host/call_layer.h"
#include "platform/text/guid.h"
#include "platform/text/hives.h"

namespace plat::host {
namespace {

Backends g_backends;

std::string Hex(uint64_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%" PRIX64, v);
    return buf;
}

// A predefined key by its short name ("HKLM"), any other key by its value.
std::string KeyName(HKEY key) {
    auto low = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key));
    if (std::optional<size_t> hive = plat::text::FindHiveByHandle(low)) return plat::text::kHives[*hive].abbreviation;
    return key ? Hex(reinterpret_cast<uintptr_t>(key)) : "NULL";
}

std::string Quoted(const char* s) {
    if (!s) return "NULL";
    std::string out = "\"";
    for (const char* p = s; *p && out.size() < 200; ++p) {
        if (*p == '\\' || *p == '"') out += '\\';
        if (static_cast<unsigned char>(*p) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02X", static_cast<unsigned char>(*p));
            out += esc;
        } else {
            out += *p;
        }
    }
    return out + "\"";
}

// A wide input text as the trace shows it: characters below 0x80 as they are, others as \u escapes.
std::string WideQuoted(const char16_t* s) {
    if (!s) return "NULL";
    std::string out = "L\"";
    for (const char16_t* p = s; *p && out.size() < 200; ++p) {
        if (*p == u'\\' || *p == u'"') out += '\\';
        if (*p < 0x20 || *p >= 0x80) {
            char esc[10];
            std::snprintf(esc, sizeof esc, "\\u%04X", static_cast<unsigned>(*p));
            out += esc;
        } else {
            out += static_cast<char>(*p);
        }
    }
    return out + "\"";
}

// One argument as the trace shows it: input texts quoted, GUIDs written out, handles by value,
// integers and enumerations as numbers, every other pointer (output buffers, records, COM objects
// and strings) only as present or absent, so traces of two runs compare equal.
template <class T>
std::string Arg(T v) {
    if constexpr (std::is_same_v<T, HKEY>) {
        return KeyName(v);
    } else if constexpr (std::is_same_v<T, const char*>) {
        return Quoted(v);
    } else if constexpr (std::is_same_v<T, const char16_t*>) {
        return WideQuoted(v);
    } else if constexpr (std::is_same_v<T, GUID>) {
        return plat::text::FormatGuid(v);
    } else if constexpr (std::is_same_v<T, const GUID*>) {
        return v ? plat::text::FormatGuid(*v) : "NULL";
    } else if constexpr (std::is_same_v<T, void*> || std::is_same_v<T, SC_HANDLE> ||
                         std::is_same_v<T, HWND> || std::is_same_v<T, HINSTANCE>) {
        return v ? Hex(reinterpret_cast<uintptr_t>(v)) : "NULL";
    } else if constexpr (std::is_pointer_v<T>) {
        return v ? "&" : "NULL";
    } else if constexpr (std::is_enum_v<T>) {
        return Arg(static_cast<std::underlying_type_t<T>>(v));
    } else if constexpr (std::is_integral_v<T>) {
        if constexpr (std::is_signed_v<T>) {
            if (v < 0) return std::to_string(static_cast<int64_t>(v));
        }
        auto u = static_cast<uint64_t>(v);
        return u < 0x10000 ? std::to_string(u) : Hex(u);
    } else {
        return "?";
    }
}

std::string Args() { return ""; }
template <class T, class... Rest>
std::string Args(T first, Rest... rest) {
    std::string s = Arg(first);
    ((s += ", ", s += Arg(rest)), ...);
    return s;
}

template <class... T>
void Ignore(T&&...) {}

SystemBackend& SystemOrDefault();

// What a failing call returns, by its failure convention.
template <class R>
R FailWith(FailKind kind, DWORD status) {
    if constexpr (std::is_void_v<R>) {
        (void)kind;
        (void)status;
        return;
    } else {
        if (kind != FailKind::Status && kind != FailKind::HResult) SystemOrDefault().SetLastError(status);
        switch (kind) {
            case FailKind::Status:
                if constexpr (std::is_integral_v<R>) return static_cast<R>(status);
                break;
            case FailKind::Invalid:
                if constexpr (std::is_pointer_v<R>) return reinterpret_cast<R>(INVALID_HANDLE_VALUE);
                break;
            case FailKind::HResult:
                // A Win32 status given as the fault becomes the HRESULT that carries it.
                if constexpr (std::is_integral_v<R>) {
                    if (status == 0) return static_cast<R>(E_FAIL);
                    return static_cast<R>(HRESULT_FROM_WIN32(status));
                }
                break;
            case FailKind::MinusOne:
                if constexpr (std::is_integral_v<R>) return static_cast<R>(-1);
                break;
            default: break;
        }
        return R{};
    }
}

template <class R>
std::string ResultText(const R& r) {
    return Arg(r);
}

thread_local int t_call_depth = 0;

// Counts a call as under way from its entry into the layer to its return, however it ends.
struct InCall {
    InCall() { ++t_call_depth; }
    ~InCall() { --t_call_depth; }
    InCall(const InCall&) = delete;
    InCall& operator=(const InCall&) = delete;
};

template <class R, class Call, class ArgText>
R Invoke(const char* family, const char* name, FailKind kind, Call&& call, ArgText&& args) {
    const InCall in_call;
    CallLayer& layer = Layer();
    DWORD status = 0;
    bool inject = layer.ShouldFail(name, kind, &status);
    TraceRecord rec;
    if (layer.tracing()) {
        rec.family = family;
        rec.call = name;
        rec.args = args();
        rec.injected = inject;
    }
    // A backend may stop the run inside a call (the simulated machine's wait that can never end);
    // the call still shows in the trace, with the reason it did not return.
    auto stopped = [&](const std::exception& e) {
        if (!layer.tracing()) return;
        rec.result = std::string("[does not return: ") + e.what() + "]";
        layer.Record(std::move(rec));
    };
    if constexpr (std::is_void_v<R>) {
        try {
            call();
        } catch (const std::exception& e) {
            stopped(e);
            throw;
        }
        if (layer.tracing()) layer.Record(std::move(rec));
    } else {
        R r{};
        try {
            r = inject ? FailWith<R>(kind, status) : call();
        } catch (const std::exception& e) {
            stopped(e);
            throw;
        }
        if (layer.tracing()) {
            rec.result = ResultText(r);
            if (inject) rec.result += " [injected " + Hex(status) + "]";
            layer.Record(std::move(rec));
        }
        return r;
    }
}

// The backend a family's calls reach: the installed one, or one whose every call fails loudly.
#define TVX_HOST_BACKEND_OR_DEFAULT(Fam, accessor, LIST)                    \
    Fam##Backend g_unmodelled_##accessor;                                   \
    Fam##Backend& Fam##OrDefault() {                                        \
        return g_backends.accessor ? *g_backends.accessor : g_unmodelled_##accessor; \
    }
TVX_FAMILIES(TVX_HOST_BACKEND_OR_DEFAULT)
#undef TVX_HOST_BACKEND_OR_DEFAULT

}  // namespace

void InstallBackends(const Backends& backends) { g_backends = backends; }
const Backends& CurrentBackends() { return g_backends; }

std::string FormatTraceLine(const TraceRecord& r) {
    std::string line = r.family + "." + r.call + "(" + r.args + ")";
    if (!r.result.empty()) line += " = " + r.result;
    if (r.not_modelled) line += " [not modelled]";
    return line;
}

void CallLayer::Reset() {
    *this = CallLayer();
}

void CallLayer::FailNth(uint64_t nth, DWORD status, bool from_then_on) {
    faults_.push_back(FaultRule{"", nth, status, from_then_on});
}

void CallLayer::FailCall(const std::string& call, DWORD status) {
    faults_.push_back(FaultRule{call, 0, status, false});
}

bool CallLayer::ShouldFail(const char* call, FailKind kind, DWORD* status) {
    if (kind == FailKind::None) return false;
    uint64_t ordinal = ++failable_calls_;
    for (const FaultRule& f : faults_) {
        bool hit = f.nth ? (ordinal == f.nth || (f.from_then_on && ordinal > f.nth))
                         : f.call == call;
        if (hit) {
            *status = f.status;
            ++injected_;
            return true;
        }
    }
    return false;
}

void CallLayer::Record(TraceRecord record) {
    record.seq = ++seq_;
    trace_.push_back(std::move(record));
}

void CallLayer::NoteNotModelled(const char* call) {
    not_modelled_.push_back(call);
    if (tracing_) {
        TraceRecord rec;
        rec.family = "sim";
        rec.call = call;
        rec.result = Hex(kNotModelled);
        rec.not_modelled = true;
        Record(std::move(rec));
    }
}

CallLayer& Layer() {
    static CallLayer layer;
    return layer;
}

int CallDepth() { return t_call_depth; }

}  // namespace plat::host

// Default backend bodies: a call nobody models fails loudly.
#define TVX_HOST_UNMODELLED(Fam, R, N, P, A, F)                                                   \
    R plat::Fam##Backend::N P {                                                                   \
        plat::host::Ignore A;                                                                     \
        plat::host::Layer().NoteNotModelled(#N);                                                  \
        if constexpr (!std::is_void_v<R>)                                                         \
            return plat::host::FailWith<R>(plat::FailKind::F == plat::FailKind::None               \
                                               ? plat::FailKind::Zero                             \
                                               : plat::FailKind::F,                               \
                                           plat::host::kNotModelled);                             \
    }

// The plat:: functions themselves.
#define TVX_HOST_FORWARD(Fam, R, N, P, A, F)                                                      \
    R plat::N P {                                                                                 \
        return plat::host::Invoke<R>(                                                             \
            #Fam, #N, plat::FailKind::F, [&]() -> R { return plat::host::Fam##OrDefault().N A; }, \
            [&] { return plat::host::Args A; });                                                  \
    }

#define TVX_HOST_FAMILY(Fam, accessor, LIST) LIST(TVX_HOST_UNMODELLED) LIST(TVX_HOST_FORWARD)
TVX_FAMILIES(TVX_HOST_FAMILY)

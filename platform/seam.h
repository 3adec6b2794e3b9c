// The platform seam: how a family of Windows calls is declared once and bound to a backend.
// Each family header lists its calls in one table (return type, name, parameters, arguments, and
// how the call reports failure). On Windows the table becomes inline forwards to the real calls;
// on the host it becomes one declared function per call, routed through the tracing and
// fault-injecting layer (platform/host/) to the installed backend, normally the simulated machine.
#pragma once

#include "platform/win_types.h"

namespace plat {

// How a call reports failure, so that an injected fault looks exactly like a real one.
enum class FailKind {
    None,      // cannot fail (void results, last-error access)
    Status,    // returns the status itself (registry calls)
    Bool,      // returns FALSE and sets the last error
    Null,      // returns a null handle or pointer and sets the last error
    Invalid,   // returns INVALID_HANDLE_VALUE and sets the last error
    Zero,      // returns 0 (a count) and sets the last error
    MinusOne,  // returns -1 (C runtime position calls) and sets the last error
    HResult,   // returns a failing HRESULT (COM calls); the thread's last error is left alone
};

}  // namespace plat

#ifdef _WIN32
#define TVX_SEAM_FORWARD(Fam, R, N, P, A, F) \
    inline R N P { return ::N A; }
#define TVX_DECLARE_FAMILY(Fam, LIST) \
    namespace plat {                  \
    LIST(TVX_SEAM_FORWARD)            \
    }
#else
#define TVX_SEAM_DECLARE(Fam, R, N, P, A, F) R N P;
#define TVX_SEAM_VIRTUAL(Fam, R, N, P, A, F) virtual R N P;
// A backend overrides the calls it models; every other call fails loudly (see platform/host/).
#define TVX_DECLARE_FAMILY(Fam, LIST)           \
    namespace plat {                            \
    LIST(TVX_SEAM_DECLARE)                      \
    class Fam##Backend {                        \
    public:                                     \
        virtual ~Fam##Backend() = default;      \
        LIST(TVX_SEAM_VIRTUAL)                  \
    };                                          \
    }
#endif

// The host side of the seam: the installed backends, and the choke point every plat:: call passes,
// which records a trace and can fail chosen calls the way Windows would fail them.
// Host builds only; the Windows build forwards straight to the real calls.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "platform/all.h"

namespace plat::host {

// A status that no Windows call returns: the answer of a call that the installed backend does
// not model. It is also recorded, so that tests can insist on none.
constexpr DWORD kNotModelled = 0x2000DEADu;

// One backend per family of the seam.
struct Backends {
#define TVX_BACKEND_MEMBER(Fam, accessor, LIST) Fam##Backend* accessor = nullptr;
    TVX_FAMILIES(TVX_BACKEND_MEMBER)
#undef TVX_BACKEND_MEMBER
};

// Installs the backends that plat:: calls reach; a null member leaves that family unmodelled.
void InstallBackends(const Backends& backends);
const Backends& CurrentBackends();

struct TraceRecord {
    uint64_t seq = 0;
    std::string family;
    std::string call;
    std::string args;
    std::string result;
    bool injected = false;
    bool not_modelled = false;
};

std::string FormatTraceLine(const TraceRecord& record);

// A fault: fail the call whose ordinal among failable calls is `nth` (1-based), or, with nth 0,
// every failable call named `call`. With `from_then_on` the nth rule keeps failing every later
// call as well.
struct FaultRule {
    std::string call;
    uint64_t nth = 0;
    DWORD status = 0;
    bool from_then_on = false;
};

class CallLayer {
public:
    void Reset();
    void SetTracing(bool on) { tracing_ = on; }
    bool tracing() const { return tracing_; }

    void FailNth(uint64_t nth, DWORD status, bool from_then_on = false);
    void FailCall(const std::string& call, DWORD status);
    void ClearFaults() { faults_.clear(); }

    // In call order. (A deque: a long run's records are never moved as the trace grows.)
    const std::deque<TraceRecord>& trace() const { return trace_; }
    void ClearTrace() { trace_.clear(); }
    uint64_t failable_calls() const { return failable_calls_; }
    uint64_t injected() const { return injected_; }
    const std::vector<std::string>& not_modelled() const { return not_modelled_; }

    // Used by the generated forwards.
    bool ShouldFail(const char* call, FailKind kind, DWORD* status);
    void Record(TraceRecord record);
    void NoteNotModelled(const char* call);

private:
    bool tracing_ = true;
    uint64_t seq_ = 0;
    uint64_t failable_calls_ = 0;
    uint64_t injected_ = 0;
    std::vector<FaultRule> faults_;
    std::deque<TraceRecord> trace_;
    std::vector<std::string> not_modelled_;
};

CallLayer& Layer();

// How many plat:: calls are under way on this thread: non-zero while a backend (the simulated
// machine) or the layer itself works for a call, zero while the logic runs. A test that fails the
// logic's own allocations leaves those of the machine alone by this.
int CallDepth();

}  // namespace plat::host

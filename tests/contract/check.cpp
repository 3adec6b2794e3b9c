// The contract suite's runner: registered cases, failure reports, known differences, and main().
// Portable: built on the host and by the cross compiler.
#include "tests/contract/check.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "tests/contract/case_environment.h"
#include "tests/contract/world.h"

namespace contract {
namespace {

struct Case {
    const char* family;
    const char* name;
    const char* file;
    CaseFn fn;
};

std::vector<Case>& Cases() {
    static std::vector<Case> cases;
    return cases;
}

struct RunState {
    int failures = 0;           // failures that count against the case
    int expected_failures = 0;  // failures inside an active known-difference block
    int known_depth = 0;
    std::vector<std::string> context;
};
RunState g_state;

std::string ContextText() {
    std::string text;
    for (const std::string& c : g_state.context) text += " [" + c + "]";
    return text;
}

std::string FileName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    const char* back = std::strrchr(path, '\\');
    if (back > slash) slash = back;
    return slash ? slash + 1 : path;
}

}  // namespace

const char* BackendName(Backend backend) {
    switch (backend) {
        case Backend::Sim: return "sim";
        case Backend::Wine: return "wine";
        case Backend::Windows: return "windows";
    }
    return "?";
}

Registrar::Registrar(const char* family, const char* name, const char* file, CaseFn fn) {
    Cases().push_back(Case{family, name, file, fn});
}

void ReportFailure(const char* file, int line, const std::string& what) {
    const bool expected = g_state.known_depth > 0;
    if (expected)
        ++g_state.expected_failures;
    else
        ++g_state.failures;
    std::printf("%s:%d: %s%s%s\n", FileName(file).c_str(), line, expected ? "known difference: " : "failed: ",
                what.c_str(), ContextText().c_str());
}

Context::Context(std::string what) { g_state.context.push_back(std::move(what)); }
Context::~Context() { g_state.context.pop_back(); }

KnownDifference::KnownDifference(Backend backend, const char* reason, const char* file, int line)
    : active_(backend == CurrentBackend()),
      failures_before_(g_state.expected_failures),
      reason_(reason),
      file_(file),
      line_(line) {
    if (active_) ++g_state.known_depth;
}

KnownDifference::~KnownDifference() {
    if (!active_) return;
    --g_state.known_depth;
    if (g_state.expected_failures == failures_before_)
        ReportFailure(file_, line_, std::string("known difference no longer shows (") + reason_ + "): remove the mark");
}

}  // namespace contract

// Usage: tvx_contract [--list] [FILTER...]; a filter is a substring of "Family.Name".
int main(int argc, char** argv) {
    using namespace contract;
    // A copy of this program started by a case stands in for another program (see world.h).
    if (int exit_code = 0; RunAsPlacedProgram(&exit_code)) return exit_code;
    bool list = false;
    std::vector<std::string> filters;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--list") == 0)
            list = true;
        else
            filters.emplace_back(argv[i]);
    }

    int run = 0, failed = 0, known = 0;
    std::printf("contract suite on the %s backend\n", BackendName(CurrentBackend()));
    for (const Case& c : Cases()) {
        const std::string full = std::string(c.family) + "." + c.name;
        bool selected = filters.empty();
        for (const std::string& f : filters) selected = selected || full.find(f) != std::string::npos;
        if (!selected) continue;
        if (list) {
            std::printf("%s\n", full.c_str());
            continue;
        }

        std::printf("[ RUN      ] %s\n", full.c_str());
        std::fflush(stdout);
        g_state = RunState{};
        try {
            CaseEnvironment environment(full);
            try {
                c.fn();
            } catch (const CaseAborted&) {
                std::printf("    (case stopped at a failed requirement)\n");
            }
            for (const std::string& problem : environment.Finish())
                ReportFailure(c.file, 0, "after the case: " + problem);
        } catch (const std::exception& e) {
            ReportFailure(c.file, 0, std::string("exception: ") + e.what());
        }
        ++run;
        if (g_state.failures > 0) {
            ++failed;
            std::printf("[     FAIL ] %s\n", full.c_str());
        } else {
            if (g_state.expected_failures > 0) ++known;
            std::printf("[       OK ] %s%s\n", full.c_str(), g_state.expected_failures > 0 ? " (known difference)" : "");
        }
        std::fflush(stdout);
    }
    if (list) return 0;
    std::printf("%d cases, %d failed, %d with known differences on %s\n", run, failed, known,
                BackendName(CurrentBackend()));
    if (run == 0) {
        std::printf("no case matched\n");
        return 1;
    }
    return failed == 0 ? 0 : 1;
}

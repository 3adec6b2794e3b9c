// A tiny check framework for the seam's contract suite. The same case sources build on the host
// (against the simulated machine) and with the cross compiler (against the real calls, run under
// Wine), so this framework uses the C++ standard library only.
//
// A case is a function registered with CONTRACT_CASE(Family, Name). Checks report and carry on;
// REQUIRE stops the case. KNOWN_DIFFERENCE(Backend, "reason") { ... } marks checks that are known
// to fail on one backend: there their failures are expected, and the block fails once none of its
// checks fails any more, so a mark outlives no difference.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace contract {

// A last error no call sets, put in place before a call whose error is checked.
inline constexpr uint32_t kSentinelError = 0xDEADBEEF;
// How much earlier than asked Windows may end a wait: one tick of its clock.
inline constexpr uint32_t kOneTick = 16;

enum class Backend { Sim, Wine, Windows };

// The backend this run talks to (decided by the build and, on Windows, by asking for Wine).
Backend CurrentBackend();
const char* BackendName(Backend backend);

using CaseFn = void (*)();
struct Registrar {
    Registrar(const char* family, const char* name, const char* file, CaseFn fn);
};

// Thrown by REQUIRE to end a case; caught by the runner.
struct CaseAborted {};

void ReportFailure(const char* file, int line, const std::string& what);

// Text forms of checked values.
template <class T>
std::string Show(const T& v) {
    std::ostringstream out;
    if constexpr (std::is_same_v<T, bool>) {
        out << (v ? "true" : "false");
    } else if constexpr (std::is_integral_v<T> || std::is_enum_v<T>) {
        using I = std::conditional_t<std::is_enum_v<T>, std::underlying_type<T>, std::type_identity<T>>;
        auto n = static_cast<typename I::type>(v);
        if constexpr (std::is_signed_v<typename I::type>)
            out << static_cast<long long>(n);
        else
            out << static_cast<unsigned long long>(n);
        if (static_cast<unsigned long long>(n) >= 0x10000ull) out << std::hex << " (0x" << static_cast<unsigned long long>(n) << ")";
    } else if constexpr (std::is_convertible_v<T, std::string>) {
        out << '"';
        for (char c : std::string(v)) {
            if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == '\\') {
                out << "\\x" << std::hex << static_cast<int>(static_cast<unsigned char>(c)) << std::dec;
            } else {
                out << c;
            }
        }
        out << '"';
    } else if constexpr (std::is_pointer_v<T>) {
        out << "ptr 0x" << std::hex << reinterpret_cast<uintptr_t>(v);
    } else {
        out << v;
    }
    return out.str();
}

template <class A, class B>
bool Equal(const A& a, const B& b) {
    if constexpr (std::is_integral_v<A> && std::is_integral_v<B> && !std::is_same_v<A, bool> &&
                  !std::is_same_v<B, bool>) {
        return std::cmp_equal(a, b);
    } else if constexpr (std::is_convertible_v<A, std::string> && std::is_convertible_v<B, std::string>) {
        return std::string(a) == std::string(b);
    } else {
        return a == b;
    }
}

template <class A, class B>
bool CheckEq(const A& actual, const B& expected, const char* text_a, const char* text_b, const char* file,
             int line) {
    if (Equal(actual, expected)) return true;
    ReportFailure(file, line,
                  std::string(text_a) + " == " + text_b + ": got " + Show(actual) + ", expected " + Show(expected));
    return false;
}

// Names the table row (or any context) that failing checks inside its scope belong to.
class Context {
public:
    explicit Context(std::string what);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

class KnownDifference {
public:
    KnownDifference(Backend backend, const char* reason, const char* file, int line);
    ~KnownDifference();
    KnownDifference(const KnownDifference&) = delete;
    KnownDifference& operator=(const KnownDifference&) = delete;
    bool Once() { return !done_ && (done_ = true); }

private:
    bool active_;
    bool done_ = false;
    int failures_before_;
    const char* reason_;
    const char* file_;
    int line_;
};

// Bytes as a string, for comparing buffers.
inline std::string Bytes(const void* data, size_t size) {
    return std::string(static_cast<const char*>(data), size);
}

}  // namespace contract

#define CONTRACT_CASE(family, name)                                                                 \
    static void family##_##name##_case();                                                           \
    static const ::contract::Registrar family##_##name##_registrar(#family, #name, __FILE__,        \
                                                                   &family##_##name##_case);        \
    static void family##_##name##_case()

#define CHECK(cond) \
    ((cond) ? true : (::contract::ReportFailure(__FILE__, __LINE__, "CHECK(" #cond ")"), false))
#define CHECK_EQ(actual, expected) \
    ::contract::CheckEq((actual), (expected), #actual, #expected, __FILE__, __LINE__)
#define REQUIRE(cond)                           \
    do {                                        \
        if (!CHECK(cond)) throw ::contract::CaseAborted{}; \
    } while (0)
#define REQUIRE_EQ(actual, expected)                                  \
    do {                                                              \
        if (!CHECK_EQ(actual, expected)) throw ::contract::CaseAborted{}; \
    } while (0)

#define CONTRACT_CONCAT2(a, b) a##b
#define CONTRACT_CONCAT(a, b) CONTRACT_CONCAT2(a, b)
#define CONTEXT(what) ::contract::Context CONTRACT_CONCAT(context_, __LINE__)(what)
#define KNOWN_DIFFERENCE(backend, reason)                                                           \
    for (::contract::KnownDifference CONTRACT_CONCAT(known_, __LINE__)(::contract::Backend::backend, \
                                                                       reason, __FILE__, __LINE__); \
         CONTRACT_CONCAT(known_, __LINE__).Once();)

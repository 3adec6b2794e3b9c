// Owners for the handles the logic opens through the seam: each states its invalid value and its
// close call once, so every path of an operation closes what the operation opened.
// Portable: used above the seam on both backends.
#pragma once

#include "platform/all.h"

namespace plat {

template <class Traits>
class Scoped {
public:
    using Handle = typename Traits::Handle;
    Scoped() = default;
    explicit Scoped(Handle h) : h_(h) {}
    ~Scoped() { reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : h_(other.release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const { return h_; }
    Handle* out() {
        reset();
        return &h_;
    }
    explicit operator bool() const { return Traits::Valid(h_); }
    Handle release() {
        Handle h = h_;
        h_ = Traits::Invalid();
        return h;
    }
    void reset(Handle h = Traits::Invalid()) {
        if (Traits::Valid(h_)) Traits::Close(h_);
        h_ = h;
    }

private:
    Handle h_ = Traits::Invalid();
};

// Registry keys; SetupDiOpenDevRegKey answers INVALID_HANDLE_VALUE, the registry calls NULL.
struct KeyTraits {
    using Handle = HKEY;
    static HKEY Invalid() { return nullptr; }
    static bool Valid(HKEY h) { return h != nullptr && h != reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE); }
    static void Close(HKEY h) { plat::RegCloseKey(h); }
};

// A registry key. A key opened below a root with an empty or null path can be the root itself:
// RegOpenKeyA always answers the handle it was given, RegOpenKeyExA does so for a predefined key.
// That handle is not the opener's: closing a predefined key closes the handle the process keeps
// for it under every other thread, and a caller's key stays the caller's. So a key opened below a
// root is taken with out(root) (or constructed with its root), and it is closed only when it is
// not that root. out() and the one-handle constructor own what they hold outright (the SetupAPI
// calls always answer a new key).
class ScopedKey {
public:
    ScopedKey() = default;
    explicit ScopedKey(HKEY h) : h_(h) {}
    ScopedKey(HKEY h, HKEY root) : h_(h), root_(root) {}
    ~ScopedKey() { reset(); }
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ScopedKey(ScopedKey&& other) noexcept : h_(other.h_), root_(other.root_) { other.Forget(); }
    ScopedKey& operator=(ScopedKey&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = other.h_;
            root_ = other.root_;
            other.Forget();
        }
        return *this;
    }

    HKEY get() const { return h_; }
    // For a call that opens a new key, such as SetupDiOpenDevRegKey.
    HKEY* out() {
        reset();
        return &h_;
    }
    // For a call that opens a key below `root`: should it answer `root` itself, nothing is closed.
    HKEY* out(HKEY root) {
        reset();
        root_ = root;
        return &h_;
    }
    explicit operator bool() const { return KeyTraits::Valid(h_); }
    // Whether the destructor would close the key.
    bool owns() const { return KeyTraits::Valid(h_) && h_ != root_; }
    HKEY release() {
        HKEY h = h_;
        Forget();
        return h;
    }
    void reset(HKEY h = KeyTraits::Invalid()) {
        if (owns()) KeyTraits::Close(h_);
        h_ = h;
        root_ = KeyTraits::Invalid();
    }

private:
    void Forget() {
        h_ = KeyTraits::Invalid();
        root_ = KeyTraits::Invalid();
    }
    HKEY h_ = KeyTraits::Invalid();
    HKEY root_ = KeyTraits::Invalid();  // the key this one was opened below; never closed here
};

struct DevInfoTraits {
    using Handle = HDEVINFO;
    static HDEVINFO Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HDEVINFO h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HDEVINFO h) { plat::SetupDiDestroyDeviceInfoList(h); }
};
using ScopedDevInfo = Scoped<DevInfoTraits>;

// INF files opened by SetupOpenInfFileA, which answers INVALID_HANDLE_VALUE on failure.
struct InfTraits {
    using Handle = HINF;
    static HINF Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HINF h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HINF h) { plat::SetupCloseInfFile(h); }
};
using ScopedInf = Scoped<InfTraits>;

struct ServiceTraits {
    using Handle = SC_HANDLE;
    static SC_HANDLE Invalid() { return nullptr; }
    static bool Valid(SC_HANDLE h) { return h != nullptr; }
    static void Close(SC_HANDLE h) { plat::CloseServiceHandle(h); }
};
using ScopedService = Scoped<ServiceTraits>;

// Process, thread and event handles; CreateProcessA and CreateEventA give NULL on failure.
struct HandleTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return nullptr; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { plat::CloseHandle(h); }
};
using ScopedHandle = Scoped<HandleTraits>;

// File searches; FindFirstFileA gives INVALID_HANDLE_VALUE on failure.
struct FindTraits {
    using Handle = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static bool Valid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE h) { plat::FindClose(h); }
};
using ScopedFind = Scoped<FindTraits>;

struct StreamTraits {
    using Handle = FILE*;
    static FILE* Invalid() { return nullptr; }
    static bool Valid(FILE* f) { return f != nullptr; }
    static void Close(FILE* f) { plat::fclose(f); }
};
using ScopedStream = Scoped<StreamTraits>;

// A text the system allocated for the caller (FormatMessageA with FORMAT_MESSAGE_ALLOCATE_BUFFER).
struct LocalTextTraits {
    using Handle = char*;
    static char* Invalid() { return nullptr; }
    static bool Valid(char* p) { return p != nullptr; }
    static void Close(char* p) { plat::LocalFree(p); }
};
using ScopedLocalText = Scoped<LocalTextTraits>;

// COM strings from SysAllocString, freed with SysFreeString.
struct BstrTraits {
    using Handle = BSTR;
    static BSTR Invalid() { return nullptr; }
    static bool Valid(BSTR s) { return s != nullptr; }
    static void Close(BSTR s) { plat::SysFreeString(s); }
};
using ScopedBstr = Scoped<BstrTraits>;

// The WIA device manager: one reference, given back with Release.
struct WiaDevMgrTraits {
    using Handle = IWiaDevMgr*;
    static IWiaDevMgr* Invalid() { return nullptr; }
    static bool Valid(IWiaDevMgr* p) { return p != nullptr; }
    static void Close(IWiaDevMgr* p) { plat::WiaDevMgr_Release(p); }
};
using ScopedWiaDevMgr = Scoped<WiaDevMgrTraits>;

}  // namespace plat

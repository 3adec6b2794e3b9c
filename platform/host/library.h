// Loads the host build of the co-installer as Windows loads the DLL: the load builds the global
// object and calls DllMain with DLL_PROCESS_ATTACH; the unload calls DllMain with
// DLL_PROCESS_DETACH and destroys the object. Host builds only.
#pragma once

#include <string>

#include "platform/all.h"

namespace plat::host {

class CoInstallerLibrary {
public:
    using DllMainFn = BOOL (*)(HINSTANCE, DWORD, LPVOID);
    using CoInstallerFn = DWORD (*)(DI_FUNCTION, HDEVINFO, PSP_DEVINFO_DATA, PCOINSTALLER_CONTEXT_DATA);
    using CommandFn = void (*)(HWND, HINSTANCE, LPSTR, int);
    using EntryPointFn = int (*)(HINSTANCE, DWORD, LPVOID);

    // The module handle the simulated loader hands the library.
    static HINSTANCE ModuleHandle() { return reinterpret_cast<HINSTANCE>(0x180000000ULL); }

    CoInstallerLibrary() = default;
    ~CoInstallerLibrary() { Unload(); }
    CoInstallerLibrary(const CoInstallerLibrary&) = delete;
    CoInstallerLibrary& operator=(const CoInstallerLibrary&) = delete;

    // Answers false with error() set when the file cannot be loaded or lacks an export.
    bool Load(const std::string& path);
    void Unload();
    // The co-installer's entry as a callable (for plat::sim::CallCoInstaller).
    auto Entry() {
        return [this](DI_FUNCTION dif, HDEVINFO set, PSP_DEVINFO_DATA data, PCOINSTALLER_CONTEXT_DATA context) {
            return TarvixScannerCoInstaller(dif, set, data, context);
        };
    }
    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    DWORD TarvixScannerCoInstaller(DI_FUNCTION dif, HDEVINFO set, PSP_DEVINFO_DATA data,
                                   PCOINSTALLER_CONTEXT_DATA context) const {
        return coinstaller_(dif, set, data, context);
    }
    void InstallPellionSoftware(HWND hwnd, HINSTANCE instance, LPSTR cmdline, int show) const {
        command_(hwnd, instance, cmdline, show);
    }
    BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) const {
        return dll_main_(instance, reason, reserved);
    }
    int DllEntryPoint(HINSTANCE instance, DWORD reason, LPVOID reserved) const {
        return entry_point_(instance, reason, reserved);
    }

private:
    void* handle_ = nullptr;
    std::string error_;
    DllMainFn dll_main_ = nullptr;
    CoInstallerFn coinstaller_ = nullptr;
    CommandFn command_ = nullptr;
    EntryPointFn entry_point_ = nullptr;
};

}  // namespace plat::host

// Loading the host build of the co-installer. Host builds only.
#include "platform/host/library.h"

#include <dlfcn.h>

namespace plat::host {

bool CoInstallerLibrary::Load(const std::string& path) {
    Unload();
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        error_ = "cannot load " + path + ": " + (why ? why : "unknown error");
        return false;
    }
    // The C++ entry point goes by the host compiler's name for int DllEntryPoint(HINSTANCE, DWORD, LPVOID).
    const char* const kDllEntryPoint = "_Z13DllEntryPointP11HINSTANCE__jPv";
    std::string missing;
    auto find = [&](const char* name) {
        void* address = dlsym(handle_, name);
        if (!address) missing += (missing.empty() ? "" : ", ") + std::string(name);
        return address;
    };
    dll_main_ = reinterpret_cast<DllMainFn>(find("DllMain"));
    coinstaller_ = reinterpret_cast<CoInstallerFn>(find("TarvixScannerCoInstaller"));
    command_ = reinterpret_cast<CommandFn>(find("InstallPellionSoftware"));
    entry_point_ = reinterpret_cast<EntryPointFn>(find(kDllEntryPoint));
    if (!missing.empty()) {
        error_ = "cannot load " + path + ": it does not export " + missing;
        dlclose(handle_);
        handle_ = nullptr;
        return false;
    }
    dll_main_(ModuleHandle(), DLL_PROCESS_ATTACH, nullptr);
    return true;
}

void CoInstallerLibrary::Unload() {
    if (!handle_) return;
    dll_main_(ModuleHandle(), DLL_PROCESS_DETACH, nullptr);
    dlclose(handle_);
    handle_ = nullptr;
}

}  // namespace plat::host

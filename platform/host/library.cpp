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
    dll_main_ = reinterpret_cast<DllMainFn>(dlsym(handle_, "DllMain"));
    coinstaller_ = reinterpret_cast<CoInstallerFn>(dlsym(handle_, "TarvixScannerCoInstaller"));
    command_ = reinterpret_cast<CommandFn>(dlsym(handle_, "InstallPellionSoftware"));
    // The C++ entry point, under the host compiler's name for int DllEntryPoint(HINSTANCE, DWORD, LPVOID).
    entry_point_ = reinterpret_cast<EntryPointFn>(dlsym(handle_, "_Z13DllEntryPointP11HINSTANCE__jPv"));
    if (!dll_main_ || !coinstaller_ || !command_ || !entry_point_) {
        error_ = "cannot load " + path + ": an export is missing";
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

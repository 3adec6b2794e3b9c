// The library's exports and its one global setup-extension object, built when the library is
// loaded and destroyed when it is unloaded. Portable logic; built into the library only.
#include "core/exports.h"

#include "core/setup_extension_q920k.h"

namespace {
CSetupExtensionQ920k g_SetupExtension;
}  // namespace

int DllEntryPoint(HINSTANCE hInstance, DWORD, LPVOID) {
    g_SetupExtension.m_hInstance = hInstance;
    return TRUE;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID reserved) {
    return DllEntryPoint(hInstance, reason, reserved);
}

// Both entries call the base class's operations directly, not through the virtual table.
extern "C" DWORD WINAPI TarvixScannerCoInstaller(DI_FUNCTION difCode, HDEVINFO deviceInfoSet,
                                                 PSP_DEVINFO_DATA deviceInfoData, PCOINSTALLER_CONTEXT_DATA context) {
    return g_SetupExtension.CSetupExtension::TarvixDeviceCoInstaller(difCode, deviceInfoSet, deviceInfoData, context);
}

extern "C" void CALLBACK InstallPellionSoftware(HWND hwnd, HINSTANCE hInstance, LPSTR lpszCmdLine, int nCmdShow) {
    g_SetupExtension.CSetupExtension::InstallSoftware(hwnd, hInstance, lpszCmdLine, nCmdShow);
}

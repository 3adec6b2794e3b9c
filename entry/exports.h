// The library's four exports. Portable logic.
#pragma once

#include "platform/all.h"

#ifdef _WIN32
#define TVX_EXPORT
#else
#define TVX_EXPORT __attribute__((visibility("default")))
#endif

TVX_EXPORT int DllEntryPoint(HINSTANCE hInstance, DWORD reason, LPVOID reserved);

extern "C" {
TVX_EXPORT BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD reason, LPVOID reserved);
TVX_EXPORT DWORD WINAPI TarvixScannerCoInstaller(DI_FUNCTION difCode, HDEVINFO deviceInfoSet,
                                                 PSP_DEVINFO_DATA deviceInfoData, PCOINSTALLER_CONTEXT_DATA context);
TVX_EXPORT void CALLBACK InstallPellionSoftware(HWND hwnd, HINSTANCE hInstance, LPSTR lpszCmdLine, int nCmdShow);
}

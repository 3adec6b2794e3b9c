// The library's exports and its one global setup-extension object, built when the library is
// loaded and destroyed when it is unloaded. Portable logic; built into the library only.
//
// No exception leaves an export: the device installer and the DLL runner call these entries as C
// functions and cannot take one. What the logic can raise is the standard library's: memory that
// cannot be allocated for a text or a list (std::bad_alloc) and a text or list asked to grow past
// its limits (std::length_error, a std::logic_error). Each entry catches those and answers as a call
// that could not do its work: the step under way ends where the allocation failed and nothing more
// is written. Anything else raised inside a Windows call is not the library's and passes unchanged.
#include "entry/exports.h"

#include <new>
#include <stdexcept>

#include "entry/setup_extension_q920k.h"

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
//
// A call that runs out of memory answers what lets the device installation go on as if the
// co-installer had not been there: in the post-processing pass the result of the class installer
// and the other installers as it was handed in, in the pre-processing pass NO_ERROR. Any other
// answer of the pre-processing pass would fail the device's installation for want of the
// co-installer's extras (network data, names, wizard events, the software), which the device
// works without; and a pass whose work broke off asks for no post-processing of it.
extern "C" DWORD WINAPI TarvixScannerCoInstaller(DI_FUNCTION difCode, HDEVINFO deviceInfoSet,
                                                 PSP_DEVINFO_DATA deviceInfoData, PCOINSTALLER_CONTEXT_DATA context) {
    try {
        return g_SetupExtension.CSetupExtension::TarvixDeviceCoInstaller(difCode, deviceInfoSet, deviceInfoData,
                                                                          context);
    } catch (const std::bad_alloc&) {
    } catch (const std::logic_error&) {
    }
    return context && context->PostProcessing ? context->InstallResult : static_cast<DWORD>(NO_ERROR);
}

// The DLL runner's entry answers nothing: a call that runs out of memory just returns.
extern "C" void CALLBACK InstallPellionSoftware(HWND hwnd, HINSTANCE hInstance, LPSTR lpszCmdLine, int nCmdShow) {
    try {
        g_SetupExtension.CSetupExtension::InstallSoftware(hwnd, hInstance, lpszCmdLine, nCmdShow);
    } catch (const std::bad_alloc&) {
    } catch (const std::logic_error&) {
    }
}

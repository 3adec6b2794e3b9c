// The software-install decision and the hardware-first marker. Portable logic.
#include "core/setup_extension.h"

// Not yet built beyond taking the model string: the install decision and what it starts.
// A missing command line is taken as an empty model string.
void CSetupExtension::InstallSoftware(HWND, HINSTANCE, LPSTR lpszCmdLine, int) {
    m_ScannerModel = lpszCmdLine ? lpszCmdLine : "";
}

// Not yet built: the hardware-first marker below the Tarvix software key.
void CSetupExtension::MarkPnPFinished() {}

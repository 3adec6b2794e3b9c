// The software-install decision, what it starts, and the hardware-first marker. Portable logic.
#include <string>

#include "core/install_marker.h"
#include "core/setup_extension.h"
#include "install/system_services.h"
#include "platform/scoped.h"

namespace {

// Systems older than Vista, asked in this order.
bool IsNonVista(const COsInfo& os) {
    return os.IsWinXP() || os.IsWin2000() || os.IsWin2003() || os.IsWin98Any() || os.IsWinMe();
}

// Creates or opens a marker key below HKEY_LOCAL_MACHINE in the 32-bit view; logs a failure.
plat::ScopedKey CreateMarkerKey(const char* path, CLogger* logger) {
    char szClass[1] = {'\0'};
    plat::ScopedKey key;
    const LSTATUS status =
        plat::RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, szClass, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, key.out(HKEY_LOCAL_MACHINE), nullptr);
    if (status != ERROR_SUCCESS) {
        key.release();
        if (logger) logger->Print("RegCreateKeyEx returned %d while trying to open %s", static_cast<int>(status), path);
    }
    return key;
}

void WriteMarkerString(HKEY key, const char* name, const char* text, DWORD cbData) {
    plat::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), cbData);
}

}  // namespace

std::string& CSetupExtension::AppendBackslash(std::string& text) {
    if (!text.empty() && text.back() != '\\') text += '\\';
    return text;
}

// The window, instance handle and show value are not used: the command line is the model string.
// A missing command line is taken as an empty model string.
void CSetupExtension::InstallSoftware(HWND, HINSTANCE, LPSTR lpszCmdLine, int) {
    m_ScannerModel = lpszCmdLine ? lpszCmdLine : "";
    if (m_pLogger) {
        m_pLogger->Print("m_ScannerModel = %s", m_ScannerModel.c_str());
        m_pLogger->Print(m_OsInfo.IsAdmin() ? "This user has administration rights" : "This user is not an Admin");
        m_pLogger->Print("m_InstallCLSID = %s", m_InstallCLSID.c_str());
        m_pLogger->Print("m_InstallRegPath = %s", m_InstallRegPath.c_str());
    } else {
        // Asked even unlogged, so the flow's system calls stay the same.
        m_OsInfo.IsAdmin();
    }

    RemoveStaleUsbEntries();
    if (IsNonVista(m_OsInfo)) RunFirmwareUpdate();

    // While the operating system's own setup runs, the install is always software first.
    if (!IsSoftwareInstalled() && !IsSystemSetupInProgress()) {
        if (m_pLogger) m_pLogger->Print("This is a Hardware First install, valid software not found");
        MarkPnPFinished();
        // From Vista on, the finish-install action starts the disc's setup.
        if (IsNonVista(m_OsInfo)) {
            if (m_pLogger) m_pLogger->Print("Non-Vista case, launching software on CD");
            LaunchSetupFromMedia();
        }
        return;
    }

    if (m_pLogger) m_pLogger->Print("This is a Software first install, valid software found");
    std::string szKey = m_InstallRegPath;
    AppendBackslash(szKey) += m_InstallCLSID;
    FixInstalledStrings(szKey);
    RestartStillImageService();

    // An event of that name that exists already is opened and used alike. The handle is left open
    // on purpose, library unload included: the event then lives, set, as long as this process, so
    // that a waiter that opens it later still finds it set.
    HANDLE hEvent = plat::CreateEventA(nullptr, TRUE, FALSE, kFinishedEventName);
    if (!hEvent) {
        const DWORD error = plat::GetLastError();
        if (m_pLogger) m_pLogger->Print("CreateEvent returned NULL, GetLastError returned %d", static_cast<int>(error));
        return;
    }
    if (m_pLogger) {
        m_pLogger->Print("CreateEvent succeeded, the Event created was:\n%s", kFinishedEventName);
        m_pLogger->Print("CreateEvent returned 0x%llx",
                         static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hEvent)));
    }
    if (plat::SetEvent(hEvent)) {
        if (m_pLogger) m_pLogger->Print("SetEvent succeeded");
    } else {
        const DWORD error = plat::GetLastError();
        if (m_pLogger) m_pLogger->Print("SetEvent failed, GetLastError returned %d", static_cast<int>(error));
    }
}

void CSetupExtension::MarkPnPFinished() {
    const std::string szTag = GetModelTag();
    {
        plat::ScopedKey key = CreateMarkerKey(kInstallMarkerKey, m_pLogger);
        if (!key) return;
        // The two writes are not checked.
        WriteMarkerString(key.get(), kPnPFinishedValueName, "1", 2);
        WriteMarkerString(key.get(), szTag.c_str(), "1", 2);
    }
    // The marker key's parent holds the event's name.
    const std::string szMarker = kInstallMarkerKey;
    const std::string szParent = szMarker.substr(0, szMarker.rfind('\\'));
    plat::ScopedKey key = CreateMarkerKey(szParent.c_str(), m_pLogger);
    if (!key) return;
    WriteMarkerString(key.get(), kFinishedEventName, "", 1);
}

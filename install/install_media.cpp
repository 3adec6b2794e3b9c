// The install disc: finding it among the optical drives, and starting or scheduling its setup
// program. Portable logic.
#include <cctype>
#include <cstring>
#include <vector>

#include "core/setup_extension.h"
#include "platform/scoped.h"

namespace {

// Volume labels that mark the install disc when the software folder is empty; compared as
// prefixes of the label, without regard to case.
const char* const kDiscLabels[] = {"Tarvix Scan", "TarvixScan", "Tarvix_Scan"};

constexpr const char* kRunOnceKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kRunOnceValue = "TarvixSoftwareApps";

bool StartsWithIgnoringCase(const char* text, const char* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (std::toupper(static_cast<unsigned char>(*text)) != std::toupper(static_cast<unsigned char>(*prefix)))
            return false;
    return true;
}

std::string DriveRoot(char driveLetter) { return std::string(1, driveLetter) + ":\\"; }

}  // namespace

bool CSetupExtension::FileExists(const char* path) {
    WIN32_FIND_DATAA findData;
    plat::ScopedFind find(plat::FindFirstFileA(path, &findData));
    return static_cast<bool>(find);
}

char CSetupExtension::FindInstallMediaDrive() {
    // Every optical drive, in ascending letter order: one candidate per bit of the drive mask.
    char candidates[32];
    size_t count = 0;
    const DWORD dwDrives = plat::GetLogicalDrives();
    for (int i = 0; i < 32; ++i) {
        if (!(dwDrives & (DWORD(1) << i))) continue;
        const std::string root = DriveRoot(static_cast<char>('A' + i));
        if (plat::GetDriveTypeA(root.c_str()) == DRIVE_CDROM) candidates[count++] = static_cast<char>('A' + i);
    }
    for (size_t i = 0; i < count; ++i)
        if (IsInstallMedia(candidates[i])) return candidates[i];
    return 0;
}

int CSetupExtension::IsInstallMedia(char driveLetter) {
    const std::string root = DriveRoot(driveLetter);
    const std::string folder = GetMediaSoftwareFolder();
    if (!folder.empty()) {
        std::string path = root + folder;
        if (path.back() == '\\') path.pop_back();
        return FileExists(path.c_str()) ? 1 : 0;
    }
    char szLabel[1024] = {0};
    if (!plat::GetVolumeInformationA(root.c_str(), szLabel, sizeof szLabel, nullptr, nullptr, nullptr, nullptr, 0))
        return 0;
    szLabel[sizeof szLabel - 1] = '\0';
    for (const char* label : kDiscLabels)
        if (StartsWithIgnoringCase(szLabel, label)) return 1;
    return 0;
}

std::string CSetupExtension::SetupCommandLine(char driveLetter, std::string& driveRoot) {
    driveRoot = DriveRoot(driveLetter);
    return driveRoot + GetMediaSoftwareFolder() + "setup.exe " + GetSetupArguments();
}

DWORD CSetupExtension::StartProgram(const std::string& commandLine, const std::string& currentDirectory,
                                    plat::ScopedHandle& process, plat::ScopedHandle& thread) {
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_FORCEONFEEDBACK;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info;
    std::memset(&info, 0, sizeof info);
    // Process creation may write into the command line: it gets a copy of its own.
    std::vector<char> szCommandLine(commandLine.begin(), commandLine.end());
    szCommandLine.push_back('\0');

    const BOOL created = plat::CreateProcessA(nullptr, szCommandLine.data(), nullptr, nullptr, FALSE,
                                              CREATE_NEW_CONSOLE, nullptr, currentDirectory.c_str(), &startup, &info);
    // Taken before the log lines, whose file calls may change it.
    const DWORD error = created ? ERROR_SUCCESS : plat::GetLastError();
    if (created) {
        process.reset(info.hProcess);
        thread.reset(info.hThread);
    }
    const int result = created ? 1 : 0;
    if (m_pLogger) m_pLogger->Print("CreateProcess returned %i", result);
    if (created) {
        if (m_pLogger) m_pLogger->Print("CreateProcess succeeded and returned %i", result);
        return ERROR_SUCCESS;
    }
    if (m_pLogger) m_pLogger->Print("CreateProcess failed, GetLastError returned: %i", static_cast<int>(error));
    return error;
}

DWORD CSetupExtension::LaunchSetupFromMedia() {
    const char cDrive = FindInstallMediaDrive();
    if (!cDrive) {
        if (m_pLogger) m_pLogger->Print("Valid CD not found, cannot launch setup.exe");
        return NO_ERROR;
    }
    std::string szRoot;
    const std::string szExePath = SetupCommandLine(cDrive, szRoot);
    if (m_pLogger) {
        m_pLogger->Print("cCDROMDrive = %s", szRoot.c_str());
        m_pLogger->Print("cCDROMExePath = %s", szExePath.c_str());
    }
    // The setup is not waited for; its process and thread handles are closed as soon as it runs.
    // Closed in this order when the step ends: the process, then its thread.
    plat::ScopedHandle thread, process;
    return StartProgram(szExePath, szRoot, process, thread);
}

void CSetupExtension::ScheduleSetupFromMedia(char driveLetter) {
    std::string szRoot;
    const std::string szExePath = SetupCommandLine(driveLetter, szRoot);
    if (m_pLogger) {
        m_pLogger->Print("cCDROMDrive = %s", szRoot.c_str());
        m_pLogger->Print("cCDROMExePath = %s", szExePath.c_str());
    }
    // The library's own registry view: the value must be where the logon reads RunOnce.
    plat::ScopedKey key;
    if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRunOnceKey, 0, KEY_WRITE, key.out(HKEY_LOCAL_MACHINE)) !=
        ERROR_SUCCESS)
        return;
    const LSTATUS status =
        plat::RegSetValueExA(key.get(), kRunOnceValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(szExePath.c_str()),
                             static_cast<DWORD>(szExePath.size() + 1));
    // The registry call answers its failure and leaves the thread's last error alone: the failure's
    // second line shows whatever the last error held before. Taken before the log lines, whose file
    // calls may change it.
    const DWORD error = status == ERROR_SUCCESS ? ERROR_SUCCESS : plat::GetLastError();
    if (!m_pLogger) return;
    if (status == ERROR_SUCCESS) {
        m_pLogger->Print("Wrote RunOnce key successfully");
    } else {
        m_pLogger->Print("Writing RunOnce key failed");
        m_pLogger->Print("GetLastError returned: %d", static_cast<int>(error));
    }
}

// The firmware update tool on the install disc, and the launcher that waits for a program.
// Portable logic.
#include "core/setup_extension.h"
#include "platform/scoped.h"

namespace {
constexpr const char* kFirmwareFolder = ":\\fwUpdate";
constexpr const char* kFirmwareTool = "tarvixFirmwareUpdateTool.exe";
constexpr const char* kFirmwareArguments = " -auto";
}  // namespace

void CSetupExtension::RunFirmwareUpdate() {
    std::string szCommandLine, szFolder;
    if (FindFirmwareTool(szCommandLine, szFolder)) LaunchAndWait(szCommandLine, szFolder);
}

bool CSetupExtension::FindFirmwareTool(std::string& commandLine, std::string& folder) {
    const char cDrive = FindInstallMediaDrive();
    if (!cDrive) {
        if (m_pLogger) m_pLogger->Print("Could not find CD");
        return false;
    }
    folder = std::string(1, cDrive) + kFirmwareFolder;
    commandLine = folder + "\\" + kFirmwareTool;
    if (FileExists(commandLine.c_str())) {
        commandLine += kFirmwareArguments;
        return true;
    }
    if (m_pLogger) m_pLogger->Print("%s was not found on CD", commandLine.c_str());
    return false;
}

void CSetupExtension::LaunchAndWait(const std::string& commandLine, const std::string& currentDirectory) {
    if (m_pLogger) m_pLogger->Print("strLaunchAppFromCoinstallerExe = %s", commandLine.c_str());
    // Closed in this order when the step ends: the process, then its thread.
    plat::ScopedHandle thread, process;
    if (StartProgram(commandLine, currentDirectory, process, thread) != ERROR_SUCCESS) return;
    // No time limit: stopping a firmware update midway can ruin the scanner.
    plat::WaitForSingleObject(process.get(), INFINITE);
    if (m_pLogger) m_pLogger->Print("Child process exited");
}

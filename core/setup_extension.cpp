// CSetupExtension: construction, destruction, the installed-software test and the bodies of the
// operations that no model overrides and no other file holds. Portable logic.
#include "core/setup_extension.h"

#include <new>
#include <stdexcept>

#include "platform/scoped.h"

namespace {

// The object's log, or none when it cannot be built: the library is built while the loader loads
// it, and nothing may leave that construction, so a logger that runs out of memory for itself or
// for its texts leaves the object without a log (every log line is then skipped), never half
// built. A logger that failed half-way has closed its file again as it unwound.
CLogger* NewLogger(const char* fileName) noexcept {
    try {
        return new CLogger(fileName);
    } catch (const std::bad_alloc&) {
    } catch (const std::logic_error&) {
    }
    return nullptr;
}

}  // namespace

CSetupExtension::CSetupExtension()
    : m_hInstance(nullptr), m_pLogger(NewLogger("_coInst.log")), m_LoggerOwner(m_pLogger) {}

CSetupExtension::~CSetupExtension() = default;

int CSetupExtension::IsSoftwareInstalled() {
    if (m_InstallCLSID.empty()) return 0;
    const std::string path = m_InstallRegPath + "\\" + m_InstallCLSID;
    plat::ScopedKey key;
    if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, key.out()) ==
        ERROR_SUCCESS)
        return 1;
    if (m_pLogger) {
        m_pLogger->Print("Could not open key %s", path.c_str());
        m_pLogger->Print("GetLastError() returned %d", static_cast<int>(plat::GetLastError()));
    }
    return 0;
}

std::string CSetupExtension::GetTwainNameSuffix() { return " TWAIN"; }
std::string CSetupExtension::GetMediaSoftwareFolder() { return "tvsw\\"; }
std::string CSetupExtension::GetSetupArguments() { return " /r0"; }

// The reserved operations keep their places in the table; nothing in the co-installer calls them.
bool CSetupExtension::ReservedMessage() { return false; }
int CSetupExtension::ReservedDeviceCheck(HDEVINFO, PSP_DEVINFO_DATA) { return 0; }
int CSetupExtension::ReservedDeviceScan() { return 0; }
int CSetupExtension::ReservedDeviceUpdate(HDEVINFO, PSP_DEVINFO_DATA) { return 0; }
int CSetupExtension::ReservedTwainPrepare(const char*) { return 0; }
int CSetupExtension::ReservedTwainRename(const char*) { GetTwainNameSuffix(); return 0; }

// CSetupExtensionQ920k: the Q920k's constants and overrides. Portable logic.
#include "entry/setup_extension_q920k.h"

#include "inf/fix_strings.h"
#include "install/system_services.h"

CSetupExtensionQ920k::CSetupExtensionQ920k() { ForgetSystemSetupReading(); }

std::string CSetupExtensionQ920k::GetModelTag() { return kModelTag; }
std::string CSetupExtensionQ920k::GetReservedText() { return ""; }
// The disc carries its setup program at the root and starts it without arguments.
std::string CSetupExtensionQ920k::GetMediaSoftwareFolder() { return ""; }
std::string CSetupExtensionQ920k::GetSetupArguments() { return ""; }

// The localized button-string repair over the installed software's key; its result is not used.
void CSetupExtensionQ920k::FixInstalledStrings(std::string keyPath) {
    CFixStrings fix(keyPath.c_str());
    fix.FixLocButRegStrings();
}

// The install disc carries the model's driver INF at its root; the label and software folder do
// not count.
int CSetupExtensionQ920k::IsInstallMedia(char driveLetter) {
    std::string path = std::string(1, driveLetter) + ":\\" + kInstallMediaFile;
    if (path.back() == '\\') path.pop_back();
    return FileExists(path.c_str()) ? 1 : 0;
}

// CSetupExtensionQ920k: the Q920k's constants and overrides. Portable logic.
#include "core/setup_extension_q920k.h"

std::string CSetupExtensionQ920k::GetModelTag() { return kModelTag; }
std::string CSetupExtensionQ920k::GetReservedText() { return ""; }
// The disc carries its setup program at the root and starts it without arguments.
std::string CSetupExtensionQ920k::GetMediaSoftwareFolder() { return ""; }
std::string CSetupExtensionQ920k::GetSetupArguments() { return ""; }

// Not yet built: the localized button-string repair over the installed software's key.
void CSetupExtensionQ920k::FixInstalledStrings(std::string) {}

// Not yet built: the disc test by the model's INF file at the drive's root.
int CSetupExtensionQ920k::IsInstallMedia(char) { return 0; }

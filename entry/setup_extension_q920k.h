// CSetupExtensionQ920k: the model variant this library is built for. Portable logic.
#pragma once

#include "core/setup_extension.h"

class CSetupExtensionQ920k : public CSetupExtension {
public:
    static constexpr const char* kModelTag = "tvxQ920k";
    static constexpr const char* kInstallMediaFile = "TarvixWia_LXR415_U.INF";

    // A load of the library starts without a reading of the system-setup test, also where the same
    // code serves several loads in one host process.
    CSetupExtensionQ920k();
    ~CSetupExtensionQ920k() override = default;
    std::string GetModelTag() override;
    std::string GetReservedText() override;
    void FixInstalledStrings(std::string keyPath) override;
    std::string GetMediaSoftwareFolder() override;
    std::string GetSetupArguments() override;
    int IsInstallMedia(char driveLetter) override;
};

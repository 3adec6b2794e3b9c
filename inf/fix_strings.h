// CFixStrings: rewrites the localized texts of the scanner buttons' event keys (their default
// value, "FriendlyName" and "LaunchApplications") in every imaging device's driver key, from the
// installed software's registry key (the parameters key) and the driver INF it names. Logs its
// run to "_scan_buttons.log". Portable logic.
#pragma once

#include <memory>
#include <string>

#include "core/logger.h"
#include "devices/driver_calls.h"
#include "platform/all.h"
#include "registry/get_params.h"

class CReadInf;

class CFixStrings {
public:
    // Buttons handled per device and Events section, at most.
    static constexpr int kMaxButtons = 99;

    // keyText: the parameters key's path below HKEY_LOCAL_MACHINE (32-bit view). Takes the
    // imaging devices' set, opens the log and writes its opening lines.
    explicit CFixStrings(const char* keyText);
    virtual ~CFixStrings();
    CFixStrings(const CFixStrings&) = delete;
    CFixStrings& operator=(const CFixStrings&) = delete;

    // Runs the repair for every Events section of the INF. 1 when the parameters key cannot be
    // opened, else 0.
    int FixLocButRegStrings();
    // Runs the repair of one Events section over every imaging device. 1 when the parameters key
    // cannot be opened, else 0.
    int FixSectionStrings(const std::string& firstValueName, const std::string& szEventsSec,
                          const std::string& szEvtRegSec, const std::string& infName,
                          const std::string& folderValueName);

    // The EvtReg section of an Events section: from the name's last '.', at most seven characters
    // are replaced by ".EvtReg" (X.Events gives X.EvtReg, X.Events.NT gives X.Events.EvtReg).
    static std::string EvtRegSectionName(const std::string& szEventsSec);

private:
    // Whether the parameters key opens; logs "Could not read key" when it does not.
    bool ParametersKeyPresent();
    // The localized text of a token from the parameters key; false when the token is empty or the
    // text cannot be read.
    bool ReadLocalizedText(const std::string& token, std::string& text);
    // The button loop of one device whose driver key is open (or not).
    void FixDeviceButtons(HKEY hDriverKey, CReadInf& inf, const std::string& firstValueName,
                          const std::string& szEventsSec, const std::string& szEvtRegSec);
    void LogLabel(const char* label, const std::string& value);

    GetParams m_Params;
    CDriverCalls m_DriverCalls;
    std::unique_ptr<SP_DEVINFO_DATA> m_pDevInfoData;
    std::string m_KeyPath;
    std::unique_ptr<CLogger> m_pLogger;
};

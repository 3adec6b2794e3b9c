// CFixStrings. Portable logic.
#include "inf/fix_strings.h"

#include <cstring>
#include <new>

#include "inf/read_inf.h"
#include "platform/scoped.h"
#include "registry/trailing_number.h"

namespace {
constexpr const char* kEvents = ".Events";
constexpr const char* kEvtReg = ".EvtReg";
constexpr size_t kReplacedAtMost = 7;
}  // namespace

CFixStrings::CFixStrings(const char* keyText)
    : m_Params(keyText), m_DriverCalls(), m_pDevInfoData(new (std::nothrow) SP_DEVINFO_DATA),
      m_KeyPath(keyText ? keyText : ""), m_pLogger(new (std::nothrow) CLogger("_scan_buttons.log")) {
    if (m_pDevInfoData) {
        std::memset(m_pDevInfoData.get(), 0, sizeof(SP_DEVINFO_DATA));
        m_pDevInfoData->cbSize = sizeof(SP_DEVINFO_DATA);
    }
    if (m_pLogger) {
        m_pLogger->WriteLine("FixLocButRegStrings\tAt Beginning");
        LogLabel("Parameters Key", m_KeyPath);
    }
}

CFixStrings::~CFixStrings() {
    m_pLogger.reset();
    m_pDevInfoData.reset();
}

void CFixStrings::LogLabel(const char* label, const std::string& value) {
    if (!m_pLogger) return;
    m_pLogger->WriteLabel(label);
    m_pLogger->WriteLine(value.c_str());
}

std::string CFixStrings::EvtRegSectionName(const std::string& szEventsSec) {
    std::string name = szEventsSec;
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return name;
    name.replace(dot, std::min(kReplacedAtMost, name.size() - dot), kEvtReg);
    return name;
}

bool CFixStrings::ParametersKeyPresent() {
    plat::ScopedKey key;
    if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, m_KeyPath.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                            key.out(HKEY_LOCAL_MACHINE)) == ERROR_SUCCESS)
        return true;
    if (m_pLogger) m_pLogger->Print("Could not read key %s", m_KeyPath.c_str());
    return false;
}

int CFixStrings::FixLocButRegStrings() {
    if (!ParametersKeyPresent()) return 1;

    std::string szDriverFolder;
    if (m_Params.ReadString("DriverFolder", szDriverFolder) != 0 && m_pLogger)
        m_pLogger->Print("Failed to retrieve DriverFolder data from registry:");
    std::string szInfName;
    if (m_Params.ReadString("InfName", szInfName) != 0 && m_pLogger)
        m_pLogger->Print("Failed to retrieve InfName data from registry:");

    CReadInf inf(szDriverFolder, szInfName);
    std::string szEventsSec = kEvents;
    while (inf.FindNextSection(szEventsSec)) {
        if (m_pLogger)
            m_pLogger->Print("retrieved section %s in inf %s", szEventsSec.c_str(), inf.GetFullPath().c_str());
        FixSectionStrings("ButNameInf1", szEventsSec, EvtRegSectionName(szEventsSec), szInfName, "DriverFolder");
    }
    return 0;
}

int CFixStrings::FixSectionStrings(const std::string& firstValueName, const std::string& szEventsSec,
                                   const std::string& szEvtRegSec, const std::string& infName,
                                   const std::string& folderValueName) {
    if (!ParametersKeyPresent()) return 1;

    std::string szDriverFolder;
    if (m_Params.ReadString(folderValueName, szDriverFolder) != 0 && m_pLogger)
        m_pLogger->Print("Failed to retrieve %s data from registry", folderValueName.c_str());
    CReadInf inf(szDriverFolder, infName);

    if (!m_pDevInfoData) return 0;
    while (m_DriverCalls.EnumImagingDevices(m_pDevInfoData.get(), true, m_pLogger.get())) {
        plat::ScopedKey driverKey(plat::SetupDiOpenDevRegKey(m_DriverCalls.GetDeviceInfoSet(), m_pDevInfoData.get(),
                                                             DICS_FLAG_GLOBAL, 0, DIREG_DRV, KEY_ALL_ACCESS));
        if (!driverKey) {
            const DWORD error = plat::GetLastError();
            if (m_pLogger) {
                m_pLogger->Print("Failed to obtain software key");
                m_pLogger->Print("GetLastError() returned %d", static_cast<int>(error));
            }
        } else if (m_pLogger) {
            m_pLogger->Print("Succeeded in obtaining software key");
        }
        FixDeviceButtons(driverKey ? driverKey.get() : nullptr, inf, firstValueName, szEventsSec, szEvtRegSec);
    }
    return 0;
}

bool CFixStrings::ReadLocalizedText(const std::string& token, std::string& text) {
    text.clear();
    return !token.empty() && m_Params.ReadString(token, text) == 0;
}

void CFixStrings::FixDeviceButtons(HKEY hDriverKey, CReadInf& inf, const std::string& firstValueName,
                                   const std::string& szEventsSec, const std::string& szEvtRegSec) {
    enum class Source { Registry, Inf };
    std::string valueName = firstValueName;
    std::string szButNameInf;
    Source source = Source::Registry;
    bool more = true;
    if (m_Params.ReadString(valueName, szButNameInf) != 0) {
        source = Source::Inf;
        more = inf.GetNextKeyName(szEventsSec, szButNameInf);
    }
    // Whether the INF's key walk has reported its end, so that the next device starts it afresh.
    bool walkEnded = source == Source::Inf && !more && szButNameInf == CReadInf::kEndOfKeys;

    for (int n = 1; more && n <= kMaxButtons; ++n) {
        if (szButNameInf == CReadInf::kEndOfKeys || !hDriverKey) break;
        LogLabel("Button Name", szButNameInf);
        GetParams eventKey(hDriverKey, "Events\\" + szButNameInf);

        // Every text belongs to this button: one that cannot be read is not written, so the
        // event key keeps what it had rather than another button's text.
        std::string szButStrNameInf;
        const bool haveDescToken = inf.GetStringValueName(szEventsSec, szButNameInf, szButStrNameInf);
        if (!haveDescToken && m_pLogger) {
            m_pLogger->Print("szEventsSec = %s", szEventsSec.c_str());
            m_pLogger->Print("szButNameInf = %s", szButNameInf.c_str());
            m_pLogger->Print("szButStrNameInf = %s", szButStrNameInf.c_str());
        }
        std::string szAppToken;
        const bool haveAppToken = inf.GetAppValueName(szEventsSec, szButNameInf, szAppToken);

        std::string unused;
        if (eventKey.ReadString("", unused) == 0) {
            std::string szDefaultString;
            const bool haveDefault = haveDescToken && ReadLocalizedText(szButStrNameInf, szDefaultString);
            LogLabel("szButStrNameInf", szButStrNameInf);
            LogLabel("Default String", szDefaultString);
            if (haveDefault) eventKey.WriteString("", szDefaultString);

            std::string szFriendlyToken;
            std::string szFriendlyName;
            const bool haveFriendly = inf.GetButLocValueName(szEvtRegSec, szButNameInf, szFriendlyToken) &&
                                      ReadLocalizedText(szFriendlyToken, szFriendlyName);
            LogLabel("FriendlyName", szFriendlyName);
            if (haveFriendly) eventKey.WriteString("FriendlyName", szFriendlyName);

            std::string szLaunchApps;
            const bool haveApps = haveAppToken && ReadLocalizedText(szAppToken, szLaunchApps);
            LogLabel("LaunchApplications String", szLaunchApps);
            if (haveApps) eventKey.WriteString("LaunchApplications", szLaunchApps);
        }

        IncrementTrailingNumber(valueName);
        if (source == Source::Inf) {
            more = inf.GetNextKeyName(szEventsSec, szButNameInf);
            walkEnded = !more && szButNameInf == CReadInf::kEndOfKeys;
        } else if (m_Params.ReadString(valueName, szButNameInf) != 0) {
            break;
        }
    }

    // A pass that left before the key walk's end (no driver key, a button named "end", the button
    // limit) runs the walk out, so that the next device starts at the section's first key too.
    if (source == Source::Inf && !walkEnded) {
        std::string rest;
        while (inf.GetNextKeyName(szEventsSec, rest)) {
        }
        if (rest != CReadInf::kEndOfKeys) inf.GetNextKeyName(szEventsSec, rest);
    }
}

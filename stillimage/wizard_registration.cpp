// CButtonRegWizard. Portable logic.
#include "stillimage/wizard_registration.h"

#include <cstring>
#include <string>

#include "core/image_class.h"

namespace {

constexpr const char kWizardClsidText[] = "{D13E3F25-1688-45A0-9743-759EB35CDF9A}";
constexpr const char kStillImageEvents[] = "System\\CurrentControlSet\\Control\\StillImage\\Events";
constexpr const char kWizardScanButtonKey[] =
    "System\\CurrentControlSet\\Control\\StillImage\\Events\\ScanButton\\{D13E3F25-1688-45A0-9743-759EB35CDF9A}";

// Texts of this class are read with a limit of 259 bytes into 260-byte buffers, so they always
// end within the buffer and their wide forms fit 260 characters.
constexpr DWORD kTextBuffer = 260;
constexpr DWORD kTextLimit = 259;

// The text, terminator included, in wide characters of the thread's ANSI code page; false when
// the conversion fails.
bool ToWide(const char* szText, OLECHAR (&wszText)[kTextBuffer]) {
    std::memset(wszText, 0, sizeof wszText);
    return plat::MultiByteToWideChar(CP_THREAD_ACP, 0, szText, -1, wszText, static_cast<int>(kTextBuffer)) != 0;
}

// The text as a COM string; empty (null) when the conversion or the allocation fails.
plat::ScopedBstr ToBstr(const char* szText) {
    OLECHAR wszText[kTextBuffer];
    if (!ToWide(szText, wszText)) return plat::ScopedBstr();
    return plat::ScopedBstr(plat::SysAllocString(wszText));
}

// The GUID that a text in braces names; false when CLSIDFromString refuses the text.
bool ParseGuid(const char* szText, GUID* guid) {
    std::memset(guid, 0, sizeof *guid);
    OLECHAR wszText[kTextBuffer];
    if (!ToWide(szText, wszText)) return false;
    return SUCCEEDED(plat::CLSIDFromString(wszText, guid));
}

}  // namespace

CButtonRegWizard::CButtonRegWizard(CLogger* pLogger)
    : m_pLogger(pLogger), m_bHandlerInfoRead(FALSE), m_WizardClsid{}, m_bUninitializeCom(false) {
    // An apartment-threaded initialisation of this thread. A thread already in another apartment
    // answers RPC_E_CHANGED_MODE and stays as it was: that initialisation is not ours to undo.
    m_bUninitializeCom = SUCCEEDED(plat::CoInitialize(nullptr));

    IWiaDevMgr* pDevMgr = nullptr;
    const HRESULT hr = plat::CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_ALL, IID_IWiaDevMgr,
                                              reinterpret_cast<LPVOID*>(&pDevMgr));
    m_pDevMgr.reset(SUCCEEDED(hr) ? pDevMgr : nullptr);
    if (!m_pDevMgr) {
        // Every registration needs the device manager: without it the events are passed over as
        // without handler info.
        if (m_pLogger) m_pLogger->Print("Error creating WIA device manager: %08x", static_cast<unsigned>(hr));
        return;
    }
    m_bHandlerInfoRead = ReadWizardHandlerInfo() ? TRUE : FALSE;
}

CButtonRegWizard::~CButtonRegWizard() {
    // The device manager goes before COM is given back; the strings are COM's as well.
    m_pDevMgr.reset();
    m_bstrName.reset();
    m_bstrDescription.reset();
    m_bstrIcon.reset();
    if (m_bUninitializeCom) plat::CoUninitialize();
}

bool CButtonRegWizard::ReadWizardHandlerInfo() {
    char szName[kTextBuffer] = {0};
    char szDescription[kTextBuffer] = {0};
    char szIcon[kTextBuffer] = {0};
    bool bRead = false;
    {
        plat::ScopedKey key;
        if (plat::RegOpenKeyA(HKEY_LOCAL_MACHINE, kWizardScanButtonKey, key.out(HKEY_LOCAL_MACHINE)) == ERROR_SUCCESS) {
            auto query = [&](LPCSTR lpValueName, char* szValue) {
                DWORD cbData = kTextLimit;
                return plat::RegQueryValueExA(key.get(), lpValueName, nullptr, nullptr,
                                              reinterpret_cast<LPBYTE>(szValue), &cbData) == ERROR_SUCCESS;
            };
            bRead = query("Name", szName) && query("Desc", szDescription) && query("Icon", szIcon);
        }
    }
    if (bRead) {
        m_bstrName = ToBstr(szName);
        m_bstrDescription = ToBstr(szDescription);
        m_bstrIcon = ToBstr(szIcon);
        // A registration with a missing text or a wrong CLSID would name another handler than
        // the wizard: a failed conversion counts as unreadable handler info.
        bRead = m_bstrName && m_bstrDescription && m_bstrIcon && ParseGuid(kWizardClsidText, &m_WizardClsid);
    }
    if (!bRead) {
        m_bstrName.reset();
        m_bstrDescription.reset();
        m_bstrIcon.reset();
        if (m_pLogger) m_pLogger->Print("Error reading %s", kWizardScanButtonKey);
    }
    return bRead;
}

void CButtonRegWizard::RegisterWizardForDeviceEvents(const char* instanceNumber) {
    // An empty instance number would name the class key's own "Events" key.
    if (!instanceNumber || !*instanceNumber) return;
    plat::ScopedKey classKey(plat::SetupDiOpenClassRegKey(&kImageClass, KEY_READ));
    if (!classKey) return;
    const std::string eventsPath = std::string(instanceNumber) + "\\Events";
    plat::ScopedKey eventsKey;
    if (plat::RegOpenKeyExA(classKey.get(), eventsPath.c_str(), 0, KEY_READ, eventsKey.out(classKey.get())) !=
        ERROR_SUCCESS)
        return;

    for (DWORD dwIndex = 0;; ++dwIndex) {
        char szEventKeyName[kTextBuffer] = {0};
        DWORD cchName = kTextBuffer;
        if (plat::RegEnumKeyExA(eventsKey.get(), dwIndex, szEventKeyName, &cchName, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
            break;
        plat::ScopedKey eventKey;
        if (plat::RegOpenKeyExA(eventsKey.get(), szEventKeyName, 0, KEY_ALL_ACCESS, eventKey.out(eventsKey.get())) !=
            ERROR_SUCCESS)
            continue;
        char szGuid[kTextBuffer] = {0};
        DWORD cbData = kTextLimit;
        if (plat::RegQueryValueExA(eventKey.get(), "GUID", nullptr, nullptr, reinterpret_cast<LPBYTE>(szGuid),
                                   &cbData) == ERROR_SUCCESS)
            RegisterEventHandler(szEventKeyName, szGuid);
    }
}

int CButtonRegWizard::RegisterEventHandler(const char* szEventKeyName, const char* szGuid) {
    if (!m_bHandlerInfoRead) return 1;

    // Parsed before anything is written: the wizard registered for a null or garbage GUID would
    // handle another event than this one.
    GUID eventGuid;
    if (!ParseGuid(szGuid, &eventGuid)) {
        if (m_pLogger) m_pLogger->Print("Error parsing event GUID: %s %s", szEventKeyName, szGuid);
        return 0;
    }
    if (!CreateStillImageEventKey(szEventKeyName, szGuid)) {
        if (m_pLogger) m_pLogger->Print("Error creating StillImage event key: %s %s", szEventKeyName, szGuid);
        return 0;
    }
    const HRESULT hr = plat::WiaDevMgr_RegisterEventCallbackCLSID(m_pDevMgr.get(), WIA_REGISTER_EVENT_CALLBACK, nullptr,
                                                                  &eventGuid, &m_WizardClsid, m_bstrName.get(),
                                                                  m_bstrDescription.get(), m_bstrIcon.get());
    if (FAILED(hr)) {
        if (m_pLogger)
            m_pLogger->Print("Error registering WIA Scanner and Camera Wizard: %s %s %08x", szEventKeyName, szGuid,
                             static_cast<unsigned>(hr));
        return 0;
    }
    return 1;
}

bool CButtonRegWizard::CreateStillImageEventKey(const char* szEventKeyName, const char* szGuid) {
    plat::ScopedKey subKey;
    {
        // The system's Events key is opened, never created.
        plat::ScopedKey eventsKey;
        if (plat::RegOpenKeyA(HKEY_LOCAL_MACHINE, kStillImageEvents, eventsKey.out(HKEY_LOCAL_MACHINE)) !=
            ERROR_SUCCESS)
            return false;
        if (plat::RegCreateKeyExA(eventsKey.get(), szEventKeyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  subKey.out(eventsKey.get()), nullptr) != ERROR_SUCCESS)
            return false;
    }
    // Stored with its length as byte count.
    return plat::RegSetValueExA(subKey.get(), "GUID", 0, REG_SZ, reinterpret_cast<const BYTE*>(szGuid),
                                static_cast<DWORD>(std::strlen(szGuid))) == ERROR_SUCCESS;
}

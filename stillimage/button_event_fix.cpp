// CButtonEventFix. Portable logic.
#include "stillimage/button_event_fix.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "platform/scoped.h"
#include "core/image_class.h"

namespace {

constexpr const char kStillImageEvents[] = "SYSTEM\\CurrentControlSet\\Control\\StillImage\\Events";

// Reads a value into a zeroed field with a byte limit of its capacity less one, so the field
// always ends in a terminator; a value that cannot be read leaves the field empty.
template <size_t N>
bool ReadField(HKEY hKey, LPCSTR lpValueName, char (&field)[N], DWORD* pcbRead = nullptr) {
    std::memset(field, 0, N);
    DWORD cbData = N - 1;
    if (plat::RegQueryValueExA(hKey, lpValueName, nullptr, nullptr, reinterpret_cast<LPBYTE>(field), &cbData) !=
        ERROR_SUCCESS) {
        std::memset(field, 0, N);
        return false;
    }
    if (pcbRead) *pcbRead = cbData;
    return true;
}

// Copies at most the field's capacity less one characters.
template <size_t N>
void CopyCut(char (&field)[N], const char* szText) {
    size_t length = 0;
    while (length < N - 1 && szText[length]) ++length;
    std::memcpy(field, szText, length);
    field[length] = '\0';
}

// Letters compared without regard to case (A-Z, as the C runtime's comparison does in its default
// locale).
bool EqualNoCase(const char* a, const char* b) {
    auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c; };
    for (;; ++a, ++b) {
        if (fold(static_cast<unsigned char>(*a)) != fold(static_cast<unsigned char>(*b))) return false;
        if (!*a) return true;
    }
}

uint64_t Ticks(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Stores a text as REG_SZ with its length as byte count; the status is not looked at.
void StoreText(HKEY hKey, LPCSTR lpValueName, const char* szText) {
    plat::RegSetValueExA(hKey, lpValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(szText),
                         static_cast<DWORD>(std::strlen(szText)));
}

}  // namespace

CButtonEventFix::CButtonEventFix() : m_bCollected(FALSE) {
    std::memset(&m_OsVersion, 0, sizeof m_OsVersion);
    m_OsVersion.dwOSVersionInfoSize = sizeof m_OsVersion;
    plat::GetVersionExA(&m_OsVersion);
    m_bCollected = CollectEventHandlers() ? TRUE : FALSE;
}

CButtonEventFix::~CButtonEventFix() = default;

bool CButtonEventFix::CollectEventHandlers() {
    plat::ScopedKey eventsKey;
    if (plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kStillImageEvents, 0, KEY_READ, eventsKey.out(HKEY_LOCAL_MACHINE)) !=
        ERROR_SUCCESS)
        return false;

    for (DWORD dwEvent = 0;; ++dwEvent) {
        char szEventName[260] = {0};
        DWORD cchEventName = sizeof szEventName;
        if (plat::RegEnumKeyExA(eventsKey.get(), dwEvent, szEventName, &cchEventName, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
            break;
        plat::ScopedKey eventKey;
        if (plat::RegOpenKeyExA(eventsKey.get(), szEventName, 0, KEY_ALL_ACCESS, eventKey.out(eventsKey.get())) !=
            ERROR_SUCCESS)
            continue;
        char szEventGuid[128];
        if (!ReadField(eventKey.get(), "GUID", szEventGuid)) continue;

        for (DWORD dwHandler = 0;; ++dwHandler) {
            char szHandlerName[1024] = {0};
            DWORD cchHandlerName = sizeof szHandlerName;
            FILETIME ftLastWrite{};
            if (plat::RegEnumKeyExA(eventKey.get(), dwHandler, szHandlerName, &cchHandlerName, nullptr, nullptr,
                                    nullptr, &ftLastWrite) != ERROR_SUCCESS)
                break;
            auto record = std::make_unique<EventHandlerRecord>();  // zeroed
            CopyCut(record->szEventGuid, szEventGuid);
            plat::ScopedKey handlerKey;
            if (plat::RegOpenKeyExA(eventKey.get(), szHandlerName, 0, KEY_READ, handlerKey.out(eventKey.get())) !=
                ERROR_SUCCESS)
                continue;
            record->ftLastWrite = ftLastWrite;
            CopyCut(record->szHandlerKeyName, szHandlerName);
            DWORD cbCmdLine = 0;
            const bool bCmdLine = ReadField(handlerKey.get(), "CmdLine", record->szCmdLine, &cbCmdLine);
            ReadField(handlerKey.get(), "Desc", record->szDesc);
            ReadField(handlerKey.get(), "Icon", record->szIcon);
            ReadField(handlerKey.get(), "Name", record->szName);
            // Only a handler with a command line can be copied or become a default handler.
            if (bCmdLine && cbCmdLine != 0 && record->szCmdLine[0] != '\0') m_Handlers.push_back(std::move(record));
        }
    }
    return true;
}

int CButtonEventFix::RepairDeviceEvents(const char* instanceNumber) {
    if (!m_bCollected) return 0;
    return RepairInstanceEvents(instanceNumber);
}

int CButtonEventFix::RepairInstanceEvents(const char* instanceNumber) {
    // An empty instance number would name the imaging class key itself.
    if (!m_bCollected || !instanceNumber || !*instanceNumber) return 0;
    plat::ScopedKey classKey(plat::SetupDiOpenClassRegKey(&kImageClass, KEY_READ));
    if (!classKey) return 0;

    {
        plat::ScopedKey deviceKey;
        if (plat::RegOpenKeyExA(classKey.get(), instanceNumber, 0, KEY_ALL_ACCESS, deviceKey.out(classKey.get())) ==
            ERROR_SUCCESS) {
            const std::string deviceId = std::string(plat::text::kImageClassGuid) + "\\" + instanceNumber;
            StoreText(deviceKey.get(), "DeviceID", deviceId.c_str());
        }
    }

    const std::string eventsPath = std::string(instanceNumber) + "\\Events";
    plat::ScopedKey eventsKey;
    if (plat::RegOpenKeyExA(classKey.get(), eventsPath.c_str(), 0, KEY_READ, eventsKey.out(classKey.get())) !=
        ERROR_SUCCESS)
        return 0;

    for (DWORD dwIndex = 0;; ++dwIndex) {
        char szEventName[260] = {0};
        DWORD cchEventName = sizeof szEventName;
        if (plat::RegEnumKeyExA(eventsKey.get(), dwIndex, szEventName, &cchEventName, nullptr, nullptr, nullptr,
                                nullptr) != ERROR_SUCCESS)
            break;
        plat::ScopedKey eventKey;
        if (plat::RegOpenKeyExA(eventsKey.get(), szEventName, 0, KEY_ALL_ACCESS, eventKey.out(eventsKey.get())) !=
            ERROR_SUCCESS)
            continue;
        char szGuid[1024];
        if (!ReadField(eventKey.get(), "GUID", szGuid)) continue;

        // Every handler of this GUID gets its copy: each one that loses at once, the newest so
        // far when a newer one comes; the newest of all last, as the default handler.
        const EventHandlerRecord* pBest = nullptr;
        for (const auto& handler : m_Handlers) {
            if (!EqualNoCase(handler->szEventGuid, szGuid)) continue;
            if (!pBest) {
                pBest = handler.get();
            } else if (Ticks(handler->ftLastWrite) > Ticks(pBest->ftLastWrite)) {
                WriteHandlerKey(eventKey.get(), *pBest);
                pBest = handler.get();
            } else {
                WriteHandlerKey(eventKey.get(), *handler);
            }
        }
        if (pBest) WriteDefaultHandler(eventKey.get(), *pBest);
    }
    return 0;
}

void CButtonEventFix::WriteDefaultHandler(HKEY hEventKey, const EventHandlerRecord& record) {
    if (m_OsVersion.dwPlatformId != VER_PLATFORM_WIN32_WINDOWS) {
        if (plat::RegSetValueExA(hEventKey, "DefaultHandler", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(record.szHandlerKeyName),
                                 static_cast<DWORD>(std::strlen(record.szHandlerKeyName))) != ERROR_SUCCESS)
            return;
    }
    WriteHandlerKey(hEventKey, record);
}

void CButtonEventFix::WriteHandlerKey(HKEY hEventKey, const EventHandlerRecord& record) {
    plat::ScopedKey handlerKey;
    if (plat::RegCreateKeyExA(hEventKey, record.szHandlerKeyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              handlerKey.out(hEventKey), nullptr) != ERROR_SUCCESS)
        return;
    StoreText(handlerKey.get(), "CmdLine", record.szCmdLine);
    StoreText(handlerKey.get(), "Desc", record.szDesc);
    StoreText(handlerKey.get(), "Icon", record.szIcon);
    StoreText(handlerKey.get(), "Name", record.szName);
}

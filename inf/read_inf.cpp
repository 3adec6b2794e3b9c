// CReadInf. Portable logic.
#include "inf/read_inf.h"

#include <cstring>
#include <vector>

#include "platform/all.h"

namespace {

// The length of the name at the cursor, never reaching past the list's buffer.
size_t NameLength(const char* cursor, const char* listEnd) {
    const void* nul = std::memchr(cursor, 0, static_cast<size_t>(listEnd - cursor));
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - cursor) : static_cast<size_t>(listEnd - cursor);
}

// The list ends at its empty name, or where its buffer ends.
bool AtListEnd(const char* cursor, const char* listEnd) { return cursor >= listEnd || *cursor == 0; }

}  // namespace

CReadInf::CReadInf(const std::string& driverFolder, const std::string& infName)
    : m_FullPath(driverFolder + infName) {}

CReadInf::~CReadInf() = default;

void CReadInf::ReleaseSectionNames() {
    m_pSectionNames.reset();
    m_pSectionCursor = nullptr;
}

void CReadInf::ReleaseKeyNames() {
    m_pKeyNames.reset();
    m_pKeyCursor = nullptr;
}

char* CReadInf::NextName(char* cursor, char* listEnd) {
    size_t length = NameLength(cursor, listEnd);
    char* next = cursor + length + 1;
    return next < listEnd ? next : listEnd;
}

bool CReadInf::FindNextSection(std::string& text) {
    if (!m_pSectionNames) {
        // Zero-filled, so that a list the query cut short still ends inside the buffer.
        m_pSectionNames.reset(new char[kSectionListSize]());
        plat::GetPrivateProfileStringA(nullptr, nullptr, kSectionDefault, m_pSectionNames.get(),
                                       static_cast<DWORD>(kSectionListSize), m_FullPath.c_str());
        m_pSectionCursor = m_pSectionNames.get();
        searchstring = text;
    } else {
        m_pSectionCursor = NextName(m_pSectionCursor, m_pSectionNames.get() + kSectionListSize);
    }

    char* listEnd = m_pSectionNames.get() + kSectionListSize;
    for (; !AtListEnd(m_pSectionCursor, listEnd); m_pSectionCursor = NextName(m_pSectionCursor, listEnd)) {
        std::string candidate(m_pSectionCursor, NameLength(m_pSectionCursor, listEnd));
        if (candidate.find(searchstring) != std::string::npos) {
            text = candidate;
            return true;
        }
    }
    ReleaseSectionNames();
    return false;
}

bool CReadInf::GetNextKeyName(const std::string& section, std::string& keyName) {
    if (!m_pKeyNames) {
        m_pKeyNames.reset(new char[kKeyListSize]());
        plat::GetPrivateProfileStringA(section.c_str(), nullptr, section.c_str(), m_pKeyNames.get(),
                                       static_cast<DWORD>(kKeyListSize), m_FullPath.c_str());
        m_pKeyCursor = m_pKeyNames.get();
        // No key names: the empty list stays held, and the next call reports its end.
        if (*m_pKeyCursor == 0) return false;
    } else if (AtListEnd(m_pKeyCursor, m_pKeyNames.get() + kKeyListSize)) {
        keyName = kEndOfKeys;
        ReleaseKeyNames();
        return false;
    }
    char* listEnd = m_pKeyNames.get() + kKeyListSize;
    keyName.assign(m_pKeyCursor, NameLength(m_pKeyCursor, listEnd));
    m_pKeyCursor = NextName(m_pKeyCursor, listEnd);
    return true;
}

bool CReadInf::GetStringValueName(const std::string& section, const std::string& key, std::string& token) {
    return GetValueField(section, key, 1, token);
}

bool CReadInf::GetAppValueName(const std::string& section, const std::string& key, std::string& token) {
    return GetValueField(section, key, 3, token);
}

bool CReadInf::GetValueField(const std::string& section, const std::string& key, size_t field, std::string& token) {
    char szValue[kValueSize] = {0};
    plat::GetPrivateProfileStringA(section.c_str(), key.c_str(), kKeyMissing, szValue, static_cast<DWORD>(kValueSize),
                                   m_FullPath.c_str());
    szValue[kValueSize - 1] = 0;
    if (std::strcmp(szValue, kKeyMissing) == 0) {
        token = kKeyMissing;
        return false;
    }

    std::vector<std::string> fields;
    const std::string value = szValue;
    size_t start = 0;
    while ((start = value.find_first_not_of(',', start)) != std::string::npos) {
        size_t end = value.find(',', start);
        if (end == std::string::npos) end = value.size();
        fields.push_back(value.substr(start, end - start));
        start = end;
    }
    if (fields.size() < field) {
        token.clear();
        return false;
    }

    std::string text = fields[field - 1].substr(1);
    if (!text.empty()) text.pop_back();
    token = text;
    return true;
}

bool CReadInf::GetButLocValueName(const std::string& section, const std::string& button, std::string& token) {
    if (m_FullPath.empty()) return false;
    // The stream is open only within this call.
    const bool found = m_InfStream.Open(m_FullPath) && ScanForFriendlyName(section, button, token);
    m_InfStream.Close();
    return found;
}

bool CReadInf::IsScanSectionHeader(const std::string& line, const std::string& section) {
    return IsHeaderLine(line) && line.find(section) != std::string::npos;
}

bool CReadInf::FriendlyNameToken(const std::string& line, const std::string& button, std::string& token) {
    const bool matches = (button.empty() || line.find(button) != std::string::npos) &&
                         line.find("FriendlyName") != std::string::npos;
    const size_t open = line.find('%');
    if (!matches || open == std::string::npos) return false;
    const size_t close = line.find('%', open + 1);
    token = line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    return true;
}

bool CReadInf::ScanForFriendlyName(const std::string& section, const std::string& button, std::string& token) {
    std::string line;
    for (;;) {
        if (!m_InfStream.ReadLine(line)) return false;
        if (IsScanSectionHeader(line, section)) break;
    }
    for (;;) {
        if (!m_InfStream.ReadLine(line)) return false;
        if (FriendlyNameToken(line, button, token)) return true;
        if (IsHeaderLine(line)) return false;
    }
}

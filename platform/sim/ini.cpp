// The simulated INI-file queries. Simulated machine only.
#include "platform/sim/ini.h"

#include <cstring>
#include <filesystem>

#include "platform/host/call_layer.h"
#include "platform/text/names.h"

namespace plat::sim {
namespace {

// The profile reader's blanks: white space, and Ctrl-Z, which ends old DOS files.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A text whose first and last characters are the same quote loses them.
std::string_view Unquote(std::string_view s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

// Copies one text as Windows copies a value or a default: cut to nSize - 1 characters, always
// terminated; answers the characters copied.
DWORD CopyText(std::string_view text, LPSTR out, DWORD nSize) {
    size_t n = std::min<size_t>(text.size(), nSize - 1);
    if (n) std::memcpy(out, text.data(), n);
    out[n] = 0;
    return static_cast<DWORD>(n);
}

// Copies a list of names: each name NUL-terminated and the list closed by one more NUL. A list
// that does not fit, with room to spare for nothing, is cut: its first nSize - 2 bytes, then two
// NULs, and the answer nSize - 2.
DWORD CopyList(const std::vector<std::string_view>& names, LPSTR out, DWORD nSize) {
    std::string list;
    for (std::string_view name : names) {
        list.append(name);
        list.push_back('\0');
    }
    list.push_back('\0');
    if (nSize == 1) {
        out[0] = 0;
        return 0;
    }
    if (list.size() < nSize) {
        std::memcpy(out, list.data(), list.size());
        return static_cast<DWORD>(list.size() - 1);
    }
    std::memcpy(out, list.data(), nSize - 2);
    out[nSize - 2] = 0;
    out[nSize - 1] = 0;
    return nSize - 2;
}

const IniSection* FindSection(const IniFileText& ini, std::string_view name) {
    for (const IniSection& s : ini.sections)
        if (text::EqualNames(s.name, name)) return &s;
    return nullptr;
}

// The file as 8-bit text: a UTF-8 byte-order mark is dropped.
std::string_view WithoutMark(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return bytes;
}

bool IsUtf16(std::string_view bytes) {
    return bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
}

}  // namespace

IniFileText ParseIniText(std::string_view text) {
    IniFileText ini;
    IniSection* current = nullptr;  // keys above the first header have no section
    size_t start = 0;
    size_t line_number = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = Trim(text.substr(start, end - start));
        start = end + (text.substr(end, 2) == "\r\n" ? 2 : 1);
        ++line_number;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                ini.sections.push_back(IniSection{std::string(Trim(line.substr(1, close - 1))), {}, line_number});
                current = &ini.sections.back();
                continue;
            }
        }
        if (!current) continue;
        IniKey key;
        key.line = line_number;
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) {
            key.name = std::string(line);
        } else {
            key.name = std::string(Trim(line.substr(0, equals)));
            key.value = std::string(Trim(line.substr(equals + 1)));
        }
        if (!key.name.empty()) current->keys.push_back(std::move(key));
    }
    return ini;
}

std::optional<std::string> SimIni::ResolvePath(const std::string& file_name) const {
    if (file_name.find_first_of("\\/:") == std::string::npos) return files_.windows_dir() + "\\" + file_name;
    if (file_name.size() >= 3 && file_name[1] == ':' && (file_name[2] == '\\' || file_name[2] == '/'))
        return file_name;
    return std::nullopt;
}

const IniFileText& SimIni::Load(const std::string& windows_path) {
    static const IniFileText kEmpty;
    auto host = files_.HostPath(windows_path);
    if (!host || !std::filesystem::is_directory(host->parent_path())) {
        kernel_.SetLastError(ERROR_PATH_NOT_FOUND);
        return kEmpty;
    }
    std::optional<std::string> bytes = files_.ReadFile(windows_path);
    if (!bytes) {
        kernel_.SetLastError(std::filesystem::is_directory(*host) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return kEmpty;
    }
    if (IsUtf16(*bytes)) {
        plat::host::Layer().NoteNotModelled("GetPrivateProfileStringA on a UTF-16 file");
        kernel_.SetLastError(plat::host::kNotModelled);
        return kEmpty;
    }
    kernel_.SetLastError(ERROR_SUCCESS);
    // A driver INF is read key by key, many times over: it is parsed again only when its bytes
    // changed.
    Parsed& parsed = parsed_[windows_path];
    if (parsed.bytes != *bytes || parsed.text.sections.empty()) {
        parsed.text = ParseIniText(WithoutMark(*bytes));
        parsed.bytes = std::move(*bytes);
    }
    return parsed.text;
}

DWORD SimIni::GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault, LPSTR lpReturnedString,
                                       DWORD nSize, LPCSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    std::optional<std::string> path = ResolvePath(lpFileName ? lpFileName : "win.ini");
    if (!path) {
        plat::host::Layer().NoteNotModelled("GetPrivateProfileStringA with a relative file path");
        kernel_.SetLastError(plat::host::kNotModelled);
        lpReturnedString[0] = 0;
        return 0;
    }
    const IniFileText& ini = Load(*path);

    // The default loses its trailing blanks, and its quotes as a value does.
    std::string_view def = lpDefault ? lpDefault : "";
    while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
    def = Unquote(def);

    if (!lpAppName) {
        std::vector<std::string_view> names;
        for (const IniSection& s : ini.sections)
            if (!s.name.empty()) names.push_back(s.name);
        return CopyList(names, lpReturnedString, nSize);
    }
    const IniSection* section = FindSection(ini, Trim(lpAppName));
    if (!lpKeyName) {
        std::vector<std::string_view> names;
        if (section)
            for (const IniKey& k : section->keys)
                if (k.value) names.push_back(k.name);
        if (names.empty()) return CopyText(def, lpReturnedString, nSize);
        return CopyList(names, lpReturnedString, nSize);
    }
    std::string_view key_name = Trim(lpKeyName);
    if (section && !key_name.empty()) {
        for (const IniKey& k : section->keys) {
            if (!text::EqualNames(k.name, key_name)) continue;
            if (k.value) return CopyText(Unquote(*k.value), lpReturnedString, nSize);
            break;
        }
    }
    return CopyText(def, lpReturnedString, nSize);
}

}  // namespace plat::sim

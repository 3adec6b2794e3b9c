// The simulated INI-file queries. Simulated machine only.
#include "platform/sim/ini.h"

#include <cstring>
#include <filesystem>

#include "platform/host/call_layer.h"
#include "platform/text/ansi.h"
#include "platform/text/profile_text.h"

namespace plat::sim {
namespace {

// The profile reader's blanks: white space, and Ctrl-Z, which ends old DOS files.
template <class Char>
bool IsBlank(Char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

template <class Char>
std::basic_string_view<Char> Trim(std::basic_string_view<Char> s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// A text whose first and last characters are the same quote loses them.
template <class Char>
std::basic_string_view<Char> Unquote(std::basic_string_view<Char> s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        return s.substr(1, s.size() - 2);
    return s;
}

// A name or value as the reader keeps it: a C string, which ends at its first NUL.
template <class Char>
std::basic_string<Char> CText(std::basic_string_view<Char> s) {
    return std::basic_string<Char>(s.substr(0, s.find(Char(0))));
}

template <class Char>
BasicIniFileText<std::basic_string<Char>> Parse(std::basic_string_view<Char> text) {
    using View = std::basic_string_view<Char>;
    BasicIniFileText<std::basic_string<Char>> ini;
    BasicIniSection<std::basic_string<Char>>* current = nullptr;  // keys above the first header have no section
    const Char line_ends[] = {'\r', '\n', 0};
    size_t start = 0;
    size_t line_number = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(line_ends, start);
        if (end == View::npos) end = text.size();
        View line = Trim(text.substr(start, end - start));
        start = end + (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n' ? 2 : 1);
        ++line_number;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            size_t close = line.rfind(Char(']'));
            if (close != View::npos && close > 0) {
                ini.sections.push_back({CText(Trim(line.substr(1, close - 1))), {}, line_number});
                current = &ini.sections.back();
                continue;
            }
        }
        if (!current) continue;
        BasicIniKey<std::basic_string<Char>> key;
        key.line = line_number;
        size_t equals = line.find(Char('='));
        if (equals == View::npos) {
            key.name = CText(line);
        } else {
            key.name = CText(Trim(line.substr(0, equals)));
            key.value = CText(Trim(line.substr(equals + 1)));
        }
        if (!key.name.empty()) current->keys.push_back(std::move(key));
    }
    return ini;
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
DWORD CopyList(const std::string& list_without_end, LPSTR out, DWORD nSize) {
    std::string list = list_without_end;
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

const BasicIniSection<std::u16string>* FindSection(const IniFileUnits& ini, std::u16string_view name) {
    for (const auto& s : ini.sections)
        if (text::EqualProfileNames(s.name, name)) return &s;
    return nullptr;
}

// A name list in the ANSI answer's form, each name closed by a NUL (the list's own closing NUL is
// CopyList's).
std::string AnsiNameList(const std::vector<std::u16string_view>& names) {
    std::string list;
    for (std::u16string_view name : names) {
        list += text::Utf16ToAnsiBestFit(name);
        list.push_back('\0');
    }
    return list;
}

}  // namespace

IniFileText ParseIniText(std::string_view text) { return Parse(text); }

IniFileUnits ParseIniUnits(std::u16string_view units) { return Parse(units); }

std::optional<std::string> SimIni::ResolvePath(const std::string& file_name) const {
    if (file_name.find_first_of("\\/:") == std::string::npos) return files_.windows_dir() + "\\" + file_name;
    if (file_name.size() >= 3 && file_name[1] == ':' && (file_name[2] == '\\' || file_name[2] == '/'))
        return file_name;
    return std::nullopt;
}

const IniFileUnits& SimIni::Load(const std::string& windows_path) {
    static const IniFileUnits kEmpty;
    // The file is read first: a file that reads is in a folder that exists, so only a failure
    // needs to ask the host why.
    auto host = files_.HostPath(windows_path);
    if (!host || !SimFiles::ReadHostFile(*host, read_)) {
        if (!host || !std::filesystem::is_directory(host->parent_path()))
            kernel_.SetLastError(ERROR_PATH_NOT_FOUND);
        else
            kernel_.SetLastError(std::filesystem::is_directory(*host) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return kEmpty;
    }
    kernel_.SetLastError(ERROR_SUCCESS);
    // A driver INF is read key by key, many times over: it is parsed again only when its bytes
    // changed.
    Parsed& parsed = parsed_[windows_path];
    if (parsed.bytes != read_ || parsed.text.sections.empty()) {
        parsed.text = ParseIniUnits(text::ProfileTextUnits(read_));
        std::swap(parsed.bytes, read_);
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
    const IniFileUnits& ini = Load(*path);

    // The reader works in UTF-16: the ANSI texts given are converted to it, and what it answers is
    // converted back, one byte per unit, so that the cuts below count the same in both.
    // The default loses its trailing blanks, and its quotes as a value does.
    std::string_view def = lpDefault ? lpDefault : "";
    while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
    def = Unquote(def);

    if (!lpAppName) {
        std::vector<std::u16string_view> names;
        for (const auto& s : ini.sections)
            if (!s.name.empty()) names.push_back(s.name);
        return CopyList(AnsiNameList(names), lpReturnedString, nSize);
    }
    const std::u16string app = text::AnsiToUtf16(lpAppName);
    const auto* section = FindSection(ini, Trim(std::u16string_view(app)));
    if (!lpKeyName) {
        std::vector<std::u16string_view> names;
        if (section)
            for (const auto& k : section->keys)
                if (k.value) names.push_back(k.name);
        if (names.empty()) return CopyText(def, lpReturnedString, nSize);
        return CopyList(AnsiNameList(names), lpReturnedString, nSize);
    }
    const std::u16string key = text::AnsiToUtf16(lpKeyName);
    std::u16string_view key_name = Trim(std::u16string_view(key));
    if (section && !key_name.empty()) {
        for (const auto& k : section->keys) {
            if (!text::EqualProfileNames(k.name, key_name)) continue;
            if (k.value)
                return CopyText(text::Utf16ToAnsiBestFit(Unquote(std::u16string_view(*k.value))), lpReturnedString,
                                nSize);
            break;
        }
    }
    return CopyText(def, lpReturnedString, nSize);
}

}  // namespace plat::sim

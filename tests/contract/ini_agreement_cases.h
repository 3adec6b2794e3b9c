// The INI agreement table: GetPrivateProfileStringA inputs with the bytes and results that Wine
// gives for them (and Windows, where the two are known to differ). Written against plat:: only, so
// the same table runs on the simulated machine and on a real Windows API.
#pragma once

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/all.h"

namespace tvx::ini_table {

using namespace std::string_view_literals;

// Files the cases read. They are written before the cases run; each content has a file of its own,
// since a profile reader may cache a file by name.
struct IniFile {
    const char* path;
    std::string_view bytes;
};

inline const std::vector<IniFile>& Files() {
    static const std::vector<IniFile> files = {
        {"C:\\Windows\\Temp\\tvx_ini_main.ini",
         "[section1]\n"
         "name1=val1\n"
         "name2=\n"
         "name3\n"
         " NaMe4 = \"val4\" \n"
         "name5='val5\"\n"
         "name6=v ; c\n"
         ";name7=comment\n"
         "#name8=hash\n"
         "\tname9\t=\t val9 \t\n"
         "[ section2 ]\n"
         "key=a\n"
         "[Sec3\n"
         "key3=x\n"
         "[sec4]junk\n"
         "k4=v4\n"
         "[dup]\n"
         "k=first\n"
         "k=second\n"
         "[DUP]\n"
         "k2=z\n"
         "[empty]\n"sv},
        {"C:\\Windows\\Temp\\tvx_ini_crlf.ini", "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n"sv},
        {"C:\\Windows\\Temp\\tvx_ini_cr.ini", "[A]\rx=1\ry=2\r[B]\rz=3\r"sv},
        {"C:\\Windows\\Temp\\tvx_ini_quote.ini",
         "[q]\n"
         "both=\"abcdef\"\n"
         "single='x'\n"
         "lone=\"\n"
         "inner=a\"b\"\n"
         "pair=\"\"\n"sv},
        {"C:\\Windows\\Temp\\tvx_ini_head.ini",
         "before=top\n"
         "[s]\n"
         "  [t] \n"
         "a=1\n"
         "[u]x]\n"
         "b=2\n"sv},
        {"C:\\Windows\\tvx_ini_bare.ini", "[bare]\nwhere=windir\n"sv},
    };
    return files;
}

struct IniCase {
    const char* name;
    const char* file;
    const char* app;
    const char* key;
    const char* def;
    DWORD size;
    DWORD ret;                // the return value
    std::string_view bytes;   // the buffer afterwards, without its untouched trailing '#' bytes
    DWORD error;              // the last error afterwards (it is set to kSentinelError first)
    const char* wine_differs; // null, or why Wine answers otherwise than Windows: then wine_ret and
    DWORD wine_ret;           // wine_bytes hold Wine's answer, and a Wine run that gives Windows'
    std::string_view wine_bytes;  // answer reports that the difference has gone
};

constexpr DWORD kSentinelError = 0xDEADBEEFu;

// The known differences between Wine and Windows that the table shows.
constexpr const char* kListEnd =
    "Wine leaves the last byte of a list that fills the buffer unwritten; Windows ends it with two NULs";
constexpr const char* kTopKeys =
    "Wine finds keys above the first header under the empty section name; Windows reads that name as a "
    "literal [] section";

constexpr const char* kMain = "C:\\Windows\\Temp\\tvx_ini_main.ini";
constexpr const char* kCrlf = "C:\\Windows\\Temp\\tvx_ini_crlf.ini";
constexpr const char* kCr = "C:\\Windows\\Temp\\tvx_ini_cr.ini";
constexpr const char* kQuote = "C:\\Windows\\Temp\\tvx_ini_quote.ini";
constexpr const char* kHead = "C:\\Windows\\Temp\\tvx_ini_head.ini";
constexpr const char* kMissing = "C:\\Windows\\Temp\\tvx_ini_none.ini";
constexpr const char* kNoFolder = "C:\\Windows\\Temp\\tvx_ini_no_folder\\x.ini";

inline const std::vector<IniCase>& Cases() {
    static const std::vector<IniCase> cases = {
        // name, file, section, key, default, size: the return value, the buffer, the last error
        {"sections", kMain, nullptr, nullptr, "****", 120, 37, "section1\0section2\0sec4\0""dup\0""DUP\0""empty\0\0"sv, 0, nullptr, 0, {}},
        {"sections cut", kMain, nullptr, nullptr, "****", 16, 14, "section1\0secti\0\0"sv, 0, kListEnd, 14, "section1\0secti\0"sv},
        {"sections size 2", kMain, nullptr, nullptr, "****", 2, 0, "\0\0"sv, 0, kListEnd, 0, "\0"sv},
        {"sections size 1", kMain, nullptr, nullptr, "****", 1, 0, "\0"sv, 0, nullptr, 0, {}},
        {"sections size 0", kMain, nullptr, nullptr, "****", 0, 0, ""sv, kSentinelError, nullptr, 0, {}},
        {"keys", kMain, "section1", nullptr, "section1", 120, 43, "name1\0name2\0NaMe4\0name5\0name6\0#name8\0name9\0\0"sv, 0, nullptr, 0, {}},
        {"keys cut", kMain, "section1", nullptr, "section1", 10, 8, "name1\0na\0\0"sv, 0, kListEnd, 8, "name1\0na\0"sv},
        {"keys size 3", kMain, "section1", nullptr, "section1", 3, 1, "n\0\0"sv, 0, kListEnd, 1, "n\0"sv},
        {"keys missing section", kMain, "nosuch", nullptr, "nosuch", 40, 6, "nosuch\0"sv, 0, nullptr, 0, {}},
        {"keys empty section", kMain, "empty", nullptr, "dflt", 40, 4, "dflt\0"sv, 0, nullptr, 0, {}},
        {"keys any case", kMain, "SECTION1", nullptr, "", 120, 43, "name1\0name2\0NaMe4\0name5\0name6\0#name8\0name9\0\0"sv, 0, nullptr, 0, {}},
        {"value", kMain, "section1", "name1", "dflt", 40, 4, "val1\0"sv, 0, nullptr, 0, {}},
        {"value cut", kMain, "section1", "name1", "dflt", 4, 3, "val\0"sv, 0, nullptr, 0, {}},
        {"value size 1", kMain, "section1", "name1", "dflt", 1, 0, "\0"sv, 0, nullptr, 0, {}},
        {"value size 0", kMain, "section1", "name1", "dflt", 0, 0, ""sv, kSentinelError, nullptr, 0, {}},
        {"empty value", kMain, "section1", "name2", "dflt", 40, 0, "\0"sv, 0, nullptr, 0, {}},
        {"line without equals", kMain, "section1", "name3", "dflt", 40, 4, "dflt\0"sv, 0, nullptr, 0, {}},
        {"blanks and quotes", kMain, "section1", "name4", "dflt", 40, 4, "val4\0"sv, 0, nullptr, 0, {}},
        {"unbalanced quotes", kMain, "section1", "name5", "dflt", 40, 6, "'val5\"\0"sv, 0, nullptr, 0, {}},
        {"no inline comment", kMain, "section1", "name6", "dflt", 40, 5, "v ; c\0"sv, 0, nullptr, 0, {}},
        {"commented key", kMain, "section1", "name7", "dflt", 40, 4, "dflt\0"sv, 0, nullptr, 0, {}},
        {"hash is no comment", kMain, "section1", "#name8", "dflt", 40, 4, "hash\0"sv, 0, nullptr, 0, {}},
        {"tabs trimmed", kMain, "section1", "name9", "dflt", 40, 4, "val9\0"sv, 0, nullptr, 0, {}},
        {"key any case", kMain, "Section1", "NAME1", "dflt", 40, 4, "val1\0"sv, 0, nullptr, 0, {}},
        {"query name trimmed", kMain, " section1 ", " name1 ", "dflt", 40, 4, "val1\0"sv, 0, nullptr, 0, {}},
        {"default trailing blanks", kMain, "section1", "nosuch", "default  ", 40, 7, "default\0"sv, 0, nullptr, 0, {}},
        {"default leading blanks", kMain, "section1", "nosuch", "  lead", 40, 6, "  lead\0"sv, 0, nullptr, 0, {}},
        {"default null", kMain, "section1", "nosuch", nullptr, 40, 0, "\0"sv, 0, nullptr, 0, {}},
        {"default cut", kMain, "section1", "nosuch", "abcdef", 4, 3, "abc\0"sv, 0, nullptr, 0, {}},
        {"default quoted", kMain, "section1", "nosuch", "\"qdef\"", 40, 4, "qdef\0"sv, 0, nullptr, 0, {}},
        {"missing section", kMain, "nosuch", "name1", "dflt", 40, 4, "dflt\0"sv, 0, nullptr, 0, {}},
        {"empty key name", kMain, "section1", "", "dflt", 40, 4, "dflt\0"sv, 0, nullptr, 0, {}},
        {"empty section name", kMain, "", "name1", "dflt", 40, 4, "dflt\0"sv, 0, nullptr, 0, {}},
        {"blank header", kMain, "section2", "key", "dflt", 40, 1, "a\0"sv, 0, nullptr, 0, {}},
        {"header without bracket", kMain, "section2", "key3", "dflt", 40, 1, "x\0"sv, 0, nullptr, 0, {}},
        {"text after bracket", kMain, "sec4", "k4", "dflt", 40, 2, "v4\0"sv, 0, nullptr, 0, {}},
        {"duplicate key", kMain, "dup", "k", "dflt", 40, 5, "first\0"sv, 0, nullptr, 0, {}},
        {"duplicate section", kMain, "dup", "k2", "dflt", 40, 4, "dflt\0"sv, 0, nullptr, 0, {}},
        {"crlf keys", kCrlf, "A", nullptr, "", 40, 4, "x\0y\0\0"sv, 0, nullptr, 0, {}},
        {"crlf value", kCrlf, "B", "z", "", 40, 1, "3\0"sv, 0, nullptr, 0, {}},
        {"sections exact fit", kCrlf, nullptr, nullptr, "", 5, 3, "A\0""B\0\0"sv, 0, kListEnd, 3, "A\0""B\0"sv},
        {"sections one short", kCrlf, nullptr, nullptr, "", 4, 2, "A\0\0\0"sv, 0, kListEnd, 2, "A\0\0"sv},
        {"keys exact fit", kCrlf, "A", nullptr, "", 5, 3, "x\0y\0\0"sv, 0, kListEnd, 3, "x\0y\0"sv},
        {"keys one short", kCrlf, "A", nullptr, "", 4, 2, "x\0\0\0"sv, 0, kListEnd, 2, "x\0\0"sv},
        {"cr keys", kCr, "A", nullptr, "", 40, 4, "x\0y\0\0"sv, 0, nullptr, 0, {}},
        {"cr sections", kCr, nullptr, nullptr, "", 40, 4, "A\0""B\0\0"sv, 0, nullptr, 0, {}},
        {"quotes stripped", kQuote, "q", "both", "", 40, 6, "abcdef\0"sv, 0, nullptr, 0, {}},
        {"quotes cut", kQuote, "q", "both", "", 4, 3, "abc\0"sv, 0, nullptr, 0, {}},
        {"single quotes", kQuote, "q", "single", "", 40, 1, "x\0"sv, 0, nullptr, 0, {}},
        {"lone quote", kQuote, "q", "lone", "", 40, 1, "\"\0"sv, 0, nullptr, 0, {}},
        {"inner quotes", kQuote, "q", "inner", "", 40, 4, "a\"b\"\0"sv, 0, nullptr, 0, {}},
        {"empty quotes", kQuote, "q", "pair", "d", 40, 0, "\0"sv, 0, nullptr, 0, {}},
        {"key before headers", kHead, "", "before", "dflt", 40, 4, "dflt\0"sv, 0, kTopKeys, 3, "top\0"sv},
        {"indented header", kHead, "t", "a", "dflt", 40, 1, "1\0"sv, 0, nullptr, 0, {}},
        {"bracket in name", kHead, "u]x", "b", "dflt", 40, 1, "2\0"sv, 0, nullptr, 0, {}},
        {"head sections", kHead, nullptr, nullptr, "", 40, 8, "s\0t\0u]x\0\0"sv, 0, nullptr, 0, {}},
        {"missing file value", kMissing, "a", "b", "dflt", 40, 4, "dflt\0"sv, 2, nullptr, 0, {}},
        {"missing file sections", kMissing, nullptr, nullptr, "****", 40, 0, "\0"sv, 2, nullptr, 0, {}},
        {"missing file keys", kMissing, "a", nullptr, "a", 40, 1, "a\0"sv, 2, nullptr, 0, {}},
        {"missing folder value", kNoFolder, "a", "b", "dflt", 40, 4, "dflt\0"sv, 3, nullptr, 0, {}},
        {"missing folder sections", kNoFolder, nullptr, nullptr, "****", 40, 0, "\0"sv, 3, nullptr, 0, {}},
        {"missing folder keys", kNoFolder, "a", nullptr, "a", 40, 1, "a\0"sv, 3, nullptr, 0, {}},
        {"bare name", "tvx_ini_bare.ini", "bare", "where", "dflt", 40, 6, "windir\0"sv, 0, nullptr, 0, {}},
        {"bare name not in temp", "tvx_ini_main.ini", "section1", "name1", "dflt", 40, 4, "dflt\0"sv, 2, nullptr, 0, {}},
    };
    return cases;
}

struct IniOutcome {
    DWORD ret = 0;
    std::string bytes;
    DWORD error = 0;
};

// Writes every file of the table through the C runtime streams of the seam.
inline bool WriteTableFiles() {
    for (const IniFile& f : Files()) {
        FILE* out = plat::_fsopen(f.path, "wb", _SH_DENYNO);
        if (!out) return false;
        plat::fwrite(f.bytes.data(), 1, f.bytes.size(), out);
        plat::fclose(out);
    }
    return true;
}

// Removes the table's files again.
inline void RemoveTableFiles() {
    for (const IniFile& f : Files()) plat::DeleteFileA(f.path);
}

// Runs one case: a buffer of '#' bytes, the last error set to a sentinel, then the query.
inline IniOutcome RunCase(const IniCase& c) {
    std::string buffer(c.size + 8, '#');
    plat::SetLastError(kSentinelError);
    IniOutcome out;
    out.ret = plat::GetPrivateProfileStringA(c.app, c.key, c.def, buffer.data(), c.size, c.file);
    out.error = plat::GetLastError();
    size_t end = buffer.size();
    while (end > 0 && buffer[end - 1] == '#') --end;
    out.bytes = buffer.substr(0, end);
    return out;
}

// Bytes as a C++ literal, for messages.
inline std::string Escaped(std::string_view bytes) {
    std::string out = "\"";
    bool split = false;  // the last escape would swallow a following digit
    for (unsigned char ch : bytes) {
        if (split && std::isxdigit(ch)) out += "\"\"";
        split = ch == 0 || ch < 0x20 || ch >= 0x7F;
        if (ch == 0) {
            out += "\\0";
        } else if (ch == '"' || ch == '\\') {
            out += '\\';
            out += static_cast<char>(ch);
        } else if (ch < 0x20 || ch >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", ch);
            out += hex;
        } else {
            out += static_cast<char>(ch);
        }
    }
    return out + "\"";
}

// Which machine answered: one that follows Windows (the simulated machine), or Wine.
enum class Reference { Windows, Wine };

// Empty when the outcome is the one the case expects of that machine; otherwise what differs.
inline std::string Check(const IniCase& c, const IniOutcome& o, Reference machine) {
    auto describe = [](DWORD ret, std::string_view bytes, DWORD error) {
        return "return " + std::to_string(ret) + ", buffer " + Escaped(bytes) + ", last error " +
               std::to_string(error);
    };
    const std::string got = describe(o.ret, o.bytes, o.error);
    const std::string windows = describe(c.ret, c.bytes, c.error);
    if (machine == Reference::Wine && c.wine_differs) {
        if (got == windows) return std::string("known Wine difference has gone: ") + c.wine_differs;
        const std::string wine = describe(c.wine_ret, c.wine_bytes, c.error);
        return got == wine ? "" : "got " + got + "; Wine gave " + wine;
    }
    return got == windows ? "" : "got " + got + "; expected " + windows;
}

}  // namespace tvx::ini_table

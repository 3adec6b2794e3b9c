// The INI agreement table: GetPrivateProfileStringA inputs with the bytes and results that Wine
// gives for them (and Windows, where the two are known to differ). Written against plat:: only, so
// the same table runs on the simulated machine and on a real Windows API.
#pragma once

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
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

// One text in the encodings a profile reader tells by the byte-order mark. The text holds names and
// values inside the ANSI code page (é), outside it with a best fit (Ā, Greek), without one (CJK, a
// surrogate pair, a lone surrogate), and full-width quotes, which are no quotes to the reader.
inline const std::u16string& UnicodeText() {
    static const std::u16string text =
        u"[Sect\u00E9]\r\n"
        u"k1=val1\r\n"
        u"Cl\u00E9=caf\u00E9\r\n"
        u"macron=\u0100bc\r\n"
        u"greek=\u03B1\u03B2\u03A9\r\n"
        u"cjk=\u4E2D\u6587\r\n"
        u"emoji=a\U0001F600b\r\n"
        u"lone=a\xD800" u"b\r\n"
        u"long=abcdefghij\r\n"
        u"q=\"\u00E9t\u00E9\"\r\n"
        u"\u0100key=x\r\n"
        u"Akey=y\r\n"
        u"full=\uFF02ab\uFF02\r\n"
        u"[s2]\r\n"
        u"z=1\r\n";
    return text;
}

enum class Encoding { Utf16Le, Utf16Be, Utf16LeWithoutMark, Utf8 };

// The bytes of UTF-16 units in an encoding, with its byte-order mark (but for the one without).
inline std::string EncodedBytes(std::u16string_view units, Encoding encoding) {
    std::string out;
    if (encoding == Encoding::Utf8) {
        out = "\xEF\xBB\xBF";
        for (size_t i = 0; i < units.size(); ++i) {
            char32_t c = units[i];
            if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
                c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
            if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (c < 0x800) {
                out += static_cast<char>(0xC0 | (c >> 6));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else if (c < 0x10000) {  // a lone surrogate too, in the three bytes it would take
                out += static_cast<char>(0xE0 | (c >> 12));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            } else {
                out += static_cast<char>(0xF0 | (c >> 18));
                out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
                out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
                out += static_cast<char>(0x80 | (c & 0x3F));
            }
        }
        return out;
    }
    if (encoding == Encoding::Utf16Le) out = "\xFF\xFE";
    if (encoding == Encoding::Utf16Be) out = "\xFE\xFF";
    for (char16_t u : units) {
        const char low = static_cast<char>(u & 0xFF);
        const char high = static_cast<char>(u >> 8);
        if (encoding == Encoding::Utf16Be) {
            out += high;
            out += low;
        } else {
            out += low;
            out += high;
        }
    }
    return out;
}

// Keeps a made file's bytes for the life of the program.
inline std::string_view Stored(std::string bytes) {
    static std::vector<std::unique_ptr<std::string>> kept;
    kept.push_back(std::make_unique<std::string>(std::move(bytes)));
    return *kept.back();
}

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
        {"C:\\Windows\\Temp\\tvx_ini_utf16le.ini", Stored(EncodedBytes(UnicodeText(), Encoding::Utf16Le))},
        {"C:\\Windows\\Temp\\tvx_ini_utf16be.ini", Stored(EncodedBytes(UnicodeText(), Encoding::Utf16Be))},
        {"C:\\Windows\\Temp\\tvx_ini_utf8.ini", Stored(EncodedBytes(UnicodeText(), Encoding::Utf8))},
        {"C:\\Windows\\Temp\\tvx_ini_utf16_nomark.ini",
         Stored(EncodedBytes(UnicodeText(), Encoding::Utf16LeWithoutMark))},
        // An odd byte after the last line end: a line of its own, which the reader takes with the
        // byte that follows the file in memory, so only what it cannot touch is asked.
        {"C:\\Windows\\Temp\\tvx_ini_utf16_odd.ini",
         Stored(EncodedBytes(u"[a]\r\nk=vw\r\n", Encoding::Utf16Le) + "X")},
        // Broken UTF-8: a start byte without its continuation, an encoded surrogate, a value above
        // U+10FFFF; each broken part is one unreadable character.
        {"C:\\Windows\\Temp\\tvx_ini_utf8_broken.ini",
         "\xEF\xBB\xBF[s]\r\nk=a\xC3" "b\xED\xA0\x80" "c\xF4\x90\x80\x80" "d\r\n"sv},
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
    DWORD error;              // the last error afterwards (it is set to kIniSentinelError first)
    const char* wine_differs; // null, or why Wine answers otherwise than Windows: then wine_ret and
    DWORD wine_ret;           // wine_bytes hold Wine's answer, and a Wine run that gives Windows'
    std::string_view wine_bytes;  // answer reports that the difference has gone
};

constexpr DWORD kIniSentinelError = 0xDEADBEEFu;

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
constexpr const char* kUtf16Le = "C:\\Windows\\Temp\\tvx_ini_utf16le.ini";
constexpr const char* kUtf16Be = "C:\\Windows\\Temp\\tvx_ini_utf16be.ini";
constexpr const char* kUtf8 = "C:\\Windows\\Temp\\tvx_ini_utf8.ini";
constexpr const char* kUtf16NoMark = "C:\\Windows\\Temp\\tvx_ini_utf16_nomark.ini";
constexpr const char* kUtf16Odd = "C:\\Windows\\Temp\\tvx_ini_utf16_odd.ini";
constexpr const char* kUtf8Broken = "C:\\Windows\\Temp\\tvx_ini_utf8_broken.ini";

// The cases of one Unicode file (UnicodeText in an encoding with its mark): the reader reads it as
// Unicode, matches the ANSI names given against the file's names in Unicode (ASCII letters without
// regard to case, every other character exactly), and answers in the ANSI code page with Windows'
// best fit, one byte per UTF-16 unit. The cuts count as for an 8-bit file.
#define TVX_UNICODE_FILE_CASES(TAG, FILE)                                                                          \
    {TAG " sections", FILE, nullptr, nullptr, "****", 100, 9, "Sect\xE9\0s2\0\0"sv, 0, nullptr, 0, {}},              \
    {TAG " sections cut", FILE, nullptr, nullptr, "****", 6, 4, "Sect\0\0"sv, 0, kListEnd, 4, "Sect\0"sv},            \
    {TAG " keys", FILE, "Sect\xE9", nullptr, "", 200, 57,                                                            \
     "k1\0Cl\xE9\0macron\0greek\0cjk\0emoji\0lone\0long\0q\0" "Akey\0" "Akey\0" "full\0\0"sv, 0, nullptr, 0, {}},      \
    {TAG " keys cut", FILE, "Sect\xE9", nullptr, "", 10, 8, "k1\0Cl\xE9\0m\0\0"sv, 0, kListEnd, 8, "k1\0Cl\xE9\0m\0"sv},  \
    {TAG " value", FILE, "Sect\xE9", "k1", "d", 50, 4, "val1\0"sv, 0, nullptr, 0, {}},                                \
    {TAG " value cut", FILE, "Sect\xE9", "long", "d", 5, 4, "abcd\0"sv, 0, nullptr, 0, {}},                           \
    {TAG " default", FILE, "Sect\xE9", "nosuch", "dflt  ", 50, 4, "dflt\0"sv, 0, nullptr, 0, {}},                     \
    {TAG " value in the code page", FILE, "Sect\xE9", "Cl\xE9", "d", 50, 4, "caf\xE9\0"sv, 0, nullptr, 0, {}},         \
    {TAG " non-ASCII name other case", FILE, "SECT\xC9", "CL\xC9", "d", 50, 1, "d\0"sv, 0, nullptr, 0, {}},            \
    {TAG " best fit Latin", FILE, "Sect\xE9", "macron", "d", 50, 3, "Abc\0"sv, 0, nullptr, 0, {}},                      \
    {TAG " best fit Greek", FILE, "Sect\xE9", "greek", "d", 50, 3, "a\xDFO\0"sv, 0, nullptr, 0, {}},                  \
    {TAG " CJK", FILE, "Sect\xE9", "cjk", "d", 50, 2, "??\0"sv, 0, nullptr, 0, {}},                                    \
    {TAG " surrogate pair", FILE, "Sect\xE9", "emoji", "d", 50, 4, "a??b\0"sv, 0, nullptr, 0, {}},                     \
    {TAG " surrogate pair cut", FILE, "Sect\xE9", "emoji", "d", 3, 2, "a?\0"sv, 0, nullptr, 0, {}},                    \
    {TAG " quotes", FILE, "Sect\xE9", "q", "d", 50, 3, "\xE9t\xE9\0"sv, 0, nullptr, 0, {}},                           \
    {TAG " full-width quotes stay", FILE, "Sect\xE9", "full", "d", 50, 4, "\"ab\"\0"sv, 0, nullptr, 0, {}},             \
    {TAG " name beside its best fit", FILE, "Sect\xE9", "Akey", "d", 50, 1, "y\0"sv, 0, nullptr, 0, {}},                \
    {TAG " best fit of a name is not its name", FILE, "Sect\xE9", "\xC2key", "d", 50, 1, "d\0"sv, 0, nullptr, 0, {}},  \
    {TAG " second section", FILE, "s2", "z", "d", 50, 1, "1\0"sv, 0, nullptr, 0, {}}

inline const std::vector<IniCase>& Cases() {
    static const std::vector<IniCase> cases = {
        // name, file, section, key, default, size: the return value, the buffer, the last error
        {"sections", kMain, nullptr, nullptr, "****", 120, 37, "section1\0section2\0sec4\0""dup\0""DUP\0""empty\0\0"sv, 0, nullptr, 0, {}},
        {"sections cut", kMain, nullptr, nullptr, "****", 16, 14, "section1\0secti\0\0"sv, 0, kListEnd, 14, "section1\0secti\0"sv},
        {"sections size 2", kMain, nullptr, nullptr, "****", 2, 0, "\0\0"sv, 0, kListEnd, 0, "\0"sv},
        {"sections size 1", kMain, nullptr, nullptr, "****", 1, 0, "\0"sv, 0, nullptr, 0, {}},
        {"sections size 0", kMain, nullptr, nullptr, "****", 0, 0, ""sv, kIniSentinelError, nullptr, 0, {}},
        {"keys", kMain, "section1", nullptr, "section1", 120, 43, "name1\0name2\0NaMe4\0name5\0name6\0#name8\0name9\0\0"sv, 0, nullptr, 0, {}},
        {"keys cut", kMain, "section1", nullptr, "section1", 10, 8, "name1\0na\0\0"sv, 0, kListEnd, 8, "name1\0na\0"sv},
        {"keys size 3", kMain, "section1", nullptr, "section1", 3, 1, "n\0\0"sv, 0, kListEnd, 1, "n\0"sv},
        {"keys missing section", kMain, "nosuch", nullptr, "nosuch", 40, 6, "nosuch\0"sv, 0, nullptr, 0, {}},
        {"keys empty section", kMain, "empty", nullptr, "dflt", 40, 4, "dflt\0"sv, 0, nullptr, 0, {}},
        {"keys any case", kMain, "SECTION1", nullptr, "", 120, 43, "name1\0name2\0NaMe4\0name5\0name6\0#name8\0name9\0\0"sv, 0, nullptr, 0, {}},
        {"value", kMain, "section1", "name1", "dflt", 40, 4, "val1\0"sv, 0, nullptr, 0, {}},
        {"value cut", kMain, "section1", "name1", "dflt", 4, 3, "val\0"sv, 0, nullptr, 0, {}},
        {"value size 1", kMain, "section1", "name1", "dflt", 1, 0, "\0"sv, 0, nullptr, 0, {}},
        {"value size 0", kMain, "section1", "name1", "dflt", 0, 0, ""sv, kIniSentinelError, nullptr, 0, {}},
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
        TVX_UNICODE_FILE_CASES("utf-16le", kUtf16Le),
        TVX_UNICODE_FILE_CASES("utf-16be", kUtf16Be),
        TVX_UNICODE_FILE_CASES("utf-8", kUtf8),
        {"utf-16le lone surrogate", kUtf16Le, "Sect\xE9", "lone", "d", 50, 3, "a?b\0"sv, 0, nullptr, 0, {}},
        {"utf-16be lone surrogate", kUtf16Be, "Sect\xE9", "lone", "d", 50, 3, "a?b\0"sv, 0, nullptr, 0, {}},
        // In UTF-8 the surrogate's three bytes are broken twice: its first two, then its last.
        {"utf-8 lone surrogate", kUtf8, "Sect\xE9", "lone", "d", 50, 4, "a??b\0"sv, 0, nullptr, 0, {}},
        // UTF-16 without a mark is 8-bit text: its NULs end every name, so no section has one.
        {"utf-16 without mark sections", kUtf16NoMark, nullptr, nullptr, "****", 100, 0, "\0"sv, 0, nullptr, 0, {}},
        {"utf-16 without mark value", kUtf16NoMark, "s2", "z", "d", 50, 1, "d\0"sv, 0, nullptr, 0, {}},
        {"utf-16 odd byte value", kUtf16Odd, "a", "k", "d", 50, 2, "vw\0"sv, 0, nullptr, 0, {}},
        {"utf-16 odd byte keys", kUtf16Odd, "a", nullptr, "", 50, 2, "k\0\0"sv, 0, nullptr, 0, {}},
        {"utf-8 broken sequences", kUtf8Broken, "s", "k", "d", 50, 10, "a?b??c???d\0"sv, 0, nullptr, 0, {}},
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
    plat::SetLastError(kIniSentinelError);
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

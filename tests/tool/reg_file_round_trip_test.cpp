// .reg files: REGEDIT4 and version-5 files read into exact value bytes, version-5 files written as
// `reg export` writes them and read back unchanged, and malformed files refused with their line.
#include <gtest/gtest.h>

#include "platform/sim/setupapi.h"
#include "platform/text/encoding.h"
#include "platform/text/names.h"
#include "tools/scenario/names.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/registry_snapshot.h"
#include "tools/scenario/scenario_error.h"

namespace {

std::vector<uint8_t> DataOf(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::string Utf16File(const std::u16string& text) { return "\xFF\xFE" + plat::text::Utf16LeBytes(text); }

// Two snapshots hold the same keys (names compared as Windows does) and the same values.
void ExpectSameRegistry(const tvx::RegistrySnapshot& a, const tvx::RegistrySnapshot& b) {
    ASSERT_EQ(a.keys().size(), b.keys().size());
    for (auto ia = a.keys().begin(), ib = b.keys().begin(); ia != a.keys().end(); ++ia, ++ib) {
        SCOPED_TRACE(ia->second.path);
        EXPECT_TRUE(plat::text::EqualNames(ia->second.path, ib->second.path)) << ib->second.path;
        EXPECT_EQ(ia->second.values, ib->second.values);
    }
}

TEST(RegFile, Regedit4ReadsEveryValueFormAndDeletion) {
    const std::string file =
        "REGEDIT4\r\n"
        "\r\n"
        "; made by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix]\r\n"
        "@=\"default\"\r\n"
        "\"Path\"=\"C:\\\\Program Files\\\\Tarvix \\\"Q\\\"\"\r\n"
        "\"Count\"=dword:0000002A\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  ff\r\n"
        "\"Expand\"=hex(2):25,54,45,4d,50,25,00\r\n"
        "\"List\"=hex(7):61,00,62,63,00,00\r\n"
        "\"Big\"=hex(b):01,00,00,00,00,00,00,80\r\n"
        "\"Caf\xE9\"=\"\xE9t\xE9\"\r\n"
        "\"Old\"=-\r\n"
        "\r\n"
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone]\r\n"
        "\r\n"
        "[HKCU\\Software\\Short]\r\n"
        "\"Empty\"=\"\"\r\n";
    tvx::RegFile parsed = tvx::ParseRegFile(file, "by-hand.reg");
    EXPECT_EQ(parsed.format, tvx::RegFileFormat::Regedit4);

    tvx::RegistrySnapshot registry;
    registry.SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix", tvx::RegistryValue{"Old", tvx::kRegDword, {1, 0, 0, 0}});
    registry.SetValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone\\Deeper", tvx::RegistryValue{"v", tvx::kRegSz, {'x', 0}});
    tvx::ApplyRegFile(parsed, registry);

    EXPECT_EQ(registry.Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone"), nullptr);
    EXPECT_EQ(registry.Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Gone\\Deeper"), nullptr) << "[-key] removes the subtree";
    const tvx::RegistryKeyState* key = registry.Find("hkey_local_machine\\software\\TARVIX");
    ASSERT_NE(key, nullptr);
    struct Want {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> data;
    };
    const Want want[] = {
        {"", tvx::kRegSz, DataOf(std::string_view("default\0", 8))},
        {"Path", tvx::kRegSz, DataOf(std::string_view("C:\\Program Files\\Tarvix \"Q\"\0", 28))},
        {"Count", tvx::kRegDword, {0x2A, 0, 0, 0}},
        {"Blob", tvx::kRegBinary, {0x01, 0x02, 0xFF}},
        {"Expand", tvx::kRegExpandSz, DataOf(std::string_view("%TEMP%\0", 7))},
        {"List", tvx::kRegMultiSz, DataOf(std::string_view("a\0bc\0\0", 6))},
        {"Big", tvx::kRegQword, {1, 0, 0, 0, 0, 0, 0, 0x80}},
        {"Caf\xE9", tvx::kRegSz, DataOf(std::string_view("\xE9t\xE9\0", 4))},
    };
    ASSERT_EQ(key->values.size(), std::size(want)) << "\"Old\"=- removed the value";
    for (const Want& w : want) {
        SCOPED_TRACE(w.name);
        const tvx::RegistryValue* v = key->FindValue(w.name);
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(v->type, w.type);
        EXPECT_EQ(v->data, w.data);
    }
    const tvx::RegistryKeyState* shortcut = registry.Find("HKEY_CURRENT_USER\\Software\\Short");
    ASSERT_NE(shortcut, nullptr) << "HKCU stands for HKEY_CURRENT_USER";
    EXPECT_EQ(shortcut->values[0].data, std::vector<uint8_t>{0});
}

TEST(RegFile, Version5FromRegExportReadsAndWritesBackByteForByte) {
    // As `reg export` writes it: UTF-16LE with a byte order mark, CR LF, string data of hex(2) in
    // UTF-16, long hex data continued at 77 characters.
    const std::u16string text =
        u"Windows Registry Editor Version 5.00\r\n"
        u"\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"
        u"\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix]\r\n"
        u"@=\"Scanner \u20AC\"\r\n"
        u"\"Cmdline\"=hex(2):25,00,53,00,79,00,73,00,74,00,65,00,6d,00,52,00,6f,00,6f,00,\\\r\n"
        u"  74,00,25,00,5c,00,73,00,79,00,73,00,74,00,65,00,6d,00,33,00,32,00,5c,00,72,\\\r\n"
        u"  00,75,00,6e,00,64,00,6c,00,6c,00,33,00,32,00,2e,00,65,00,78,00,65,00,00,00\r\n"
        u"\"Start\"=dword:00000002\r\n"
        u"\"Two lines\"=\"a\\nb\"\r\n"
        u"\r\n"
        u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix\\tvx]\r\n"
        u"\"NoTerminator\"=hex(1):41,00,42,00\r\n"
        u"\"Short dword\"=hex(4):01,02\r\n"
        u"\"Nothing\"=hex(0):\r\n"
        u"\r\n";
    const std::string file = Utf16File(text);
    tvx::RegFile parsed = tvx::ParseRegFile(file, "export.reg");
    EXPECT_EQ(parsed.format, tvx::RegFileFormat::Version5);
    tvx::RegistrySnapshot registry;
    tvx::ApplyRegFile(parsed, registry);

    const tvx::RegistryKeyState* key = registry.Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->FindValue("")->data, DataOf(std::string_view("Scanner \x80\0", 10))) << "the euro sign is 0x80 in ANSI";
    EXPECT_EQ(key->FindValue("Cmdline")->data, DataOf(std::string_view("%SystemRoot%\\system32\\rundll32.exe\0", 35)))
        << "hex(2) data of a version-5 file is UTF-16, kept as ANSI";
    EXPECT_EQ(key->FindValue("Two lines")->data, DataOf(std::string_view("a\nb\0", 4)));
    const tvx::RegistryKeyState* tvx_key = registry.Find("HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix\\tvx");
    ASSERT_NE(tvx_key, nullptr);
    EXPECT_EQ(tvx_key->FindValue("NoTerminator")->data, DataOf("AB")) << "a REG_SZ without its NUL stays so";

    EXPECT_EQ(tvx::WriteRegFile(registry), file);
}

TEST(RegFile, WrittenFileReadsBackToTheSameRegistry) {
    tvx::RegistrySnapshot registry;
    std::vector<uint8_t> long_blob;
    for (int i = 0; i < 200; ++i) long_blob.push_back(static_cast<uint8_t>(i * 7));
    const std::string k = "HKEY_LOCAL_MACHINE\\" + plat::sim::kImageClassKey + "\\0000";
    registry.SetValue(k, {"Blob", tvx::kRegBinary, long_blob});
    registry.SetValue(k, {"Quote\"and\\slash", tvx::kRegSz, DataOf(std::string_view("\"\\\r\n\xE9\0", 6))});
    registry.SetValue(k, {"Multi", tvx::kRegMultiSz, DataOf(std::string_view("x\0\xE0\0\0", 5))});
    registry.SetValue(k, {"Expand", tvx::kRegExpandSz, DataOf(std::string_view("%windir%\0", 9))});
    registry.SetValue(k, {"Odd type", 0x17, {0xAA}});
    registry.SetValue(k, {"Inner NUL", tvx::kRegSz, DataOf(std::string_view("a\0b\0", 4))});
    registry.SetValue(k + "\\Events\\ScanButton", {"GUID", tvx::kRegSz, DataOf(std::string_view("{A6C5}", 6))});
    registry.Ensure("HKEY_CURRENT_USER\\Software\\Empty key");
    registry.SetValue("HKEY_USERS", {"at the root", tvx::kRegDword, {1, 2, 3, 4}});

    std::string written = tvx::WriteRegFile(registry);
    ASSERT_GE(written.size(), 2u);
    EXPECT_EQ(written.substr(0, 2), "\xFF\xFE");
    tvx::RegistrySnapshot again;
    tvx::ApplyRegFile(tvx::ParseRegFile(written, "written.reg"), again);
    ExpectSameRegistry(registry, again);

    // No line of the file is longer than `reg export` makes them.
    std::string text = tvx::RegFileText(registry);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        std::string line = text.substr(start, end - start);
        if (line.find("hex") != std::string::npos || line.rfind("  ", 0) == 0) {
            EXPECT_LE(line.size(), 80u) << line;
        }
        start = end + 2;
    }
}

struct Malformed {
    const char* what;
    std::string bytes;
    int line;
    const char* message;
};

TEST(RegFile, MalformedFilesAreRefusedWithTheirLine) {
    const Malformed rows[] = {
        {"no header", "[HKEY_LOCAL_MACHINE\\A]\r\n", 1, "expected the header"},
        {"empty file", "", 0, "empty file"},
        {"value before any key", "REGEDIT4\r\n\r\n\"a\"=\"b\"\r\n", 3, "before the first [key]"},
        {"key line not closed", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A\r\n", 2, "without its closing ]"},
        {"unknown root key", "REGEDIT4\r\n[HKEY_SOMEWHERE\\A]\r\n", 2, "unknown root key"},
        {"unknown escape", "REGEDIT4\r\n[HKLM\\A]\r\n\"p\"=\"C:\\Windows\"\r\n", 3, "unknown escape \\W"},
        {"string not closed", "REGEDIT4\r\n[HKLM\\A]\r\n\"p\"=\"abc\r\n", 3, "closing quote"},
        {"text after the string", "REGEDIT4\r\n[HKLM\\A]\r\n\"p\"=\"abc\" x\r\n", 3, "after the closing quote"},
        {"dword too long", "REGEDIT4\r\n[HKLM\\A]\r\n\"d\"=dword:123456789\r\n", 3, "one to eight hex digits"},
        {"hex byte too long", "REGEDIT4\r\n[HKLM\\A]\r\n\"h\"=hex:01,234\r\n", 3, "more than two digits"},
        {"continued hex with a bad byte", "REGEDIT4\r\n[HKLM\\A]\r\n\"h\"=hex:01,\\\r\n  zz\r\n", 3, "'z' in hex data"},
        {"odd UTF-16 string data", "Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"e\"=hex(2):41,00,42\r\n", 3,
         "even number of bytes"},
        {"value under a removed key", "REGEDIT4\r\n[-HKLM\\A]\r\n\"a\"=\"b\"\r\n", 3, "being removed"},
        {"unknown data form", "REGEDIT4\r\n[HKLM\\A]\r\n\"a\"=qword:1\r\n", 3, "unknown value data"},
        {"a line of nothing known", "REGEDIT4\r\n[HKLM\\A]\r\nsomething\r\n", 3, "expected a [key]"},
        {"character outside the ANSI code page",
         Utf16File(u"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"a\"=\"\u4E00\"\r\n"), 3,
         "ANSI code page"},
    };
    for (const Malformed& row : rows) {
        SCOPED_TRACE(row.what);
        try {
            tvx::ParseRegFile(row.bytes, "bad.reg");
            ADD_FAILURE() << "parsed without an error";
        } catch (const tvx::ScenarioError& e) {
            EXPECT_EQ(e.file(), "bad.reg");
            EXPECT_EQ(e.line(), row.line) << e.what();
            EXPECT_NE(e.message().find(row.message), std::string::npos) << e.what();
        }
    }
}

}  // namespace

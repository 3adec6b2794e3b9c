// The system family's contract: the version query, the system's message texts and their memory,
// the tick count and the conversion of ANSI text to wide text, checked on the simulated machine and
// on Windows (Wine) alike. Portable: written against plat:: only.
#include <cstring>
#include <string>

#include "platform/system.h"
#include "tests/contract/check.h"

namespace {

using contract::kSentinelError;

// A version record with room to spare, so that a wrong size field cannot write past it.
union VersionRecord {
    OSVERSIONINFOA basic;
    OSVERSIONINFOEXA extended;
    unsigned char bytes[2 * sizeof(OSVERSIONINFOEXA)];
};

}  // namespace

// GetVersionExA takes the basic record (148 bytes) and the extended one (156) and fails with 122
// for any other size; a success leaves the last error alone and reports the same NT version in
// both records, and an extended record without a service pack has no service-pack text.
CONTRACT_CASE(System, VersionRecordSizes) {
    static_assert(sizeof(OSVERSIONINFOA) == 148 && sizeof(OSVERSIONINFOEXA) == 156);
    struct Row {
        const char* what;
        DWORD size;
        bool accepted;
    };
    const Row rows[] = {
        {"basic record", 148, true},
        {"extended record", 156, true},
        {"no size", 0, false},
        {"half the basic record", 74, false},
        {"twice the basic record", 296, false},
    };
    VersionRecord records[3];  // the basic one, the extended one, the refused ones
    for (const Row& row : rows) {
        CONTEXT(row.what);
        VersionRecord& record = records[row.size == 148 ? 0 : row.size == 156 ? 1 : 2];
        std::memset(&record, 0, sizeof record);
        record.basic.dwOSVersionInfoSize = row.size;
        plat::SetLastError(kSentinelError);
        const BOOL ok = plat::GetVersionExA(&record.basic);
        if (!row.accepted) {
            CHECK_EQ(ok, FALSE);
            CHECK_EQ(plat::GetLastError(), ERROR_INSUFFICIENT_BUFFER);
            continue;
        }
        CHECK_EQ(ok, TRUE);
        CHECK_EQ(plat::GetLastError(), kSentinelError);
        CHECK_EQ(record.basic.dwOSVersionInfoSize, row.size);
        CHECK_EQ(record.basic.dwPlatformId, VER_PLATFORM_WIN32_NT);
        CHECK(record.basic.dwMajorVersion >= 5);
    }

    const OSVERSIONINFOA& basic = records[0].basic;
    const OSVERSIONINFOEXA& extended = records[1].extended;
    CHECK_EQ(extended.dwMajorVersion, basic.dwMajorVersion);
    CHECK_EQ(extended.dwMinorVersion, basic.dwMinorVersion);
    CHECK_EQ(extended.dwBuildNumber, basic.dwBuildNumber);
    CHECK_EQ(std::string(extended.szCSDVersion), std::string(basic.szCSDVersion));
    CHECK(extended.wProductType >= 1 && extended.wProductType <= 3);
    if (extended.wServicePackMajor == 0 && extended.wServicePackMinor == 0) CHECK_EQ(std::string(extended.szCSDVersion), "");
}

// FormatMessageA from the system table, with a buffer it allocates (as the logger asks): the text
// ends in CR LF and the count includes them; LocalFree takes the buffer back with NULL, and a NULL
// block as well. The texts themselves are not compared: Wine's differ from Windows'. A number
// without a system message gives 0 and 317; a text with an insertion cannot be formatted without
// its argument and gives 0 as well.
CONTRACT_CASE(System, SystemMessageTexts) {
    const DWORD kFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER;
    for (DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_NOT_READY, ERROR_ALREADY_EXISTS,
                       ERROR_DIRECTORY, ERROR_INVALID_SERVICE_CONTROL, ERROR_SERVICE_DOES_NOT_EXIST,
                       ERROR_SERVICE_CANNOT_ACCEPT_CTRL, ERROR_SERVICE_NOT_ACTIVE, ERROR_INVALID_WINDOW_HANDLE}) {
        CONTEXT("status " + std::to_string(code));
        char* text = nullptr;
        const DWORD count =
            plat::FormatMessageA(kFlags, nullptr, code, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&text), 0, nullptr);
        REQUIRE(text != nullptr);
        CHECK(count > 2);
        CHECK_EQ(std::strlen(text), count);
        CHECK_EQ(std::string(text).substr(count >= 2 ? count - 2 : 0), "\r\n");
        CHECK(plat::LocalFree(text) == nullptr);
    }
    CHECK(plat::LocalFree(nullptr) == nullptr);

    // No system message has this number.
    constexpr DWORD kNoMessage = 3044;
    char* text = nullptr;
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::FormatMessageA(kFlags, nullptr, kNoMessage, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&text), 0,
                                  nullptr),
             0u);
    CHECK_EQ(plat::GetLastError(), ERROR_MR_MID_NOT_FOUND);
    if (text) plat::LocalFree(text);

    // "%1 is not a valid Win32 application." cannot be formatted without an argument.
    text = nullptr;
    CHECK_EQ(plat::FormatMessageA(kFlags, nullptr, ERROR_BAD_EXE_FORMAT, LANG_USER_DEFAULT,
                                  reinterpret_cast<LPSTR>(&text), 0, nullptr),
             0u);
    if (text) plat::LocalFree(text);
}

// Sleep moves GetTickCount on by at least the time slept, less the one clock tick (at most about
// 16 ms) by which Windows may end a sleep early. Only the lower bound is checked: a busy machine
// may take longer.
CONTRACT_CASE(System, SleepAdvancesTheTickCount) {
    constexpr DWORD kSleep = 200;
    using contract::kOneTick;
    const DWORD before = plat::GetTickCount();
    plat::Sleep(kSleep);
    const DWORD elapsed = plat::GetTickCount() - before;  // unsigned: right across the 49.7-day wrap
    CHECK(elapsed >= kSleep - kOneTick);
}

CONTRACT_CASE(System, MultiByteToWideCharUsesWindows1252) {
    // Every byte of the code page converts, the five unassigned ones to the control character of
    // the same number; a count of -1 converts the terminator as well.
    const char ansi[] = "A\x80\x81\x8D\x8F\x90\x9D\x9F\xA0\xE9\xFF";
    const char16_t expected[] = {0x0041, 0x20AC, 0x0081, 0x008D, 0x008F, 0x0090,
                                 0x009D, 0x0178, 0x00A0, 0x00E9, 0x00FF, 0x0000};
    for (UINT page : {UINT(CP_ACP), UINT(CP_THREAD_ACP), UINT(1252)}) {
        CONTEXT("code page " + std::to_string(page));
        WCHAR wide[16];
        std::memset(wide, 0xCC, sizeof wide);
        REQUIRE_EQ(plat::MultiByteToWideChar(page, 0, ansi, -1, wide, 16), 12);
        CHECK(std::memcmp(wide, expected, sizeof expected) == 0);
        CHECK_EQ(static_cast<unsigned>(wide[12]), 0xCCCCu);
    }

    WCHAR wide[16];
    CHECK_EQ(plat::MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, nullptr, 0), 7);
    CHECK_EQ(plat::MultiByteToWideChar(CP_ACP, 0, "abcdef", 3, wide, 16), 3);
    CHECK_EQ(plat::MultiByteToWideChar(CP_ACP, 0, "abc", -5, wide, 16), 4);  // any negative count: NUL-ended
    CHECK_EQ(plat::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, "\x81", 1, wide, 16), 1);

    struct Failure {
        const char* what;
        DWORD flags;
        const char* text;
        int count;
        int room;
        DWORD error;
    } failures[] = {
        {"buffer too small", 0, "abcdef", -1, 3, ERROR_INSUFFICIENT_BUFFER},
        {"no bytes", 0, "abc", 0, 16, ERROR_INVALID_PARAMETER},
        {"no text", 0, nullptr, -1, 16, ERROR_INVALID_PARAMETER},
        {"negative room", 0, "abc", -1, -1, ERROR_INVALID_PARAMETER},
        {"unknown flag", 0x100, "abc", -1, 16, ERROR_INVALID_FLAGS},
    };
    for (const Failure& f : failures) {
        CONTEXT(f.what);
        plat::SetLastError(kSentinelError);
        CHECK_EQ(plat::MultiByteToWideChar(CP_ACP, f.flags, f.text, f.count, wide, f.room), 0);
        CHECK_EQ(plat::GetLastError(), f.error);
    }
}

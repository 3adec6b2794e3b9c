// The files family's contract: what Windows does with kernel32's path and file calls, with file
// handles (their sharing, renaming and deleting an open file, hard and symbolic links) and with the
// C runtime streams the logs are written through, checked on the simulated machine and on Windows
// (Wine) alike. Portable: written against plat:: only (links are planted by each backend's own
// means); every case's files live in a scratch folder below the temporary folder.
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/scoped.h"
#include "platform/system.h"
#include "tests/contract/check.h"
#include "tests/contract/files_helpers.h"
#include "tests/contract/scratch_folder.h"
#include "tests/contract/world.h"

namespace {

using contract::Bytes;
using contract::IsFolder;
using contract::kSentinelError;
using contract::MissingStatus;
using contract::ReadWhole;
using contract::ScratchFolder;
using contract::WriteWhole;
using plat::ScopedStream;

}  // namespace

// GetTempPathA names an existing folder, with a drive and a closing backslash, and answers its
// length; a buffer too small for it and its NUL gets the size needed, NUL included, and is left
// alone, as is everything after the NUL of a buffer that fits. (A buffer of exactly the length,
// without room for the NUL, behaves differently from one Windows version to the next, so no case
// uses one.)
CONTRACT_CASE(Files, TempPath) {
    char buffer[MAX_PATH + 1];
    std::memset(buffer, 'x', sizeof buffer);
    const DWORD length = plat::GetTempPathA(sizeof buffer, buffer);
    REQUIRE(length > 3 && length < sizeof buffer);
    CHECK_EQ(std::strlen(buffer), length);
    CHECK_EQ(Bytes(buffer + 1, 2), ":\\");
    CHECK_EQ(Bytes(buffer + length - 1, 1), "\\");
    CHECK_EQ(Bytes(buffer + length + 1, sizeof buffer - length - 1), std::string(sizeof buffer - length - 1, 'x'));
    const std::string temp(buffer, length);
    CHECK(IsFolder(temp));

    struct Row {
        const char* what;
        DWORD capacity;
        bool no_buffer;
    };
    const Row rows[] = {
        {"no buffer", 0, true},
        {"one byte", 1, false},
        {"half the path", length / 2, false},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        std::memset(buffer, 'x', sizeof buffer);
        CHECK_EQ(plat::GetTempPathA(row.capacity, row.no_buffer ? nullptr : buffer), length + 1);
        CHECK_EQ(Bytes(buffer, sizeof buffer), std::string(sizeof buffer, 'x'));
    }

    std::memset(buffer, 'x', sizeof buffer);
    CHECK_EQ(plat::GetTempPathA(length + 1, buffer), length);
    CHECK_EQ(Bytes(buffer, length + 1), temp + '\0');
}

// GetWindowsDirectoryA: the folder without a closing backslash (it is not a drive's root) and its
// length; the size needed, NUL included, for no buffer or one too small, the buffer left alone.
CONTRACT_CASE(Files, WindowsDirectory) {
    const UINT needed = plat::GetWindowsDirectoryA(nullptr, 0);
    REQUIRE(needed > 4 && needed <= MAX_PATH);

    char buffer[MAX_PATH + 1];
    for (UINT capacity : {1u, needed - 1}) {
        CONTEXT("a buffer of " + std::to_string(capacity) + " bytes");
        std::memset(buffer, 'x', sizeof buffer);
        CHECK_EQ(plat::GetWindowsDirectoryA(buffer, capacity), needed);
        CHECK_EQ(Bytes(buffer, sizeof buffer), std::string(sizeof buffer, 'x'));
    }

    std::memset(buffer, 'x', sizeof buffer);
    const UINT length = plat::GetWindowsDirectoryA(buffer, needed);
    CHECK_EQ(length, needed - 1);
    REQUIRE_EQ(std::strlen(buffer), needed - 1);
    CHECK_EQ(Bytes(buffer + 1, 1), ":");
    CHECK(buffer[length - 1] != '\\');
    CHECK(IsFolder(buffer));
}

// DeleteFileA deletes a file named in any letter case; a missing file gives 2, a file below a
// missing folder 3, and a folder 5 (the folder stays).
CONTRACT_CASE(Files, DeleteFile) {
    ScratchFolder folder("DeleteFile");
    REQUIRE(WriteWhole(folder / "Mixed.Txt", "x"));

    struct Row {
        const char* what;
        std::string path;
        DWORD status;
    };
    const Row rows[] = {
        {"a missing file", folder / "missing.txt", ERROR_FILE_NOT_FOUND},
        {"a file below a missing folder", folder / "no folder\\file.txt", ERROR_PATH_NOT_FOUND},
        {"a folder", folder.path(), ERROR_ACCESS_DENIED},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        CHECK_EQ(plat::DeleteFileA(row.path.c_str()), FALSE);
        CHECK_EQ(plat::GetLastError(), row.status);
    }
    CHECK(IsFolder(folder.path()));

    CHECK_EQ(plat::DeleteFileA((folder / "mIXED.tXT").c_str()), TRUE);
    CHECK_EQ(MissingStatus(folder / "Mixed.Txt"), ERROR_FILE_NOT_FOUND);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::DeleteFileA((folder / "Mixed.Txt").c_str()), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_FILE_NOT_FOUND);
}

// RemoveDirectoryA removes an empty folder named in any letter case; a folder that still holds a
// file gives 145 and stays, a missing folder 2, a folder below a missing one 3, a file 267.
CONTRACT_CASE(Files, RemoveDirectory) {
    ScratchFolder folder("RemoveDirectory");
    REQUIRE(contract::MakeEmptyFolder(folder / "Empty"));
    REQUIRE(contract::MakeEmptyFolder(folder / "Full"));
    REQUIRE(WriteWhole(folder / "Full\\kept.ds", "x"));
    REQUIRE(WriteWhole(folder / "file.txt", "x"));

    struct Row {
        const char* what;
        std::string path;
        DWORD status;
    };
    const Row rows[] = {
        {"a folder that holds a file", folder / "Full", ERROR_DIR_NOT_EMPTY},
        {"a missing folder", folder / "missing", ERROR_FILE_NOT_FOUND},
        {"a folder below a missing one", folder / "missing\\sub", ERROR_PATH_NOT_FOUND},
        {"a file", folder / "file.txt", ERROR_DIRECTORY},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        CHECK_EQ(plat::RemoveDirectoryA(row.path.c_str()), FALSE);
        CHECK_EQ(plat::GetLastError(), row.status);
    }
    CHECK(IsFolder(folder / "Full"));
    CHECK_EQ(ReadWhole(folder / "Full\\kept.ds"), "x");

    CHECK_EQ(plat::RemoveDirectoryA((folder / "eMPTY").c_str()), TRUE);
    CHECK_EQ(MissingStatus(folder / "Empty"), ERROR_FILE_NOT_FOUND);
    // Emptied, the other folder goes too.
    CHECK_EQ(plat::DeleteFileA((folder / "Full\\kept.ds").c_str()), TRUE);
    CHECK_EQ(plat::RemoveDirectoryA((folder / "Full").c_str()), TRUE);
}

// MoveFileA onto an existing file refuses with 183 and changes neither file; MoveFileExA with
// MOVEFILE_REPLACE_EXISTING replaces it; a move onto the file itself succeeds; a move to a new
// name takes the content along and leaves nothing behind.
CONTRACT_CASE(Files, MoveFile) {
    ScratchFolder folder("MoveFile");
    const std::string a = folder / "a.log";
    const std::string b = folder / "b.log";
    REQUIRE(WriteWhole(a, "alpha"));
    REQUIRE(WriteWhole(b, "beta"));

    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::MoveFileA(a.c_str(), b.c_str()), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_ALREADY_EXISTS);
    CHECK_EQ(ReadWhole(a), "alpha");
    CHECK_EQ(ReadWhole(b), "beta");

    CHECK_EQ(plat::MoveFileA(a.c_str(), a.c_str()), TRUE);
    CHECK_EQ(ReadWhole(a), "alpha");

    CHECK_EQ(plat::MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING), TRUE);
    CHECK_EQ(ReadWhole(b), "alpha");
    CHECK_EQ(MissingStatus(a), ERROR_FILE_NOT_FOUND);

    const std::string c = folder / "c.log";
    CHECK_EQ(plat::MoveFileA(b.c_str(), c.c_str()), TRUE);
    CHECK_EQ(ReadWhole(c), "alpha");
    CHECK_EQ(MissingStatus(b), ERROR_FILE_NOT_FOUND);
}

// A file open in a stream (which _SH_DENYNO opens sharing reading and writing, not deletion)
// can be neither deleted nor moved away while the stream is open: 32, and the file stays as it
// was. Once the stream is closed, both work.
CONTRACT_CASE(Files, OpenStreamHoldsItsFile) {
    ScratchFolder folder("OpenStream");
    const std::string log = folder / "log.txt";
    const std::string moved = folder / "moved.txt";
    ScopedStream stream(plat::_fsopen(log.c_str(), "a+b", _SH_DENYNO));
    REQUIRE(stream);
    CHECK_EQ(plat::fwrite("kept", 1, 4, stream.get()), 4u);
    CHECK_EQ(plat::fflush(stream.get()), 0);

    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::DeleteFileA(log.c_str()), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_SHARING_VIOLATION);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::MoveFileA(log.c_str(), moved.c_str()), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_SHARING_VIOLATION);
    CHECK_EQ(ReadWhole(log), "kept");
    CHECK_EQ(MissingStatus(moved), ERROR_FILE_NOT_FOUND);

    stream.reset();
    CHECK_EQ(plat::MoveFileA(log.c_str(), moved.c_str()), TRUE);
    CHECK_EQ(plat::DeleteFileA(moved.c_str()), TRUE);
}

// GetFileAttributesA tells folders from files (names in any letter case); a missing file gives
// INVALID_FILE_ATTRIBUTES with 2, a path through a missing folder with 3.
CONTRACT_CASE(Files, FileAttributes) {
    ScratchFolder folder("FileAttributes");
    REQUIRE(WriteWhole(folder / "file.txt", "x"));

    struct Row {
        const char* what;
        std::string path;
        bool folder;
    };
    const Row present[] = {
        {"the scratch folder", folder.path(), true},
        {"a file", folder / "file.txt", false},
        {"a file named in other letters", folder / "FILE.TXT", false},
    };
    for (const Row& row : present) {
        CONTEXT(row.what);
        const DWORD attributes = plat::GetFileAttributesA(row.path.c_str());
        REQUIRE(attributes != INVALID_FILE_ATTRIBUTES);
        CHECK_EQ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0, row.folder);
    }

    struct Missing {
        const char* what;
        std::string path;
        DWORD status;
    };
    const Missing missing[] = {
        {"a missing file", folder / "missing.txt", ERROR_FILE_NOT_FOUND},
        {"a file below a missing folder", folder / "no folder\\file.txt", ERROR_PATH_NOT_FOUND},
    };
    for (const Missing& row : missing) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        CHECK_EQ(plat::GetFileAttributesA(row.path.c_str()), INVALID_FILE_ATTRIBUTES);
        CHECK_EQ(plat::GetLastError(), row.status);
    }
}

// The streams of the logger's rotation: "wb" creates or empties a file; "r+b" reads and writes
// in place from the start of an existing file; ftell counts bytes, buffered ones included; fseek
// from the end reaches the last bytes; fread answers what was there.
CONTRACT_CASE(Files, WriteAndUpdateStreams) {
    ScratchFolder folder("UpdateStreams");
    const std::string path = folder / "log.txt";

    FILE* out = plat::_fsopen(path.c_str(), "wb", _SH_DENYNO);
    REQUIRE(out != nullptr);
    CHECK_EQ(plat::fwrite("hello world", 1, 11, out), 11u);
    CHECK_EQ(plat::ftell(out), 11);
    CHECK_EQ(plat::fflush(out), 0);
    CHECK_EQ(plat::fclose(out), 0);
    CHECK_EQ(ReadWhole(path), "hello world");

    out = plat::_fsopen(path.c_str(), "wb", _SH_DENYNO);
    REQUIRE(out != nullptr);
    CHECK_EQ(plat::ftell(out), 0);
    CHECK_EQ(plat::fclose(out), 0);
    CHECK_EQ(ReadWhole(path), "");

    REQUIRE(WriteWhole(path, "hello world"));
    FILE* update = plat::_fsopen(path.c_str(), "r+b", _SH_DENYNO);
    REQUIRE(update != nullptr);
    char buffer[8] = {};
    CHECK_EQ(plat::fread(buffer, 1, 5, update), 5u);
    CHECK_EQ(Bytes(buffer, 5), "hello");
    CHECK_EQ(plat::ftell(update), 5);
    CHECK_EQ(plat::fseek(update, 0, SEEK_CUR), 0);  // from reading to writing
    CHECK_EQ(plat::fwrite("_", 1, 1, update), 1u);
    CHECK_EQ(plat::ftell(update), 6);
    CHECK_EQ(plat::fseek(update, -2, SEEK_END), 0);
    CHECK_EQ(plat::fread(buffer, 1, sizeof buffer, update), 2u);
    CHECK_EQ(Bytes(buffer, 2), "ld");
    CHECK_EQ(plat::ftell(update), 11);
    CHECK_EQ(plat::fread(buffer, 1, sizeof buffer, update), 0u);
    CHECK_EQ(plat::fseek(update, 0, SEEK_END), 0);
    CHECK_EQ(plat::fwrite("!", 1, 1, update), 1u);
    CHECK_EQ(plat::fclose(update), 0);
    CHECK_EQ(ReadWhole(path), "hello_world!");
}

// A stream that cannot open answers NULL with errno ENOENT, for a missing file as for a missing
// folder on the way; "r+b" never creates the file.
CONTRACT_CASE(Files, StreamsThatDoNotOpen) {
    ScratchFolder folder("StreamsNotOpen");
    struct Row {
        const char* what;
        std::string path;
        const char* mode;
    };
    const Row rows[] = {
        {"r+b of a missing file", folder / "missing.log", "r+b"},
        {"rb of a missing file", folder / "missing.log", "rb"},
        {"wb below a missing folder", folder / "no folder\\new.log", "wb"},
        {"a+b below a missing folder", folder / "no folder\\new.log", "a+b"},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        errno = 0;
        FILE* stream = plat::_fsopen(row.path.c_str(), row.mode, _SH_DENYNO);
        CHECK(stream == nullptr);
        CHECK_EQ(errno, ENOENT);
        if (stream) plat::fclose(stream);
    }
    CHECK_EQ(MissingStatus(folder / "missing.log"), ERROR_FILE_NOT_FOUND);
}

// "a+b" creates a missing file, starts at the beginning (no I/O has happened yet), reads from
// wherever it was moved, and writes at the end whatever the position.
CONTRACT_CASE(Files, AppendStreamAlwaysAppends) {
    ScratchFolder folder("AppendStream");
    const std::string path = folder / "log.txt";

    FILE* created = plat::_fsopen(path.c_str(), "a+b", _SH_DENYNO);
    REQUIRE(created != nullptr);
    CHECK_EQ(plat::fwrite("abc", 1, 3, created), 3u);
    CHECK_EQ(plat::fclose(created), 0);
    CHECK_EQ(ReadWhole(path), "abc");

    FILE* log = plat::_fsopen(path.c_str(), "a+b", _SH_DENYNO);
    REQUIRE(log != nullptr);
    CHECK_EQ(plat::ftell(log), 0);
    char c = 0;
    CHECK_EQ(plat::fread(&c, 1, 1, log), 1u);
    CHECK_EQ(Bytes(&c, 1), "a");
    CHECK_EQ(plat::fseek(log, 0, SEEK_SET), 0);
    CHECK_EQ(plat::fwrite("XY", 1, 2, log), 2u);
    CHECK_EQ(plat::fflush(log), 0);
    CHECK_EQ(plat::ftell(log), 5);
    CHECK_EQ(plat::fseek(log, 1, SEEK_SET), 0);
    CHECK_EQ(plat::fwrite("Z", 1, 1, log), 1u);
    CHECK_EQ(plat::fflush(log), 0);
    CHECK_EQ(plat::fseek(log, 0, SEEK_END), 0);
    CHECK_EQ(plat::ftell(log), 6);
    CHECK_EQ(plat::fclose(log), 0);
    CHECK_EQ(ReadWhole(path), "abcXYZ");
}

// With _SH_DENYNO a log may be open in several "a+b" streams at once (several processes write
// the same log): every flushed write lands at the end, none overwrites another, and a reader sees
// them all meanwhile.
CONTRACT_CASE(Files, SharedAppendStreams) {
    ScratchFolder folder("SharedAppend");
    const std::string path = folder / "log.txt";
    ScopedStream first(plat::_fsopen(path.c_str(), "a+b", _SH_DENYNO));
    ScopedStream second(plat::_fsopen(path.c_str(), "a+b", _SH_DENYNO));
    REQUIRE(first && second);

    struct Row {
        FILE* stream;
        const char* text;
    };
    const Row writes[] = {{first.get(), "one "}, {second.get(), "two "}, {first.get(), "three"}};
    for (const Row& row : writes) {
        CONTEXT(row.text);
        const size_t size = std::strlen(row.text);
        CHECK_EQ(plat::fwrite(row.text, 1, size, row.stream), size);
        CHECK_EQ(plat::fflush(row.stream), 0);
    }
    CHECK_EQ(ReadWhole(path), "one two three");
}

namespace {

// A drive letter no drive has (the mask's bit 0 is A:), or 0 when every letter is taken.
char UnmappedLetter() {
    const DWORD mask = plat::GetLogicalDrives();
    for (char letter = 'Y'; letter >= 'D'; --letter)
        if (!(mask & (1u << (letter - 'A')))) return letter;
    return 0;
}

std::string WindowsFolder() {
    char buffer[MAX_PATH + 1] = {};
    const UINT length = plat::GetWindowsDirectoryA(buffer, sizeof buffer);
    return std::string(buffer, length < sizeof buffer ? length : 0);
}

// The names a search finds, sorted and comma-separated (the order of a listing is the file
// system's: NTFS sorts, other file systems need not), or "<error N>" when it finds none.
std::string Search(const std::string& pattern) {
    WIN32_FIND_DATAA data;
    plat::SetLastError(kSentinelError);
    HANDLE find = plat::FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return "<error " + std::to_string(plat::GetLastError()) + ">";
    std::vector<std::string> names;
    do names.emplace_back(data.cFileName);
    while (plat::FindNextFileA(find, &data));
    CHECK_EQ(plat::GetLastError(), ERROR_NO_MORE_FILES);
    CHECK_EQ(plat::FindClose(find), TRUE);
    std::sort(names.begin(), names.end());
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ",") + name;
    return list;
}

}  // namespace

// GetLogicalDrives has a bit per drive, bit 0 for A:, C: among them; GetDriveTypeA gives every
// drive's root a type and every other letter 1 (no root directory). The root may be written in
// either letter case and without its backslash; a bare letter is no root (1), and NULL is the
// current directory's drive.
CONTRACT_CASE(Files, LogicalDrivesAndTheirTypes) {
    const DWORD mask = plat::GetLogicalDrives();
    CHECK((mask & (1u << ('C' - 'A'))) != 0);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        CONTEXT(root);
        const UINT type = plat::GetDriveTypeA(root.c_str());
        if (mask & (1u << (letter - 'A')))
            CHECK(type != DRIVE_NO_ROOT_DIR && type != DRIVE_UNKNOWN);
        else
            CHECK_EQ(type, DRIVE_NO_ROOT_DIR);
    }
    CHECK_EQ(plat::GetDriveTypeA("C:\\"), DRIVE_FIXED);
    CHECK_EQ(plat::GetDriveTypeA("c:\\"), DRIVE_FIXED);
    CHECK_EQ(plat::GetDriveTypeA("C:"), DRIVE_FIXED);
    CHECK_EQ(plat::GetDriveTypeA("C"), DRIVE_NO_ROOT_DIR);
    const UINT current = plat::GetDriveTypeA(nullptr);
    CHECK(current != DRIVE_NO_ROOT_DIR && current != DRIVE_UNKNOWN);
}

// GetVolumeInformationA on C: names an NTFS volume (names up to 255 characters, their case kept);
// NULL is the current drive's root. Only a drive's root names a volume: a folder with its closing
// backslash gives 144, without it (or a bare letter) 123; a letter no drive has 3. A buffer too
// small for the file system's name gives 24.
CONTRACT_CASE(Files, VolumeInformation) {
    char label[MAX_PATH + 1] = {};
    char file_system[MAX_PATH + 1] = {};
    DWORD serial = 0, max_component = 0, flags = 0;
    REQUIRE_EQ(plat::GetVolumeInformationA("C:\\", label, sizeof label, &serial, &max_component, &flags, file_system,
                                           sizeof file_system),
               TRUE);
    CHECK_EQ(std::string(file_system), "NTFS");
    CHECK_EQ(max_component, 255u);
    CHECK((flags & FILE_CASE_PRESERVED_NAMES) != 0);
    CHECK((flags & FILE_READ_ONLY_VOLUME) == 0);
    CHECK_EQ(plat::GetVolumeInformationA(nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr, 0), TRUE);

    const std::string windows = WindowsFolder();
    REQUIRE(windows.size() > 3);
    struct Row {
        const char* what;
        std::string root;
        DWORD error;
    };
    std::vector<Row> rows = {
        {"a folder with its backslash", windows + "\\", ERROR_DIR_NOT_ROOT},
        {"a folder without it", windows, ERROR_INVALID_NAME},
        {"a bare letter", "C", ERROR_INVALID_NAME},
    };
    if (const char letter = UnmappedLetter()) rows.push_back({"a letter no drive has", std::string(1, letter) + ":\\", ERROR_PATH_NOT_FOUND});
    for (const Row& row : rows) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        CHECK_EQ(plat::GetVolumeInformationA(row.root.c_str(), label, sizeof label, &serial, &max_component, &flags,
                                             file_system, sizeof file_system),
                 FALSE);
        CHECK_EQ(plat::GetLastError(), row.error);
    }

    char small[4] = {};
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::GetVolumeInformationA("C:\\", nullptr, 0, nullptr, nullptr, nullptr, small, sizeof small), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_BAD_LENGTH);
}

// FindFirstFileA and FindNextFileA match names without regard to case, with Windows' wildcards:
// the mask is rewritten into the file system's DOS wildcards, so a '?' also matches nothing before
// a dot or at the end, and "*." finds the names without an extension; "." and ".." come with the
// folder's own listing. Without a wildcard the name is
// looked up as written, trailing dots dropped, and comes back as it is on disk. (Every name here
// is a valid 8.3 name, so that no short name takes part in the match.)
CONTRACT_CASE(Files, SearchWithWildcards) {
    ScratchFolder folder("Search");
    for (const char* name : {"a.txt", "B.TXT", "readme", "ab", "abc.t", "setup.exe", "x.tgz"}) REQUIRE(WriteWhole(folder / name, "x"));
    REQUIRE(contract::MakeEmptyFolder(folder / "sub"));

    struct Row {
        const char* pattern;
        const char* found;
        bool wine_differs;  // Wine 8 does not rewrite the mask into DOS wildcards
    };
    const Row rows[] = {
        {"*", ".,..,B.TXT,a.txt,ab,abc.t,readme,setup.exe,sub,x.tgz", false},
        {"*.*", ".,..,B.TXT,a.txt,ab,abc.t,readme,setup.exe,sub,x.tgz", false},
        {"*.txt", "B.TXT,a.txt", false},
        {"*.t", "abc.t", false},
        {"*.t*", "B.TXT,a.txt,abc.t,x.tgz", false},
        {"*b*", "B.TXT,ab,abc.t,sub", false},
        {"?.txt", "B.TXT,a.txt", false},
        {"a?", "ab", false},
        {"x.*", "x.tgz", false},
        {"SETUP.EXE", "setup.exe", false},
        {"readme.", "readme", false},
        {"nomatch*", "<error 2>", false},
        {"missing.txt", "<error 2>", false},
        {"?", ".,..", true},
        {"??", ".,..,ab", true},
        {"a??", "ab", true},
        {"???.txt", "B.TXT,a.txt", true},
        {"*.", ".,..,ab,readme,sub", true},
    };
    for (const Row& row : rows) {
        CONTEXT(row.pattern);
        if (!row.wine_differs) {
            CHECK_EQ(Search(folder / row.pattern), row.found);
            continue;
        }
        KNOWN_DIFFERENCE(Wine, "Wine 8 matches '?' as exactly one character and a closing '.' as nothing") {
            CHECK_EQ(Search(folder / row.pattern), row.found);
        }
    }

    WIN32_FIND_DATAA data;
    HANDLE find = plat::FindFirstFileA((folder / "SUB").c_str(), &data);
    REQUIRE(find != INVALID_HANDLE_VALUE);
    CHECK_EQ(std::string(data.cFileName), "sub");
    CHECK((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    CHECK_EQ(plat::FindClose(find), TRUE);
    find = plat::FindFirstFileA((folder / "Setup.Exe").c_str(), &data);
    REQUIRE(find != INVALID_HANDLE_VALUE);
    CHECK_EQ(std::string(data.cFileName), "setup.exe");
    CHECK((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0);
    CHECK_EQ(data.nFileSizeLow, 1u);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::FindNextFileA(find, &data), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_NO_MORE_FILES);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::FindNextFileA(find, &data), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_NO_MORE_FILES);
    CHECK_EQ(plat::FindClose(find), TRUE);
}

// A search fails with 2 when its folder exists (a path ending in a backslash names no file), with
// 3 when a folder on the way is missing or the letter has no drive. A drive's root lists neither
// "." nor "..". FindClose takes search handles only (6).
CONTRACT_CASE(Files, SearchesThatFindNothing) {
    ScratchFolder folder("SearchNothing");
    struct Row {
        const char* what;
        std::string pattern;
        DWORD error;
    };
    std::vector<Row> rows = {
        {"an existing folder with a closing backslash", folder.path() + "\\", ERROR_FILE_NOT_FOUND},
        {"the root with its backslash", "C:\\", ERROR_FILE_NOT_FOUND},
        {"nothing matches", folder / "*.zzz", ERROR_FILE_NOT_FOUND},
        {"a file below a missing folder", folder / "no folder\\x.txt", ERROR_PATH_NOT_FOUND},
        {"a pattern below a missing folder", folder / "no folder\\*.*", ERROR_PATH_NOT_FOUND},
    };
    if (const char letter = UnmappedLetter()) rows.push_back({"a letter no drive has", std::string(1, letter) + ":\\*", ERROR_PATH_NOT_FOUND});
    for (const Row& row : rows) {
        CONTEXT(row.what);
        CHECK_EQ(Search(row.pattern), "<error " + std::to_string(row.error) + ">");
    }
    KNOWN_DIFFERENCE(Wine, "Wine gives 2 for a missing folder with a closing backslash") {
        CHECK_EQ(Search(folder / "no folder\\"), "<error 3>");
    }

    const std::string root = Search("C:\\*");
    CHECK(root.find("<error") == std::string::npos);
    CHECK(root.compare(0, 2, ".,") != 0 && root.find("..") == std::string::npos);

    for (HANDLE h : {INVALID_HANDLE_VALUE, static_cast<HANDLE>(nullptr)}) {
        plat::SetLastError(kSentinelError);
        CHECK_EQ(plat::FindClose(h), FALSE);
        CHECK_EQ(plat::GetLastError(), ERROR_INVALID_HANDLE);
    }
}

namespace {

using plat::ScopedHandle;

// Opened as the logs are: a symbolic link or junction as itself, not followed.
constexpr DWORD kAsItself = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
constexpr DWORD kReadWrite = GENERIC_READ | GENERIC_WRITE;
constexpr DWORD kShareReadWrite = FILE_SHARE_READ | FILE_SHARE_WRITE;

HANDLE Open(const std::string& path, DWORD disposition, DWORD access = kReadWrite, DWORD share = kShareReadWrite,
            DWORD flags = kAsItself) {
    return plat::CreateFileA(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

// What GetFileInformationByHandle answers; all zero when it fails (a failed check says so).
BY_HANDLE_FILE_INFORMATION InfoOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    CHECK_EQ(plat::GetFileInformationByHandle(file, &info), TRUE);
    return info;
}

// A stream that appends through a file handle; the stream owns the handle from then on.
ScopedStream StreamOn(HANDLE file) {
    const int fd = plat::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND);
    if (fd == -1) return ScopedStream();
    ScopedStream stream(plat::_fdopen(fd, "a+b"));
    if (!stream) plat::_close(fd);
    return stream;
}

// Everything a stream reads from the start of its file.
std::string ReadFromStart(FILE* stream) {
    std::string bytes;
    if (plat::fseek(stream, 0, SEEK_SET) != 0) return "<does not seek>";
    char buffer[256];
    size_t n;
    while ((n = plat::fread(buffer, 1, sizeof buffer, stream)) > 0) bytes.append(buffer, n);
    return bytes;
}

// How SetFileInformationByHandle is reached: the call, or the native form the co-installer uses
// on systems whose kernel32 lacks it.
using SetInformation = BOOL (*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
struct Setter {
    const char* what;
    SetInformation set;
};
const Setter kSetters[] = {
    {"SetFileInformationByHandle", &plat::SetFileInformationByHandle},
    {"its native form, as on the oldest systems", &contract::SetFileInformationAsOnOlderSystems},
};

// Renames an open file to a full path, given in the native form ("\??\" and the path).
BOOL RenameTo(const Setter& setter, HANDLE file, const std::string& path, bool replace) {
    const std::string native = "\\??\\" + path;
    const int units = plat::MultiByteToWideChar(CP_ACP, 0, native.c_str(), static_cast<int>(native.size()), nullptr, 0);
    const size_t size = offsetof(FILE_RENAME_INFO, FileName) + (static_cast<size_t>(units) + 1) * sizeof(WCHAR);
    std::vector<ULONG_PTR> storage(size / sizeof(ULONG_PTR) + 1, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(storage.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(units) * sizeof(WCHAR);
    plat::MultiByteToWideChar(CP_ACP, 0, native.c_str(), static_cast<int>(native.size()), info->FileName, units);
    return setter.set(file, FileRenameInfo, info, static_cast<DWORD>(size));
}

}  // namespace

// CreateFileA by its dispositions: OPEN_ALWAYS and CREATE_ALWAYS tell with 183 that the file was
// there (and 0 that they made it), CREATE_NEW refuses an existing file with 80, OPEN_EXISTING a
// missing one with 2; CREATE_ALWAYS empties the file, the others keep its bytes. A folder does not
// open as a file (5), nor a file below a missing folder (3). A new file has one name and no mark
// of a folder or a reparse point.
CONTRACT_CASE(Files, CreateFileDispositions) {
    ScratchFolder folder("CreateFile");
    for (const char* name : {"kept.log", "refused.log", "opened.log", "emptied.log"}) REQUIRE(WriteWhole(folder / name, "kept"));

    struct Row {
        const char* what;
        std::string path;
        DWORD disposition;
        DWORD error;       // the last error afterwards: the failure's, or what a success tells
        const char* after; // the file's bytes afterwards
    };
    const Row rows[] = {
        {"OPEN_ALWAYS of a missing file", folder / "made.log", OPEN_ALWAYS, ERROR_SUCCESS, ""},
        {"OPEN_ALWAYS of a file", folder / "kept.log", OPEN_ALWAYS, ERROR_ALREADY_EXISTS, "kept"},
        {"CREATE_NEW of a missing file", folder / "new.log", CREATE_NEW, ERROR_SUCCESS, ""},
        {"CREATE_NEW of a file", folder / "refused.log", CREATE_NEW, ERROR_FILE_EXISTS, "kept"},
        {"OPEN_EXISTING of a file", folder / "opened.log", OPEN_EXISTING, ERROR_SUCCESS, "kept"},
        {"OPEN_EXISTING of a missing file", folder / "missing.log", OPEN_EXISTING, ERROR_FILE_NOT_FOUND, "<does not open>"},
        {"CREATE_ALWAYS of a file", folder / "emptied.log", CREATE_ALWAYS, ERROR_ALREADY_EXISTS, ""},
        {"a folder", folder.path(), OPEN_ALWAYS, ERROR_ACCESS_DENIED, "<does not open>"},
        {"a file below a missing folder", folder / "no folder\\x.log", OPEN_ALWAYS, ERROR_PATH_NOT_FOUND, "<does not open>"},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        ScopedHandle file(Open(row.path, row.disposition));
        CHECK_EQ(plat::GetLastError(), row.error);
        const bool opens = row.error == ERROR_SUCCESS || row.error == ERROR_ALREADY_EXISTS;
        CHECK_EQ(static_cast<bool>(file), opens);
        if (file) {
            const BY_HANDLE_FILE_INFORMATION info = InfoOf(file.get());
            CHECK_EQ(info.nNumberOfLinks, 1u);
            CHECK_EQ(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT), 0u);
            CHECK_EQ(info.nFileSizeLow, std::strlen(row.after));
            file.reset();
        }
        CHECK_EQ(ReadWhole(row.path), row.after);
    }
    CHECK(IsFolder(folder.path()));
}

// A hard link is one file under two names: opened by either name it has two links, the same file
// index and the same bytes; opening it changes nothing. Deleting one name leaves the file under the
// other, back to one link. A handle holds the file, not a name: while one is open under one name,
// the other name cannot be deleted (32).
CONTRACT_CASE(Files, HardLinkIsOneFileUnderTwoNames) {
    ScratchFolder folder("HardLink");
    const std::string original = folder / "original.ini";
    const std::string link = folder / "_coInst.log";
    REQUIRE(WriteWhole(original, "victim"));
    contract::PlantHardLink(link, original);

    DWORD index[2] = {};
    int i = 0;
    for (const std::string& name : {original, link}) {
        CONTEXT(name);
        ScopedHandle file(Open(name, OPEN_ALWAYS));
        REQUIRE(file);
        const BY_HANDLE_FILE_INFORMATION info = InfoOf(file.get());
        CHECK_EQ(info.nNumberOfLinks, 2u);
        CHECK_EQ(info.nFileSizeLow, 6u);
        CHECK_EQ(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT), 0u);
        index[i++] = info.nFileIndexLow;
    }
    CHECK_EQ(index[0], index[1]);
    CHECK_EQ(ReadWhole(link), "victim");

    {
        ScopedHandle held(Open(original, OPEN_EXISTING));
        REQUIRE(held);
        plat::SetLastError(kSentinelError);
        CHECK_EQ(plat::DeleteFileA(link.c_str()), FALSE);
        CHECK_EQ(plat::GetLastError(), ERROR_SHARING_VIOLATION);
    }
    CHECK_EQ(plat::DeleteFileA(link.c_str()), TRUE);
    CHECK_EQ(MissingStatus(link), ERROR_FILE_NOT_FOUND);
    CHECK_EQ(ReadWhole(original), "victim");
    ScopedHandle file(Open(original, OPEN_EXISTING));
    REQUIRE(file);
    CHECK_EQ(InfoOf(file.get()).nNumberOfLinks, 1u);
}

// A symbolic link carries a reparse point: to a file it is a file, to a folder a folder. Opened
// with FILE_FLAG_OPEN_REPARSE_POINT it is the link itself (never what it leads to, which a link to
// nothing does not create); without the flag it is followed. A link to a folder does not open as a
// file (5). DeleteFileA deletes a link to a file, RemoveDirectoryA a link to a folder, however full
// the folder: what they led to stays.
CONTRACT_CASE(Files, SymbolicLinkOpensAsItself) {
    ScratchFolder folder("SymbolicLink");
    const std::string target = folder / "target.ini";
    const std::string target_folder = folder / "TargetFolder";
    REQUIRE(WriteWhole(target, "victim"));
    REQUIRE(contract::MakeEmptyFolder(target_folder));
    REQUIRE(WriteWhole(target_folder + "\\inside.ini", "inside"));
    const std::string file_link = folder / "file.log";
    const std::string nowhere_link = folder / "nowhere.log";
    const std::string folder_link = folder / "folder.log";

    KNOWN_DIFFERENCE(Wine, "Wine 8 makes no symbolic link: CreateSymbolicLinkA answers success without one") {
        const bool made = contract::PlantSymbolicLink(file_link, target, false) &&
                          contract::PlantSymbolicLink(nowhere_link, folder / "missing.ini", false) &&
                          contract::PlantSymbolicLink(folder_link, target_folder, true);
        if (CHECK(made)) {
            CHECK_EQ(plat::GetFileAttributesA(file_link.c_str()) & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY),
                     DWORD(FILE_ATTRIBUTE_REPARSE_POINT));
            CHECK_EQ(plat::GetFileAttributesA(folder_link.c_str()) & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY),
                     DWORD(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
            for (const std::string& link : {file_link, nowhere_link}) {
                CONTEXT(link);
                ScopedHandle file(Open(link, OPEN_ALWAYS));
                CHECK(file);
                if (file) CHECK((InfoOf(file.get()).dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
            }
            plat::SetLastError(kSentinelError);
            ScopedHandle folder_file(Open(folder_link, OPEN_ALWAYS));
            CHECK(!folder_file);
            CHECK_EQ(plat::GetLastError(), ERROR_ACCESS_DENIED);

            ScopedStream followed(StreamOn(Open(file_link, OPEN_EXISTING, GENERIC_READ, kShareReadWrite,
                                                FILE_ATTRIBUTE_NORMAL)));
            CHECK(followed);
            if (followed) CHECK_EQ(ReadFromStart(followed.get()), "victim");
            followed.reset();

            CHECK_EQ(plat::DeleteFileA(file_link.c_str()), TRUE);
            CHECK_EQ(plat::DeleteFileA(nowhere_link.c_str()), TRUE);
            plat::SetLastError(kSentinelError);
            CHECK_EQ(plat::DeleteFileA(folder_link.c_str()), FALSE);
            CHECK_EQ(plat::GetLastError(), ERROR_ACCESS_DENIED);
            CHECK_EQ(plat::RemoveDirectoryA(folder_link.c_str()), TRUE);
            for (const std::string& link : {file_link, nowhere_link, folder_link})
                CHECK_EQ(MissingStatus(link), ERROR_FILE_NOT_FOUND);
        }
    }
    CHECK_EQ(ReadWhole(target), "victim");
    CHECK_EQ(ReadWhole(target_folder + "\\inside.ini"), "inside");
    CHECK_EQ(MissingStatus(folder / "missing.ini"), ERROR_FILE_NOT_FOUND);
}

// A file open with DELETE access is renamed through its handle to a full path: it refuses to
// replace a file without ReplaceIfExists (183), and never replaces a folder or a file that is open
// elsewhere (5), whether the other handle shares deletion or not, or a C runtime stream holds it
// (only FileRenameInfoEx's POSIX semantics, which the co-installer does not use, replace an open
// file). Replacing a name that is a hard link takes the name only: the file it was a
// second name of keeps its bytes. The old name is gone and the handle writes on under the new one.
// Without DELETE access the handle renames nothing (5). The native form the co-installer uses on
// the oldest systems does the same.
CONTRACT_CASE(Files, RenameAnOpenFile) {
    int round = 0;
    for (const Setter& setter : kSetters) {
        CONTEXT(setter.what);
        ScratchFolder folder("Rename" + std::to_string(round++));
        const std::string victim = folder / "victim.ini";
        const std::string log = folder / "a.log";
        const std::string partner = folder / "a2.log";
        const std::string held = folder / "held.log";
        const std::string held_sharing_deletion = folder / "heldshared.log";
        const std::string held_by_stream = folder / "heldstream.log";
        REQUIRE(WriteWhole(victim, "victim"));
        contract::PlantHardLink(log, victim);
        for (const std::string& path : {held, held_sharing_deletion, held_by_stream}) REQUIRE(WriteWhole(path, "held"));
        REQUIRE(contract::MakeEmptyFolder(folder / "folder.log"));

        const HANDLE file = Open(partner, CREATE_NEW, kReadWrite | DELETE);
        ScopedStream stream(StreamOn(file));
        REQUIRE(stream);
        CHECK_EQ(plat::fwrite("partner", 1, 7, stream.get()), 7u);
        CHECK_EQ(plat::fflush(stream.get()), 0);

        struct Refused {
            const char* what;
            std::string to;
            bool replace;
            DWORD error;
        };
        const Refused refused[] = {
            {"an existing file without ReplaceIfExists", log, false, ERROR_ALREADY_EXISTS},
            {"a folder", folder / "folder.log", true, ERROR_ACCESS_DENIED},
            {"a file another handle holds without sharing deletion", held, true, ERROR_ACCESS_DENIED},
            {"a file another handle holds sharing deletion", held_sharing_deletion, true, ERROR_ACCESS_DENIED},
            {"a file a C runtime stream holds", held_by_stream, true, ERROR_ACCESS_DENIED},
        };
        {
            ScopedHandle holder(Open(held, OPEN_EXISTING));
            ScopedHandle sharing_holder(
                Open(held_sharing_deletion, OPEN_EXISTING, kReadWrite, kShareReadWrite | FILE_SHARE_DELETE));
            ScopedStream stream_holder(plat::_fsopen(held_by_stream.c_str(), "a+", _SH_DENYNO));
            REQUIRE(holder && sharing_holder && stream_holder);
            for (const Refused& row : refused) {
                CONTEXT(row.what);
                plat::SetLastError(kSentinelError);
                CHECK_EQ(RenameTo(setter, file, row.to, row.replace), FALSE);
                CHECK_EQ(plat::GetLastError(), row.error);
            }
        }
        CHECK(IsFolder(folder / "folder.log"));
        for (const std::string& path : {held, held_sharing_deletion, held_by_stream}) CHECK_EQ(ReadWhole(path), "held");
        CHECK_EQ(ReadWhole(log), "victim");

        CHECK_EQ(RenameTo(setter, file, log, true), TRUE);
        CHECK_EQ(MissingStatus(partner), ERROR_FILE_NOT_FOUND);
        CHECK_EQ(plat::fwrite("+more", 1, 5, stream.get()), 5u);
        CHECK_EQ(plat::fflush(stream.get()), 0);
        stream.reset();
        CHECK_EQ(ReadWhole(log), "partner+more");
        CHECK_EQ(ReadWhole(victim), "victim");

        ScopedHandle without_delete(Open(folder / "b.log", CREATE_NEW));
        REQUIRE(without_delete);
        KNOWN_DIFFERENCE(Wine, "Wine renames through a handle opened without DELETE access") {
            plat::SetLastError(kSentinelError);
            CHECK_EQ(RenameTo(setter, without_delete.get(), folder / "c.log", true), FALSE);
            CHECK_EQ(plat::GetLastError(), ERROR_ACCESS_DENIED);
        }
    }
}

// A file open with DELETE access, marked for deletion through its handle, is gone once the handle
// closes. Without DELETE access the mark is refused (5) and the file stays. The native form the
// co-installer uses on the oldest systems does the same.
CONTRACT_CASE(Files, DeleteAnOpenFileWhenItCloses) {
    int round = 0;
    for (const Setter& setter : kSetters) {
        CONTEXT(setter.what);
        ScratchFolder folder("DeleteOnClose" + std::to_string(round++));
        FILE_DISPOSITION_INFO remove = {TRUE};

        const std::string marked = folder / "marked.log";
        ScopedHandle file(Open(marked, CREATE_NEW, kReadWrite | DELETE));
        REQUIRE(file);
        CHECK_EQ(setter.set(file.get(), FileDispositionInfo, &remove, sizeof remove), TRUE);
        file.reset();
        CHECK_EQ(MissingStatus(marked), ERROR_FILE_NOT_FOUND);

        const std::string kept = folder / "kept.log";
        ScopedHandle without_delete(Open(kept, CREATE_NEW));
        REQUIRE(without_delete);
        plat::SetLastError(kSentinelError);
        CHECK_EQ(setter.set(without_delete.get(), FileDispositionInfo, &remove, sizeof remove), FALSE);
        CHECK_EQ(plat::GetLastError(), ERROR_ACCESS_DENIED);
        without_delete.reset();
        CHECK_EQ(ReadWhole(kept), "");
    }
}

// A stream made on a file handle (_open_osfhandle with _O_APPEND, then _fdopen "a+b") reads from
// wherever it was moved and writes at the end. It owns the handle: while it is open the file cannot
// be deleted (32), once it is closed it can. _close of the descriptor closes the handle too; a
// handle that is none gives no descriptor (-1).
CONTRACT_CASE(Files, StreamOnAFileHandle) {
    ScratchFolder folder("HandleStream");
    const std::string path = folder / "log.txt";
    REQUIRE(WriteWhole(path, "abc"));
    ScopedStream stream(StreamOn(Open(path, OPEN_ALWAYS)));
    REQUIRE(stream);
    CHECK_EQ(plat::fseek(stream.get(), 1, SEEK_SET), 0);
    char c = 0;
    CHECK_EQ(plat::fread(&c, 1, 1, stream.get()), 1u);
    CHECK_EQ(Bytes(&c, 1), "b");
    CHECK_EQ(plat::fseek(stream.get(), 0, SEEK_SET), 0);
    CHECK_EQ(plat::fwrite("XY", 1, 2, stream.get()), 2u);
    CHECK_EQ(plat::fflush(stream.get()), 0);
    CHECK_EQ(plat::fseek(stream.get(), 0, SEEK_END), 0);
    CHECK_EQ(plat::ftell(stream.get()), 5);
    CHECK_EQ(ReadFromStart(stream.get()), "abcXY");

    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::DeleteFileA(path.c_str()), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_SHARING_VIOLATION);
    stream.reset();
    CHECK_EQ(plat::DeleteFileA(path.c_str()), TRUE);

    const std::string other = folder / "other.txt";
    const HANDLE file = Open(other, CREATE_NEW);
    REQUIRE(file != INVALID_HANDLE_VALUE);
    const int fd = plat::_open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    REQUIRE(fd != -1);
    CHECK_EQ(plat::_close(fd), 0);
    CHECK_EQ(plat::DeleteFileA(other.c_str()), TRUE);

    CHECK_EQ(plat::_open_osfhandle(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE), 0), -1);
}

namespace {

// A stream made on a file handle that leaves the file position alone: the descriptor does not
// append and the stream is opened for update, so the C runtime writes wherever the position is.
// What lands where is then the handle's doing.
ScopedStream PositionedStreamOn(HANDLE file) {
    const int fd = plat::_open_osfhandle(reinterpret_cast<intptr_t>(file), 0);
    if (fd == -1) return ScopedStream();
    ScopedStream stream(plat::_fdopen(fd, "r+b"));
    if (!stream) plat::_close(fd);
    return stream;
}

// A handle that may read and append but not write data anywhere (as the logs are opened).
constexpr DWORD kAppendOnly = GENERIC_READ | FILE_APPEND_DATA | SYNCHRONIZE;

}  // namespace

// A handle that may append but not write data (FILE_APPEND_DATA without FILE_WRITE_DATA) writes
// at the end of the file whatever its position, which is at the end afterwards; reading works
// from anywhere. A handle that may write data writes where the position is, over what was there;
// one that may do neither writes nothing (the write or its flush fails).
CONTRACT_CASE(Files, AppendOnlyHandleWritesAtTheEnd) {
    ScratchFolder folder("AppendOnly");
    struct Row {
        const char* what;
        DWORD access;
        const char* after;  // the file's bytes after "XY" was written at position 0
        bool writes;
    };
    const Row rows[] = {
        {"a handle that may read and only append", kAppendOnly, "abcXY", true},
        {"a handle that may only append", FILE_APPEND_DATA | SYNCHRONIZE, "abcXY", true},
        {"a handle that may write", kReadWrite, "XYc", true},
        {"a handle that may only read", GENERIC_READ, "abc", false},
    };
    int round = 0;
    for (const Row& row : rows) {
        CONTEXT(row.what);
        const std::string path = folder / ("file" + std::to_string(round++) + ".txt");
        REQUIRE(WriteWhole(path, "abc"));
        ScopedStream stream(PositionedStreamOn(Open(path, OPEN_EXISTING, row.access)));
        REQUIRE(stream);
        CHECK_EQ(plat::fseek(stream.get(), 0, SEEK_SET), 0);
        const bool written = plat::fwrite("XY", 1, 2, stream.get()) == 2u && plat::fflush(stream.get()) == 0;
        CHECK_EQ(written, row.writes);
        if (row.access == kAppendOnly) {
            CHECK_EQ(plat::ftell(stream.get()), 5);
            CHECK_EQ(plat::fseek(stream.get(), 1, SEEK_SET), 0);
            char c = 0;
            CHECK_EQ(plat::fread(&c, 1, 1, stream.get()), 1u);
            CHECK_EQ(Bytes(&c, 1), "b");
        }
        stream.reset();
        CHECK_EQ(ReadWhole(path), row.after);
    }
}

// Two writers of one log (two processes' loggers) that each moved to the end and then write: the
// other's line may have landed in between, so each writes at an end that is no longer the end.
// Through handles that may only append, every line lands at the true end: all of both writers'
// lines are kept whole, in the order written.
CONTRACT_CASE(Files, TwoAppendOnlyWritersKeepEveryLine) {
    ScratchFolder folder("TwoWriters");
    const std::string path = folder / "log.txt";
    REQUIRE(WriteWhole(path, "old\r\n"));
    ScopedStream first(PositionedStreamOn(Open(path, OPEN_EXISTING, kAppendOnly)));
    ScopedStream second(PositionedStreamOn(Open(path, OPEN_EXISTING, kAppendOnly)));
    REQUIRE(first && second);
    std::string expected = "old\r\n";
    for (int i = 0; i < 3; ++i) {
        for (FILE* stream : {first.get(), second.get()}) {
            const std::string line = std::string(stream == first.get() ? "first " : "second ") + std::to_string(i) + "\r\n";
            CONTEXT(line);
            CHECK_EQ(plat::fseek(stream, 5, SEEK_SET), 0);  // the end both writers saw at first
            CHECK_EQ(plat::fwrite(line.data(), 1, line.size(), stream), line.size());
            CHECK_EQ(plat::fflush(stream), 0);
            expected += line;
        }
    }
    first.reset();
    second.reset();
    CHECK_EQ(ReadWhole(path), expected);
}

// Sharing: a file handle that shares reading and writing (not deletion) lets others read and write
// the file, through handles or streams, but keeps it from being deleted or moved away (32), from
// being replaced by a move (5), and from an opener that asks to delete it or will not share writing
// (32). A handle that may delete the file keeps out the C runtime's streams, which never share
// deletion (the open fails with EACCES).
CONTRACT_CASE(Files, FileHandlesShareAsOpened) {
    ScratchFolder folder("HandleSharing");
    const std::string path = folder / "log.txt";
    const std::string other = folder / "other.txt";
    REQUIRE(WriteWhole(path, "x"));
    REQUIRE(WriteWhole(other, "y"));
    ScopedHandle held(Open(path, OPEN_EXISTING));
    REQUIRE(held);

    struct Row {
        const char* what;
        DWORD access;
        DWORD share;
        bool opens;
    };
    const Row rows[] = {
        {"a handle that shares as much", kReadWrite, kShareReadWrite, true},
        {"a handle that asks to delete", kReadWrite | DELETE, kShareReadWrite, false},
        {"a handle that does not share writing", GENERIC_READ, FILE_SHARE_READ, false},
    };
    for (const Row& row : rows) {
        CONTEXT(row.what);
        plat::SetLastError(kSentinelError);
        ScopedHandle second(Open(path, OPEN_EXISTING, row.access, row.share));
        CHECK_EQ(static_cast<bool>(second), row.opens);
        if (!row.opens) CHECK_EQ(plat::GetLastError(), ERROR_SHARING_VIOLATION);
    }
    ScopedStream appender(plat::_fsopen(path.c_str(), "a+b", _SH_DENYNO));
    CHECK(appender);
    appender.reset();

    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::DeleteFileA(path.c_str()), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_SHARING_VIOLATION);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::MoveFileA(path.c_str(), (folder / "moved.txt").c_str()), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_SHARING_VIOLATION);
    plat::SetLastError(kSentinelError);
    CHECK_EQ(plat::MoveFileExA(other.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING), FALSE);
    CHECK_EQ(plat::GetLastError(), ERROR_ACCESS_DENIED);
    CHECK_EQ(ReadWhole(path), "x");
    CHECK_EQ(ReadWhole(other), "y");

    const std::string deletable = folder / "deletable.txt";
    ScopedHandle may_delete(Open(deletable, CREATE_NEW, kReadWrite | DELETE));
    REQUIRE(may_delete);
    errno = 0;
    ScopedStream refused(plat::_fsopen(deletable.c_str(), "a+b", _SH_DENYNO));
    CHECK(!refused);
    CHECK_EQ(errno, EACCES);
}

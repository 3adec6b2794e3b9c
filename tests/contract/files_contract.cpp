// The files family's contract: what Windows does with kernel32's path and file calls and with the
// C runtime streams the logs are written through, checked on the simulated machine and on Windows
// (Wine) alike. Portable: written against plat:: only; every case's files live in a scratch folder
// below the temporary folder.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/scoped.h"
#include "platform/system.h"
#include "tests/contract/check.h"
#include "tests/contract/scratch_folder.h"

namespace {

using contract::Bytes;
using contract::ScratchFolder;
using plat::ScopedStream;

constexpr DWORD kSentinelError = 0xDEADBEEF;

// Writes a whole file through a fresh "wb" stream.
bool WriteWhole(const std::string& path, const std::string& bytes) {
    ScopedStream out(plat::_fsopen(path.c_str(), "wb", _SH_DENYNO));
    if (!out) return false;
    return plat::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size();
}

// The bytes of a file, read through a fresh "rb" stream (which other open streams allow).
std::string ReadWhole(const std::string& path) {
    ScopedStream in(plat::_fsopen(path.c_str(), "rb", _SH_DENYNO));
    if (!in) return "<does not open>";
    std::string bytes;
    char buffer[256];
    size_t n;
    while ((n = plat::fread(buffer, 1, sizeof buffer, in.get())) > 0) bytes.append(buffer, n);
    return bytes;
}

bool IsFolder(const std::string& path) {
    const DWORD attributes = plat::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The status a missing path gives: 2 for a missing file, 3 when a folder on the way is missing.
DWORD MissingStatus(const std::string& path) {
    plat::SetLastError(kSentinelError);
    if (plat::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
    return plat::GetLastError();
}

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

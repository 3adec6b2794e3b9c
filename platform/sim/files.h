// The simulated files and drives: drive letters mapped to host folders (C: to a scratch folder
// holding Windows\, Windows\system32\, Windows\TWAIN_32\ and Windows\Temp\), names looked up
// without regard to case as Windows does, folders that the account may not write, the process's
// current directory, searches with Windows' wildcards, drive types and volumes, file handles with
// Windows' sharing rules (a handle that may append but not write data puts every write at the end;
// one that may do neither writes nothing), and the C runtime streams opened on those files or made
// on a handle.
// Hard links and symbolic links are the host's own: a second name of a file is a host hard link,
// and a symbolic link (to a file or a folder) a host symbolic link, which a handle opened with
// FILE_FLAG_OPEN_REPARSE_POINT opens as itself. Simulated machine only.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/sim/handles.h"
#include "platform/sim/system.h"

namespace plat::sim {

struct Drive {
    char letter = 'C';
    UINT type = DRIVE_FIXED;
    std::string label;
    DWORD serial = 0;
    std::filesystem::path folder;  // empty: a drive without a medium (an empty CD drive: not ready)
};

// What a name or a handle stands for on the host (a file, a folder or a link itself): two names of
// one file (hard links) have the same identity.
struct HostFileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const HostFileId&) const = default;
};

class SimFiles : public FilesBackend {
public:
    SimFiles(HandleTable& handles, SimSystem& system, std::filesystem::path c_drive_folder);

    void AddDrive(Drive drive);
    const std::map<char, Drive>& drives() const { return drives_; }
    // Marks a folder (and everything below it) as not writable by the account.
    void SetReadOnlyFolder(const std::string& windows_path) { read_only_.push_back(windows_path); }
    // The temporary folder GetTempPathA answers (with its closing backslash). A machine set up
    // with another one makes that folder as well.
    const std::string& temp_path() const { return temp_path_; }
    void SetTempPath(std::string windows_path) { temp_path_ = std::move(windows_path); }
    std::string windows_dir() const { return "C:\\Windows"; }
    std::string system_dir() const { return "C:\\Windows\\system32"; }

    // The current directory of the simulated process (that of the program hosting the library:
    // the system folder). Relative paths and drive-relative paths are resolved against it.
    const std::string& current_directory() const { return current_directory_; }
    void SetCurrentDirectory(std::string windows_path) { current_directory_ = std::move(windows_path); }
    // A path made absolute against the current directory, "." and ".." resolved, '/' read as '\';
    // a root keeps its backslash ("D:\"). Empty for an empty path.
    std::string FullPath(const std::string& windows_path) const;
    // The drive a path is on (absolute or not); nothing when its letter is not mapped.
    const Drive* DriveOf(const std::string& windows_path) const;
    // Whether a path names an existing folder or an existing file (a drive without a medium
    // holds neither).
    bool IsFolder(const std::string& windows_path) const;
    bool IsFile(const std::string& windows_path) const;
    // An existing file's or folder's absolute path with every name as it is on disk ("D:\setup.exe"
    // for "d:\SETUP.EXE"); nothing when it does not exist.
    std::optional<std::string> OnDiskPath(const std::string& windows_path) const;
    // Closes every stream, C runtime descriptor and file handle still open (the process ends).
    void CloseAllStreams();
    // Closes a file handle (CloseHandle reaches it here), deleting its file when it was marked for
    // deletion and no other handle holds the file; false when the value is no open file handle.
    bool CloseFileHandle(uintptr_t value);

    // Set-up: a second name of an existing file (a hard link), or a symbolic link to a file or a
    // folder, which need not exist. False when the link cannot be made (its name is taken, its
    // folder is missing, or the existing file is missing or a folder).
    bool AddHardLink(const std::string& link_path, const std::string& existing_path);
    bool AddSymbolicLink(const std::string& link_path, const std::string& target_path);
    // The bytes that fread has handed out from simulated files so far, for measuring what a
    // flow reads.
    uint64_t bytes_read() const { return bytes_read_; }

    // The host file a Windows path names, following existing names without regard to case;
    // nothing when the path is not on a mapped drive or its drive has no medium.
    std::optional<std::filesystem::path> HostPath(const std::string& windows_path) const;
    // Reads or writes a whole simulated file (set-up and reports).
    std::optional<std::string> ReadFile(const std::string& windows_path) const;
    // Reads a host file's bytes (links followed) into `bytes`, reusing its room; false when it is
    // not a file or cannot be read.
    static bool ReadHostFile(const std::filesystem::path& host, std::string& bytes);
    void WriteFile(const std::string& windows_path, const std::string& bytes);

    DWORD GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) override;
    UINT GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) override;
    BOOL DeleteFileA(LPCSTR lpFileName) override;
    BOOL RemoveDirectoryA(LPCSTR lpPathName) override;
    BOOL MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) override;
    BOOL MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) override;
    DWORD GetFileAttributesA(LPCSTR lpFileName) override;
    HANDLE FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) override;
    BOOL FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) override;
    BOOL FindClose(HANDLE hFindFile) override;
    DWORD GetLogicalDrives() override;
    UINT GetDriveTypeA(LPCSTR lpRootPathName) override;
    BOOL GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
                               LPDWORD lpVolumeSerialNumber, LPDWORD lpMaximumComponentLength,
                               LPDWORD lpFileSystemFlags, LPSTR lpFileSystemNameBuffer,
                               DWORD nFileSystemNameSize) override;
    HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                       LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                       DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) override;
    BOOL GetFileInformationByHandle(HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation) override;
    BOOL SetFileInformationByHandle(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                    LPVOID lpFileInformation, DWORD dwBufferSize) override;
    FILE* _fsopen(const char* filename, const char* mode, int shflag) override;
    int _open_osfhandle(intptr_t osfhandle, int flags) override;
    FILE* _fdopen(int fd, const char* mode) override;
    int _close(int fd) override;
    int fclose(FILE* stream) override;
    size_t fread(void* buffer, size_t size, size_t count, FILE* stream) override;
    size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream) override;
    int fflush(FILE* stream) override;
    int fseek(FILE* stream, long offset, int origin) override;
    long ftell(FILE* stream) override;

private:
    struct OpenFile;
    // A stream: the file it holds with its access and sharing (a stream from _fsopen), or the C
    // runtime descriptor it was made on (whose file handle holds the file).
    struct StreamFile {
        HostFileId id;
        DWORD access = 0;
        DWORD share = 0;
        int descriptor = -1;
    };
    // Who holds a file open, in the bits of Windows' sharing rules (FILE_SHARE_READ, _WRITE,
    // _DELETE for both what a holder does and what it lets others do).
    struct Holder {
        DWORD access = 0;
        DWORD share = 0;
    };

    bool IsReadOnly(const std::string& windows_path) const;
    bool KnownStream(FILE* stream) const;
    // Whether a stream was made on a file handle that may only append.
    bool AppendsOnlyStream(FILE* stream) const;
    std::vector<Holder> HoldersOf(const HostFileId& id) const;
    // Whether an open with this access and sharing conflicts with the file's holders.
    bool SharingConflict(const HostFileId& id, DWORD access, DWORD share) const;
    // Whether a holder keeps the file from being deleted or renamed (it does not share deletion).
    bool HeldAgainstDeletion(const HostFileId& id) const;
    std::shared_ptr<OpenFile> FindFile(HANDLE handle) const;
    void CloseDescriptor(int fd);
    BOOL RenameOpenFile(OpenFile& file, const FILE_RENAME_INFO& info, DWORD size);
    // Moves the file `from` (known as `from_name`, of identity `from_id`) to the name `to_name`,
    // whose folder exists (`to` on the host), for both ways of renaming: a read-only name on either
    // side refuses (5); another file there is replaced only when asked (else 183), and never a
    // folder, a link to one or a file something holds open, whether or not it shares deletion (5).
    BOOL MoveName(const std::filesystem::path& from, const std::string& from_name, const HostFileId& from_id,
                  const std::filesystem::path& to, const std::string& to_name, bool replace);
    // Resolves a path for a call: sets the last error and answers nothing when the path is not
    // on a drive (3), its drive has no medium (21) or its folder does not exist (3).
    std::optional<std::filesystem::path> ResolveExistingFolder(const std::string& windows_path);
    // Whether a path is on a mapped drive that has no medium (sets 21 when it is).
    bool NotReady(const std::string& windows_path);

    HandleTable& handles_;
    SimSystem& system_;
    std::map<char, Drive> drives_;
    std::vector<std::string> read_only_;
    std::map<FILE*, StreamFile> streams_;
    std::map<uintptr_t, std::shared_ptr<OpenFile>> files_open_;  // file handles by value
    std::map<int, uintptr_t> descriptors_;                        // C runtime descriptors: their handle
    int next_descriptor_ = 3;                                     // 0 to 2 are the standard streams
    uint64_t bytes_read_ = 0;
    std::string current_directory_ = "C:\\Windows\\system32";
    std::string temp_path_ = "C:\\Windows\\Temp\\";
};

}  // namespace plat::sim

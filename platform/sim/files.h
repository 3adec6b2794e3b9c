// The simulated files and drives: drive letters mapped to host folders (C: to a scratch folder
// holding Windows\, Windows\system32\, Windows\TWAIN_32\ and Windows\Temp\), names looked up
// without regard to case as Windows does, folders that the account may not write, the process's
// current directory, searches with Windows' wildcards, drive types and volumes, and the C runtime
// streams opened on those files. Simulated machine only.
#pragma once

#include <filesystem>
#include <map>
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

class SimFiles : public FilesBackend {
public:
    SimFiles(HandleTable& handles, SimSystem& system, std::filesystem::path c_drive_folder);

    void AddDrive(Drive drive);
    const std::map<char, Drive>& drives() const { return drives_; }
    // Marks a folder (and everything below it) as not writable by the account.
    void SetReadOnlyFolder(const std::string& windows_path) { read_only_.push_back(windows_path); }
    std::string temp_path() const { return "C:\\Windows\\Temp\\"; }
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
    // Closes every stream still open (the process ends).
    void CloseAllStreams();
    // The streams still open, one line each ("C runtime stream on <host file>").
    std::vector<std::string> DescribeStreams() const;

    // The host file a Windows path names, following existing names without regard to case;
    // nothing when the path is not on a mapped drive or its drive has no medium.
    std::optional<std::filesystem::path> HostPath(const std::string& windows_path) const;
    // Reads or writes a whole simulated file (set-up and reports).
    std::optional<std::string> ReadFile(const std::string& windows_path) const;
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
    FILE* _fsopen(const char* filename, const char* mode, int shflag) override;
    int fclose(FILE* stream) override;
    size_t fread(void* buffer, size_t size, size_t count, FILE* stream) override;
    size_t fwrite(const void* buffer, size_t size, size_t count, FILE* stream) override;
    int fflush(FILE* stream) override;
    int fseek(FILE* stream, long offset, int origin) override;
    long ftell(FILE* stream) override;

private:
    bool IsReadOnly(const std::string& windows_path) const;
    bool KnownStream(FILE* stream) const;
    // Whether a stream holds the file open: the C runtime opens files sharing reading and writing
    // but not deletion, so such a file can be neither deleted nor renamed meanwhile.
    bool OpenInStream(const std::filesystem::path& host) const;
    // Resolves a path for a call: sets the last error and answers nothing when the path is not
    // on a drive (3), its drive has no medium (21) or its folder does not exist (3).
    std::optional<std::filesystem::path> ResolveExistingFolder(const std::string& windows_path);
    // Whether a path is on a mapped drive that has no medium (sets 21 when it is).
    bool NotReady(const std::string& windows_path);

    HandleTable& handles_;
    SimSystem& system_;
    std::map<char, Drive> drives_;
    std::vector<std::string> read_only_;
    std::map<FILE*, std::filesystem::path> open_files_;
    std::string current_directory_ = "C:\\Windows\\system32";
};

}  // namespace plat::sim

// Files, folders and drives: kernel32 path, search, drive and volume calls, file handles (opened,
// asked who they are, renamed and deleted through the handle itself), and the C runtime streams the
// logs use (opened in binary, or made on a file handle; the logger does its own text-mode line-end
// translation).
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/seam.h"

#ifdef _WIN32
#include "platform/win32/files.h"
#endif

#define TVX_FILES_CALLS(X)                                                                           \
    X(Files, DWORD, GetTempPathA, (DWORD nBufferLength, LPSTR lpBuffer), (nBufferLength, lpBuffer), \
      Zero)                                                                                        \
    X(Files, UINT, GetWindowsDirectoryA, (LPSTR lpBuffer, UINT uSize), (lpBuffer, uSize), Zero)    \
    X(Files, BOOL, DeleteFileA, (LPCSTR lpFileName), (lpFileName), Bool)                           \
    X(Files, BOOL, RemoveDirectoryA, (LPCSTR lpPathName), (lpPathName), Bool)                      \
    X(Files, BOOL, MoveFileA, (LPCSTR lpExistingFileName, LPCSTR lpNewFileName),                   \
      (lpExistingFileName, lpNewFileName), Bool)                                                   \
    X(Files, BOOL, MoveFileExA, (LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags),  \
      (lpExistingFileName, lpNewFileName, dwFlags), Bool)                                          \
    X(Files, DWORD, GetFileAttributesA, (LPCSTR lpFileName), (lpFileName), MinusOne)               \
    X(Files, HANDLE, FindFirstFileA, (LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData),        \
      (lpFileName, lpFindFileData), Invalid)                                                       \
    X(Files, BOOL, FindNextFileA, (HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData),            \
      (hFindFile, lpFindFileData), Bool)                                                           \
    X(Files, BOOL, FindClose, (HANDLE hFindFile), (hFindFile), Bool)                               \
    X(Files, DWORD, GetLogicalDrives, (), (), Zero)                                                \
    X(Files, UINT, GetDriveTypeA, (LPCSTR lpRootPathName), (lpRootPathName), Zero)                 \
    X(Files, BOOL, GetVolumeInformationA,                                                          \
      (LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,                     \
       LPDWORD lpVolumeSerialNumber, LPDWORD lpMaximumComponentLength, LPDWORD lpFileSystemFlags,  \
       LPSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize),                                   \
      (lpRootPathName, lpVolumeNameBuffer, nVolumeNameSize, lpVolumeSerialNumber,                  \
       lpMaximumComponentLength, lpFileSystemFlags, lpFileSystemNameBuffer, nFileSystemNameSize),  \
      Bool)                                                                                        \
    X(Files, HANDLE, CreateFileA,                                                                  \
      (LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,                                \
       LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,                    \
       DWORD dwFlagsAndAttributes, HANDLE hTemplateFile),                                          \
      (lpFileName, dwDesiredAccess, dwShareMode, lpSecurityAttributes, dwCreationDisposition,      \
       dwFlagsAndAttributes, hTemplateFile),                                                       \
      Invalid)                                                                                     \
    X(Files, BOOL, GetFileInformationByHandle,                                                     \
      (HANDLE hFile, LPBY_HANDLE_FILE_INFORMATION lpFileInformation), (hFile, lpFileInformation),  \
      Bool)                                                                                        \
    X(Files, BOOL, SetFileInformationByHandle,                                                     \
      (HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass, LPVOID lpFileInformation,     \
       DWORD dwBufferSize),                                                                        \
      (hFile, FileInformationClass, lpFileInformation, dwBufferSize), Bool)                        \
    X(Files, FILE*, _fsopen, (const char* filename, const char* mode, int shflag),                 \
      (filename, mode, shflag), Null)                                                              \
    X(Files, int, _open_osfhandle, (intptr_t osfhandle, int flags), (osfhandle, flags), MinusOne)  \
    X(Files, FILE*, _fdopen, (int fd, const char* mode), (fd, mode), Null)                         \
    X(Files, int, _close, (int fd), (fd), None)                                                    \
    X(Files, int, fclose, (FILE * stream), (stream), None)                                         \
    X(Files, size_t, fread, (void* buffer, size_t size, size_t count, FILE* stream),               \
      (buffer, size, count, stream), Zero)                                                         \
    X(Files, size_t, fwrite, (const void* buffer, size_t size, size_t count, FILE* stream),        \
      (buffer, size, count, stream), Zero)                                                         \
    X(Files, int, fflush, (FILE * stream), (stream), MinusOne)                                     \
    X(Files, int, fseek, (FILE * stream, long offset, int origin), (stream, offset, origin),       \
      MinusOne)                                                                                    \
    X(Files, long, ftell, (FILE * stream), (stream), MinusOne)

TVX_DECLARE_FAMILY(Files, TVX_FILES_CALLS)

// The files family's Windows side: SetFileInformationByHandle for every system the co-installer
// serves. kernel32 has it from Windows Vista on; on Windows XP x64 and Server 2003 the two requests
// the logs make of it (rename an open file, delete an open file when it closes) go to the native
// call that kernel32's own forwards to, which those systems have. The DLL therefore imports
// neither: both are looked up when first used. Win32 only.
#pragma once

#include "platform/win32/windows_sdk.h"

namespace plat::win32 {

// The native form of the two requests: the records are the native ones (same layout), only the
// classes are numbered differently. Any other class gives 87.
inline BOOL SetFileInformationNative(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                     LPVOID lpFileInformation, DWORD dwBufferSize) {
    struct IoStatusBlock {
        union {
            LONG Status;
            PVOID Pointer;
        };
        ULONG_PTR Information;
    };
    using SetInformationFile = LONG(WINAPI*)(HANDLE, IoStatusBlock*, PVOID, ULONG, int);
    using StatusToError = ULONG(WINAPI*)(LONG);
    constexpr int kFileRenameInformation = 10;
    constexpr int kFileDispositionInformation = 13;

    int nativeClass = 0;
    if (FileInformationClass == FileRenameInfo) nativeClass = kFileRenameInformation;
    if (FileInformationClass == FileDispositionInfo) nativeClass = kFileDispositionInformation;
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    auto set = ntdll ? reinterpret_cast<SetInformationFile>(
                           reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")))
                     : nullptr;
    auto toError = ntdll ? reinterpret_cast<StatusToError>(
                               reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")))
                         : nullptr;
    if (nativeClass == 0 || !set || !toError) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    IoStatusBlock io{};
    const LONG status = set(hFile, &io, lpFileInformation, dwBufferSize, nativeClass);
    if (status < 0) {
        SetLastError(toError(status));
        return FALSE;
    }
    return TRUE;
}

}  // namespace plat::win32

// The kernel32 call where the system has it, the native form otherwise.
//
// The look-up runs once per process that loads the DLL, on first use, and its answer is kept in
// two plain function-local statics. Both are constant-initialised, so the compiler gives them no
// guard object: a static with a run-time initialiser would be guarded by the runtime's
// thread-safe initialisation, which costs a thread-local slot (posix thread model) or a semaphore
// for its lock (win32 thread model) that nothing ever frees, once per load of the DLL. No guard is
// needed here: the device installer calls a co-installer on one thread, the DLL starts none, and a
// second look-up racing the first could only store the same address.
inline BOOL SetFileInformationByHandle(HANDLE hFile, FILE_INFO_BY_HANDLE_CLASS FileInformationClass,
                                       LPVOID lpFileInformation, DWORD dwBufferSize) {
    using Kernel32Call = BOOL(WINAPI*)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    static constinit Kernel32Call kernel32Call = nullptr;
    static constinit bool lookedUp = false;
    if (!lookedUp) {
        HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
        kernel32Call = kernel32 ? reinterpret_cast<Kernel32Call>(reinterpret_cast<void*>(
                                      GetProcAddress(kernel32, "SetFileInformationByHandle")))
                                : nullptr;
        lookedUp = true;
    }
    if (kernel32Call) return kernel32Call(hFile, FileInformationClass, lpFileInformation, dwBufferSize);
    return plat::win32::SetFileInformationNative(hFile, FileInformationClass, lpFileInformation, dwBufferSize);
}

// The one place that includes the Windows SDK headers, for the cross build only: the Win32 types,
// constants and calls that the seam's inline forwards reach. Nothing above platform/ includes it.
#pragma once

#ifndef _WIN32
#error "platform/win32/ is built by the cross compiler only"
#endif

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

// Pinned rather than left to the toolchain's default: Windows Server 2003 / XP x64, the oldest
// 64-bit system the co-installer serves.
#ifdef _WIN32_WINNT
#undef _WIN32_WINNT
#endif
#define _WIN32_WINNT 0x0502
#ifdef WINVER
#undef WINVER
#endif
#define WINVER 0x0502

#include <windows.h>

#include <ole2.h>
#include <setupapi.h>
#include <wia.h>
#include <share.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>

// The file information classes and records of SetFileInformationByHandle came with Windows Vista,
// so the pinned version hides them; the co-installer uses them on every system (see
// platform/win32/files.h). Their layout is that of the native records they are passed as.
typedef enum _FILE_INFO_BY_HANDLE_CLASS {
    FileBasicInfo = 0,
    FileStandardInfo = 1,
    FileNameInfo = 2,
    FileRenameInfo = 3,
    FileDispositionInfo = 4,
} FILE_INFO_BY_HANDLE_CLASS;

typedef struct _FILE_RENAME_INFO {
    BOOLEAN ReplaceIfExists;
    HANDLE RootDirectory;
    DWORD FileNameLength;  // in bytes, without a closing NUL
    WCHAR FileName[1];
} FILE_RENAME_INFO;

typedef struct _FILE_DISPOSITION_INFO {
    BOOLEAN DeleteFile;
} FILE_DISPOSITION_INFO;

// Device installer calls (setupapi, ANSI forms). They return BOOL or a handle and report failure
// through the thread's last error.
#pragma once

#include "platform/seam.h"

#define TVX_SETUPAPI_CALLS(X)                                                                        \
    X(SetupApi, HDEVINFO, SetupDiGetClassDevsA,                                                    \
      (const GUID* ClassGuid, LPCSTR Enumerator, HWND hwndParent, DWORD Flags),                    \
      (ClassGuid, Enumerator, hwndParent, Flags), Invalid)                                         \
    X(SetupApi, BOOL, SetupDiEnumDeviceInfo,                                                       \
      (HDEVINFO DeviceInfoSet, DWORD MemberIndex, PSP_DEVINFO_DATA DeviceInfoData),                \
      (DeviceInfoSet, MemberIndex, DeviceInfoData), Bool)                                          \
    X(SetupApi, BOOL, SetupDiDestroyDeviceInfoList, (HDEVINFO DeviceInfoSet), (DeviceInfoSet),     \
      None)                                                                                        \
    X(SetupApi, BOOL, SetupDiGetDeviceInstanceIdA,                                                 \
      (HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, LPSTR DeviceInstanceId,            \
       DWORD DeviceInstanceIdSize, PDWORD RequiredSize),                                           \
      (DeviceInfoSet, DeviceInfoData, DeviceInstanceId, DeviceInstanceIdSize, RequiredSize), Bool) \
    X(SetupApi, BOOL, SetupDiGetDeviceRegistryPropertyA,                                           \
      (HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Property,                    \
       PDWORD PropertyRegDataType, LPBYTE PropertyBuffer, DWORD PropertyBufferSize,                \
       PDWORD RequiredSize),                                                                       \
      (DeviceInfoSet, DeviceInfoData, Property, PropertyRegDataType, PropertyBuffer,               \
       PropertyBufferSize, RequiredSize),                                                          \
      Bool)                                                                                        \
    X(SetupApi, HKEY, SetupDiOpenDevRegKey,                                                        \
      (HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD Scope, DWORD HwProfile,      \
       DWORD KeyType, REGSAM samDesired),                                                          \
      (DeviceInfoSet, DeviceInfoData, Scope, HwProfile, KeyType, samDesired), Invalid)             \
    X(SetupApi, HKEY, SetupDiOpenClassRegKey, (const GUID* ClassGuid, REGSAM samDesired),          \
      (ClassGuid, samDesired), Invalid)                                                            \
    X(SetupApi, BOOL, SetupDiGetDeviceInstallParamsA,                                              \
      (HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,                                    \
       PSP_DEVINSTALL_PARAMS_A DeviceInstallParams),                                               \
      (DeviceInfoSet, DeviceInfoData, DeviceInstallParams), Bool)                                  \
    X(SetupApi, BOOL, SetupDiSetDeviceInstallParamsA,                                              \
      (HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,                                    \
       PSP_DEVINSTALL_PARAMS_A DeviceInstallParams),                                               \
      (DeviceInfoSet, DeviceInfoData, DeviceInstallParams), Bool)                                  \
    X(SetupApi, BOOL, SetupDiGetSelectedDriverA,                                                   \
      (HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, PSP_DRVINFO_DATA_A DriverInfoData), \
      (DeviceInfoSet, DeviceInfoData, DriverInfoData), Bool)                                       \
    X(SetupApi, BOOL, SetupDiGetDriverInfoDetailA,                                                 \
      (HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, PSP_DRVINFO_DATA_A DriverInfoData, \
       PSP_DRVINFO_DETAIL_DATA_A DriverInfoDetailData, DWORD DriverInfoDetailDataSize,             \
       PDWORD RequiredSize),                                                                       \
      (DeviceInfoSet, DeviceInfoData, DriverInfoData, DriverInfoDetailData,                        \
       DriverInfoDetailDataSize, RequiredSize),                                                    \
      Bool)                                                                                        \
    X(SetupApi, HINF, SetupOpenInfFileA,                                                           \
      (LPCSTR FileName, LPCSTR InfClass, DWORD InfStyle, UINT* ErrorLine),                         \
      (FileName, InfClass, InfStyle, ErrorLine), Invalid)                                          \
    X(SetupApi, void, SetupCloseInfFile, (HINF InfHandle), (InfHandle), None)                      \
    X(SetupApi, BOOL, SetupDiGetActualSectionToInstallA,                                           \
      (HINF InfHandle, LPCSTR InfSectionName, LPSTR InfSectionWithExt,                             \
       DWORD InfSectionWithExtSize, PDWORD RequiredSize, LPSTR* Extension),                        \
      (InfHandle, InfSectionName, InfSectionWithExt, InfSectionWithExtSize, RequiredSize,          \
       Extension),                                                                                 \
      Bool)                                                                                        \
    X(SetupApi, BOOL, SetupInstallFromInfSectionA,                                                 \
      (HWND Owner, HINF InfHandle, LPCSTR SectionName, UINT Flags, HKEY RelativeKeyRoot,           \
       LPCSTR SourceRootPath, UINT CopyFlags, PSP_FILE_CALLBACK_A MsgHandler, PVOID Context,       \
       HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData),                                   \
      (Owner, InfHandle, SectionName, Flags, RelativeKeyRoot, SourceRootPath, CopyFlags,           \
       MsgHandler, Context, DeviceInfoSet, DeviceInfoData),                                        \
      Bool)

TVX_DECLARE_FAMILY(SetupApi, TVX_SETUPAPI_CALLS)

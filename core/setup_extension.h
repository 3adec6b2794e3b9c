// CSetupExtension: the class that carries the whole co-installer. Its virtual operations, in
// their table order, are the points where a scanner model changes the common behaviour.
// Portable logic.
//
// Where the operations live: the construction, the installed-software test and the reserved
// operations in core/setup_extension.cpp; the dispatcher, the finish-install action, the reboot
// test and the driver instance number in entry/dispatcher.cpp; the install decision and the marker
// in install/install_flow.cpp; the disc search and the setup launch in install/install_media.cpp;
// the firmware tool in install/firmware.cpp; the registry wrappers in registry/registry_access.cpp;
// device naming and network data in stillimage/device_naming.cpp; the device identity in
// stillimage/device_identity.cpp; the removal in stillimage/removal.cpp; the model's overrides in entry/setup_extension_q920k.cpp.
//
// The virtual operations are declared in the order of the class's table of virtual operations,
// unused slots included: a model variant built against this class overrides by slot, so an
// operation added, removed or moved would shift every later slot and call the wrong body.
#pragma once

#include <memory>
#include <string>

#include "core/logger.h"
#include "core/os_info.h"
#include "platform/all.h"
#include "platform/scoped.h"

class CSetupExtension {
public:
    CSetupExtension();
    CSetupExtension(const CSetupExtension&) = delete;
    CSetupExtension& operator=(const CSetupExtension&) = delete;

    // The virtual operations, in table order (the destructor first).
    virtual ~CSetupExtension();
    virtual void InstallSoftware(HWND hwnd, HINSTANCE hInstance, LPSTR lpszCmdLine, int nCmdShow);
    virtual DWORD TarvixDeviceCoInstaller(DI_FUNCTION difCode, HDEVINFO deviceInfoSet,
                                          PSP_DEVINFO_DATA deviceInfoData, PCOINSTALLER_CONTEXT_DATA context);
    virtual DWORD HandleFinishInstallAction(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);
    virtual void MarkPnPFinished();
    virtual std::string GetModelTag() = 0;
    virtual std::string GetReservedText() = 0;  // no caller
    virtual void FixInstalledStrings(std::string keyPath) = 0;
    virtual std::string GetTwainNameSuffix();  // called only by ReservedTwainRename
    virtual std::string GetMediaSoftwareFolder();
    virtual std::string GetSetupArguments();
    virtual int IsSoftwareInstalled();
    virtual char FindInstallMediaDrive();
    virtual int IsInstallMedia(char driveLetter);
    virtual bool ReservedMessage();                                                      // no caller
    virtual int ReservedDeviceCheck(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);   // no caller
    virtual int ReservedDeviceScan();                                                    // no caller
    virtual int ReservedDeviceUpdate(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);  // no caller
    virtual int ReservedTwainPrepare(const char* instanceNumber);  // called only by the reserved device operations
    virtual int RemoveTwainDataSource(const char* instanceNumber);
    virtual int ReservedTwainRename(const char* instanceNumber);  // called only by the reserved device operations

    // The finish-install action's reboot test: true when the device's installation parameters ask
    // for a reboot or restart, or cannot be read.
    bool IsRebootRequired(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);
    // The four characters after the last backslash of the device's driver key name ("0000") into
    // a 5-byte text; 1 when found, 0 otherwise.
    int GetDriverInstanceNumber(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, char* instanceNumber);

    // Device naming and network data.
    bool CopyNetworkDeviceData(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);
    void RegisterDriverDlls(DWORD installFlags, HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);
    void AssignDeviceNumber(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);

    // The install decision's hardware-first path: appends one backslash to a non-empty text
    // that does not end in one, and answers the same text.
    static std::string& AppendBackslash(std::string& text);

    // Install disc and programs started from it.
    // Starts the disc's setup program and does not wait for it. Answers 0 when it started or when
    // no disc was found, otherwise the error that process creation reported.
    DWORD LaunchSetupFromMedia();
    // Registers the disc's setup program to run once at the next logon (the machine's RunOnce key).
    void ScheduleSetupFromMedia(char driveLetter);
    // Runs the disc's firmware update tool, when there is one, and waits until it ends.
    void RunFirmwareUpdate();
    // True when the disc carries the firmware tool; then commandLine holds its command line and
    // folder its folder. On false the outputs hold whatever was built so far.
    bool FindFirmwareTool(std::string& commandLine, std::string& folder);
    // Starts the command in the given current directory and waits, without a time limit, until the
    // started process ends. Failures are logged only.
    void LaunchAndWait(const std::string& commandLine, const std::string& currentDirectory);
    // True when a file-system search for the path finds any entry (a wildcard matches any entry).
    static bool FileExists(const char* path);

    // Removes stale USB enumeration entries: device keys of devices with a null vendor id and the
    // maker's instance keys whose setup class stayed "Unknown". Silent; always answers 0.
    int RemoveStaleUsbEntries();

    // Registry wrappers (registry/registry_access.cpp). The value calls work in the native view:
    // a read takes the bytes as stored (no type test, no size reported; a value larger than the
    // buffer fails), a write stores REG_SZ with exactly the byte count given, creating the key if
    // needed; both answer true on success. The key removal works in the 32-bit view, removes a
    // key without subkeys only, logs its failures and answers the Win32 status.
    bool ReadRegistryValue(HKEY hRootKey, LPCSTR lpSubKey, LPCSTR lpValueName, LPBYTE lpData, DWORD cbData);
    bool WriteRegistryString(HKEY hRootKey, LPCSTR lpSubKey, LPCSTR lpValueName, LPCSTR lpText, DWORD cbData);
    LONG DeleteRegistryKey(HKEY hRootKey, LPCSTR lpParentPath, LPCSTR lpKeyName);

    // Device identity (stillimage/device_identity.cpp): the driver instance number, the manufacturer,
    // the description and the serial part (the device instance ID after its last backslash, at
    // most 70 characters). 1 when the description, the manufacturer and the instance ID were read
    // and the ID has a backslash; 0 otherwise, the texts of the reads before the failure filled.
    // An unreadable driver key name leaves the instance number empty and still answers 1.
    int GetDeviceIdentity(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, char (&szInstance)[5],
                          char (&szManufacturer)[MAX_PATH], char (&szDescription)[MAX_PATH], char (&szSerial)[71]);

    // Removal (stillimage/removal.cpp): the removed instance's TWAIN data source and imaging
    // device-instance keys (1 when the identity was read), and the hardware-first marker.
    int CleanupRemovedDevice(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData);
    void RemovePnPFinishedMarker();

    COsInfo m_OsInfo;
    HINSTANCE m_hInstance;
    std::string m_TwainDSmodule;
    std::string m_ScannerModel;
    CLogger* m_pLogger;  // the log; null when its allocation failed, and then nothing is logged
    std::string m_InstallCLSID;
    std::string m_InstallRegPath;

private:
    // The disc's setup command line for a drive (root, software folder, "setup.exe ", arguments)
    // and the drive's root.
    std::string SetupCommandLine(char driveLetter, std::string& driveRoot);
    // Starts a command as the disc's programs are started (a new console, normal show state,
    // busy-cursor feedback) and logs the creation result. Answers 0 with the process and thread
    // handles in the owners, or the error that process creation reported.
    DWORD StartProgram(const std::string& commandLine, const std::string& currentDirectory,
                       plat::ScopedHandle& process, plat::ScopedHandle& thread);

    // Reads "CoinstallerModel" from an open hardware key into a 32-byte text; false when the
    // value is missing, longer than 31 characters, or fills the buffer without a terminator.
    bool ReadModelString(HKEY hardwareKey, char (&model)[32]);

    // Owns the logger that m_pLogger points to. Declared last so that it is destroyed first: the
    // logger writes its end lines before anything else of the object goes.
    std::unique_ptr<CLogger> m_LoggerOwner;
};

// Installs the driver package's INF for a new device with the system's own device installer and
// checks that the installer found the co-installer through the INF's registration, copied it,
// called it, and left the registry and the log as the co-installer and the INF say. No call of the
// co-installer is made here: the device installer loads TarvixQ920kCO.dll by itself, from the
// driver key's CoInstallers32 value that the INF's co-installer section writes.
// Win32 only; built by the cross compiler and run under Wine by the host build's tests.
//
//   tvx_device_installer_check.exe ROUTE INF-PATH DLL-PATH
//
// ROUTE is how the driver is installed:
//   newdev   UpdateDriverForPlugAndPlayDevicesA for the scanner's hardware ID (what a driver
//            setup program calls; the device installer picks the device and runs every step)
//   setupdi  the device-installation functions one by one on the device: the INF as the only
//            driver source, DIF_SELECTBESTCOMPATDRV, DIF_REGISTER_COINSTALLERS, DIF_INSTALLDEVICE
// DLL-PATH is the package's TarvixQ920kCO.dll, whose bytes the copy in the system folder must have.
// The program makes a root-enumerated Image-class device with the scanner's hardware ID first;
// its hardware key carries a network identity, which the co-installer copies into the driver
// key while the device is installed. The system folder must not hold TarvixQ920kCO.dll before.
// Exit status 0 when everything is as expected, 1 when something is not, 2 on a bad command line
// or when the machine is not fit for the check.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/image_class.h"
#include "platform/win32/windows_sdk.h"

#include <newdev.h>

namespace {

const char kHardwareId[] = "USB\\VID_2E5A&PID_0920";
const char kDllName[] = "TarvixQ920kCO.dll";
const char kNetworkDeviceId[] = "tvx-net-0920-e2e";

// The co-installer's DIF code numbers as it logs them.
constexpr int kDifInstallDevice = 2;
constexpr int kDifDestroyPrivateData = 12;
constexpr int kDifNewDeviceWizardFinishInstall = 30;
constexpr int kDifInstallInterfaces = 32;

int g_failures = 0;

void Fail(const std::string& what) {
    std::fprintf(stderr, "FAILED: %s\n", what.c_str());
    ++g_failures;
}

std::string ErrorText(const char* call) {
    return std::string(call) + " failed with error " + std::to_string(GetLastError());
}

// What a route makes Wine's device installer call the co-installer with, in order, each call a
// pre-processing pass with no earlier result (Windows calls more: tests/e2e/wine-differences.md).
// The device installer calls only the co-installers registered in the driver key, so nothing
// before DIF_REGISTER_COINSTALLERS reaches it.
struct Route {
    const char* name;
    std::vector<int> difCodes;
};

const Route kRoutes[] = {
    // The driver setup program's one call: the device installer installs the device's interfaces,
    // installs the device, runs the new-device wizard's finish-install step and lets the device
    // list go.
    {"newdev", {kDifInstallInterfaces, kDifInstallDevice, kDifNewDeviceWizardFinishInstall, kDifDestroyPrivateData}},
    // The steps one by one: the device's installation, then this program's own release of the
    // device list.
    {"setupdi", {kDifInstallDevice, kDifDestroyPrivateData}},
};

std::string SystemFolderFile(const char* name) {
    char folder[MAX_PATH] = {0};
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\" + name;
}

std::string TempFolderFile(const char* name) {
    char folder[MAX_PATH + 1] = {0};
    GetTempPathA(MAX_PATH + 1, folder);
    return std::string(folder) + name;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// The root-enumerated scanner, registered with the device installer; its instance ID.
bool CreateScannerDevice(std::string& instanceId) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kImageClass, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        Fail(ErrorText("SetupDiCreateDeviceInfoList"));
        return false;
    }
    bool ok = false;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    // The hardware ID list: one ID, then the list's closing NUL.
    const std::string hardwareIds = std::string(kHardwareId) + '\0';
    char id[MAX_PATH] = {0};
    if (!SetupDiCreateDeviceInfoA(set, "IMAGE", &kImageClass, "Tarvix Q920k", nullptr, DICD_GENERATE_ID, &device)) {
        Fail(ErrorText("SetupDiCreateDeviceInfoA"));
    } else if (!SetupDiSetDeviceRegistryPropertyA(set, &device, SPDRP_HARDWAREID,
                                                  reinterpret_cast<const BYTE*>(hardwareIds.c_str()),
                                                  static_cast<DWORD>(hardwareIds.size() + 1))) {
        Fail(ErrorText("SetupDiSetDeviceRegistryPropertyA(SPDRP_HARDWAREID)"));
    } else if (!SetupDiCallClassInstaller(DIF_REGISTERDEVICE, set, &device)) {
        Fail(ErrorText("SetupDiCallClassInstaller(DIF_REGISTERDEVICE)"));
    } else if (!SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr)) {
        Fail(ErrorText("SetupDiGetDeviceInstanceIdA"));
    } else {
        // The network identity a network scanner's hardware key holds.
        HKEY key = SetupDiCreateDevRegKeyA(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
        if (key == INVALID_HANDLE_VALUE) {
            Fail(ErrorText("SetupDiCreateDevRegKeyA(DIREG_DEV)"));
        } else {
            LONG status = RegSetValueExA(key, "NetworkDeviceID", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNetworkDeviceId),
                                         sizeof kNetworkDeviceId);
            RegCloseKey(key);
            if (status != ERROR_SUCCESS)
                Fail("cannot write NetworkDeviceID to the hardware key: error " + std::to_string(status));
            else {
                instanceId = id;
                ok = true;
            }
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return ok;
}

// The device-installation functions one by one, on a device list of the one device.
bool InstallStepByStep(const std::string& instanceId, const char* infPath) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(&kImageClass, nullptr);
    if (set == INVALID_HANDLE_VALUE) {
        Fail(ErrorText("SetupDiCreateDeviceInfoList"));
        return false;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    SP_DEVINSTALL_PARAMS_A params{};
    params.cbSize = sizeof params;
    bool ok = false;
    if (!SetupDiOpenDeviceInfoA(set, instanceId.c_str(), nullptr, 0, &device)) {
        Fail(ErrorText("SetupDiOpenDeviceInfoA"));
    } else if (!SetupDiGetDeviceInstallParamsA(set, &device, &params)) {
        Fail(ErrorText("SetupDiGetDeviceInstallParamsA"));
    } else if (std::strlen(infPath) >= sizeof params.DriverPath) {
        Fail(std::string("the INF path is too long for the install parameters: ") + infPath);
    } else {
        // The package's INF as the only place to look for drivers.
        params.Flags |= DI_ENUMSINGLEINF;
        std::strcpy(params.DriverPath, infPath);
        struct Step {
            const char* name;
            DI_FUNCTION dif;
        } const steps[] = {
            {"DIF_SELECTBESTCOMPATDRV", DIF_SELECTBESTCOMPATDRV},
            {"DIF_REGISTER_COINSTALLERS", DIF_REGISTER_COINSTALLERS},
            {"DIF_INSTALLDEVICE", DIF_INSTALLDEVICE},
        };
        if (!SetupDiSetDeviceInstallParamsA(set, &device, &params)) {
            Fail(ErrorText("SetupDiSetDeviceInstallParamsA"));
        } else if (!SetupDiBuildDriverInfoList(set, &device, SPDIT_COMPATDRIVER)) {
            Fail(ErrorText("SetupDiBuildDriverInfoList(SPDIT_COMPATDRIVER)"));
        } else {
            ok = true;
            for (const Step& step : steps) {
                if (!SetupDiCallClassInstaller(step.dif, set, &device)) {
                    Fail(ErrorText((std::string("SetupDiCallClassInstaller(") + step.name + ")").c_str()));
                    ok = false;
                    break;
                }
                std::printf("%s: done\n", step.name);
            }
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return ok;
}

bool InstallForHardwareId(const char* infPath) {
    BOOL reboot = FALSE;
    if (!UpdateDriverForPlugAndPlayDevicesA(nullptr, kHardwareId, infPath, INSTALLFLAG_FORCE, &reboot)) {
        Fail(ErrorText("UpdateDriverForPlugAndPlayDevicesA"));
        return false;
    }
    std::printf("UpdateDriverForPlugAndPlayDevicesA: done, %s\n", reboot ? "a restart is needed" : "no restart needed");
    return true;
}

// One value of one of the device's keys (DIREG_DRV: the driver key; DIREG_DEV: the hardware key).
bool ReadDeviceValue(const std::string& instanceId, DWORD keyType, const char* subkey, const char* name, DWORD& type,
                     std::string& data) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE) return false;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    bool found = false;
    if (SetupDiOpenDeviceInfoA(set, instanceId.c_str(), nullptr, 0, &device)) {
        HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, keyType, KEY_READ);
        if (key != INVALID_HANDLE_VALUE) {
            HKEY valueKey = key;
            if (subkey && RegOpenKeyExA(key, subkey, 0, KEY_READ, &valueKey) != ERROR_SUCCESS) valueKey = nullptr;
            char buffer[1024] = {0};
            DWORD size = sizeof buffer;
            if (valueKey &&
                RegQueryValueExA(valueKey, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS) {
                data.assign(buffer, size);
                found = true;
            }
            if (valueKey && valueKey != key) RegCloseKey(valueKey);
            RegCloseKey(key);
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

std::string Printable(const std::string& data) {
    std::string text;
    for (char c : data) text += c ? std::string(1, c) : std::string("\\0");
    return text;
}

// The device's registry after the installation: what the INF writes for the co-installer and the
// model, the install section the device installer ran, and the co-installer's own copy of the
// network identity.
void CheckRegistry(const std::string& instanceId) {
    struct Expected {
        const char* where;
        DWORD keyType;
        const char* subkey;
        const char* name;
        DWORD type;
        std::string data;  // with its terminators
    } const expected[] = {
        {"driver key", DIREG_DRV, nullptr, "CoInstallers32", REG_MULTI_SZ,
         std::string("TarvixQ920kCO.dll,TarvixScannerCoInstaller") + '\0' + '\0'},
        {"driver key", DIREG_DRV, nullptr, "InfSection", REG_SZ, std::string("Q920k.Scanner") + '\0'},
        {"hardware key", DIREG_DEV, nullptr, "CoinstallerModel", REG_SZ, std::string("tvxQ920k") + '\0'},
        {"driver key", DIREG_DRV, "DeviceData", "NetworkDeviceID", REG_SZ, std::string(kNetworkDeviceId) + '\0'},
    };
    for (const Expected& e : expected) {
        const std::string name = std::string(e.where) + " " + (e.subkey ? std::string(e.subkey) + "\\" : "") + e.name;
        DWORD type = REG_NONE;
        std::string data;
        if (!ReadDeviceValue(instanceId, e.keyType, e.subkey, e.name, type, data)) {
            Fail(name + " is missing");
        } else if (type != e.type || data != e.data) {
            Fail(name + " is \"" + Printable(data) + "\" (type " + std::to_string(type) + "), expected \"" +
                 Printable(e.data) + "\" (type " + std::to_string(e.type) + ")");
        } else {
            std::printf("%s = \"%s\"\n", name.c_str(), Printable(data).c_str());
        }
    }
}

void CheckCopiedDll(const char* packageDll) {
    const std::string copy = SystemFolderFile(kDllName);
    std::string packaged, copied;
    if (!ReadWholeFile(packageDll, packaged)) {
        Fail(std::string("cannot read the package's DLL ") + packageDll);
    } else if (!ReadWholeFile(copy, copied)) {
        Fail(copy + " is missing: the INF's co-installer section did not copy the DLL to the system folder");
    } else if (copied != packaged) {
        Fail(copy + " differs from the package's DLL");
    } else {
        std::printf("%s: copied from the package\n", copy.c_str());
    }
}

// The log lines one load of the co-installer wrote for one call.
struct Call {
    int dif = -1;
    std::string installResult;
    std::vector<std::string> lines;
};

std::string TrimEnd(std::string line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n' || line.back() == ' ' || line.back() == '\t'))
        line.pop_back();
    return line;
}

// Splits the log's new part into the co-installer's calls; also counts its stretches (one per
// load of the DLL).
std::vector<Call> ReadCalls(const std::string& text, int& starts, int& ends) {
    static const char kCalled[] = "TarvixDeviceCoInstaller: called . dif=";
    static const char kResult[] = " pContext->InstallResult = ";
    std::vector<Call> calls;
    starts = ends = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = TrimEnd(text.substr(at, end - at));
        at = end + 1;
        if (line == "Start Log") ++starts;
        if (line == "End Log") ++ends;
        if (line.rfind(kCalled, 0) == 0) {
            Call call;
            call.dif = std::atoi(line.c_str() + sizeof kCalled - 1);
            const size_t result = line.find(kResult);
            if (result != std::string::npos) call.installResult = line.substr(result + sizeof kResult - 1);
            calls.push_back(call);
        } else if (!calls.empty() && !line.empty()) {
            calls.back().lines.push_back(line);
        }
    }
    return calls;
}

std::string Join(const std::vector<int>& numbers) {
    std::string text;
    for (int n : numbers) {
        if (!text.empty()) text += ' ';
        text += std::to_string(n);
    }
    return text;
}

bool HasLine(const Call& call, const std::string& wanted) {
    for (const std::string& line : call.lines)
        if (line.find(wanted) != std::string::npos) return true;
    return false;
}

// The lines the co-installer wrote during the installation: one call for each DIF code the route
// calls for, each a pre-processing pass, and what each pass handles.
void CheckLog(const std::string& logPath, const std::string& text, const Route& route) {
    if (text.empty()) {
        Fail(logPath + " has no new lines: the device installer never called the co-installer");
        return;
    }
    int starts = 0, ends = 0;
    const std::vector<Call> calls = ReadCalls(text, starts, ends);

    std::vector<int> difCodes;
    for (const Call& call : calls) difCodes.push_back(call.dif);
    const std::string seen = Join(difCodes), wanted = Join(route.difCodes);
    std::printf("co-installer calls (DIF codes): %s\n", seen.c_str());
    if (seen != wanted) Fail("the co-installer was called with DIF codes [" + seen + "], expected [" + wanted + "]");

    // Every call loads and unloads the DLL: its start and end lines frame each stretch.
    if (starts != ends || starts < static_cast<int>(calls.size()))
        Fail("the log has " + std::to_string(starts) + " start and " + std::to_string(ends) + " end lines for " +
             std::to_string(calls.size()) + " calls: a load of the DLL did not end cleanly");

    struct Handling {
        int dif;
        const char* line;
    } const handled[] = {
        {kDifInstallDevice, "Handling DIF_INSTALLDEVICE or DIF_DESTROYWIZARDDATA DIF code"},
        {kDifNewDeviceWizardFinishInstall, "Handling DIF_NEWDEVICEWIZARD_FINISHINSTALL DIF code"},
    };
    for (const Call& call : calls) {
        if (call.installResult != "0x00000000")
            Fail("the call with DIF code " + std::to_string(call.dif) + " passed InstallResult " + call.installResult +
                 ", expected 0x00000000");
        for (const Handling& h : handled)
            if (h.dif == call.dif && !HasLine(call, h.line))
                Fail("the call with DIF code " + std::to_string(call.dif) + " did not log \"" + h.line + "\"");
        // The device installer here ends its call of a co-installer at the pre-processing pass;
        // the post-processing pass is where the co-installer reads the model string. Fails as soon
        // as a post-processing pass reaches it, so that the list of differences is kept true.
        if (HasLine(call, "ModelString retrieved from registry"))
            Fail("the call with DIF code " + std::to_string(call.dif) +
                 " reached the post-processing pass; tests/e2e/wine-differences.md says it does not");
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Route* route = nullptr;
    if (argc == 4)
        for (const Route& r : kRoutes)
            if (std::strcmp(argv[1], r.name) == 0) route = &r;
    if (!route) {
        std::fprintf(stderr, "usage: tvx_device_installer_check newdev|setupdi INF-PATH DLL-PATH\n");
        return 2;
    }
    const char* infPath = argv[2];
    const char* packageDll = argv[3];

    const std::string systemCopy = SystemFolderFile(kDllName);
    if (GetFileAttributesA(systemCopy.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::fprintf(stderr, "%s is there already: the installation's copy could not be told from it\n",
                     systemCopy.c_str());
        return 2;
    }
    const std::string logPath = TempFolderFile("_coInst.log");
    std::string before;
    ReadWholeFile(logPath, before);

    std::string instanceId;
    if (!CreateScannerDevice(instanceId)) return 1;
    std::printf("device %s with hardware ID %s\n", instanceId.c_str(), kHardwareId);

    const bool installed = std::strcmp(route->name, "newdev") == 0 ? InstallForHardwareId(infPath)
                                                                    : InstallStepByStep(instanceId, infPath);
    // The log as the installation left it: every device list this program opens later to read
    // the registry makes the device installer call the co-installer again when it is released.
    std::string after;
    ReadWholeFile(logPath, after);
    const std::string written = after.size() > before.size() ? after.substr(before.size()) : std::string();
    CheckLog(logPath, written, *route);
    if (installed) {
        CheckCopiedDll(packageDll);
        CheckRegistry(instanceId);
    }

    if (g_failures) {
        std::fprintf(stderr, "%d check(s) of the %s installation failed\n", g_failures, route->name);
        return 1;
    }
    std::printf("the device installer found, copied and called the co-installer (%s)\n", route->name);
    return 0;
}

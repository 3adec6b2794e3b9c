// Setting Wine up as a scenario's machine. Win32 only.
#include "tools/wine/wine_setup.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>

#include "platform/text/encoding.h"
#include "platform/text/guid.h"
#include "platform/win32/windows_sdk.h"
#include "tools/scenario/names.h"
#include "tools/scenario/reg_file.h"
#include "tools/wine/wine_registry.h"
#include "tools/wine/wine_standins.h"

namespace tvx::wine {

const char* const kVersionedPrograms[2] = {"tvx-wine-harness.exe", "rundll32.exe"};

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& action, DWORD status) {
    throw std::runtime_error("cannot " + action + ": error " + std::to_string(status));
}

void WriteValues(HKEY key, const std::vector<RegistryValue>& values, const std::string& where) {
    for (const RegistryValue& v : values) {
        LSTATUS status = WriteValue(key, v);
        if (status != ERROR_SUCCESS) Fail("write value \"" + v.name + "\" of " + where, status);
    }
}

// A .reg file's changes made in Wine's registry. The key a [key] line names stays open for the
// value lines below it, and is closed at the next key and at the end.
class WineRegFileTarget : public RegFileTarget {
public:
    explicit WineRegFileTarget(const RegFile& file) : file_(file) {}
    ~WineRegFileTarget() override { CloseKey(); }
    WineRegFileTarget(const WineRegFileTarget&) = delete;
    WineRegFileTarget& operator=(const WineRegFileTarget&) = delete;

    void RemoveTree(const std::string& path) override {
        CloseKey();
        HKEY root = nullptr;
        std::string rest;
        Split(path, &root, &rest);
        DeleteTree(root, rest);
    }
    void EnsureKey(const std::string& path) override {
        CloseKey();
        HKEY root = nullptr;
        std::string rest;
        Split(path, &root, &rest);
        HKEY key = nullptr;
        LSTATUS status = RegCreateKeyExA(root, rest.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        if (status != ERROR_SUCCESS) Fail("create key " + path + " from " + file_.file, status);
        open_ = key;
        open_path_ = path;
    }
    void SetValue(const std::string& path, const RegistryValue& value) override {
        LSTATUS status = WriteValue(KeyFor(path), value);
        if (status != ERROR_SUCCESS)
            Fail("write value \"" + value.name + "\" of " + path + " from " + file_.file, status);
    }
    void DeleteValue(const std::string& path, const std::string& name) override {
        RegDeleteValueA(KeyFor(path), name.c_str());
    }

private:
    void Split(const std::string& path, HKEY* root, std::string* rest) const {
        if (!SplitRoot(path, root, rest)) Fail("apply " + file_.file + ": unknown root key in " + path, 0);
    }
    HKEY KeyFor(const std::string& path) {
        if (!open_ || path != open_path_) EnsureKey(path);
        return open_;
    }
    void CloseKey() {
        if (open_) RegCloseKey(open_);
        open_ = nullptr;
        open_path_.clear();
    }

    const RegFile& file_;
    HKEY open_ = nullptr;
    std::string open_path_;
};

void ApplyRegFileToWine(const RegFile& file) {
    WineRegFileTarget target(file);
    ApplyRegFile(file, target);
}

// A device information set holding one device of the scenario, destroyed with this object.
class DeviceInSet {
public:
    // create: a new device, registered; otherwise the device as it is registered already.
    DeviceInSet(const DeviceSetup& device, bool create) : device_(device) {
        GUID guid;
        if (!plat::text::ParseGuid(device.class_guid, &guid))
            Fail("read class GUID " + device.class_guid, ERROR_INVALID_DATA);
        set_ = SetupDiCreateDeviceInfoList(&guid, nullptr);
        if (set_ == INVALID_HANDLE_VALUE) Fail("make a device information set", GetLastError());
        data_.cbSize = sizeof data_;
        if (!create) {
            if (!SetupDiOpenDeviceInfoA(set_, device.instance_id.c_str(), nullptr, 0, &data_))
                Fail("open device " + device.instance_id, GetLastError());
            return;
        }
        if (!SetupDiCreateDeviceInfoA(set_, device.instance_id.c_str(), &guid,
                                      device.description.empty() ? nullptr : device.description.c_str(), nullptr, 0,
                                      &data_))
            Fail("create device " + device.instance_id, GetLastError());
        if (!SetupDiRegisterDeviceInfo(set_, &data_, 0, nullptr, nullptr, nullptr))
            Fail("register device " + device.instance_id, GetLastError());
    }
    ~DeviceInSet() { SetupDiDestroyDeviceInfoList(set_); }
    DeviceInSet(const DeviceInSet&) = delete;
    DeviceInSet& operator=(const DeviceInSet&) = delete;

    // The driver key as SetupAPI makes it, under the number the scenario gives it: Wine takes the
    // first free number, so a key made under another one is moved to the scenario's.
    void MakeDriverKey() {
        HKEY key = SetupDiCreateDevRegKeyA(set_, &data_, DICS_FLAG_GLOBAL, 0, DIREG_DRV, nullptr, nullptr);
        if (key == INVALID_HANDLE_VALUE) Fail("create the driver key of device " + device_.instance_id, GetLastError());
        RegCloseKey(key);
        char driver[MAX_PATH] = {0};
        if (!SetupDiGetDeviceRegistryPropertyA(set_, &data_, SPDRP_DRIVER, nullptr, reinterpret_cast<BYTE*>(driver),
                                               sizeof driver - 1, nullptr))
            Fail("read the driver key name of device " + device_.instance_id, GetLastError());
        const std::string made = driver;
        const size_t slash = made.rfind('\\');
        if (slash == std::string::npos || made.substr(slash + 1) == device_.driver_instance) return;
        const std::string wanted = made.substr(0, slash + 1) + device_.driver_instance;
        const std::string classRoot = "SYSTEM\\CurrentControlSet\\Control\\Class\\";
        DeleteTree(HKEY_LOCAL_MACHINE, classRoot + made);
        HKEY h = nullptr;
        LSTATUS status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, (classRoot + wanted).c_str(), 0, nullptr, 0,
                                         KEY_ALL_ACCESS, nullptr, &h, nullptr);
        if (status != ERROR_SUCCESS) Fail("create driver key " + wanted, status);
        RegCloseKey(h);
        SetProperty(SPDRP_DRIVER, wanted + '\0', "driver key name");
    }

    void MakeHardwareKey() {
        HKEY key = SetupDiCreateDevRegKeyA(set_, &data_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
        if (key == INVALID_HANDLE_VALUE) Fail("create the hardware key of device " + device_.instance_id, GetLastError());
        RegCloseKey(key);
    }

    void SetProperty(DWORD property, const std::string& bytes, const char* what) {
        if (!SetupDiSetDeviceRegistryPropertyA(set_, &data_, property, reinterpret_cast<const BYTE*>(bytes.data()),
                                               static_cast<DWORD>(bytes.size())))
            Fail(std::string("set the ") + what + " of device " + device_.instance_id, GetLastError());
    }

    // Values written into the device's key of that kind (DIREG_DEV or DIREG_DRV), opened through SetupAPI.
    void WriteKeyValues(DWORD kind, const std::vector<RegistryValue>& values, const char* what) {
        HKEY key = SetupDiOpenDevRegKey(set_, &data_, DICS_FLAG_GLOBAL, 0, kind, KEY_ALL_ACCESS);
        if (key == INVALID_HANDLE_VALUE) Fail(std::string("open the ") + what + " of device " + device_.instance_id, GetLastError());
        try {
            WriteValues(key, values, std::string("the ") + what + " of " + device_.instance_id);
        } catch (...) {
            RegCloseKey(key);
            throw;
        }
        RegCloseKey(key);
    }

private:
    const DeviceSetup& device_;
    HDEVINFO set_ = INVALID_HANDLE_VALUE;
    SP_DEVINFO_DATA data_{};
};

// A device as Windows' device installer leaves it for a co-installer: registered, with its driver
// key and its hardware key. Their content comes later (FillDevice).
void CreateDevice(const DeviceSetup& device, std::vector<std::string>* notes) {
    DeviceInSet d(device, true);
    if (!device.driver_instance.empty()) d.MakeDriverKey();
    if (device.hardware_key) d.MakeHardwareKey();
    if (!device.present)
        notes->push_back("device " + device.instance_id +
                         " is not present in the scenario, but Wine counts every registered device as present");
}

// The device's properties and key values, written over whatever the scenario's registry put there.
void FillDevice(const DeviceSetup& device) {
    DeviceInSet d(device, false);
    if (!device.description.empty()) d.SetProperty(SPDRP_DEVICEDESC, device.description + '\0', "description");
    if (!device.manufacturer.empty()) d.SetProperty(SPDRP_MFG, device.manufacturer + '\0', "manufacturer");
    if (!device.hardware_ids.empty())
        d.SetProperty(SPDRP_HARDWAREID, plat::text::PackMultiSz(device.hardware_ids), "hardware ids");
    if (!device.driver_instance.empty()) d.WriteKeyValues(DIREG_DRV, device.driver_key_values, "driver key");
    if (device.hardware_key) d.WriteKeyValues(DIREG_DEV, device.hardware_key_values, "hardware key");
}

void SetStringValue(HKEY root, const std::string& path, const std::string& name, const std::string& text) {
    HKEY key = nullptr;
    LSTATUS status = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) Fail("create key " + path, status);
    status = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) Fail("write value " + name + " of " + path, status);
}

// The harness's stand-in WIA device manager, registered as the in-process server of the device
// manager's class (the co-installer asks for any server kind, and an in-process one comes first).
void RegisterWiaStandin(const SetupPaths& paths) {
    const std::string clsid = "CLSID\\{A1F4E726-8CF1-11D1-BF92-0060081ED811}\\InprocServer32";
    SetStringValue(HKEY_CLASSES_ROOT, clsid, "", (paths.standin_folder / "tvx-standin-wia.dll").string());
    SetStringValue(HKEY_CLASSES_ROOT, clsid, "ThreadingModel", "Both");
}

// Wine has no call that sets a key's last-write time: the keys are written in the order of their
// times, with real pauses between them, so that they compare as the scenario's times do. Keys of
// equal times are written in the reverse of the scenario's order, so that the first listed is the
// newest of them: the one the co-installer takes among equals when the scenario lists them in the
// order the keys enumerate.
void WriteKeysInTimeOrder(const MachineDescription& machine, std::vector<std::string>* notes) {
    std::vector<const KeyTimeSetup*> keys;
    for (auto it = machine.key_times.rbegin(); it != machine.key_times.rend(); ++it)
        keys.push_back(&*it);
    std::stable_sort(keys.begin(), keys.end(), [](const KeyTimeSetup* a, const KeyTimeSetup* b) { return a->time < b->time; });
    for (const KeyTimeSetup* k : keys) {
        HKEY root = nullptr;
        std::string rest;
        if (!SplitRoot(k->key, &root, &rest)) Fail("split key path " + k->key, ERROR_INVALID_DATA);
        HKEY key = nullptr;
        LSTATUS status = RegOpenKeyExA(root, rest.c_str(), 0, KEY_ALL_ACCESS, &key);
        if (status != ERROR_SUCCESS) Fail("open key " + k->key + " to set its last-write time", status);
        Sleep(50);
        const DWORD zero = 0;
        RegSetValueExA(key, "tvx-harness-touch", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof zero);
        RegDeleteValueA(key, "tvx-harness-touch");
        RegCloseKey(key);
    }
    if (!keys.empty())
        notes->push_back("the keys of key_times were written in the order of their times with real pauses; their "
                         "last-write times are Wine's real ones");
}

void SetVersion(const MachineDescription& machine, std::vector<std::string>* notes) {
    const std::string name = WineVersionName(machine.os);
    if (name.empty()) {
        notes->push_back("Wine cannot report Windows " + std::to_string(machine.os.major) + "." +
                         std::to_string(machine.os.minor) + " (platform " +
                         std::to_string(machine.os.platform_id) + "); it reports its default version");
        return;
    }
    for (const char* program : kVersionedPrograms)
        SetStringValue(HKEY_CURRENT_USER, std::string("Software\\Wine\\AppDefaults\\") + program, "Version", name);
}

const char* WineDriveType(uint32_t type) {
    switch (type) {
        case kDriveCdrom: return "cdrom";
        case kDriveRemovable: return "floppy";
        case kDriveRemote: return "network";
        default: return "hd";
    }
}

void WriteTextFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// MinGW's std::filesystem::copy_file refuses to overwrite; CopyFileA does it.
void CopyFileOver(const fs::path& from, const fs::path& to) {
    if (!CopyFileA(from.string().c_str(), to.string().c_str(), FALSE))
        Fail("copy " + from.string() + " to " + to.string(), GetLastError());
}

// Copies a folder's files and folders into another, which may exist already.
void CopyInto(const fs::path& from, const fs::path& to) {
    fs::create_directories(to);
    for (const auto& entry : fs::recursive_directory_iterator(from)) {
        const fs::path target = to / fs::relative(entry.path(), from);
        if (entry.is_directory())
            fs::create_directories(target);
        else
            CopyFileOver(entry.path(), target);
    }
}

// Every program on a drive is replaced by the stand-in, which records how it was started.
void PlaceStandins(const fs::path& folder, const fs::path& standin) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        std::string ext = entry.path().extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".exe") CopyFileOver(standin, entry.path());
    }
}

void SetUpDrives(const MachineDescription& machine, const SetupPaths& paths, std::vector<std::string>* notes) {
    std::string plan;
    for (const DriveSetup& d : machine.drives) {
        if (d.letter == 'C') {
            if (!d.folder.empty()) {
                CopyInto(d.folder, "C:\\");
                PlaceStandins("C:\\", StandinsIn(paths.standin_folder).program);
            }
            continue;
        }
        const fs::path folder = DriveFolder(paths.run_folder, d.letter);
        fs::create_directories(folder);
        if (!d.folder.empty()) {
            CopyInto(d.folder, folder);
            PlaceStandins(folder, StandinsIn(paths.standin_folder).program);
        } else {
            notes->push_back(std::string("drive ") + d.letter +
                             ": has no disc in the scenario; Wine's folder-backed drive is always ready: it is empty");
        }
        // Wine's mount manager takes a folder-backed drive's label and serial from these files.
        if (!d.label.empty()) WriteTextFile(folder / ".windows-label", d.label);
        if (d.serial) {
            char serial[16];
            std::snprintf(serial, sizeof serial, "%08X", static_cast<unsigned>(*d.serial));
            WriteTextFile(folder / ".windows-serial", serial);
        }
        if (d.type == kDriveRamdisk)
            notes->push_back(std::string("drive ") + d.letter + ": Wine has no RAM disks; it is a fixed disk");
        const std::string letter(1, static_cast<char>(std::tolower(static_cast<unsigned char>(d.letter))));
        SetStringValue(HKEY_LOCAL_MACHINE, "Software\\Wine\\Drives", letter + ":", WineDriveType(d.type));
        plan += letter + "\n";
    }
    WriteTextFile(paths.run_folder / "drives.txt", plan);
}

void SetUpFiles(const MachineDescription& machine) {
    for (const FileSetup& f : machine.files) {
        const fs::path path = WinePath(f.path);
        std::error_code ec;
        if (f.folder) {
            fs::create_directories(path, ec);
            if (ec) throw std::runtime_error("cannot make the folder " + path.string() + ": " + ec.message());
            continue;
        }
        fs::create_directories(path.parent_path(), ec);
        if (ec) throw std::runtime_error("cannot make the folder " + path.parent_path().string() + ": " + ec.message());
        WriteTextFile(path, f.bytes);
    }
}

}  // namespace

std::string WinePath(const std::string& placeholder_path) {
    std::optional<PlaceholderPath> split = SplitPlaceholderPath(placeholder_path);
    if (!split) return placeholder_path;
    char buffer[MAX_PATH + 1] = {0};
    DWORD n = split->placeholder == kWindowsFolderName ? GetWindowsDirectoryA(buffer, sizeof buffer)
                                                       : GetTempPathA(sizeof buffer, buffer);
    std::string folder = (n > 0 && n < sizeof buffer) ? std::string(buffer, n) : std::string();
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return split->rest.empty() ? folder : folder + "\\" + split->rest;
}

FileSnapshot SnapshotWineFiles() {
    FileSnapshot snapshot;
    for (const std::string& watched : WatchedFolders()) SnapshotFolder(WinePath(watched), watched, snapshot);
    return snapshot;
}

fs::path DriveFolder(const fs::path& run_folder, char letter) {
    return run_folder / "drives" / std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(letter))));
}

std::string WineVersionName(const OsVersionSetup& os) {
    if (os.platform_id == 1) {
        switch (os.major * 100 + os.minor) {
            case 400: return "win95";
            case 410: return "win98";
            case 490: return "winme";
            default: return "";
        }
    }
    if (os.platform_id != 2) return "";
    const bool server = os.product_type != 1;
    const uint32_t v = os.major * 100 + os.minor;
    switch (v) {
        case 500: return "win2k";
        case 501: return "winxp";
        case 502: return server ? "win2003" : "winxp64";
        case 600: return server ? "win2008" : "vista";
        case 601: return server ? "win2008r2" : "win7";
        case 602: return "win8";
        case 603: return "win81";
        case 1000: return "win10";
        default: return "";
    }
}

void SetUpWine(const MachineDescription& machine, const SetupPaths& paths, std::vector<std::string>* notes) {
    const MachineDescription& m = machine;
    // The devices' keys first: SetupAPI numbers driver keys by the first free number, and the
    // scenario's registry may already hold the driver keys it expects. Their properties and values
    // last, over the scenario's registry, as on the simulated machine.
    for (const DeviceSetup& device : m.devices) CreateDevice(device, notes);
    for (const RegFile& file : m.registry) ApplyRegFileToWine(file);
    for (const DeviceSetup& device : m.devices) FillDevice(device);
    SetVersion(machine, notes);
    SetUpDrives(machine, paths, notes);
    SetUpFiles(machine);

    if (!m.is_64bit)
        notes->push_back("the scenario's machine is 32-bit; Wine runs it as a 64-bit machine (one more registry view)");
    if (!m.administrator)
        notes->push_back("the scenario's user is not an administrator; Wine's user always is");
    RegisterServices(machine, StandinsIn(paths.standin_folder), paths.run_folder / "services.txt");
    for (const ServiceSetup& s : m.services)
        notes->push_back("service " + s.name + " is a stand-in service program of the harness, in place of Wine's");
    for (const ProgramSetup& p : m.programs)
        if (!p.never_ends)
            notes->push_back("program " + p.path + " runs " + std::to_string(RealRunTimeMs(p.run_time_ms)) +
                             " ms of real time under Wine, not " + std::to_string(p.run_time_ms) + " ms");
    if (m.tick_count_start)
        notes->push_back("the tick count cannot be set under Wine: it starts where Wine's does");
    RegisterWiaStandin(paths);
    for (const DeviceSetup& d : m.devices) {
        if (d.selected_driver)
            notes->push_back("device " + d.instance_id + " has no selected driver under Wine: the harness cannot "
                             "select one, so the INF section is not installed");
        if (d.description_unreadable)
            notes->push_back("device " + d.instance_id + " stays readable under Wine");
    }
    WriteKeysInTimeOrder(machine, notes);
}

}  // namespace tvx::wine

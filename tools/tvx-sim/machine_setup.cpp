// Setting up a simulated machine from a machine description, and reading it back.
#include "tools/tvx-sim/machine_setup.h"

#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "platform/text/guid.h"
#include "platform/text/hives.h"
#include "platform/text/names.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/registry_snapshot.h"
#include "tools/scenario/scenario_error.h"

namespace tvx::sim {
namespace {

namespace fs = std::filesystem;
using plat::sim::Hive;

// The simulated hive and the path below it, from a canonical path (which names a known hive).
std::pair<Hive, std::string> SimPath(const std::string& canonical) {
    std::optional<plat::text::HivePath> split = plat::text::SplitHivePath(canonical);
    if (!split) throw std::invalid_argument("not a registry path: " + canonical);
    return {static_cast<Hive>(split->hive), std::string(split->rest)};
}

// A .reg file's changes made through the simulated registry's set-up calls.
class SimRegFileTarget : public RegFileTarget {
public:
    explicit SimRegFileTarget(plat::sim::SimRegistry& registry) : registry_(registry) {}
    void RemoveTree(const std::string& path) override {
        auto [hive, rest] = SimPath(path);
        registry_.DeleteTree(hive, rest);
    }
    void EnsureKey(const std::string& path) override {
        auto [hive, rest] = SimPath(path);
        registry_.EnsureKey(hive, rest);
    }
    void SetValue(const std::string& path, const RegistryValue& value) override {
        auto [hive, rest] = SimPath(path);
        registry_.SetValue(hive, rest, value.name, value.type, std::vector<BYTE>(value.data.begin(), value.data.end()));
    }
    void DeleteValue(const std::string& path, const std::string& name) override {
        auto [hive, rest] = SimPath(path);
        registry_.DeleteValue(hive, rest, name);
    }

private:
    plat::sim::SimRegistry& registry_;
};

// Copies a drive's folder with everything in it, links followed. The folder was there
// when the description was made, but it may have gone since, or hold what cannot be copied (a file
// that cannot be read, a link that leads nowhere, a device): then the entry and what is wrong.
std::optional<std::string> CopyFolder(const fs::path& from, const fs::path& to) {
    std::error_code ec;
    fs::create_directories(to, ec);
    if (ec) return to.string() + ": " + ec.message();
    fs::recursive_directory_iterator it(from, fs::directory_options::follow_directory_symlink, ec);
    for (const fs::recursive_directory_iterator end; !ec && it != end; it.increment(ec)) {
        const fs::path& entry = it->path();
        const fs::path target = to / entry.lexically_relative(from);
        const fs::file_status status = fs::status(entry, ec);
        if (!ec && fs::is_directory(status))
            fs::create_directories(target, ec);
        else if (!ec)
            fs::copy_file(entry, target, fs::copy_options::overwrite_existing, ec);
        if (ec) return entry.string() + ": " + ec.message();
    }
    if (ec) return from.string() + ": " + ec.message();
    return std::nullopt;
}

void SetValues(plat::sim::SimRegistry& registry, const std::string& key_path, const std::vector<RegistryValue>& values) {
    for (const RegistryValue& v : values)
        registry.SetValue(Hive::LocalMachine, key_path, v.name, v.type, std::vector<BYTE>(v.data.begin(), v.data.end()));
}

}  // namespace

plat::sim::MachineProfile ProfileOf(const MachineDescription& m) {
    plat::sim::MachineProfile profile;
    profile.os.major = m.os.major;
    profile.os.minor = m.os.minor;
    profile.os.build = m.os.build;
    profile.os.platform_id = m.os.platform_id;
    profile.os.csd = m.os.service_pack;
    profile.os.product_type = static_cast<BYTE>(m.os.product_type);
    profile.is_64bit = m.is_64bit;
    profile.admin = m.administrator;
    return profile;
}

fs::path DriveFolder(const fs::path& run_folder, char letter) { return run_folder / std::string(1, letter); }

size_t AddDevice(plat::sim::Machine& machine, const DeviceSetup& d) {
    // The device's description as given; the values and the rest are the machine description's own.
    const plat::sim::DeviceConfig& config = d;
    const size_t index = machine.setupapi().AddDevice(config);
    if (d.hardware_key) SetValues(machine.registry(), machine.setupapi().hardware_key_path(index), d.hardware_key_values);
    if (!d.driver_instance.empty())
        SetValues(machine.registry(), machine.setupapi().driver_key_path(index), d.driver_key_values);
    // Made unreadable once its keys are written: the device was there when the set-up ran.
    if (d.description_unreadable) machine.setupapi().MakeUnreadable(index);
    return index;
}

size_t AddScanner(plat::sim::Machine& machine, const plat::DeviceDescription& device, const char* model) {
    return AddDevice(machine, Scanner(device, model ? model : ""));
}

void SetUpMachine(plat::sim::Machine& machine, const MachineDescription& m, const fs::path& run_folder,
                  const std::string& described_in) {
    for (const DriveSetup& d : m.drives) {
        fs::path folder = DriveFolder(run_folder, d.letter);
        if (d.letter == 'C') folder = machine.c_drive_folder();
        std::error_code same;
        if (!d.folder.empty() && !fs::equivalent(d.folder, folder, same)) {
            if (std::optional<std::string> wrong = CopyFolder(d.folder, folder))
                throw ScenarioError(described_in, d.line,
                                    "cannot copy drive " + std::string(1, d.letter) + ": folder: " + *wrong);
        }
        plat::sim::Drive drive;
        drive.letter = d.letter;
        drive.type = d.type;
        drive.label = d.label;
        drive.serial = d.serial ? *d.serial : 0x5C0E0000u + static_cast<unsigned char>(d.letter);
        // A drive without a folder holds no medium: an empty CD drive, which is not ready.
        if (!d.folder.empty() || d.letter == 'C') drive.folder = folder;
        machine.files().AddDrive(drive);
    }

    SimRegFileTarget registry(machine.registry());
    for (const RegFile& file : m.registry) ApplyRegFile(file, registry);

    for (const DeviceSetup& d : m.devices) AddDevice(machine, d);

    for (const ServiceSetup& s : m.services) {
        plat::sim::ServiceSetup service;
        service.name = s.name;
        service.display_name = s.display_name;
        service.state = s.state == "running" ? SERVICE_RUNNING : SERVICE_STOPPED;
        service.transition_ms = s.transition_ms;
        service.refuses_stop = s.refuses_stop;
        service.never_stops = s.never_stops;
        machine.services().AddService(service);
    }
    for (const WindowSetup& w : m.windows) machine.window().AddWindow(w.class_name, w.title);
    for (const ProgramSetup& p : m.programs)
        machine.process().SetProgram(plat::sim::ProgramBehaviour{p.path, p.run_time_ms, p.exit_code, p.never_ends});
    if (m.tick_count_start) machine.system().SetTickCountStart(*m.tick_count_start);

    if (m.wia.create_result != 0) machine.com_wia().FailDeviceManager(static_cast<HRESULT>(m.wia.create_result));
    for (const WiaEventResult& e : m.wia.event_results)
        machine.com_wia().SetRegistrationResult(plat::text::GuidFromText<GUID>(e.event),
                                                static_cast<HRESULT>(e.result));

    for (const FileSetup& f : m.files) {
        const std::string path = MachinePath(machine.files(), f.path);
        std::optional<fs::path> host = machine.files().HostPath(path);
        if (!host) throw ScenarioError(described_in, f.line, "cannot make " + f.path + " on the machine");
        // An earlier file of the description can stand where this one needs a folder.
        std::error_code ec;
        fs::create_directories(f.folder ? *host : host->parent_path(), ec);
        if (!ec && !f.folder) {
            std::ofstream out(*host, std::ios::binary | std::ios::trunc);
            out << f.bytes;
            std::error_code kind;
            if (!out.flush())
                ec = std::make_error_code(fs::is_directory(*host, kind) ? std::errc::is_a_directory : std::errc::io_error);
        }
        if (ec) throw ScenarioError(described_in, f.line, "cannot make " + f.path + " on the machine: " + ec.message());
    }

    // Last, so that no later set-up write moves the time again.
    for (const KeyTimeSetup& k : m.key_times) {
        auto [hive, rest] = SimPath(k.key);
        FILETIME time;
        time.dwLowDateTime = static_cast<DWORD>(k.time);
        time.dwHighDateTime = static_cast<DWORD>(k.time >> 32);
        if (!machine.registry().SetLastWriteTime(hive, rest, time))
            throw ScenarioError(described_in, k.line,
                                "key_times names a key the machine does not have: " + k.key);
    }
}

RegistrySnapshot SnapshotRegistry(const plat::sim::SimRegistry& registry) {
    RegistrySnapshot snapshot;
    const Hive hives[] = {Hive::ClassesRoot, Hive::CurrentUser, Hive::LocalMachine, Hive::Users, Hive::CurrentConfig};
    for (Hive hive : hives) {
        std::string root = plat::sim::HiveName(hive);
        registry.Walk(hive, [&](const plat::sim::RegKey& key, const std::string& path) {
            if (path.empty() && key.values.empty()) return;
            std::string full = path.empty() ? root : root + "\\" + path;
            RegistryKeyState& state = snapshot.Ensure(full);
            for (const plat::sim::RegValue& v : key.values)
                state.values.push_back(RegistryValue{v.name, v.type, std::vector<uint8_t>(v.data.begin(), v.data.end())});
        });
    }
    return snapshot;
}

std::string MachinePath(const plat::sim::SimFiles& files, const std::string& placeholder_path) {
    std::optional<PlaceholderPath> split = SplitPlaceholderPath(placeholder_path);
    if (!split) return placeholder_path;
    std::string folder = split->placeholder == kWindowsFolderName ? files.windows_dir() : files.temp_path();
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return split->rest.empty() ? folder : folder + "\\" + split->rest;
}

FileSnapshot SnapshotFiles(const plat::sim::SimFiles& files) {
    FileSnapshot snapshot;
    for (const std::string& watched : WatchedFolders())
        if (std::optional<fs::path> host = files.HostPath(MachinePath(files, watched)))
            SnapshotFolder(*host, watched, snapshot);
    return snapshot;
}

std::map<std::string, std::string> SnapshotLogs(const plat::sim::SimFiles& files) {
    std::map<std::string, std::string> logs;
    auto folder = files.HostPath(files.temp_path());
    if (!folder) return logs;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(*folder, ec)) {
        if (!entry.is_regular_file()) continue;
        std::string name = entry.path().filename().string();
        if (name.size() < 4 || !plat::text::EqualNames(name.substr(name.size() - 4), ".log")) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        logs[name] = std::move(bytes).str();
    }
    return logs;
}

}  // namespace tvx::sim

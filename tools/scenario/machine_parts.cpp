// Parts of machine descriptions written in code.
#include "tools/scenario/machine_parts.h"

#include <utility>

#include "tools/scenario/names.h"

namespace tvx {
namespace {

constexpr const char* kWrittenInCode = "(registry set up in code)";

RegFile& CodeFile(MachineDescription& machine) {
    for (RegFile& file : machine.registry)
        if (file.file == kWrittenInCode) return file;
    RegFile& file = machine.registry.emplace_back();
    file.file = kWrittenInCode;
    return file;
}

}  // namespace

RegistryWriter::RegistryWriter(MachineDescription& machine) : file_(CodeFile(machine)) {}

RegFileKey& RegistryWriter::Key(std::string_view key) {
    // Consecutive writes to one key share its entry, as a .reg file lists a key's values together.
    if (file_.keys.empty() || file_.keys.back().remove || file_.keys.back().path != key)
        file_.keys.push_back(RegFileKey{std::string(key), false, {}, 0});
    return file_.keys.back();
}

void RegistryWriter::EnsureKey(std::string_view key) { Key(key); }

void RegistryWriter::SetValue(std::string_view key, RegistryValue value) {
    Key(key).values.push_back(RegFileValue{std::move(value.name), false, value.type, std::move(value.data), 0});
}

void RegistryWriter::SetString(std::string_view key, std::string name, std::string_view text) {
    SetValue(key, StringValue(std::move(name), text));
}

void RegistryWriter::SetDword(std::string_view key, std::string name, uint32_t value) {
    std::vector<uint8_t> data(4);
    for (size_t i = 0; i < 4; ++i) data[i] = static_cast<uint8_t>(value >> (8 * i));
    SetValue(key, RegistryValue{std::move(name), kRegDword, std::move(data)});
}

RegistryValue StringValue(std::string name, std::string_view text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    return RegistryValue{std::move(name), kRegSz, std::move(data)};
}

DeviceSetup Scanner(const plat::DeviceDescription& device, std::string_view model) {
    DeviceSetup setup;
    static_cast<plat::DeviceDescription&>(setup) = device;
    if (!model.empty()) setup.hardware_key_values.push_back(StringValue(kModelValueName, model));
    return setup;
}

ServiceSetup StillImageService(bool running, uint32_t transition_ms) {
    ServiceSetup service;
    service.name = "stisvc";
    service.display_name = "Windows Image Acquisition (WIA)";
    service.state = running ? "running" : "stopped";
    service.transition_ms = transition_ms;
    return service;
}

DriveSetup OpticalDrive(char letter, const std::filesystem::path& folder, std::string label) {
    DriveSetup drive;
    drive.letter = letter;
    drive.type = kDriveCdrom;
    drive.label = std::move(label);
    drive.folder = folder;
    return drive;
}

}  // namespace tvx

// Parts of a machine description that tests, benchmarks and fuzz targets write in code: registry
// values added as a .reg file would add them, the scanner as the device installer hands it over,
// the still-image service, an install disc's drive. Portable.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tools/scenario/machine_description.h"

namespace tvx {

// The model value that the driver package's INF writes into the scanner's hardware key, by which
// the co-installer knows the device as its own.
inline constexpr const char* kModelValueName = "CoinstallerModel";
inline constexpr const char* kQ920kModel = "tvxQ920k";

// Registry content written in code goes into one .reg file of the description, made when the
// description has none of that name, and applied in order with the others. Keys are full paths,
// hive name first ("HKEY_LOCAL_MACHINE\\SOFTWARE\\X").
class RegistryWriter {
public:
    explicit RegistryWriter(MachineDescription& machine);

    void EnsureKey(std::string_view key);
    void SetValue(std::string_view key, RegistryValue value);
    // REG_SZ with its terminating NUL.
    void SetString(std::string_view key, std::string name, std::string_view text);
    void SetDword(std::string_view key, std::string name, uint32_t value);

private:
    RegFileKey& Key(std::string_view key);
    RegFile& file_;
};

// A REG_SZ value with its terminating NUL.
RegistryValue StringValue(std::string name, std::string_view text);

// The scanner as the device installer hands it over: the device as described, its hardware key
// holding the model value (none when `model` is empty).
DeviceSetup Scanner(const plat::DeviceDescription& device, std::string_view model = kQ920kModel);

// The still-image service as Windows installs it, stopped or running.
ServiceSetup StillImageService(bool running, uint32_t transition_ms = 0);

// An optical drive holding the disc in `folder` (nothing: an empty drive, not ready).
DriveSetup OpticalDrive(char letter, const std::filesystem::path& folder, std::string label = "");

}  // namespace tvx

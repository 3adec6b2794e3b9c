// A device of the machine as plain data: what the device installer knows of it and the driver it
// selected. The scenario reader fills it, the simulated machine's device installer is made from it,
// and the Wine harness sets up Wine's from it. Plain C++ without platform calls (both builds).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/text/guid.h"

namespace plat {

// The driver the device installer selected for a device: its INF file and install section.
struct SelectedDriver {
    std::string inf_file;        // "C:\\Windows\\inf\\oem3.inf"
    std::string section;         // the undecorated install section, "Q920k.Install"
    std::string description;     // the driver node's description
    std::string manufacturer;
    std::string provider;
    std::string hardware_id;     // the ID it matched; empty: the device's first hardware ID
};

struct DeviceDescription {
    std::string instance_id;                 // "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&2"
    std::string class_guid = text::kImageClassGuid;
    std::string class_name = "Image";
    std::string description;                 // SPDRP_DEVICEDESC
    std::string manufacturer;                // SPDRP_MFG
    std::vector<std::string> hardware_ids;   // SPDRP_HARDWAREID
    std::string driver_instance;             // "0000": a driver key; empty: none yet
    bool hardware_key = true;                // whether "Device Parameters" exists
    bool present = true;
    uint32_t install_flags = 0;              // SP_DEVINSTALL_PARAMS.Flags
    uint32_t install_flags_ex = 0;           // SP_DEVINSTALL_PARAMS.FlagsEx
    std::optional<SelectedDriver> selected_driver;
};

}  // namespace plat

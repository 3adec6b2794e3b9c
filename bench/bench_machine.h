// The benchmarks' machine: one generator that builds a simulated Windows computer of any scale with
// the same shape, so that the cost of a flow at 1x, 10x and 100x can be compared. Benchmarks only.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/sim/machine.h"
#include "tools/scenario/machine_description.h"

namespace tvx::bench {

// What one unit of scale holds; a machine of scale k holds k times each.
struct Shape {
    // Imaging devices (half of them present, half past), each with a driver key holding the
    // scanner's three button event keys, a hardware key and its imaging device-instance keys.
    static constexpr size_t kImagingDevices = 8;
    // Keys below Enum\USB: null-vendor device keys (half of them holding an instance, which keeps
    // them), the maker's device keys with instances (one of each three of setup class "Unknown"),
    // and other vendors' device keys with instances.
    static constexpr size_t kNullVendorKeys = 2;
    static constexpr size_t kMakerKeys = 5;
    static constexpr size_t kMakerInstances = 3;
    static constexpr size_t kOtherVendorKeys = 20;
    static constexpr size_t kOtherVendorInstances = 2;
    // Still-image events: handlers of the scanner's button events, and other events with theirs.
    static constexpr size_t kButtonHandlers = 2;  // per button event
    static constexpr size_t kOtherEvents = 5;
    static constexpr size_t kOtherEventHandlers = 2;
    // Other models' values in the hardware-first marker.
    static constexpr size_t kMarkerValues = 4;
};

// Where the installed software's parameters key is, for an extension that is told it is installed.
constexpr const char* kInstallRegPath = "SOFTWARE\\Tarvix\\Pellion";
constexpr const char* kInstallClsid = "{7D1F3B20-5E4C-4F6A-9B1D-2C3E4F506172}";

// What a flow needs to know about the machine built.
struct BenchMachine {
    int scale = 1;
    size_t scanner = 0;   // the device being installed: present, driver instance 0000
    size_t removed = 1;   // the device being removed: present, driver instance 0001
    size_t imaging_devices = 0;
    size_t usb_device_keys = 0;
    size_t event_handlers = 0;
    size_t marker_values = 0;
};

// The machine of a scale (1 or more): 64-bit Windows 7 whose drive D: is the install disc (its
// files made in disc_folder), the still-image service running, the installed software's parameters
// key and driver INF, and everything Shape counts, which `built` receives.
MachineDescription DescribeMachine(int scale, const std::filesystem::path& disc_folder, BenchMachine* built);

// Sets that machine up on a fresh simulated machine.
BenchMachine BuildMachine(plat::sim::Machine& machine, int scale, const std::string& disc_folder);

// The profile every benchmark machine has.
plat::sim::MachineProfile BenchProfile();

}  // namespace tvx::bench

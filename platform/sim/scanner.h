// The scanner as the tests, benchmarks and fuzz targets put it on a simulated machine: its device
// added, and its hardware key given the model value that the driver package's INF writes there
// ("CoinstallerModel"), by which the co-installer knows the device as its own.
#pragma once

#include "platform/sim/machine.h"

namespace plat::sim {

// Adds the device with its model value (none when `model` is null); answers its index.
inline size_t AddScanner(Machine& machine, const DeviceConfig& device, const char* model = "tvxQ920k") {
    const size_t index = machine.setupapi().AddDevice(device);
    if (model)
        machine.registry().SetString(Hive::LocalMachine, machine.setupapi().hardware_key_path(index),
                                     "CoinstallerModel", model);
    return index;
}

}  // namespace plat::sim

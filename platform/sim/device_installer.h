// One call of a co-installer as Windows' device installer makes it on the simulated machine: a
// device information set that holds the device, the device's information data, the context record
// with the pass and the install result handed in, the call, and the set destroyed afterwards.
// tvx-sim, the benchmarks, the fuzz targets and the tests all call the co-installer through it.
#pragma once

#include <cstddef>

#include "platform/sim/setupapi.h"

namespace plat::sim {

struct DifCall {
    DI_FUNCTION code = 0;
    size_t device = 0;                 // the device's index on the machine
    bool post_processing = false;      // the call after the class installer has run
    DWORD install_result = NO_ERROR;   // what the installers before answered (post-processing)
};

// The call itself, on a set and device data the caller holds: Entry is any callable with the
// co-installer entry's parameters, such as CoInstallerLibrary::Entry().
template <typename Entry>
DWORD CallCoInstaller(HDEVINFO set, SP_DEVINFO_DATA& data, const DifCall& call, Entry&& entry) {
    COINSTALLER_CONTEXT_DATA context{};
    context.PostProcessing = call.post_processing ? TRUE : FALSE;
    context.InstallResult = call.install_result;
    return entry(call.code, set, &data, &context);
}

// The whole call: the set is made for this call and destroyed after it. A call that never returns
// (the machine's WaitsForever) leaves the set open, as a device installer stuck in the call does.
template <typename Entry>
DWORD CallCoInstaller(SimSetupApi& devices, const DifCall& call, Entry&& entry) {
    SP_DEVINFO_DATA data;
    HDEVINFO set = devices.OpenSetFor(call.device, &data);
    const DWORD result = CallCoInstaller(set, data, call, entry);
    devices.SetupDiDestroyDeviceInfoList(set);
    return result;
}

}  // namespace plat::sim

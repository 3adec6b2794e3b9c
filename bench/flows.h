// The flows the benchmarks measure, each run on a fresh benchmark machine: the co-installer's own
// flows (new device hardware first and software first, removal, stale USB walk) and the simulated
// machine's own costs that those flows lean on. Benchmarks only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_machine.h"
#include "platform/sim/machine.h"
#include "platform/host/scratch_folder.h"

namespace tvx::bench {

enum class Flow {
    HardwareFirst,      // the new-device sequence with the software not installed
    SoftwareFirst,      // the new-device sequence with the software installed: the button-string
                        //   repair over every imaging device
    Removal,            // DIF_REMOVE of one device
    StaleUsb,           // the stale USB enumeration cleanup
    SubkeysByIndex,     // the simulated registry: every subkey of Enum\USB by index
    ValuesByName,       // the simulated registry: every marker value looked up by name
    HandleLookups,      // the handle table: a key open per imaging device, each used through its handle
};

struct FlowInfo {
    Flow flow;
    const char* name;   // for command lines and results: "hardware-first"
    const char* title;  // for tables and pictures
};

const std::vector<FlowInfo>& Flows();
std::optional<Flow> FlowByName(std::string_view name);
const FlowInfo& InfoOf(Flow flow);

// A benchmark machine of a scale, with folders of its own that go with it. Several may be prepared
// at once; one at a time is made the machine that plat:: calls reach.
class PreparedMachine {
public:
    // below: where its folders are made; empty: ScratchFolder::DefaultBelow().
    explicit PreparedMachine(int scale, const std::filesystem::path& below = {});
    PreparedMachine(const PreparedMachine&) = delete;
    PreparedMachine& operator=(const PreparedMachine&) = delete;

    plat::sim::Machine& machine() { return machine_; }
    const BenchMachine& built() const { return built_; }

    // Makes it the machine that plat:: calls reach, with a fresh trace, until Deactivate or its end.
    void Activate() { active_.emplace(machine_); }
    void Deactivate() { active_.reset(); }

private:
    static plat::host::ScratchFolder MakeFolder(const std::filesystem::path& below);

    plat::host::ScratchFolder folder_;
    plat::sim::Machine machine_;
    BenchMachine built_;
    std::optional<plat::sim::ActiveMachine> active_;
};

// Runs one flow on a prepared machine that is active. Whatever the flow keeps open on purpose (the
// named event of a software-first install) is closed afterwards by EndFlow, outside what is
// measured.
void RunFlow(Flow flow, PreparedMachine& prepared);
// Closes what a flow left open on purpose; answers a description of anything else left open or any
// call the machine did not model (empty when all is well).
std::string EndFlow(PreparedMachine& prepared);

}  // namespace tvx::bench

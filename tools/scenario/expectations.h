// Checking a scenario's expectations against a run's report and the machine's final registry and
// files.
// Portable: tvx-sim checks with its simulated registry, the Wine harness with Wine's.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/scenario/file_snapshot.h"
#include "tools/scenario/registry_snapshot.h"
#include "tools/scenario/report.h"
#include "tools/scenario/scenario.h"

namespace tvx {

// How a machine answers for its registry after the run (paths as in .reg files, physical view).
struct RegistryLookup {
    std::function<bool(const std::string& key)> key_exists;
    std::function<std::optional<RegistryValue>(const std::string& key, const std::string& value)> value;
};
RegistryLookup LookupIn(const RegistrySnapshot& snapshot);

// One message per unmet expectation, "file:line: expected ..., but ..."; empty when all are met.
// `files` holds the watched folders after the run (SnapshotFolder).
std::vector<std::string> CheckExpectations(const Scenario& scenario, const Report& report,
                                           const RegistryLookup& registry, const FileSnapshot& files);

}  // namespace tvx

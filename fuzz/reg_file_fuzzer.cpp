// Fuzz target: .reg files of both formats (REGEDIT4 and version 5 in UTF-16). Any input either
// reads or is refused with a ScenarioError naming the file and one of its lines; no other
// exception, crash or hang. What reads applies to a registry snapshot, and that snapshot written
// as a version-5 file reads back to the very same registry.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_finding.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/registry_snapshot.h"
#include "tools/scenario/scenario_error.h"

namespace {

using tvx::fuzz::Finding;

constexpr const char* kFileName = "fuzz.reg";

// Lines of a .reg file as its reader counts them: UTF-16 line feeds after a byte order mark,
// byte line feeds otherwise.
size_t RegLineCount(std::string_view bytes) {
    if (bytes.size() < 2 || bytes.substr(0, 2) != "\xFF\xFE") return tvx::fuzz::LineCount(bytes);
    size_t lines = 1;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
        if (bytes[i] == '\n' && bytes[i + 1] == '\0') ++lines;
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes = tvx::fuzz::AsText(data, size);
    tvx::RegFile file;
    try {
        file = tvx::ParseRegFile(bytes, kFileName);
    } catch (const tvx::ScenarioError& e) {
        if (e.file() != kFileName) Finding("the error names another file: " + std::string(e.what()));
        if (e.message().empty()) Finding("an error without a message");
        if (e.line() < 0 || static_cast<size_t>(e.line()) > RegLineCount(bytes))
            Finding("the error's line is not a line of the file: " + std::string(e.what()));
        return 0;
    }

    tvx::RegistrySnapshot snapshot;
    tvx::ApplyRegFile(file, snapshot);
    const std::string written = tvx::WriteRegFile(snapshot);
    tvx::RegistrySnapshot back;
    try {
        tvx::ApplyRegFile(tvx::ParseRegFile(written, "written.reg"), back);
    } catch (const tvx::ScenarioError& e) {
        Finding("the registry written as a .reg file does not read back: " + std::string(e.what()));
    }
    const tvx::RegistryDiff diff = tvx::DiffRegistry(snapshot, back);
    if (!diff.empty())
        Finding("the registry written as a .reg file reads back to another registry:\n" +
                tvx::FormatRegistryDiff(diff));
    return 0;
}

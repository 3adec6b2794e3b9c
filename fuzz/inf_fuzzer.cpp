// Fuzz target: the driver INF as the co-installer reads it, on the simulated machine. The input is
// the INF file's bytes. Three readers go over it:
// - the INI-file queries (section names, key names, values) with buffers of many sizes, each
//   exactly as large as announced, so a write past it is a report; an answer must fit its buffer
//   and end in a NUL;
// - CReadInf's walks (Events sections, their keys, the fields and friendly-name tokens);
// - the localized button-string repair, over an imaging device whose driver key holds an event key
//   for every button the walks found, once with the buttons named by the INF and once by the
//   installed software's key.
// Every walk must end, nothing may be left open, and the repair writes no text it did not read.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_finding.h"
#include "platform/host/call_layer.h"
#include "inf/fix_strings.h"
#include "inf/read_inf.h"
#include "platform/sim/machine.h"
#include "platform/text/guid.h"
#include "tools/scenario/machine_parts.h"
#include "tools/tvx-sim/machine_setup.h"

namespace {

using plat::sim::Hive;
using tvx::fuzz::Finding;

constexpr const char* kFolder = "C:\\Drivers\\";
constexpr const char* kInfName = "tvx.inf";
constexpr const char* kInfPath = "C:\\Drivers\\tvx.inf";
constexpr const char* kParamsKey = "SOFTWARE\\Tarvix\\tvx\\Params";
constexpr const char* kParamsKeyStored = "SOFTWARE\\Wow6432Node\\Tarvix\\tvx\\Params";
// More steps than any walk over a file of libFuzzer's input sizes can take: a walk that goes on
// past it does not end.
constexpr int kWalkLimit = 100000;
// Buffer sizes for the queries: the smallest, the sizes the co-installer uses, and one for all.
const DWORD kListSizes[] = {1, 2, 3, 16, 260, 1040};
const DWORD kValueSizes[] = {1, 2, 16, 260};
// Every query reads the whole file again: a few sections and keys are asked in every way.
constexpr size_t kQueried = 4;

// One query with a heap buffer of exactly nSize bytes; the answer must lie within it, NUL-ended.
std::string Query(const char* section, const char* key, DWORD nSize) {
    std::vector<char> buffer(nSize, '\x55');
    const DWORD length = plat::GetPrivateProfileStringA(section, key, "dflt", buffer.data(), nSize, kInfPath);
    if (length >= nSize || buffer[length] != '\0')
        Finding("GetPrivateProfileStringA answered " + std::to_string(length) + " for a buffer of " +
                std::to_string(nSize) + " without a NUL at that place");
    return std::string(buffer.data(), length + (section && key ? 0 : 1));
}

// The names of a list answer ("a\0b\0\0"), in order.
std::vector<std::string> Names(const std::string& list) {
    std::vector<std::string> names;
    for (size_t at = 0; at < list.size();) {
        const size_t nul = list.find('\0', at);
        const size_t end = nul == std::string::npos ? list.size() : nul;
        if (end == at) break;
        names.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

void QueryEverything() {
    for (DWORD size : kListSizes) Query(nullptr, nullptr, size);
    const std::vector<std::string> sections = Names(Query(nullptr, nullptr, 4096));
    for (size_t s = 0; s < sections.size() && s < kQueried; ++s) {
        for (DWORD size : kListSizes) Query(sections[s].c_str(), nullptr, size);
        const std::vector<std::string> keys = Names(Query(sections[s].c_str(), nullptr, 4096));
        for (size_t k = 0; k < keys.size() && k < kQueried; ++k)
            for (DWORD size : kValueSizes) Query(sections[s].c_str(), keys[k].c_str(), size);
    }
}

// CReadInf's walks as the repair makes them; answers the buttons (key names) and tokens found.
void WalkInf(std::set<std::string>& buttons, std::set<std::string>& tokens) {
    CReadInf inf(kFolder, kInfName);
    std::string section = ".Events";
    int steps = 0;
    while (inf.FindNextSection(section)) {
        if (++steps > kWalkLimit) Finding("the walk over the Events sections does not end");
        const std::string evtReg = CFixStrings::EvtRegSectionName(section);
        std::string key;
        int keySteps = 0;
        while (inf.GetNextKeyName(section, key)) {
            if (++keySteps > kWalkLimit) Finding("the walk over the keys of " + section + " does not end");
            buttons.insert(key);
            std::string token;
            if (inf.GetStringValueName(section, key, token)) tokens.insert(token);
            if (inf.GetAppValueName(section, key, token)) tokens.insert(token);
            if (inf.GetButLocValueName(evtReg, key, token)) tokens.insert(token);
        }
    }
}

// The installed software's key, the INF on drive C: and one imaging device whose driver key holds
// an event key for each button.
void SetUpRepair(plat::sim::Machine& machine, const std::set<std::string>& buttons,
                 const std::set<std::string>& tokens) {
    tvx::MachineDescription m;
    tvx::RegistryWriter registry(m);
    const std::string params = std::string("HKEY_LOCAL_MACHINE\\") + kParamsKeyStored;
    registry.SetString(params, "DriverFolder", kFolder);
    registry.SetString(params, "InfName", kInfName);
    for (const std::string& token : tokens)
        if (!token.empty()) registry.SetString(params, token, "text of " + token);
    tvx::DeviceSetup& device = m.devices.emplace_back();
    device.instance_id = "USB\\VID_2E5A&PID_0920\\5&1F2E3D4C&0&2";
    device.driver_instance = "0000";
    const std::string driverKey = std::string("HKEY_LOCAL_MACHINE\\") + plat::sim::kClassRoot + "\\" +
                                  device.class_guid + "\\" + device.driver_instance;
    for (const std::string& button : buttons) {
        // Names a registry key cannot have are left out: the device installer could not have made them.
        if (button.empty() || button.find('\\') != std::string::npos || button.size() > 255) continue;
        const std::string path = driverKey + "\\Events\\" + button;
        registry.SetString(path, "", "INF text");
        registry.SetString(path, "FriendlyName", "INF name");
    }
    tvx::sim::SetUpMachine(machine, m, machine.c_drive_folder(), "the fuzzed INF's machine");
}

// A value's text without its terminating NUL.
std::string TextOf(const plat::sim::RegValue& value) {
    std::string text(value.data.begin(), value.data.end());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// Every text of the device's event keys is the driver's own or one of the software key's texts:
// the repair writes nothing it did not read.
void ExpectOnlyReadTexts(plat::sim::Machine& machine, const char* after) {
    std::set<std::string> given = {"INF text", "INF name"};
    if (const auto params = machine.registry().FindKey(Hive::LocalMachine, kParamsKeyStored))
        for (const auto& value : params->values) given.insert(TextOf(value));
    const std::string events = machine.setupapi().driver_key_path(0) + "\\Events";
    machine.registry().Walk(Hive::LocalMachine, [&](const plat::sim::RegKey& key, const std::string& path) {
        if (path.size() <= events.size() || path.compare(0, events.size(), events) != 0) return;
        for (const auto& value : key.values)
            if (!given.count(TextOf(value)))
                Finding(std::string("after ") + after + ", " + path + " holds a text nobody gave it: " + TextOf(value));
    });
}

void ExpectClean(plat::sim::Machine& machine, const char* after) {
    if (machine.handles().open_count() != 0) {
        std::string open;
        for (const std::string& line : machine.handles().Describe()) open += "\n  " + line;
        Finding(std::string("handles left open after ") + after + ":" + open);
    }
    if (!plat::host::Layer().not_modelled().empty())
        Finding(std::string("a call the simulated machine does not model, after ") + after + ": " +
                plat::host::Layer().not_modelled().front());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tvx::fuzz::QuietLayer quiet;
    const plat::host::ScratchFolder run = tvx::fuzz::MakeRunFolder("fuzz_inf-");
    plat::sim::Machine machine({}, run.path() / "C");
    plat::sim::ActiveMachine active(machine);
    plat::host::Layer().SetTracing(false);
    machine.files().WriteFile(kInfPath, std::string(tvx::fuzz::AsText(data, size)));

    QueryEverything();
    std::set<std::string> buttons;
    std::set<std::string> tokens;
    WalkInf(buttons, tokens);
    ExpectClean(machine, "the INF walks");

    SetUpRepair(machine, buttons, tokens);
    { CFixStrings(kParamsKey).FixLocButRegStrings(); }
    ExpectClean(machine, "the repair with the INF's buttons");
    ExpectOnlyReadTexts(machine, "the repair with the INF's buttons");

    // The same with the buttons named in the software's key, the first two the INF knows.
    int n = 1;
    for (auto it = buttons.begin(); it != buttons.end() && n <= 2; ++it, ++n)
        machine.registry().SetString(Hive::LocalMachine, kParamsKeyStored, "ButNameInf" + std::to_string(n), *it);
    { CFixStrings(kParamsKey).FixLocButRegStrings(); }
    ExpectClean(machine, "the repair with the software key's buttons");
    ExpectOnlyReadTexts(machine, "the repair with the software key's buttons");
    return 0;
}

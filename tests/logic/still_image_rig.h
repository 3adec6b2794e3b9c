// A simulated machine for the still-image event work: the system's event registrations (the
// wizard's ScanButton handler among them), the event keys of a device instance below the imaging
// class key, and readers for what the co-installer wrote.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/sim/setupapi.h"
#include "tests/sim_fixture.h"

namespace tvx::test {

constexpr const char* kSystemEvents = "SYSTEM\\CurrentControlSet\\Control\\StillImage\\Events";
using plat::sim::kImageClassKey;
constexpr const char* kWizardClsid = "{D13E3F25-1688-45A0-9743-759EB35CDF9A}";
// The WIA scan events the buttons send.
constexpr const char* kScanImage = "{A6C5A715-8C6E-11D2-977A-0000F87A926F}";
constexpr const char* kScanPrint = "{B441F425-8C6E-11D2-977A-0000F87A926F}";
constexpr const char* kScanEmail = "{C686DCEE-54F2-419E-9A27-2FC7F2E98F9E}";

// A handler registration's texts; a null field is left out of the handler key.
struct HandlerTexts {
    const char* cmdLine = "C:\\Program Files\\Scan\\scan.exe /StiDevice:%1 /StiEvent:%2";
    const char* desc = "Scan with the Scan application";
    const char* icon = "C:\\Program Files\\Scan\\scan.exe,0";
    const char* name = "Scan";
};

class StillImageRig {
public:
    explicit StillImageRig(SimRig& rig) : rig_(rig) {}

    plat::sim::SimRegistry& Registry() { return rig_.machine.registry(); }

    // A system-wide event key with its GUID.
    void SystemEvent(const std::string& event, const std::string& guid) {
        Registry().SetString(plat::sim::Hive::LocalMachine, std::string(kSystemEvents) + "\\" + event, "GUID", guid);
    }
    // A handler below a system-wide event, its key last written at the given virtual time (in
    // seconds from the machine's start; times must come in rising order of calls).
    void SystemHandler(const std::string& event, const std::string& handler, uint64_t seconds,
                       const HandlerTexts& texts = {}) {
        auto& clock = rig_.machine.clock();
        if (seconds * 1000 > clock.now_ms()) clock.Advance(seconds * 1000 - clock.now_ms());
        const std::string path = std::string(kSystemEvents) + "\\" + event + "\\" + handler;
        Registry().EnsureKey(plat::sim::Hive::LocalMachine, path);
        auto set = [&](const char* name, const char* text) {
            if (text) Registry().SetString(plat::sim::Hive::LocalMachine, path, name, text);
        };
        set("CmdLine", texts.cmdLine);
        set("Desc", texts.desc);
        set("Icon", texts.icon);
        set("Name", texts.name);
    }
    // The wizard's registration for the system's ScanButton event, where its name, description
    // and icon are taken from.
    void Wizard(const char* name = "Microsoft Scanner and Camera Wizard",
                const char* desc = "Download pictures from a camera or scanner", const char* icon = "sti.dll,0") {
        SystemEvent("ScanButton", kScanImage);
        HandlerTexts texts;
        texts.cmdLine = "rundll32.exe shimgvw.dll,ImageView_Fullscreen";
        texts.name = name;
        texts.desc = desc;
        texts.icon = icon;
        SystemHandler("ScanButton", kWizardClsid, 0, texts);
    }

    std::string DeviceKey(const std::string& instance) { return std::string(kImageClassKey) + "\\" + instance; }
    std::string DeviceEventKey(const std::string& instance, const std::string& event) {
        return DeviceKey(instance) + "\\Events\\" + event;
    }
    // An event key of a device instance; a null GUID leaves the "GUID" value out.
    void DeviceEvent(const std::string& instance, const std::string& event, const char* guid) {
        const std::string path = DeviceEventKey(instance, event);
        Registry().EnsureKey(plat::sim::Hive::LocalMachine, path);
        if (guid) Registry().SetString(plat::sim::Hive::LocalMachine, path, "GUID", guid);
    }

    // A value's type and bytes as "REG_SZ:text" (NULs shown as \0), or "<missing>".
    std::string Value(const std::string& path, const std::string& name) {
        auto v = Registry().GetValue(plat::sim::Hive::LocalMachine, path, name);
        if (!v) return "<missing>";
        std::string out = v->type == REG_SZ ? "REG_SZ:" : "type " + std::to_string(v->type) + ":";
        for (BYTE b : v->data) out += b ? std::string(1, static_cast<char>(b)) : std::string("\\0");
        return out;
    }
    bool HasKey(const std::string& path) { return Registry().FindKey(plat::sim::Hive::LocalMachine, path) != nullptr; }
    // The names of a key's subkeys, in Windows' order.
    std::vector<std::string> Subkeys(const std::string& path) {
        std::vector<std::string> names;
        if (auto key = Registry().FindKey(plat::sim::Hive::LocalMachine, path))
            for (const auto& sub : key->subkeys) names.push_back(sub->name);
        return names;
    }

private:
    SimRig& rig_;
};

// The trace's registry writes, in call order, as "create <subkey>" and "set <value> <byte count>".
inline std::vector<std::string> RegistryWrites() {
    std::vector<std::string> writes;
    for (const auto& r : plat::host::Layer().trace()) {
        if (r.call != "RegCreateKeyExA" && r.call != "RegSetValueExA") continue;
        // The second argument is the quoted subkey or value name; the last, for a value, its count.
        size_t open = r.args.find('"');
        size_t close = open == std::string::npos ? open : r.args.find('"', open + 1);
        std::string name = close == std::string::npos ? "?" : r.args.substr(open + 1, close - open - 1);
        if (r.call == "RegCreateKeyExA")
            writes.push_back("create " + name);
        else
            writes.push_back("set " + name + " " + r.args.substr(r.args.rfind(", ") + 2));
    }
    return writes;
}

// The lines the last logger on a file wrote between its start and end lines.
inline std::string LogBody(const std::string& log) {
    const std::string start = "Start Log\r\n";
    size_t from = log.rfind(start);
    std::string body = from == std::string::npos ? log : log.substr(from + start.size());
    // The end lines: a timestamp line, then "End Log".
    size_t end = body.rfind("\r\nEnd Log\r\n");
    if (end == std::string::npos) return body;
    size_t stamp = end == 0 ? std::string::npos : body.rfind("\r\n", end - 1);
    return stamp == std::string::npos ? "" : body.substr(0, stamp + 2);
}

}  // namespace tvx::test

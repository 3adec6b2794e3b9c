// A simulated machine for the button-string repair: the installed software's parameters key, the
// driver INF it names, and imaging devices whose driver keys hold button event keys.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/text/ansi.h"
#include "platform/text/encoding.h"
#include "platform/text/guid.h"
#include "tests/sim_fixture.h"

namespace tvx::test {

constexpr const char* kFixParamsKey = "SOFTWARE\\Tarvix\\tvx\\Params";
// Where the 32-bit view keeps it on a 64-bit machine.
constexpr const char* kFixParamsKeyStored = "SOFTWARE\\Wow6432Node\\Tarvix\\tvx\\Params";
inline const std::string& kFixImageClassKey = plat::sim::kImageClassKey;

// A driver INF in the usual shape: the Events section lists the buttons with their description
// and application-list tokens, the EvtReg section their friendly-name tokens.
constexpr const char* kFixInf =
    "[Version]\r\n"
    "Signature=\"$Windows NT$\"\r\n"
    "Class=Image\r\n"
    "\r\n"
    "[Scanner.Events]\r\n"
    "ScanButton = %ScanButton.Desc%,{A6C5A715-8C6E-11D2-977A-0000F87A926F},%ScanApps%\r\n"
    "CopyButton = %CopyButton.Desc%,{B441F425-8C6E-11D2-977A-0000F87A926F},%CopyApps%\r\n"
    "EmailButton = %EmailButton.Desc%,{C686DCEE-54F2-419E-9A27-2FC7F2E98F9E},%EmailApps%\r\n"
    "\r\n"
    "[Scanner.EvtReg]\r\n"
    "HKR,Events\\ScanButton,FriendlyName,,%ScanButton.FriendlyName%\r\n"
    "HKR,Events\\CopyButton,FriendlyName,,%CopyButton.FriendlyName%\r\n"
    "HKR,Events\\EmailButton,FriendlyName,,%EmailButton.FriendlyName%\r\n"
    "\r\n"
    "[Strings]\r\n"
    "ScanButton.Desc=\"Scan Button\"\r\n";

// A driver INF saved as Unicode, as driver INFs often are: UTF-16 little-endian with its byte-order
// mark (FF FE).
inline std::string Utf16LeInf(std::string_view ansi) {
    return "\xFF\xFE" + plat::text::Utf16LeBytes(plat::text::AnsiToUtf16(ansi));
}

class FixStringsRig : public SimRig {
public:
    explicit FixStringsRig(const std::string& suffix = "") : SimRig({}, suffix) {}

    plat::sim::SimRegistry& Registry() { return machine.registry(); }

    // The parameters key with its folder and INF name, and the INF itself.
    void InstallSoftware(const std::string& inf = kFixInf) {
        Param("DriverFolder", "C:\\Drivers\\");
        Param("InfName", "tvx.inf");
        machine.files().WriteFile("C:\\Drivers\\tvx.inf", inf);
    }
    void Param(const std::string& name, const std::string& text) {
        Registry().SetString(plat::sim::Hive::LocalMachine, kFixParamsKeyStored, name, text);
    }
    // The localized texts of every token of kFixInf, in the language given.
    void Texts(const std::string& language) {
        for (const char* button : {"ScanButton", "CopyButton", "EmailButton"}) {
            Param(std::string(button) + ".Desc", language + " " + button + " description");
            Param(std::string(button) + ".FriendlyName", language + " " + button + " name");
        }
        Param("ScanApps", language + " scan applications");
        Param("CopyApps", language + " copy applications");
        Param("EmailApps", language + " email applications");
    }

    // An imaging device (or one of another class) with a driver key, answering its index.
    size_t Device(const std::string& instance, const std::string& driver,
                  const char* classGuid = plat::text::kImageClassGuid, bool present = true) {
        plat::sim::DeviceConfig d;
        d.instance_id = instance;
        d.class_guid = classGuid;
        d.driver_instance = driver;
        d.present = present;
        return machine.setupapi().AddDevice(d);
    }
    // An event key below a driver key, with the texts the driver installation gave it; an empty
    // description leaves the key without a default value.
    void EventKey(const std::string& driver, const std::string& button, const std::string& description = "INF text",
                  const std::string& classKey = kFixImageClassKey) {
        const std::string path = classKey + "\\" + driver + "\\Events\\" + button;
        Registry().EnsureKey(plat::sim::Hive::LocalMachine, path);
        if (!description.empty()) Registry().SetString(plat::sim::Hive::LocalMachine, path, "", description);
        Registry().SetString(plat::sim::Hive::LocalMachine, path, "FriendlyName", "INF name");
        Registry().SetString(plat::sim::Hive::LocalMachine, path, "LaunchApplications", "INF apps");
    }
    // A value of an event key, as text without its NUL, or "<missing>".
    std::string Event(const std::string& driver, const std::string& button, const std::string& name,
                      const std::string& classKey = kFixImageClassKey) {
        auto v = Registry().GetValue(plat::sim::Hive::LocalMachine, classKey + "\\" + driver + "\\Events\\" + button,
                                     name);
        if (!v) return "<missing>";
        std::string text(v->data.begin(), v->data.end());
        if (!text.empty() && text.back() == '\0') text.pop_back();
        return text;
    }
    // The repair's log without its timestamp lines and framing.
    std::string RepairLog() {
        std::string log = Log("_scan_buttons.log");
        const std::string start = "Start Log\r\n";
        size_t from = log.find(start);
        size_t to = log.rfind("09:30:00");
        if (from == std::string::npos || to == std::string::npos || to < from) return log;
        return log.substr(from + start.size(), to - from - start.size());
    }
};

}  // namespace tvx::test

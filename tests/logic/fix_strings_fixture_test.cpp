// The model variant's FixInstalledStrings end to end on a simulated machine: the driver INF and
// the expected "_scan_buttons.log" (timestamps masked) and event-key values are fixture files in
// tests/fixtures/fix_strings/. On a difference the actual files are left in the test's scratch
// folder for comparison.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "entry/setup_extension_q920k.h"
#include "tests/logic/fix_strings_rig.h"

namespace {

using tvx::test::FirstDifference;
using tvx::test::FixStringsRig;
using tvx::test::MaskTimestamps;

const std::filesystem::path kFixtures = std::filesystem::path(TVX_TEST_FIXTURES) / "fix_strings";

std::string ReadFixture(const std::string& name) {
    std::ifstream in(kFixtures / name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return in ? out.str() : "<missing fixture " + name + ">";
}

// Every value below the imaging class's Events keys, one line each, as text.
std::string EventValues(FixStringsRig& rig) {
    std::string out;
    rig.Registry().Walk(plat::sim::Hive::LocalMachine, [&](const plat::sim::RegKey& key, const std::string& path) {
        if (path.find("\\Events\\") == std::string::npos) return;
        out += "[" + path + "]\n";
        for (const auto& v : key.values) {
            std::string text(v.data.begin(), v.data.end());
            if (!text.empty() && text.back() == '\0') text.pop_back();
            out += "\"" + (v.name.empty() ? std::string("@") : v.name) + "\"=\"" + text + "\"\n";
        }
    });
    return out;
}

void KeepActual(const std::filesystem::path& folder, const std::string& name, const std::string& bytes) {
    std::ofstream(folder / name, std::ios::binary) << bytes;
}

TEST(FixStringsFixture, FixInstalledStringsRewritesTheButtonTextsOfEveryImagingDevice) {
    FixStringsRig rig;
    const char* folder = "C:\\Program Files (x86)\\Tarvix\\Driver\\";
    rig.Param("DriverFolder", folder);
    rig.Param("InfName", "TarvixWia_LXR415_U.INF");
    rig.machine.files().WriteFile(std::string(folder) + "TarvixWia_LXR415_U.INF",
                                  ReadFixture("TarvixWia_LXR415_U.INF"));
    // The localized texts the installed software left, German here; the PDF button's friendly
    // name and the e-mail and scan application lists are missing.
    rig.Param("ScanButton.Desc", "Scannen");
    rig.Param("ScanButton.FriendlyName", "Scan-Taste");
    rig.Param("CopyButton.Desc", "Kopieren");
    rig.Param("CopyButton.FriendlyName", "Kopier-Taste");
    rig.Param("CopyApps", "Tarvix Kopie");
    rig.Param("EmailButton.Desc", "E-Mail senden");
    rig.Param("EmailButton.FriendlyName", "E-Mail-Taste");
    rig.Param("PdfButton.Desc", "Als PDF scannen");
    rig.Param("PdfApps", "Tarvix PDF");

    // The scanner, an unplugged second one, a device of another make, and a device that has no
    // driver key yet.
    rig.Device("USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&2", "0000");
    rig.Device("USB\\VID_1A2B&PID_0920\\5&2A3B4C5D&0&1", "0001", plat::text::kImageClassGuid, false);
    rig.Device("USB\\VID_04B8&PID_0110\\6&11AA22BB&0&3", "0002");
    rig.Device("ROOT\\IMAGE\\0000", "");
    for (const char* button : {"ScanButton", "CopyButton", "EmailButton", "PdfButton"}) {
        rig.EventKey("0000", button);
        rig.EventKey("0001", button, button == std::string("PdfButton") ? "" : "INF text");
    }
    rig.EventKey("0002", "ScanButton");

    {
        CSetupExtensionQ920k ext;
        ext.FixInstalledStrings(tvx::test::kFixParamsKey);
    }

    const std::filesystem::path actual = tvx::test::FreshScratchFolder("-actual");
    const std::string log = MaskTimestamps(rig.Log("_scan_buttons.log"));
    const std::string expectedLog = ReadFixture("expected_scan_buttons.log");
    if (log != expectedLog) KeepActual(actual, "expected_scan_buttons.log", log);
    EXPECT_EQ(log, expectedLog) << FirstDifference(log, expectedLog);

    const std::string values = EventValues(rig);
    const std::string expectedValues = ReadFixture("expected_event_values.txt");
    if (values != expectedValues) KeepActual(actual, "expected_event_values.txt", values);
    EXPECT_EQ(values, expectedValues) << FirstDifference(values, expectedValues);
    rig.ExpectClean();
}

}  // namespace

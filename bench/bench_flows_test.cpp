// The benchmarks measure what they claim: the generator's machine grows every part with the scale,
// and each flow does its whole work on it (not an early way out) and leaves nothing open.
#include <gtest/gtest.h>

#include <string>

#include "bench/flows.h"
#include "platform/sim/setupapi.h"

namespace {

using plat::sim::Hive;
using tvx::bench::Flow;
using tvx::bench::PreparedMachine;
using tvx::bench::Shape;

const std::string& kClassKey = plat::sim::kImageClassKey;
constexpr const char* kEvents = "SYSTEM\\CurrentControlSet\\Control\\StillImage\\Events";
constexpr const char* kMarker = "SOFTWARE\\Wow6432Node\\Tarvix\\tvx\\c32\\tvx";

size_t Subkeys(PreparedMachine& m, const std::string& path) {
    auto key = m.machine().registry().FindKey(Hive::LocalMachine, path);
    return key ? key->subkeys.size() : 0;
}

std::string Text(PreparedMachine& m, const std::string& path, const std::string& name) {
    auto value = m.machine().registry().GetValue(Hive::LocalMachine, path, name);
    if (!value) return "<missing>";
    std::string text(value->data.begin(), value->data.end());
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

// The USB keys that the stale cleanup must leave: every key but the null-vendor keys without an
// instance, and every instance but the maker's of setup class "Unknown".
size_t KeptUsbKeys(size_t units) {
    return units * (Shape::kNullVendorKeys / 2 + Shape::kMakerKeys + Shape::kOtherVendorKeys);
}

TEST(BenchMachine, EveryPartGrowsWithTheScale) {
    for (const int scale : {1, 3}) {
        SCOPED_TRACE("scale " + std::to_string(scale));
        PreparedMachine m(scale);
        m.Activate();
        const auto units = static_cast<size_t>(scale);
        EXPECT_EQ(m.machine().setupapi().device_count(), units * Shape::kImagingDevices);
        EXPECT_EQ(Subkeys(m, kClassKey), units * Shape::kImagingDevices);
        EXPECT_EQ(Subkeys(m, "Enum\\USB"),
                  units * (Shape::kNullVendorKeys + Shape::kMakerKeys + Shape::kOtherVendorKeys));
        EXPECT_EQ(Subkeys(m, std::string(kEvents) + "\\CopyButton"), units * Shape::kButtonHandlers);
        EXPECT_EQ(Subkeys(m, kEvents), 3 + units * Shape::kOtherEvents);
        auto marker = m.machine().registry().FindKey(Hive::LocalMachine, kMarker);
        ASSERT_TRUE(marker);
        EXPECT_EQ(marker->values.size(), 2 + units * Shape::kMarkerValues);
        EXPECT_EQ(tvx::bench::EndFlow(m), "");
    }
}

// What each flow must have done on a machine of the given units.
void CheckWork(Flow flow, PreparedMachine& m, size_t units) {
    switch (flow) {
        case Flow::HardwareFirst:
            // The finish-install action ran the firmware tool and the setup; the stale keys went.
            EXPECT_EQ(m.machine().process().started().size(), 2u);
            EXPECT_EQ(Subkeys(m, "Enum\\USB"), KeptUsbKeys(units));
            EXPECT_TRUE(m.machine().sync().set_events().empty());
            return;
        case Flow::SoftwareFirst:
            // Every imaging device's buttons got the software's texts.
            for (size_t d = 0; d < units * Shape::kImagingDevices; ++d) {
                char driver[8];
                std::snprintf(driver, sizeof driver, "%04u", static_cast<unsigned>(d));
                const std::string events = std::string(kClassKey) + "\\" + driver + "\\Events\\";
                EXPECT_EQ(Text(m, events + "ScanButton", ""), "Taste ScanButton") << driver;
                EXPECT_EQ(Text(m, events + "EmailButton", "FriendlyName"), "Knopf EmailButton") << driver;
                EXPECT_EQ(Text(m, events + "CopyButton", "LaunchApplications"), "Pellion Copy") << driver;
            }
            EXPECT_EQ(m.machine().sync().set_events().size(), 1u);
            return;
        case Flow::Removal: {
            EXPECT_FALSE(m.machine().registry().FindKey(
                Hive::LocalMachine,
                "SOFTWARE\\Wow6432Node\\Tarvix\\DigitalImaging\\Tarvix Q921k\\DeviceInstances\\6&2A000001&0&1"));
            EXPECT_FALSE(m.machine().files().IsFile("C:\\Windows\\TWAIN_32\\tvpn_0001\\tvpn_0001.ds"));
            EXPECT_EQ(Text(m, kMarker, "tvxQ920k"), "<missing>");
            auto marker = m.machine().registry().FindKey(Hive::LocalMachine, kMarker);
            ASSERT_TRUE(marker);
            EXPECT_EQ(marker->values.size(), 1 + units * Shape::kMarkerValues);
            return;
        }
        case Flow::StaleUsb:
            EXPECT_EQ(Subkeys(m, "Enum\\USB"), KeptUsbKeys(units));
            return;
        case Flow::SubkeysByIndex:
        case Flow::ValuesByName:
        case Flow::HandleLookups:
            // They only read; what matters is that they leave nothing open.
            return;
    }
}

TEST(BenchFlows, EachDoesItsWholeWorkAndLeavesNothingOpen) {
    const int scale = 2;
    for (const tvx::bench::FlowInfo& info : tvx::bench::Flows()) {
        SCOPED_TRACE(info.name);
        PreparedMachine m(scale);
        m.Activate();
        tvx::bench::RunFlow(info.flow, m);
        CheckWork(info.flow, m, static_cast<size_t>(scale));
        EXPECT_EQ(tvx::bench::EndFlow(m), "");
    }
}

}  // namespace

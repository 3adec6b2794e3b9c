// The button event repair: which system handlers a device's event keys receive, in which order,
// which one becomes the default handler, and the device key's "DeviceID".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stillimage/button_event_fix.h"
#include "tests/logic/still_image_rig.h"

namespace {

using plat::sim::Hive;
using tvx::test::HandlerTexts;
using tvx::test::kScanEmail;
using tvx::test::kScanImage;
using tvx::test::kScanPrint;
using tvx::test::kSystemEvents;
using tvx::test::Profile;
using tvx::test::RegistryWrites;
using tvx::test::SimRig;

using Writes = std::vector<std::string>;

// The writes of one handler copy with the default texts.
Writes Copy(const std::string& handler) {
    return {"create " + handler, "set CmdLine 57", "set Desc 30", "set Icon 32", "set Name 4"};
}
Writes operator+(Writes a, const Writes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ButtonEventFixTest : public tvx::test::SimTest {
protected:
    ButtonEventFixTest() { rig.machine.profile() = Profile(5, 1); }

    // Builds the object, repairs the instance and destroys the object; answers the registry
    // writes of the repair.
    Writes Repair(const char* instance = "0003") {
        CButtonEventFix fix;
        plat::host::Layer().ClearTrace();
        EXPECT_EQ(fix.RepairDeviceEvents(instance), 0);
        return RegistryWrites();
    }
    std::string Event(const std::string& event) { return still.DeviceEventKey("0003", event); }

    tvx::test::StillImageRig still{rig};
};

TEST_F(ButtonEventFixTest, TheNewestHandlerIsWrittenLastAsDefault) {
    still.SystemEvent("ScanButton", kScanImage);
    // Collected in the registry's order H1, H2, H3; last written at 10, 30 and 20.
    still.SystemHandler("ScanButton", "H1", 10);
    still.SystemHandler("ScanButton", "H3", 20);
    still.SystemHandler("ScanButton", "H2", 30);
    still.DeviceEvent("0003", "ScanButton", "{a6c5a715-8c6e-11d2-977a-0000f87a926f}");

    EXPECT_EQ(Repair(), Writes{"set DeviceID 43"} + Copy("H1") + Copy("H3") + Writes{"set DefaultHandler 2"} +
                            Copy("H2"));
    EXPECT_EQ(still.Value(Event("ScanButton"), "DefaultHandler"), "REG_SZ:H2\\0");
    EXPECT_EQ(still.Subkeys(Event("ScanButton")), (std::vector<std::string>{"H1", "H2", "H3"}));
    EXPECT_EQ(still.Value(Event("ScanButton") + "\\H3", "CmdLine"),
              "REG_SZ:C:\\Program Files\\Scan\\scan.exe /StiDevice:%1 /StiEvent:%2\\0");
}

TEST_F(ButtonEventFixTest, WinnerAmongHandlers) {
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, uint64_t>> handlers;  // in the order of their times
        Writes writes;                                           // after "DeviceID"
    } cases[] = {
        {"equal times: the first collected wins", {{"A", 10}, {"B", 10}, {"C", 10}},
         Copy("B") + Copy("C") + Writes{"set DefaultHandler 1"} + Copy("A")},
        {"rising times: each loses when the next comes", {{"A", 10}, {"B", 20}, {"C", 30}},
         Copy("A") + Copy("B") + Writes{"set DefaultHandler 1"} + Copy("C")},
        {"a later equal time does not win", {{"A", 10}, {"C", 10}, {"B", 20}},
         Copy("A") + Copy("C") + Writes{"set DefaultHandler 1"} + Copy("B")},
        {"one handler", {{"A", 5}}, Writes{"set DefaultHandler 1"} + Copy("A")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig caseRig(Profile(5, 1), std::string("_") + std::to_string(&c - cases));
        tvx::test::StillImageRig s(caseRig);
        s.SystemEvent("ScanButton", kScanImage);
        for (const auto& [handler, time] : c.handlers) s.SystemHandler("ScanButton", handler, time);
        s.DeviceEvent("0003", "ScanButton", kScanImage);
        {
            CButtonEventFix fix;
            plat::host::Layer().ClearTrace();
            fix.RepairDeviceEvents("0003");
        }
        EXPECT_EQ(RegistryWrites(), Writes{"set DeviceID 43"} + c.writes);
        caseRig.ExpectClean();
    }
}

TEST_F(ButtonEventFixTest, OnlyHandlersWithACommandLineAreCopied) {
    still.SystemEvent("ScanButton", kScanImage);
    HandlerTexts noCmdLine;
    noCmdLine.cmdLine = nullptr;
    HandlerTexts emptyCmdLine;
    emptyCmdLine.cmdLine = "";
    HandlerTexts longCmdLine;  // 1024 bytes with its terminator: beyond the read limit
    const std::string tooLong(1023, 'x');
    longCmdLine.cmdLine = tooLong.c_str();
    still.SystemHandler("ScanButton", "Kept", 10);
    still.SystemHandler("ScanButton", "NoCmdLine", 20, noCmdLine);
    still.SystemHandler("ScanButton", "EmptyCmdLine", 30, emptyCmdLine);
    still.SystemHandler("ScanButton", "LongCmdLine", 40, longCmdLine);
    still.SystemHandler("ScanButton", "ZeroBytes", 50);
    still.Registry().SetValue(Hive::LocalMachine, std::string(kSystemEvents) + "\\ScanButton\\ZeroBytes", "CmdLine",
                              REG_SZ, {});
    still.DeviceEvent("0003", "ScanButton", kScanImage);

    EXPECT_EQ(Repair(), (Writes{"set DeviceID 43", "set DefaultHandler 4"} + Copy("Kept")));
}

TEST_F(ButtonEventFixTest, MissingOrUnreadableTextsAreCopiedEmpty) {
    still.SystemEvent("ScanButton", kScanImage);
    HandlerTexts texts;
    texts.desc = nullptr;
    const std::string longName(255, 'n');  // 256 bytes with its terminator: beyond the limit of 255
    texts.name = longName.c_str();
    still.SystemHandler("ScanButton", "Sparse", 10, texts);
    still.DeviceEvent("0003", "ScanButton", kScanImage);

    EXPECT_EQ(Repair(), (Writes{"set DeviceID 43", "set DefaultHandler 6", "create Sparse", "set CmdLine 57",
                                "set Desc 0", "set Icon 32", "set Name 0"}));
    EXPECT_EQ(still.Value(Event("ScanButton") + "\\Sparse", "Desc"), "REG_SZ:");
}

TEST_F(ButtonEventFixTest, LongHandlerKeyNamesAreCutTo127Characters) {
    still.SystemEvent("ScanButton", kScanImage);
    const std::string name(200, 'k');
    still.SystemHandler("ScanButton", name, 10);
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    Repair();
    EXPECT_EQ(still.Value(Event("ScanButton"), "DefaultHandler"), "REG_SZ:" + std::string(127, 'k') + "\\0");
    EXPECT_EQ(still.Subkeys(Event("ScanButton")), std::vector<std::string>{std::string(127, 'k')});
}

TEST_F(ButtonEventFixTest, EachDeviceEventGetsTheHandlersOfItsGuid) {
    still.SystemEvent("ScanButton", kScanImage);
    still.SystemEvent("PrintButton", kScanPrint);
    still.SystemHandler("ScanButton", "ScanApp", 10);
    still.SystemHandler("PrintButton", "PrintApp", 20);
    still.SystemHandler("NoGuidEvent", "Orphan", 30);  // an event without GUID: not collected
    // The device's events: one per GUID, one of a GUID nobody handles, one without GUID.
    still.DeviceEvent("0003", "CopyButton", kScanPrint);
    still.DeviceEvent("0003", "EmailButton", kScanEmail);
    still.DeviceEvent("0003", "NoGuid", nullptr);
    still.DeviceEvent("0003", "ScanButton", kScanImage);

    EXPECT_EQ(Repair(), (Writes{"set DeviceID 43", "set DefaultHandler 8"} + Copy("PrintApp") +
                         Writes{"set DefaultHandler 7"} + Copy("ScanApp")));
    EXPECT_EQ(still.Subkeys(Event("EmailButton")), std::vector<std::string>{});
    EXPECT_EQ(still.Value(Event("NoGuid"), "DefaultHandler"), "<missing>");
}

TEST_F(ButtonEventFixTest, NoDefaultHandlerOnTheWindows9xPlatform) {
    rig.machine.profile() = Profile(4, 90, VER_PLATFORM_WIN32_WINDOWS);
    still.SystemEvent("ScanButton", kScanImage);
    still.SystemHandler("ScanButton", "Old", 10);
    still.SystemHandler("ScanButton", "New", 20);
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    EXPECT_EQ(Repair(), Writes{"set DeviceID 43"} + Copy("Old") + Copy("New"));
    EXPECT_EQ(still.Value(Event("ScanButton"), "DefaultHandler"), "<missing>");
}

TEST_F(ButtonEventFixTest, DeviceIdNamesTheClassAndInstance) {
    still.SystemEvent("ScanButton", kScanImage);
    still.DeviceEvent("0003", "ScanButton", nullptr);
    EXPECT_EQ(Repair(), Writes{"set DeviceID 43"});
    EXPECT_EQ(still.Value(still.DeviceKey("0003"), "DeviceID"),
              "REG_SZ:{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0003\\0");

    // A device without an Events key still gets its DeviceID; a missing device key gets nothing.
    still.Registry().EnsureKey(Hive::LocalMachine, still.DeviceKey("0004"));
    EXPECT_EQ(Repair("0004"), Writes{"set DeviceID 43"});
    EXPECT_EQ(Repair("0005"), Writes{});
    EXPECT_FALSE(still.HasKey(still.DeviceKey("0005")));
}

TEST_F(ButtonEventFixTest, WithoutTheSystemEventsKeyNothingIsDone) {
    still.Registry().DeleteTree(Hive::LocalMachine, kSystemEvents);
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    EXPECT_EQ(Repair(), Writes{});
    EXPECT_FALSE(SimRig::Called("SetupDiOpenClassRegKey"));
    EXPECT_EQ(still.Value(still.DeviceKey("0003"), "DeviceID"), "<missing>");
}

TEST_F(ButtonEventFixTest, NoInstanceNumberDoesNothing) {
    still.SystemEvent("ScanButton", kScanImage);
    still.SystemHandler("ScanButton", "App", 10);
    // An empty number would name the imaging class key itself.
    still.Registry().EnsureKey(Hive::LocalMachine, std::string(tvx::test::kImageClassKey) + "\\Events\\ScanButton");
    still.Registry().SetString(Hive::LocalMachine, std::string(tvx::test::kImageClassKey) + "\\Events\\ScanButton",
                               "GUID", kScanImage);
    EXPECT_EQ(Repair(nullptr), Writes{});
    EXPECT_EQ(Repair(""), Writes{});
    EXPECT_FALSE(SimRig::Called("SetupDiOpenClassRegKey"));
}

TEST_F(ButtonEventFixTest, TheCollectionIsASnapshotTakenAtConstruction) {
    still.SystemEvent("ScanButton", kScanImage);
    still.SystemHandler("ScanButton", "Early", 10);
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    CButtonEventFix fix;
    still.SystemHandler("ScanButton", "Late", 20);
    fix.RepairDeviceEvents("0003");
    EXPECT_EQ(still.Subkeys(Event("ScanButton")), std::vector<std::string>{"Early"});
}

}  // namespace

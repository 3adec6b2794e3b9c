// The scanner-and-camera wizard's registration for a device's button events: the still-image
// event keys made, the WIA registrations asked for, the log lines of each failure, and COM set up
// and given back.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/logger.h"
#include "stillimage/wizard_registration.h"
#include "tests/logic/still_image_rig.h"

namespace {

using plat::sim::Hive;
using tvx::test::HandlerTexts;
using tvx::test::kScanEmail;
using tvx::test::kScanImage;
using tvx::test::kScanPrint;
using tvx::test::kSystemEvents;
using tvx::test::kWizardClsid;
using tvx::test::Profile;
using tvx::test::SimRig;

const std::string kWizardKey = std::string(kSystemEvents) + "\\ScanButton\\" + kWizardClsid;
// The path as the log names it.
constexpr const char* kWizardKeyLogged =
    "System\\CurrentControlSet\\Control\\StillImage\\Events\\ScanButton\\{D13E3F25-1688-45A0-9743-759EB35CDF9A}";

using tvx::test::GuidOf;

// One registration as "event guid -> clsid name|desc|icon flags device", the way a reader checks it.
std::string Describe(const plat::sim::WiaRegistration& r) {
    return r.event_guid + " -> " + r.clsid + " " + r.name + "|" + r.description + "|" + r.icon + " flags " +
           std::to_string(r.flags) + (r.has_device_id ? " device " + r.device_id : " all devices");
}

class WizardRegistrationTest : public tvx::test::SimTest {
protected:
    WizardRegistrationTest() { rig.machine.profile() = Profile(5, 1); }

    // Builds the object (with a logger on "_wizard.log" unless withLogger is off), registers for
    // the instance and destroys the object; answers the lines that this object logged.
    std::string Register(const char* instance = "0003") {
        {
            std::optional<CLogger> log;
            if (withLogger) log.emplace("_wizard.log");
            CButtonRegWizard wizard(log ? &*log : nullptr);
            wizard.RegisterWizardForDeviceEvents(instance);
        }
        return tvx::test::LogBody(rig.Log("_wizard.log"));
    }
    std::vector<std::string> Registrations() {
        std::vector<std::string> out;
        for (const auto& r : rig.machine.com_wia().registrations()) out.push_back(Describe(r));
        return out;
    }
    std::string Registered(const char* guid) {
        return std::string(guid) + " -> " + kWizardClsid +
               " Microsoft Scanner and Camera Wizard|Download pictures from a camera or scanner|sti.dll,0 flags 1 all "
               "devices";
    }

    tvx::test::StillImageRig still{rig};
    bool withLogger = true;
};

TEST_F(WizardRegistrationTest, EveryDeviceEventGetsItsKeyAndRegistrationInEnumerationOrder) {
    still.Wizard();
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    still.DeviceEvent("0003", "CopyButton", kScanPrint);
    plat::host::Layer().ClearTrace();

    EXPECT_EQ(Register(), "");
    // The registry enumerates CopyButton before ScanButton.
    EXPECT_EQ(Registrations(), (std::vector<std::string>{Registered(kScanPrint), Registered(kScanImage)}));
    // The GUID texts are handed over with their 38 characters as byte count, without terminator;
    // Windows stores the terminator that follows them all the same.
    EXPECT_EQ(still.Value(std::string(kSystemEvents) + "\\CopyButton", "GUID"),
              std::string("REG_SZ:") + kScanPrint + "\\0");
    EXPECT_EQ(still.Value(std::string(kSystemEvents) + "\\ScanButton", "GUID"),
              std::string("REG_SZ:") + kScanImage + "\\0");
    EXPECT_EQ(tvx::test::RegistryWrites(),
              (std::vector<std::string>{"create CopyButton", "set GUID 38", "create ScanButton", "set GUID 38"}));
}

TEST_F(WizardRegistrationTest, UnreadableHandlerInfoRegistersNothing) {
    struct Case {
        const char* name;
        const char* wizardName;
        const char* desc;
        const char* icon;
    } cases[] = {
        {"no Name", nullptr, "d", "i"},
        {"no Desc", "n", nullptr, "i"},
        {"no Icon", "n", "d", nullptr},
        {"a Name of 300 bytes", "", "d", "i"},
        {"a Desc of 260 bytes with its terminator", "n", "", "i"},
    };
    const std::string longName(299, 'N');
    const std::string longDesc(259, 'D');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig caseRig(Profile(5, 1), std::string("_") + std::to_string(&c - cases));
        tvx::test::StillImageRig s(caseRig);
        s.Wizard(c.wizardName && !*c.wizardName ? longName.c_str() : c.wizardName,
                 c.desc && !*c.desc ? longDesc.c_str() : c.desc, c.icon);
        s.DeviceEvent("0003", "ScanButton", kScanImage);
        s.DeviceEvent("0003", "CopyButton", kScanPrint);
        {
            CLogger log("_wizard.log");
            CButtonRegWizard wizard(&log);
            plat::host::Layer().ClearTrace();
            wizard.RegisterWizardForDeviceEvents("0003");
        }
        EXPECT_EQ(tvx::test::LogBody(caseRig.Log("_wizard.log")), std::string("Error reading ") + kWizardKeyLogged + "\r\n");
        EXPECT_TRUE(caseRig.machine.com_wia().registrations().empty());
        EXPECT_TRUE(tvx::test::RegistryWrites().empty());
        EXPECT_FALSE(s.HasKey(std::string(kSystemEvents) + "\\CopyButton"));
        caseRig.ExpectClean();
    }
}

TEST_F(WizardRegistrationTest, AHandlerTextOf259BytesIsRead) {
    const std::string name(258, 'N');
    still.Wizard(name.c_str());
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    EXPECT_EQ(Register(), "");
    ASSERT_EQ(rig.machine.com_wia().registrations().size(), 1u);
    EXPECT_EQ(rig.machine.com_wia().registrations()[0].name, name);
}

TEST_F(WizardRegistrationTest, AFailedRegistrationIsLoggedAndTheWalkGoesOn) {
    still.Wizard();
    still.DeviceEvent("0003", "CopyButton", kScanPrint);
    still.DeviceEvent("0003", "EmailButton", kScanEmail);
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    rig.machine.com_wia().SetRegistrationResult(GuidOf(kScanEmail), E_ACCESSDENIED);
    rig.machine.com_wia().SetRegistrationResult(GuidOf(kScanImage), HRESULT(0x8000FFFF));

    EXPECT_EQ(Register(), std::string("Error registering WIA Scanner and Camera Wizard: EmailButton ") + kScanEmail +
                              " 80070005\r\n"
                              "Error registering WIA Scanner and Camera Wizard: ScanButton " +
                              kScanImage + " 8000ffff\r\n");
    EXPECT_EQ(rig.machine.com_wia().registrations().size(), 3u);
    // The event keys stay as made.
    EXPECT_EQ(still.Value(std::string(kSystemEvents) + "\\EmailButton", "GUID"),
              std::string("REG_SZ:") + kScanEmail + "\\0");
}

TEST_F(WizardRegistrationTest, AGuidTextThatIsNoGuidIsPassedOverWithOneLine) {
    still.Wizard();
    struct Case {
        const char* event;
        const char* text;
    } cases[] = {
        {"AButton", "A28BBADE-64B6-11D2-A231-00C04FA31809"},     // no braces
        {"BButton", "{A28BBADE-64B6-11D2-A231-00C04FA3180}"},    // a digit short
        {"CButton", "{A28BBADE-64B6-11D2-A231-00C04FA31809"},    // no closing brace
        {"DButton", "{A28BBADE-64B6-11D2-A231-00C04FA3180G}"},   // not hexadecimal
        {"EButton", ""},
    };
    std::string expected;
    for (const Case& c : cases) {
        still.DeviceEvent("0003", c.event, c.text);
        expected += std::string("Error parsing event GUID: ") + c.event + " " + c.text + "\r\n";
    }
    still.DeviceEvent("0003", "ScanButton", kScanImage);

    EXPECT_EQ(Register(), expected);
    EXPECT_EQ(Registrations(), std::vector<std::string>{Registered(kScanImage)});
    for (const Case& c : cases) EXPECT_FALSE(still.HasKey(std::string(kSystemEvents) + "\\" + c.event)) << c.event;
}

TEST_F(WizardRegistrationTest, AGuidInLowerCaseIsRegisteredAsItIsWritten) {
    still.Wizard();
    still.DeviceEvent("0003", "ScanButton", "{a6c5a715-8c6e-11d2-977a-0000f87a926f}");
    EXPECT_EQ(Register(), "");
    EXPECT_EQ(Registrations(), std::vector<std::string>{Registered(kScanImage)});
    EXPECT_EQ(still.Value(std::string(kSystemEvents) + "\\ScanButton", "GUID"),
              "REG_SZ:{a6c5a715-8c6e-11d2-977a-0000f87a926f}\\0");
}

TEST_F(WizardRegistrationTest, WithoutDeviceManagerNothingIsRegisteredAndOneLineLogged) {
    still.Wizard();
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    rig.machine.com_wia().FailDeviceManager(REGDB_E_CLASSNOTREG);
    plat::host::Layer().ClearTrace();
    EXPECT_EQ(Register(), "Error creating WIA device manager: 80040154\r\n");
    EXPECT_TRUE(rig.machine.com_wia().registrations().empty());
    EXPECT_TRUE(tvx::test::RegistryWrites().empty());
    EXPECT_FALSE(SimRig::Called("SysAllocString")) << "the handler info is not read without a device manager";
}

TEST_F(WizardRegistrationTest, EventKeyThatCannotBeMadeIsLoggedAndNotRegistered) {
    still.Wizard();
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    still.DeviceEvent("0003", "CopyButton", kScanPrint);
    plat::host::Layer().FailCall("RegCreateKeyExA", ERROR_ACCESS_DENIED);
    EXPECT_EQ(Register(), std::string("Error creating StillImage event key: CopyButton ") + kScanPrint +
                              "\r\nError creating StillImage event key: ScanButton " + kScanImage + "\r\n");
    EXPECT_TRUE(rig.machine.com_wia().registrations().empty());
}

TEST_F(WizardRegistrationTest, AUserWhoIsNoAdministratorRegistersNothing) {
    // The device's event keys are opened for all access, which such a user is not given.
    rig.machine.profile().admin = false;
    still.Wizard();
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    EXPECT_EQ(Register(), "");
    EXPECT_TRUE(rig.machine.com_wia().registrations().empty());
}

TEST_F(WizardRegistrationTest, WhatIsPassedOverSilently) {
    still.Wizard();
    still.DeviceEvent("0003", "NoGuid", nullptr);
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    // Another instance's events, and an instance without an Events key.
    still.DeviceEvent("0004", "CopyButton", kScanPrint);
    still.Registry().EnsureKey(Hive::LocalMachine, still.DeviceKey("0005"));

    EXPECT_EQ(Register("0003"), "");
    EXPECT_EQ(Registrations(), std::vector<std::string>{Registered(kScanImage)});
    EXPECT_FALSE(still.HasKey(std::string(kSystemEvents) + "\\NoGuid"));

    EXPECT_EQ(Register("0005"), "");
    EXPECT_EQ(Register("0009"), "");
    EXPECT_EQ(rig.machine.com_wia().registrations().size(), 1u);
}

TEST_F(WizardRegistrationTest, NoInstanceNumberOpensNothing) {
    still.Wizard();
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    // An empty number would name the class key's own Events key.
    still.Registry().EnsureKey(Hive::LocalMachine, std::string(tvx::test::kImageClassKey) + "\\Events\\ScanButton");
    still.Registry().SetString(Hive::LocalMachine, std::string(tvx::test::kImageClassKey) + "\\Events\\ScanButton",
                               "GUID", kScanImage);
    for (const char* instance : {static_cast<const char*>(nullptr), ""}) {
        SCOPED_TRACE(instance ? "empty" : "null");
        CButtonRegWizard wizard(nullptr);
        plat::host::Layer().ClearTrace();
        wizard.RegisterWizardForDeviceEvents(instance);
        EXPECT_TRUE(plat::host::Layer().trace().empty());
    }
    EXPECT_TRUE(rig.machine.com_wia().registrations().empty());
}

TEST_F(WizardRegistrationTest, ComIsGivenBackOnlyWhenThisObjectInitialisedIt) {
    using plat::sim::Apartment;
    struct Case {
        const char* name;
        Apartment before;
        unsigned count;
    } cases[] = {
        {"no apartment yet (S_OK)", Apartment::None, 0},
        {"already single-threaded (S_FALSE)", Apartment::SingleThreaded, 1},
        {"multithreaded (RPC_E_CHANGED_MODE)", Apartment::MultiThreaded, 1},
        {"multithreaded twice", Apartment::MultiThreaded, 2},
    };
    still.Wizard();
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.machine.com_wia().SetThreadApartment(c.before, c.count);
        Register();
        EXPECT_EQ(rig.machine.com_wia().apartment(), c.before);
        EXPECT_EQ(rig.machine.com_wia().apartment_count(), c.count);
    }
    // The registration works in every one of them.
    EXPECT_EQ(rig.machine.com_wia().registrations().size(), 4u);
}

TEST_F(WizardRegistrationTest, WithoutLoggerEveryFailureIsSilent) {
    still.Wizard();
    still.DeviceEvent("0003", "BadButton", "garbage");
    still.DeviceEvent("0003", "ScanButton", kScanImage);
    rig.machine.com_wia().SetRegistrationResult(GuidOf(kScanImage), E_FAIL);
    withLogger = false;
    Register();
    rig.machine.com_wia().FailDeviceManager(E_OUTOFMEMORY);
    Register();
    rig.machine.com_wia().FailDeviceManager(S_OK);
    still.Registry().DeleteTree(Hive::LocalMachine, kWizardKey);
    Register();
    EXPECT_EQ(rig.Log("_wizard.log"), "<missing>");
}

}  // namespace

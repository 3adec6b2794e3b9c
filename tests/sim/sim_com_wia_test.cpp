// COM on the simulated machine: the WIA device manager's registrations and the answers a scenario
// gives them, a device manager that cannot be created, the thread's apartment, and COM objects and
// strings that are left alive or misused.
#include <gtest/gtest.h>

#include <string>

#include "platform/all.h"
#include "platform/sim/setupapi.h"
#include "tests/sim_fixture.h"

namespace {

using plat::host::Layer;
using plat::sim::Apartment;
using tvx::test::SimTest;

constexpr const char* kWizard = "{D13E3F25-1688-45A0-9743-759EB35CDF9A}";
constexpr const char* kScanEvent = "{A6C5A715-8C6E-11D2-977A-0000F87A926F}";
constexpr const char* kCopyEvent = "{B38B3B66-2C59-4C2C-90AC-79A2D2A31E20}";

using tvx::test::GuidOf;

// An ANSI text as a COM string, converted the way the logic converts it.
BSTR ComString(const char* ansi) {
    WCHAR wide[300];
    EXPECT_GT(plat::MultiByteToWideChar(CP_THREAD_ACP, 0, ansi, -1, wide, 300), 0) << ansi;
    return plat::SysAllocString(wide);
}

IWiaDevMgr* CreateDeviceManager(HRESULT* hr) {
    IWiaDevMgr* manager = reinterpret_cast<IWiaDevMgr*>(0x1);
    *hr = plat::CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_ALL, IID_IWiaDevMgr,
                                 reinterpret_cast<void**>(&manager));
    return manager;
}

class SimComWiaTest : public SimTest {};

TEST_F(SimComWiaTest, RegistrationsAreRecordedInOrderAndAnswerTheirEventsResult) {
    rig.machine.com_wia().SetRegistrationResult(GuidOf(kCopyEvent), E_ACCESSDENIED);
    ASSERT_EQ(plat::CoInitialize(nullptr), S_OK);
    HRESULT hr;
    IWiaDevMgr* manager = CreateDeviceManager(&hr);
    ASSERT_EQ(hr, S_OK);
    ASSERT_NE(manager, nullptr);

    BSTR name = ComString("Caf\xE9 \x80 Wizard");
    BSTR description = ComString("Scanner and Camera Wizard");
    BSTR icon = ComString("sti.dll,0");
    GUID wizard = GuidOf(kWizard), scan = GuidOf(kScanEvent), copy = GuidOf(kCopyEvent);
    EXPECT_EQ(plat::WiaDevMgr_RegisterEventCallbackCLSID(manager, WIA_REGISTER_EVENT_CALLBACK, nullptr, &scan,
                                                         &wizard, name, description, icon),
              S_OK);
    EXPECT_EQ(plat::WiaDevMgr_RegisterEventCallbackCLSID(manager, WIA_REGISTER_EVENT_CALLBACK, nullptr, &copy,
                                                         &wizard, name, description, icon),
              E_ACCESSDENIED)
        << "the scenario's answer for that one event";

    const auto& made = rig.machine.com_wia().registrations();
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[0].event_guid, kScanEvent);
    EXPECT_EQ(made[1].event_guid, kCopyEvent);
    for (const auto& r : made) {
        EXPECT_EQ(r.flags, WIA_REGISTER_EVENT_CALLBACK);
        EXPECT_FALSE(r.has_device_id);
        EXPECT_EQ(r.clsid, kWizard);
        EXPECT_EQ(r.name, "Caf\xE9 \x80 Wizard") << "ANSI text back from the wide string";
        EXPECT_EQ(r.description, "Scanner and Camera Wizard");
        EXPECT_EQ(r.icon, "sti.dll,0");
    }
    EXPECT_EQ(made[0].result, S_OK);
    EXPECT_EQ(made[1].result, E_ACCESSDENIED);

    EXPECT_EQ(plat::WiaDevMgr_Release(manager), 0u);
    for (BSTR s : {name, description, icon}) plat::SysFreeString(s);
    plat::CoUninitialize();
    EXPECT_EQ(rig.machine.com_wia().apartment(), Apartment::None);
}

TEST_F(SimComWiaTest, DeviceManagerThatCannotBeCreatedLeavesNoObject) {
    rig.machine.com_wia().FailDeviceManager(REGDB_E_CLASSNOTREG);
    ASSERT_EQ(plat::CoInitialize(nullptr), S_OK);
    HRESULT hr;
    EXPECT_EQ(CreateDeviceManager(&hr), nullptr) << "the output is cleared on failure";
    EXPECT_EQ(hr, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(rig.machine.handles().open_count(), 0u);
    plat::CoUninitialize();
}

TEST_F(SimComWiaTest, CreationNeedsCom) {
    HRESULT hr;
    EXPECT_EQ(CreateDeviceManager(&hr), nullptr);
    EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
}

TEST_F(SimComWiaTest, ThreadAlreadyInTheMultithreadedApartmentRefusesTheSingleThreadedOne) {
    rig.machine.com_wia().SetThreadApartment(Apartment::MultiThreaded, 1);
    EXPECT_EQ(plat::CoInitialize(nullptr), RPC_E_CHANGED_MODE);
    EXPECT_EQ(rig.machine.com_wia().apartment_count(), 1u) << "a refused initialisation is not counted";
    HRESULT hr;
    IWiaDevMgr* manager = CreateDeviceManager(&hr);
    EXPECT_EQ(hr, S_OK) << "the device manager works from the apartment the thread is in";
    plat::WiaDevMgr_Release(manager);
}

TEST_F(SimComWiaTest, ObjectsAndStringsLeftAliveShowLikeOpenHandles) {
    ASSERT_EQ(plat::CoInitialize(nullptr), S_OK);
    HRESULT hr;
    IWiaDevMgr* manager = CreateDeviceManager(&hr);
    BSTR text = ComString("Name");
    auto open = rig.machine.handles().Describe();
    ASSERT_EQ(open.size(), 2u);
    std::string all = open[0] + "\n" + open[1];
    EXPECT_NE(all.find("COM object"), std::string::npos) << all;
    EXPECT_NE(all.find("WIA device manager"), std::string::npos) << all;
    EXPECT_NE(all.find("COM string"), std::string::npos) << all;
    EXPECT_NE(all.find("\"Name\""), std::string::npos) << all;

    plat::WiaDevMgr_Release(manager);
    plat::SysFreeString(text);
    plat::CoUninitialize();
}

TEST_F(SimComWiaTest, MisuseThatCrashesWindowsIsRecordedLoudly) {
    ASSERT_EQ(plat::CoInitialize(nullptr), S_OK);
    HRESULT hr;
    IWiaDevMgr* manager = CreateDeviceManager(&hr);
    WCHAR plain[] = {u'x', 0};
    GUID g = GuidOf(kScanEvent);
    struct Case {
        const char* what;
        void (*misuse)(IWiaDevMgr* manager, WCHAR* plain, const GUID* g);
    } cases[] = {
        {"a plain wide buffer freed as a COM string", [](IWiaDevMgr*, WCHAR* p, const GUID*) { plat::SysFreeString(p); }},
        {"a plain wide buffer passed as the name",
         [](IWiaDevMgr* m, WCHAR* p, const GUID* e) {
             EXPECT_EQ(plat::WiaDevMgr_RegisterEventCallbackCLSID(m, 1, nullptr, e, e, p, nullptr, nullptr),
                       E_INVALIDARG);
         }},
        {"a released device manager released again",
         [](IWiaDevMgr* m, WCHAR*, const GUID*) {
             plat::WiaDevMgr_Release(m);
             plat::WiaDevMgr_Release(m);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        size_t before = Layer().not_modelled().size();
        c.misuse(manager, plain, &g);
        EXPECT_EQ(Layer().not_modelled().size(), before + 1);
    }
    EXPECT_TRUE(rig.machine.com_wia().registrations().empty());
    plat::CoUninitialize();
    Layer().Reset();  // the misuse was this test's point; the fixture's end check does not want it
}

TEST_F(SimComWiaTest, TraceWritesGuidsAndWideTextsOut) {
    ASSERT_EQ(plat::CoInitialize(nullptr), S_OK);
    HRESULT hr;
    IWiaDevMgr* manager = CreateDeviceManager(&hr);
    const char16_t text[] = u"{d13e3f25-1688-45a0-9743-759eb35cdf9a}\u00E9";
    GUID guid{};
    plat::CLSIDFromString(reinterpret_cast<const WCHAR*>(text), &guid);
    plat::WiaDevMgr_Release(manager);
    plat::CoUninitialize();
    std::vector<std::string> lines;
    for (const auto& r : Layer().trace()) lines.push_back(plat::host::FormatTraceLine(r));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1],
              "ComWia.CoCreateInstance({A1F4E726-8CF1-11D1-BF92-0060081ED811}, NULL, 23, "
              "{5EB2502A-8CF1-11D1-BF92-0060081ED811}, &) = 0");
    EXPECT_EQ(lines[2], "ComWia.CLSIDFromString(L\"{d13e3f25-1688-45a0-9743-759eb35cdf9a}\\u00E9\", &) = "
                        "-2147221005");
}

TEST_F(SimComWiaTest, TextWithoutBracesIsLookedUpAsAProgrammaticIdentifier) {
    rig.machine.registry().SetString(plat::sim::Hive::ClassesRoot, "Tarvix.Wizard\\CLSID", "", kWizard);
    WCHAR wide[64];
    GUID guid{};
    ASSERT_GT(plat::MultiByteToWideChar(CP_ACP, 0, "Tarvix.Wizard", -1, wide, 64), 0);
    EXPECT_EQ(plat::CLSIDFromString(wide, &guid), S_OK);
    EXPECT_EQ(plat::text::FormatGuid(guid), kWizard);
    ASSERT_GT(plat::MultiByteToWideChar(CP_ACP, 0, "Tarvix.Missing", -1, wide, 64), 0);
    EXPECT_EQ(plat::CLSIDFromString(wide, &guid), CO_E_CLASSSTRING);
    EXPECT_EQ(plat::text::FormatGuid(guid), "{00000000-0000-0000-0000-000000000000}");
}

}  // namespace

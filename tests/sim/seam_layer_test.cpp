// The choke point every plat:: call passes: its trace, its injected faults (each shaped like the
// call's own way of failing), and the loud failure of calls the machine does not model.
#include <gtest/gtest.h>

#include "platform/all.h"
#include "tests/sim_fixture.h"

namespace {

using plat::host::Layer;
using tvx::test::SimTest;

class SeamLayerTest : public SimTest {};

TEST_F(SeamLayerTest, TracesCallsWithArgumentsAndResults) {
    HKEY key = nullptr;
    EXPECT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(Layer().trace().size(), 1u);
    EXPECT_EQ(plat::host::FormatTraceLine(Layer().trace()[0]),
              "Registry.RegOpenKeyExA(HKLM, \"SOFTWARE\\\\Missing\", 0, 0x20019, &) = 2");
}

TEST_F(SeamLayerTest, InjectedFaultsLookLikeTheCallsOwnFailures) {
    Layer().FailCall("RegOpenKeyExA", ERROR_ACCESS_DENIED);
    Layer().FailCall("SetupDiGetClassDevsA", ERROR_INVALID_PARAMETER);
    Layer().FailCall("GetTempPathA", ERROR_PATH_NOT_FOUND);
    Layer().FailCall("GetVersionExA", ERROR_INSUFFICIENT_BUFFER);

    HKEY key = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
    plat::SetLastError(0);

    GUID guid{};
    EXPECT_EQ(plat::SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    char path[MAX_PATH];
    EXPECT_EQ(plat::GetTempPathA(MAX_PATH, path), 0u);
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_PATH_NOT_FOUND));

    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    EXPECT_FALSE(plat::GetVersionExA(&info));
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(Layer().injected(), 4u);
}

TEST_F(SeamLayerTest, InjectedComFaultsAreFailingHresultsAndLeaveTheLastErrorAlone) {
    // The fault sweep injects Win32 statuses; a COM call must see a failure, never the positive
    // number that an HRESULT would read as success.
    Layer().FailCall("CoInitialize", ERROR_ACCESS_DENIED);
    Layer().FailCall("CLSIDFromString", static_cast<DWORD>(CO_E_CLASSSTRING));
    plat::SetLastError(0xDEADBEEF);
    EXPECT_EQ(plat::CoInitialize(nullptr), E_ACCESSDENIED);
    GUID guid{};
    EXPECT_EQ(plat::CLSIDFromString(nullptr, &guid), CO_E_CLASSSTRING);
    EXPECT_EQ(plat::GetLastError(), 0xDEADBEEFu);
    EXPECT_EQ(rig.machine.com_wia().apartment_count(), 0u) << "the injected failure did not reach the machine";
}

TEST_F(SeamLayerTest, FailsTheNthFailableCallOnceOrFromThenOn) {
    auto opens = [] {
        std::string results;
        for (int i = 0; i < 4; ++i) {
            HKEY key = nullptr;
            LSTATUS s = plat::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "", 0, KEY_READ, &key);
            plat::GetLastError();  // cannot fail, so it is not counted
            results += s == ERROR_SUCCESS ? '.' : 'x';
        }
        return results;
    };
    Layer().FailNth(2, ERROR_ACCESS_DENIED);
    EXPECT_EQ(opens(), ".x..");
    Layer().Reset();
    Layer().FailNth(2, ERROR_ACCESS_DENIED, /*from_then_on=*/true);
    EXPECT_EQ(opens(), ".xxx");
}

TEST_F(SeamLayerTest, UnmodelledCallFailsLoudly) {
    // A machine without a device installer: its calls reach the backend that models nothing.
    plat::host::Backends partial = rig.machine.backends();
    partial.setupapi = nullptr;
    plat::host::InstallBackends(partial);
    SP_DRVINFO_DATA_V2_A driver{};
    SP_DRVINFO_DETAIL_DATA_A detail{};
    EXPECT_FALSE(plat::SetupDiGetDriverInfoDetailA(nullptr, nullptr, &driver, &detail, sizeof detail, nullptr));
    EXPECT_EQ(plat::GetLastError(), plat::host::kNotModelled);
    ASSERT_EQ(Layer().not_modelled().size(), 1u);
    EXPECT_EQ(Layer().not_modelled()[0], "SetupDiGetDriverInfoDetailA");
    bool marked = false;
    for (const auto& r : Layer().trace()) marked = marked || r.not_modelled;
    EXPECT_TRUE(marked) << "the trace shows the unmodelled call";
    Layer().Reset();  // this test wanted it; the fixture's end check does not
}

}  // namespace

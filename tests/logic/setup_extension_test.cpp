// The setup-extension object: what a new one holds, the Q920k's constants, and the
// installed-software test.
#include <gtest/gtest.h>

#include <optional>

#include "entry/setup_extension_q920k.h"
#include "tests/sim_fixture.h"

namespace {

using plat::sim::Hive;
using tvx::test::SimTest;

class SetupExtensionTest : public SimTest {
protected:
    void TearDown() override {
        ext.reset();
        SimTest::TearDown();
    }
    std::optional<CSetupExtensionQ920k> ext{std::in_place};
};

TEST_F(SetupExtensionTest, ANewObjectHoldsEmptyTextsAndAnOpenLog) {
    EXPECT_EQ(ext->m_hInstance, nullptr);
    EXPECT_EQ(ext->m_ScannerModel, "");
    EXPECT_EQ(ext->m_TwainDSmodule, "");
    EXPECT_EQ(ext->m_InstallCLSID, "");
    EXPECT_EQ(ext->m_InstallRegPath, "");
    ASSERT_NE(ext->m_pLogger, nullptr);
    EXPECT_TRUE(ext->m_pLogger->IsOpen());
    EXPECT_EQ(rig.Log(), "09:30:00\t12/10/26\t\r\nStart Log\r\n");
    ext.reset();
    EXPECT_EQ(rig.Log(), "09:30:00\t12/10/26\t\r\nStart Log\r\n09:30:00\t12/10/26\t\r\nEnd Log\r\n\r\n");
}

TEST_F(SetupExtensionTest, TheQ920kReplacesTheDiscLayoutTexts) {
    CSetupExtension& base = *ext;
    EXPECT_EQ(base.GetModelTag(), "tvxQ920k");
    EXPECT_EQ(base.GetMediaSoftwareFolder(), "") << "not the base class's \"tvsw\\\\\"";
    EXPECT_EQ(base.GetSetupArguments(), "") << "not the base class's \" /r0\"";
    EXPECT_EQ(base.GetTwainNameSuffix(), " TWAIN");
    EXPECT_EQ(base.CSetupExtension::GetMediaSoftwareFolder(), "tvsw\\");
    EXPECT_EQ(base.CSetupExtension::GetSetupArguments(), " /r0");
}

TEST_F(SetupExtensionTest, SoftwareTestWithoutProductKeyNameTouchesNothing) {
    plat::host::Layer().ClearTrace();
    EXPECT_EQ(ext->IsSoftwareInstalled(), 0);
    EXPECT_TRUE(plat::host::Layer().trace().empty());
}

TEST_F(SetupExtensionTest, SoftwareTestOpensTheProductKeyInTheThirtyTwoBitView) {
    ext->m_InstallRegPath = "SOFTWARE\\Tarvix";
    ext->m_InstallCLSID = "{C0FFEE00-0000-0000-0000-000000000001}";
    rig.machine.registry().EnsureKey(Hive::LocalMachine, "SOFTWARE\\Tarvix\\{C0FFEE00-0000-0000-0000-000000000001}");
    EXPECT_EQ(ext->IsSoftwareInstalled(), 0) << "the 64-bit key does not count";

    rig.machine.registry().EnsureKey(Hive::LocalMachine,
                                     "SOFTWARE\\Wow6432Node\\Tarvix\\{C0FFEE00-0000-0000-0000-000000000001}");
    EXPECT_EQ(ext->IsSoftwareInstalled(), 1);

    // The registry leaves the last error alone: the line shows whatever it held before.
    const std::string log = rig.Log();
    EXPECT_NE(log.find("Could not open key SOFTWARE\\Tarvix\\{C0FFEE00-0000-0000-0000-000000000001}\r\n"
                       "GetLastError() returned 0\r\n"),
              std::string::npos);
}

}  // namespace

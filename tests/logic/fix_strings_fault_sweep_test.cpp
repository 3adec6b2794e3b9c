// The button-string repair under failing platform calls: every call of a run is failed in turn,
// once and from then on; the repair neither crashes nor leaves a key, stream or device set open,
// and it never writes a text it did not read for that button.
#include <gtest/gtest.h>

#include <string>

#include "tests/logic/fix_strings_rig.h"
#include "inf/fix_strings.h"

namespace {

using tvx::test::FixStringsRig;

// Two devices, registry and INF button names, every kind of text.
void Prepare(FixStringsRig& rig) {
    rig.InstallSoftware();
    rig.Texts("Suomi");
    rig.Device("USB\\VID_1A2B&PID_0920\\1", "0000");
    rig.Device("USB\\VID_1A2B&PID_0920\\2", "0001");
    for (const char* driver : {"0000", "0001"})
        for (const char* button : {"ScanButton", "CopyButton", "EmailButton"}) rig.EventKey(driver, button);
}

// Every event value holds either the driver's text or this button's own localized text.
void ExpectOnlyOwnTexts(FixStringsRig& rig) {
    for (const char* driver : {"0000", "0001"}) {
        for (const std::string button : {"ScanButton", "CopyButton", "EmailButton"}) {
            const std::string d = rig.Event(driver, button, "");
            const std::string f = rig.Event(driver, button, "FriendlyName");
            EXPECT_TRUE(d == "INF text" || d == "Suomi " + button + " description") << driver << button << d;
            EXPECT_TRUE(f == "INF name" || f == "Suomi " + button + " name") << driver << button << f;
        }
    }
}

TEST(FixStringsFaultSweep, EveryFailingCallLeavesNothingOpenAndNoForeignText) {
    uint64_t calls = 0;
    {
        FixStringsRig rig("-count");
        Prepare(rig);
        { CFixStrings(tvx::test::kFixParamsKey).FixLocButRegStrings(); }
        calls = plat::host::Layer().failable_calls();
        ExpectOnlyOwnTexts(rig);
        rig.ExpectClean();
    }
    ASSERT_GT(calls, 50u);
    for (bool fromThenOn : {false, true}) {
        for (uint64_t n = 1; n <= calls; ++n) {
            SCOPED_TRACE("call " + std::to_string(n) + (fromThenOn ? " and on" : ""));
            FixStringsRig rig("-" + std::to_string(n) + (fromThenOn ? "on" : ""));
            Prepare(rig);
            plat::host::Layer().FailNth(n, ERROR_ACCESS_DENIED, fromThenOn);
            int result = -1;
            { result = CFixStrings(tvx::test::kFixParamsKey).FixLocButRegStrings(); }
            plat::host::Layer().ClearFaults();
            tvx::test::CloseHandlesWhoseCloseFailed(rig);  // the logic closed them as far as it could
            EXPECT_TRUE(result == 0 || result == 1);
            ExpectOnlyOwnTexts(rig);
            EXPECT_EQ(rig.machine.handles().open_count(), 0u)
                << ::testing::PrintToString(rig.machine.handles().Describe());
            EXPECT_TRUE(plat::host::Layer().not_modelled().empty());
            if (::testing::Test::HasFailure()) return;
        }
    }
}

}  // namespace

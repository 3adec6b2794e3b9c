// Which answers the fault sweep accepts from the co-installer for a DIF call.
#include <gtest/gtest.h>

#include "platform/win_types.h"
#include "tools/tvx-sim/sweep.h"

namespace {

TEST(SweepResult, EachDifCodeHasItsAllowedAnswers) {
    struct Row {
        const char* what;
        uint32_t code;
        bool post;
        uint32_t install_result;
        uint32_t result;
        bool allowed;
    } rows[] = {
        {"install, pre-processing asks for post-processing", DIF_INSTALLDEVICE, false, 0, ERROR_DI_POSTPROCESSING_REQUIRED, true},
        {"install, pre-processing may not answer success", DIF_INSTALLDEVICE, false, 0, NO_ERROR, false},
        {"install, post-processing succeeds", DIF_INSTALLDEVICE, true, 0, NO_ERROR, true},
        {"install, post-processing may not ask again", DIF_INSTALLDEVICE, true, 0, ERROR_DI_POSTPROCESSING_REQUIRED, false},
        {"a failed installation's result is passed on", DIF_INSTALLDEVICE, true, 0xE000020B, 0xE000020B, true},
        {"and no other", DIF_INSTALLDEVICE, true, 0xE000020B, NO_ERROR, false},
        {"wizard data, pre-processing", DIF_DESTROYWIZARDDATA, false, 0, ERROR_DI_POSTPROCESSING_REQUIRED, true},
        {"removal succeeds", DIF_REMOVE, false, 0, NO_ERROR, true},
        {"removal never fails", DIF_REMOVE, false, 0, ERROR_ACCESS_DENIED, false},
        {"finish-install action: the setup's start error", DIF_FINISHINSTALL_ACTION, false, 0, ERROR_ACCESS_DENIED, true},
        {"finish-install action: no HRESULT", DIF_FINISHINSTALL_ACTION, false, 0, 0x80004005, false},
        {"end of the wizard", DIF_NEWDEVICEWIZARD_FINISHINSTALL, false, 0, NO_ERROR, true},
        {"a code it does not act on", 0x99, false, 0, ERROR_DI_DO_DEFAULT, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        tvx::Step step;
        step.kind = tvx::StepKind::Dif;
        step.dif_code = row.code;
        step.post_processing = row.post;
        step.install_result = row.install_result;
        EXPECT_EQ(tvx::sim::AllowedDifResult(step, row.result), row.allowed);
    }
}

}  // namespace

// CDriverCalls: the walk over the imaging class, its log lines, the skip of a device that cannot
// be read, its end and its restart.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "devices/driver_calls.h"
#include "platform/text/guid.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;

class DriverCallsTest : public SimTest {
protected:
    size_t AddDevice(const std::string& id, bool present = true,
                     const char* classGuid = plat::text::kImageClassGuid) {
        plat::sim::DeviceConfig d;
        d.instance_id = id;
        d.class_guid = classGuid;
        d.present = present;
        d.driver_instance = "0000";
        return rig.machine.setupapi().AddDevice(d);
    }
    // The instance id of the device a record names, or the walk's answer when it ended.
    static std::string Next(CDriverCalls& calls, CLogger* logger, bool log = true) {
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof data;
        if (!calls.EnumImagingDevices(&data, log, logger)) return "<end>";
        char id[200] = {0};
        if (!plat::SetupDiGetDeviceInstanceIdA(calls.GetDeviceInfoSet(), &data, id, sizeof id, nullptr))
            return "<unreadable>";
        return id;
    }
    std::string LogBody() {
        logger.reset();
        std::string log = rig.Log("_walk.log");
        size_t at = log.find("Start Log\r\n");
        size_t end = log.rfind("09:30:00");
        return log.substr(at + 11, end - at - 11);
    }
    std::unique_ptr<CLogger> logger = std::make_unique<CLogger>("_walk.log");
};

TEST_F(DriverCallsTest, AnEmptyClassEndsAtOnceWithBothLines) {
    AddDevice("ROOT\\OTHER\\0000", true, "{4D36E96C-E325-11CE-BFC1-08002BE10318}");
    CDriverCalls calls;
    EXPECT_EQ(Next(calls, logger.get()), "<end>");
    EXPECT_EQ(LogBody(),
              "SetupDiEnumDeviceInfo returned 0, m_idx = 0\r\n"
              "EnumImagingDevices terminating condition, m_idx = 0\r\n");
}

TEST_F(DriverCallsTest, VisitsPresentAndAbsentImagingDevicesOnlyThenStartsAgain) {
    AddDevice("USB\\VID_1A2B&PID_0920\\1");
    AddDevice("ROOT\\OTHER\\0000", true, "{4D36E96C-E325-11CE-BFC1-08002BE10318}");
    AddDevice("USB\\VID_1A2B&PID_0920\\2", false);
    AddDevice("USB\\VID_04B8&PID_0001\\3");
    CDriverCalls calls;
    // A device that arrives later is not in the set.
    AddDevice("USB\\VID_1A2B&PID_0920\\LATE");
    const std::vector<std::string> pass = {"USB\\VID_1A2B&PID_0920\\1", "USB\\VID_1A2B&PID_0920\\2",
                                           "USB\\VID_04B8&PID_0001\\3", "<end>"};
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        for (const std::string& expected : pass) EXPECT_EQ(Next(calls, logger.get()), expected);
    }
    const std::string one =
        "SetupDiEnumDeviceInfo returned 1, m_idx = 0\r\n"
        "SetupDiEnumDeviceInfo returned 1, m_idx = 1\r\n"
        "SetupDiEnumDeviceInfo returned 1, m_idx = 2\r\n"
        "SetupDiEnumDeviceInfo returned 0, m_idx = 3\r\n"
        "EnumImagingDevices terminating condition, m_idx = 3\r\n";
    EXPECT_EQ(LogBody(), one + one);
}

TEST_F(DriverCallsTest, ADeviceThatCannotBeReadIsSkippedAndLogged) {
    AddDevice("USB\\VID_1A2B&PID_0920\\1");
    AddDevice("USB\\VID_1A2B&PID_0920\\2");
    AddDevice("USB\\VID_1A2B&PID_0920\\3");
    CDriverCalls calls;
    EXPECT_EQ(Next(calls, logger.get()), "USB\\VID_1A2B&PID_0920\\1");
    // The step for the second device fails; the walk goes on to the third in the same call.
    plat::host::Layer().FailNth(plat::host::Layer().failable_calls() + 1, ERROR_INVALID_DATA);
    EXPECT_EQ(Next(calls, logger.get()), "USB\\VID_1A2B&PID_0920\\3");
    EXPECT_EQ(Next(calls, logger.get()), "<end>");
    EXPECT_EQ(Next(calls, logger.get()), "USB\\VID_1A2B&PID_0920\\1");
    EXPECT_EQ(LogBody(),
              "SetupDiEnumDeviceInfo returned 1, m_idx = 0\r\n"
              "SetupDiEnumDeviceInfo returned 0, m_idx = 1\r\n"
              " EnumImagingDevices non-terminating error, GetLastError returned 13\r\n"
              "SetupDiEnumDeviceInfo returned 1, m_idx = 2\r\n"
              "SetupDiEnumDeviceInfo returned 0, m_idx = 3\r\n"
              "EnumImagingDevices terminating condition, m_idx = 3\r\n"
              "SetupDiEnumDeviceInfo returned 1, m_idx = 0\r\n");
}

TEST_F(DriverCallsTest, StepsThatKeepFailingEndPastIndexOneThousand) {
    AddDevice("USB\\VID_1A2B&PID_0920\\1");
    CDriverCalls calls;
    plat::host::Layer().FailCall("SetupDiEnumDeviceInfo", ERROR_INVALID_DATA);
    EXPECT_EQ(Next(calls, logger.get()), "<end>");
    plat::host::Layer().ClearFaults();
    const std::string body = LogBody();
    size_t failed = 0, skipped = 0;
    for (size_t at = 0; (at = body.find("returned 0, m_idx", at)) != std::string::npos; ++at) ++failed;
    for (size_t at = 0; (at = body.find("non-terminating", at)) != std::string::npos; ++at) ++skipped;
    EXPECT_EQ(failed, 1002u);
    EXPECT_EQ(skipped, 1001u);
    EXPECT_TRUE(body.ends_with("SetupDiEnumDeviceInfo returned 0, m_idx = 1001\r\n"
                               "EnumImagingDevices terminating condition, m_idx = 1001\r\n"));
    // The next walk starts at the first device again.
    EXPECT_EQ(Next(calls, nullptr, false), "USB\\VID_1A2B&PID_0920\\1");
}

TEST_F(DriverCallsTest, WithoutLoggingNothingIsWrittenAndNoLoggerIsNeeded) {
    AddDevice("USB\\VID_1A2B&PID_0920\\1");
    CDriverCalls calls;
    EXPECT_EQ(Next(calls, nullptr, false), "USB\\VID_1A2B&PID_0920\\1");
    EXPECT_EQ(Next(calls, logger.get(), false), "<end>");
    // Logging asked for without a logger: the walk still works.
    EXPECT_EQ(Next(calls, nullptr, true), "USB\\VID_1A2B&PID_0920\\1");
    EXPECT_EQ(LogBody(), "");
}

TEST_F(DriverCallsTest, ASetThatCouldNotBeBuiltEndsEveryWalkSilently) {
    AddDevice("USB\\VID_1A2B&PID_0920\\1");
    plat::host::Layer().FailCall("SetupDiGetClassDevsA", ERROR_NOT_ENOUGH_MEMORY);
    CDriverCalls calls;
    plat::host::Layer().ClearFaults();
    EXPECT_EQ(calls.GetDeviceInfoSet(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(Next(calls, logger.get()), "<end>");
    EXPECT_EQ(Next(calls, logger.get()), "<end>");
    EXPECT_FALSE(rig.Called("SetupDiEnumDeviceInfo"));
    EXPECT_EQ(LogBody(), "");
}

}  // namespace

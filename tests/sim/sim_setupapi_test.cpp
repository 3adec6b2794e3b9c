// The simulated device installer: a class's devices present or not and descriptions that cannot
// be read; the selected driver's record and details, its INF file, the install section decorated
// for the machine, and the recorded installation; the class key.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/all.h"
#include "platform/sim/setupapi.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::Profile;
using tvx::test::SimRig;

constexpr const char* kOemInf = "C:\\Windows\\inf\\oem3.inf";
constexpr const char* kInfText =
    "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Image\r\n\r\n"
    "[Q920k.Install]\r\nCopyFiles=Q920k.Files\r\n\r\n"
    "[Q920k.Install.NT]\r\nCopyFiles=Q920k.Files\r\n\r\n"
    "[Q920k.Install.NTamd64]\r\nCopyFiles=Q920k.Files\r\n";

size_t AddScanner(plat::sim::Machine& machine, bool with_driver) {
    plat::sim::DeviceConfig device;
    device.instance_id = "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&2";
    device.description = "Tarvix Q920k";
    device.hardware_ids = {"USB\\VID_1A2B&PID_0920"};
    device.driver_instance = "0000";
    if (with_driver) device.selected_driver = plat::sim::SelectedDriver{kOemInf, "Q920k.Install", "Tarvix Q920k", "Tarvix", "Tarvix", ""};
    return machine.setupapi().AddDevice(device);
}

// The calls a co-installer makes to install the selected driver's section with its DLL
// registrations: what each answers, as text.
std::string InstallSelectedSection(HDEVINFO set, SP_DEVINFO_DATA* data, std::string* section) {
    SP_DRVINFO_DATA_V2_A driver;
    std::memset(&driver, 0xCC, sizeof driver);
    driver.cbSize = sizeof driver;
    if (!plat::SetupDiGetSelectedDriverA(set, data, &driver)) return "no selected driver " + std::to_string(plat::GetLastError());
    SP_DRVINFO_DETAIL_DATA_A detail;
    std::memset(&detail, 0xCC, sizeof detail);
    detail.cbSize = sizeof detail;
    DWORD needed = 0;
    std::string out;
    if (!plat::SetupDiGetDriverInfoDetailA(set, data, &driver, &detail, sizeof detail, &needed))
        out += "detail " + std::to_string(plat::GetLastError()) + " needs " + std::to_string(needed) + "; ";
    HINF inf = plat::SetupOpenInfFileA(detail.InfFileName, nullptr, INF_STYLE_WIN4, nullptr);
    if (inf == INVALID_HANDLE_VALUE) return out + "INF " + detail.InfFileName + " " + std::to_string(plat::GetLastError());
    char actual[256];
    LPSTR extension = nullptr;
    EXPECT_TRUE(plat::SetupDiGetActualSectionToInstallA(inf, detail.SectionName, actual, sizeof actual, nullptr, &extension));
    *section = actual;
    out += std::string("extension ") + (extension ? extension : "none") + "; ";
    EXPECT_TRUE(plat::SetupInstallFromInfSectionA(nullptr, inf, actual, SPINST_REGSVR, nullptr, nullptr, 0, nullptr,
                                                  nullptr, set, data));
    plat::SetupCloseInfFile(inf);
    return out + "installed";
}

TEST(SimSelectedDriver, SectionDecoratedForTheMachineIsInstalledAndRecorded) {
    struct Case {
        bool is_64bit;
        const char* section;
        const char* extension;
    } cases[] = {{true, "Q920k.Install.NTamd64", ".NTamd64"}, {false, "Q920k.Install.NT", ".NT"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section);
        auto profile = Profile(5, 0);
        profile.is_64bit = c.is_64bit;
        SimRig rig(profile, c.is_64bit ? "64" : "32");
        rig.machine.files().WriteFile(kOemInf, kInfText);
        size_t index = AddScanner(rig.machine, true);
        SP_DEVINFO_DATA data;
        HDEVINFO set = rig.machine.setupapi().OpenSetFor(index, &data);

        std::string section;
        EXPECT_EQ(InstallSelectedSection(set, &data, &section),
                  std::string("detail 122 needs 827; extension ") + c.extension + "; installed")
            << "the fixed record is too small for the ID list, but its fixed part is filled";
        EXPECT_EQ(section, c.section);
        const auto& installs = rig.machine.setupapi().section_installs();
        ASSERT_EQ(installs.size(), 1u);
        EXPECT_EQ(installs[0].inf_file, kOemInf);
        EXPECT_EQ(installs[0].section, c.section);
        EXPECT_EQ(installs[0].flags, UINT(SPINST_REGSVR));
        EXPECT_EQ(installs[0].device, "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&2");
        EXPECT_FALSE(installs[0].owner_window || installs[0].relative_key_root || installs[0].message_handler);

        plat::SetupDiDestroyDeviceInfoList(set);
        rig.ExpectClean();
    }
}

TEST(SimSelectedDriver, EachStepFailsAsWindowsDoes) {
    struct Case {
        const char* what;
        bool with_driver;
        const char* inf_text;  // null: no INF file
        std::string expected;
    } cases[] = {
        {"no driver selected", false, kInfText, "no selected driver " + std::to_string(ERROR_NO_DRIVER_SELECTED)},
        {"INF file missing", true, nullptr, "detail 122 needs 827; INF C:\\Windows\\inf\\oem3.inf 2"},
        {"INF without a signature", true, "[Strings]\r\nx=1\r\n",
         "detail 122 needs 827; INF C:\\Windows\\inf\\oem3.inf " + std::to_string(ERROR_WRONG_INF_STYLE)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimRig rig(Profile(5, 0), c.what);
        if (c.inf_text) rig.machine.files().WriteFile(kOemInf, c.inf_text);
        size_t index = AddScanner(rig.machine, c.with_driver);
        SP_DEVINFO_DATA data;
        HDEVINFO set = rig.machine.setupapi().OpenSetFor(index, &data);
        std::string section;
        EXPECT_EQ(InstallSelectedSection(set, &data, &section), c.expected);
        EXPECT_TRUE(rig.machine.setupapi().section_installs().empty());
        plat::SetupDiDestroyDeviceInfoList(set);
        rig.ExpectClean();
    }
}

TEST(SimSelectedDriver, DetailsNeedTheRecordOfTheSelectedDriver) {
    SimRig rig(Profile(5, 0));
    size_t index = AddScanner(rig.machine, true);
    SP_DEVINFO_DATA data;
    HDEVINFO set = rig.machine.setupapi().OpenSetFor(index, &data);
    SP_DRVINFO_DATA_V2_A driver{};
    driver.cbSize = sizeof driver;
    SP_DRVINFO_DETAIL_DATA_A detail{};
    detail.cbSize = sizeof detail;
    EXPECT_FALSE(plat::SetupDiGetDriverInfoDetailA(set, &data, &driver, &detail, sizeof detail, nullptr))
        << "a record that SetupDiGetSelectedDriverA did not fill";
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    plat::SetupDiDestroyDeviceInfoList(set);
    rig.ExpectClean();
}

TEST(SimClassDevices, WithoutFlagsTheSetHoldsAbsentDevicesAndDescriptionsMayBeUnreadable) {
    SimRig rig;
    auto add = [&](const char* id, const char* description, bool present) {
        plat::sim::DeviceConfig d;
        d.instance_id = id;
        d.description = description;
        d.present = present;
        return rig.machine.setupapi().AddDevice(d);
    };
    add("USB\\VID_1A2B&PID_0920\\1", "Tarvix Q920k", true);
    add("USB\\VID_1A2B&PID_0920\\2", "Tarvix Q920k", false);
    add("USB\\VID_1A2B&PID_0920\\3", "", true);  // no description at all
    size_t removed = add("USB\\VID_1A2B&PID_0920\\4", "Tarvix Q920k", true);
    rig.machine.setupapi().MakeUnreadable(removed);
    GUID image{};
    ASSERT_TRUE(plat::text::ParseGuid(plat::text::kImageClassGuid, &image));

    auto describe = [&](DWORD flags) {
        HDEVINFO set = plat::SetupDiGetClassDevsA(&image, nullptr, nullptr, flags);
        std::string seen;
        SP_DEVINFO_DATA data{};
        data.cbSize = sizeof data;
        for (DWORD i = 0; plat::SetupDiEnumDeviceInfo(set, i, &data); ++i) {
            char text[260];
            if (plat::SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_DEVICEDESC, nullptr,
                                                        reinterpret_cast<BYTE*>(text), sizeof text, nullptr))
                seen += std::string("[") + text + "]";
            else
                seen += "[error " + std::to_string(plat::GetLastError()) + "]";
        }
        plat::SetupDiDestroyDeviceInfoList(set);
        return seen;
    };
    EXPECT_EQ(describe(0), "[Tarvix Q920k][Tarvix Q920k][error 13][error " + std::to_string(ERROR_NO_SUCH_DEVINST) + "]");
    EXPECT_EQ(describe(DIGCF_PRESENT), "[Tarvix Q920k][error 13][error " + std::to_string(ERROR_NO_SUCH_DEVINST) + "]");
    rig.ExpectClean();
}

TEST(SimClassKey, OpensTheClassKeyOrFailsWithTheRegistryStatus) {
    SimRig rig;
    GUID image{};
    ASSERT_TRUE(plat::text::ParseGuid(plat::text::kImageClassGuid, &image));
    HKEY key = plat::SetupDiOpenClassRegKey(&image, KEY_READ);
    ASSERT_NE(key, reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    plat::RegCloseKey(key);

    GUID missing = image;
    missing.Data1 ^= 1;
    EXPECT_EQ(plat::SetupDiOpenClassRegKey(&missing, KEY_READ), reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE));
    EXPECT_EQ(plat::GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    rig.ExpectClean();
}

}  // namespace

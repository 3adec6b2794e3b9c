// Device naming and network data: the number and friendly name a device gets among like devices of
// the imaging class, and the network identity copied into its driver key's "DeviceData".
#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "entry/setup_extension_q920k.h"
#include "platform/text/ansi.h"
#include "platform/text/encoding.h"
#include "tests/sim_fixture.h"

namespace {

using plat::sim::Hive;
using tvx::test::Profile;
using tvx::test::SimRig;

constexpr const char* kModel = "Tarvix Q920k";

// One imaging device of the scenario: its description and the number its driver key holds.
struct Device {
    std::string description = kModel;
    std::optional<DWORD> number;  // "SWDevInst"
    bool readable = true;         // whether its description can be read
    bool present = true;
    bool driverKey = true;
};

Device Like(std::optional<DWORD> number = std::nullopt) {
    Device d;
    d.number = number;
    return d;
}
Device Named(std::string description, std::optional<DWORD> number = std::nullopt) {
    Device d = Like(number);
    d.description = std::move(description);
    return d;
}
Device Unreadable(std::optional<DWORD> number = std::nullopt) {
    Device d = Like(number);
    d.readable = false;
    return d;
}
Device NotPresent(DWORD number) {
    Device d = Like(number);
    d.present = false;
    return d;
}
Device WithoutDriverKey() {
    Device d;
    d.driverKey = false;
    return d;
}

class NamingRig {
public:
    explicit NamingRig(SimRig& rig) : rig_(rig) {}

    size_t Add(const Device& d) {
        plat::sim::DeviceConfig config;
        config.instance_id = "USB\\VID_1A2B&PID_0920\\5&1F2E3D4C&0&" + std::to_string(next_);
        config.description = d.description;
        config.driver_instance = d.driverKey ? Instance(next_) : "";
        config.present = d.present;
        ++next_;
        size_t index = rig_.machine.setupapi().AddDevice(config);
        if (d.number) Registry().SetDword(Hive::LocalMachine, DriverKey(index), "SWDevInst", *d.number);
        if (!d.readable) rig_.machine.setupapi().MakeUnreadable(index);
        return index;
    }

    // Runs one operation on a device the way the device installer hands it over.
    template <class Operation>
    auto Run(size_t index, Operation op) {
        SP_DEVINFO_DATA data;
        HDEVINFO set = rig_.machine.setupapi().OpenSetFor(index, &data);
        auto result = op(set, &data);
        rig_.machine.setupapi().SetupDiDestroyDeviceInfoList(set);
        return result;
    }

    std::string DriverKey(size_t index) { return rig_.machine.setupapi().driver_key_path(index); }
    std::string HardwareKey(size_t index) { return rig_.machine.setupapi().hardware_key_path(index); }
    plat::sim::SimRegistry& Registry() { return rig_.machine.registry(); }

    // "SWDevInst" of a device as a number; -1 when missing or not a 4-byte REG_DWORD.
    long Number(size_t index) {
        auto v = Registry().GetValue(Hive::LocalMachine, DriverKey(index), "SWDevInst");
        if (!v || v->type != REG_DWORD || v->data.size() != 4) return -1;
        DWORD n;
        std::memcpy(&n, v->data.data(), 4);
        return static_cast<long>(n);
    }
    // "FriendlyName" of a device's driver key, up to its first NUL; "<missing>" when absent.
    std::string FriendlyName(size_t index) {
        auto v = Registry().GetValue(Hive::LocalMachine, DriverKey(index), "FriendlyName");
        if (!v) return "<missing>";
        EXPECT_EQ(v->type, DWORD(REG_SZ));
        std::string text(v->data.begin(), v->data.end());
        return text.substr(0, text.find('\0'));
    }

private:
    static std::string Instance(int n) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "%04d", n);
        return buf;
    }
    SimRig& rig_;
    int next_ = 0;
};

// The bytes of a literal, embedded NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

// The byte count of the last RegSetValueExA of the given value name in the trace; -1 when none.
long StoredByteCount(const std::string& name) {
    long count = -1;
    for (const auto& r : plat::host::Layer().trace())
        if (r.call == "RegSetValueExA" && r.args.find("\"" + name + "\"") != std::string::npos)
            count = std::stol(r.args.substr(r.args.rfind(", ") + 2));
    return count;
}

class DeviceNumberTest : public ::testing::Test {
protected:
    void TearDown() override {
        ext.reset();
        rig.ExpectClean();
    }
    void Assign(size_t index) {
        naming.Run(index, [&](HDEVINFO set, PSP_DEVINFO_DATA data) {
            ext->AssignDeviceNumber(set, data);
            return 0;
        });
    }

    SimRig rig{Profile(5, 0)};
    NamingRig naming{rig};
    std::optional<CSetupExtensionQ920k> ext{std::in_place};
};

TEST(DeviceNumber, LowestFreeNumberAmongLikeDevices) {
    // The device being installed is the last one of each row; it is part of the class walk.
    struct Case {
        const char* name;
        std::vector<Device> others;
        long number;               // -1: nothing written
        const char* friendlyName;  // "<missing>": none written
    } cases[] = {
        {"first of its model", {}, 1, "<missing>"},
        {"second while the first holds 1", {Like(1)}, 2, "Tarvix Q920k #2"},
        {"the gap between 1 and 3", {Like(1), Like(3)}, 2, "Tarvix Q920k #2"},
        {"a non-present device keeps its number", {NotPresent(1)}, 2, "Tarvix Q920k #2"},
        {"0 and 1000 block nothing", {Like(0), Like(1000)}, 1, "<missing>"},
        {"another model's number blocks nothing", {Named("Other Scanner", 1)}, 1, "<missing>"},
        {"a longer description shares the numbering, letters in any case",
         {Named("TARVIX q920K Plus", 1), Named("tarvix Q920K", 2)},
         3,
         "Tarvix Q920k #3"},
        {"a shorter description does not", {Named("Tarvix Q92", 1)}, 1, "<missing>"},
        {"a like device without a driver key holds no number", {WithoutDriverKey()}, 1, "<missing>"},
        // Mend: the unreadable device is passed over, the walk sees the numbers after it.
        {"an unreadable description does not end the walk",
         {Unreadable(1), Like(1), Like(2)},
         3,
         "Tarvix Q920k #3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig caseRig(Profile(5, 0), std::string("_") + std::to_string(&c - cases));
        NamingRig r(caseRig);
        for (const Device& d : c.others) r.Add(d);
        size_t self = r.Add(Like());
        {
            CSetupExtensionQ920k e;
            r.Run(self, [&](HDEVINFO set, PSP_DEVINFO_DATA data) {
                e.AssignDeviceNumber(set, data);
                return 0;
            });
        }
        EXPECT_EQ(r.Number(self), c.number);
        EXPECT_EQ(r.FriendlyName(self), c.friendlyName);
        caseRig.ExpectClean();
    }
}

TEST_F(DeviceNumberTest, FriendlyNameIsStoredWithItsLengthAsByteCount) {
    naming.Add(Like(1));
    size_t self = naming.Add(Like());
    plat::host::Layer().ClearTrace();
    Assign(self);
    EXPECT_EQ(StoredByteCount("FriendlyName"), long(std::strlen("Tarvix Q920k #2")));
    EXPECT_EQ(StoredByteCount("SWDevInst"), 4);
    EXPECT_EQ(naming.Number(self), 2);
}

TEST_F(DeviceNumberTest, AReinstalledDeviceCountsItsOwnNumber) {
    // Alone it keeps its number: 1..1 has no free number, and nothing is written.
    size_t self = naming.Add(Like(1));
    plat::host::Layer().ClearTrace();
    Assign(self);
    EXPECT_FALSE(SimRig::Called("RegSetValueExA"));
    EXPECT_EQ(naming.Number(self), 1);

    // With a device of another kind beside it, 1..2 holds the free number 2, which it takes.
    naming.Add(Named("Other Camera"));
    Assign(self);
    EXPECT_EQ(naming.Number(self), 2);
    EXPECT_EQ(naming.FriendlyName(self), "Tarvix Q920k #2");
}

TEST_F(DeviceNumberTest, NothingIsWrittenWithoutDescriptionOrDriverKey) {
    size_t unreadable = naming.Add(Unreadable());
    plat::host::Layer().ClearTrace();
    Assign(unreadable);
    EXPECT_FALSE(SimRig::Called("SetupDiGetClassDevsA")) << "the walk needs the description first";
    EXPECT_FALSE(SimRig::Called("RegSetValueExA"));

    // A description longer than 260 bytes cannot be read either.
    size_t longName = naming.Add(Named(std::string(300, 'T')));
    plat::host::Layer().ClearTrace();
    Assign(longName);
    EXPECT_FALSE(SimRig::Called("RegSetValueExA"));

    size_t noDriverKey = naming.Add(WithoutDriverKey());
    plat::host::Layer().ClearTrace();
    Assign(noDriverKey);
    EXPECT_FALSE(SimRig::Called("RegSetValueExA"));
}

TEST_F(DeviceNumberTest, AnUnreadableWalkedDeviceStillCounts) {
    // Two readable devices holding 1 and 2 and one whose description cannot be read: the range is
    // 1..4 and the first free number is 3, not 1 (which a walk ending at the unreadable device would
    // give a second time).
    naming.Add(Like(1));
    naming.Add(Unreadable(3));
    naming.Add(Like(2));
    size_t self = naming.Add(Like());
    Assign(self);
    EXPECT_EQ(naming.Number(self), 3) << "the unreadable device's own number is not seen";
}

TEST_F(DeviceNumberTest, TheWalkStopsAfterAThousandDevices) {
    // The first 1000 devices: two of another kind and like devices holding 2..999. The 1001st
    // holds 1 but lies beyond the walk, so 1 counts as free, and the range is 1..1000.
    naming.Add(Named("Other Camera"));
    naming.Add(Named("Other Camera"));
    for (DWORD n = 2; n <= 999; ++n) naming.Add(Like(n));
    naming.Add(Like(1));
    size_t self = naming.Add(Like());
    Assign(self);
    EXPECT_EQ(naming.Number(self), 1);

}

class NetworkDataTest : public tvx::test::SimTest {
protected:
    void TearDown() override {
        ext.reset();
        SimTest::TearDown();
    }
    bool Copy(size_t index) {
        return naming.Run(index, [&](HDEVINFO set, PSP_DEVINFO_DATA data) { return ext->CopyNetworkDeviceData(set, data); });
    }
    // The "DeviceData" values of a device as name=bytes lines, in creation order.
    std::string DeviceData(size_t index) {
        auto key = naming.Registry().FindKey(Hive::LocalMachine, naming.DriverKey(index) + "\\DeviceData");
        if (!key) return "<no key>";
        std::string out;
        for (const auto& v : key->values) {
            out += v.name + "=" + std::string(v.data.begin(), v.data.end()) + (v.type == REG_SZ ? ";" : "<not REG_SZ>;");
        }
        return out;
    }
    NamingRig naming{rig};
    std::optional<CSetupExtensionQ920k> ext{std::in_place};
};

TEST_F(NetworkDataTest, CopiesTheIdentityWithTerminators) {
    using S = std::string;
    struct Case {
        const char* name;
        std::vector<std::pair<const char*, S>> values;  // in the hardware key, REG_SZ
        bool result;
        S deviceData;
    } cases[] = {
        {"identity, port and host",
         {{"NetworkDeviceID", "tvx-0042"}, {"PortID", "9100"}, {"NetworkHostName", "scanner.lan"}},
         true,
         Bytes("NetworkDeviceID=tvx-0042\0;PortID=9100\0;NetworkHostName=scanner.lan\0;")},
        {"no PortID", {{"NetworkDeviceID", "tvx-0042"}, {"NetworkHostName", "scanner.lan"}}, true,
         Bytes("NetworkDeviceID=tvx-0042\0;NetworkHostName=scanner.lan\0;")},
        {"identity only", {{"NetworkDeviceID", "tvx-0042"}}, true, Bytes("NetworkDeviceID=tvx-0042\0;")},
        {"no identity", {{"PortID", "9100"}, {"NetworkHostName", "scanner.lan"}}, false, "<no key>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        size_t device = naming.Add(Like());
        for (const auto& [name, text] : c.values)
            naming.Registry().SetString(Hive::LocalMachine, naming.HardwareKey(device), name, text);
        EXPECT_EQ(Copy(device), c.result);
        EXPECT_EQ(DeviceData(device), c.deviceData);
    }
}

TEST_F(NetworkDataTest, ExistingDeviceDataKeepsItsOtherValues) {
    size_t device = naming.Add(Like());
    naming.Registry().SetString(Hive::LocalMachine, naming.DriverKey(device) + "\\DeviceData", "PortID", "old");
    naming.Registry().SetString(Hive::LocalMachine, naming.DriverKey(device) + "\\DeviceData", "Other", "kept");
    naming.Registry().SetString(Hive::LocalMachine, naming.HardwareKey(device), "NetworkDeviceID", "id");
    EXPECT_TRUE(Copy(device));
    EXPECT_EQ(DeviceData(device), Bytes("PortID=old\0;Other=kept\0;NetworkDeviceID=id\0;"));
}

TEST_F(NetworkDataTest, AnUnterminatedValueIsCopiedWithinItsBytes) {
    // 260 bytes without a terminator: read whole, and stored as the 260 characters and a NUL.
    size_t device = naming.Add(Like());
    naming.Registry().SetValue(Hive::LocalMachine, naming.HardwareKey(device), "NetworkDeviceID", REG_BINARY,
                               std::vector<BYTE>(260, 'n'));
    EXPECT_TRUE(Copy(device));
    EXPECT_EQ(DeviceData(device), "NetworkDeviceID=" + std::string(260, 'n') + std::string("\0;", 2));

    // A value longer than 260 bytes cannot be read: nothing is copied.
    size_t longer = naming.Add(Like());
    naming.Registry().SetString(Hive::LocalMachine, naming.HardwareKey(longer), "NetworkDeviceID", std::string(260, 'l'));
    EXPECT_FALSE(Copy(longer));
    EXPECT_EQ(DeviceData(longer), "<no key>");
}

TEST_F(NetworkDataTest, WithoutHardwareOrDriverKeyNothingIsCopied) {
    plat::sim::DeviceConfig config;
    config.instance_id = "ROOT\\IMAGE\\0000";
    config.description = kModel;
    config.driver_instance = "0007";
    config.hardware_key = false;
    size_t noHardwareKey = rig.machine.setupapi().AddDevice(config);
    EXPECT_FALSE(Copy(noHardwareKey));

    size_t noDriverKey = naming.Add(WithoutDriverKey());
    naming.Registry().SetString(Hive::LocalMachine, naming.HardwareKey(noDriverKey), "NetworkDeviceID", "id");
    plat::host::Layer().ClearTrace();
    EXPECT_FALSE(Copy(noDriverKey));
    EXPECT_FALSE(SimRig::Called("RegQueryValueExA"));
    EXPECT_FALSE(SimRig::Called("RegSetValueExA"));
}

TEST(DeviceNamingDispatch, Windows2000InstallCopiesNetworkDataAndNumbersLikeDevices) {
    SimRig rig(Profile(5, 0));
    NamingRig naming(rig);
    naming.Add(Like(1));
    size_t self = naming.Add(Like());
    naming.Registry().SetString(Hive::LocalMachine, naming.HardwareKey(self), "NetworkDeviceID", "tvx-0042");
    {
        CSetupExtensionQ920k ext;
        for (BOOL post : {FALSE, TRUE}) {
            COINSTALLER_CONTEXT_DATA context{post, NO_ERROR, nullptr};
            naming.Run(self, [&](HDEVINFO set, PSP_DEVINFO_DATA data) {
                return ext.CSetupExtension::TarvixDeviceCoInstaller(DIF_INSTALLDEVICE, set, data, &context);
            });
        }
    }
    EXPECT_EQ(naming.Number(self), 2);
    EXPECT_EQ(naming.FriendlyName(self), "Tarvix Q920k #2");
    EXPECT_TRUE(naming.Registry().GetValue(Hive::LocalMachine, naming.DriverKey(self) + "\\DeviceData",
                                           "NetworkDeviceID"));
    rig.ExpectClean();
}

// On Windows 2000 the pre-processing call copies the network data first and registers the selected
// driver's DLLs after it: the data is in the device's key before the driver's own registration code
// runs.
TEST(DeviceNamingDispatch, Windows2000PreProcessingCopiesNetworkDataBeforeRegisteringDlls) {
    constexpr const char* kInf = "C:\\Windows\\inf\\oem3.inf";
    auto profile = Profile(5, 0);
    profile.is_64bit = false;
    SimRig rig(profile);
    rig.machine.files().WriteFile(kInf,
                                  "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Image\r\n\r\n"
                                  "[Q920k.Install.NT]\r\nRegisterDlls=Q920k.Dlls\r\n");
    NamingRig naming(rig);
    size_t self = naming.Add(Like());
    naming.Registry().SetString(Hive::LocalMachine, naming.HardwareKey(self), "NetworkDeviceID", "tvx-0042");
    rig.machine.setupapi().SelectDriver(self, {kInf, "Q920k.Install", kModel, "Tarvix", "Tarvix", ""});
    plat::host::Layer().ClearTrace();
    {
        CSetupExtensionQ920k ext;
        COINSTALLER_CONTEXT_DATA context{FALSE, NO_ERROR, nullptr};
        naming.Run(self, [&](HDEVINFO set, PSP_DEVINFO_DATA data) {
            return ext.CSetupExtension::TarvixDeviceCoInstaller(DIF_INSTALLDEVICE, set, data, &context);
        });
    }
    // Where in the call's trace the network identity was written and the driver was looked up.
    std::optional<size_t> copied, selected;
    const auto& trace = plat::host::Layer().trace();
    for (size_t i = 0; i < trace.size(); ++i) {
        if (!copied && trace[i].call == "RegSetValueExA" && trace[i].args.find("NetworkDeviceID") != std::string::npos)
            copied = i;
        if (!selected && trace[i].call == "SetupDiGetSelectedDriverA") selected = i;
    }
    ASSERT_TRUE(copied && selected);
    EXPECT_LT(*copied, *selected);
    ASSERT_EQ(rig.machine.setupapi().section_installs().size(), 1u);
    EXPECT_EQ(rig.machine.setupapi().section_installs()[0].section, "Q920k.Install.NT");
    rig.ExpectClean();
}

TEST(DriverDlls, TheSelectedDriversSectionIsInstalledWithTheFlagsGiven) {
    constexpr const char* kInf = "C:\\Windows\\inf\\oem3.inf";
    struct Case {
        const char* name;
        bool selected;
        bool infFile;
        const char* installed;  // the section installed; null: none
        bool unicode = false;   // the INF saved as UTF-16 (little-endian, with its mark)
    } cases[] = {
        {"selected driver", true, true, "Q920k.Install.NT"},
        {"no driver selected", false, true, nullptr},
        {"its INF file missing", true, false, nullptr},
        {"selected driver, Unicode INF", true, true, "Q920k.Install.NT", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto profile = Profile(5, 0);
        profile.is_64bit = false;
        SimRig rig(profile, std::string("_") + std::to_string(&c - cases));
        const std::string infText =
            "[Version]\r\nSignature=\"$Windows NT$\"\r\nClass=Image\r\n\r\n"
            "[Q920k.Install]\r\nCopyFiles=Q920k.Files\r\n\r\n"
            "[Q920k.Install.NT]\r\nCopyFiles=Q920k.Files\r\nRegisterDlls=Q920k.Dlls\r\n";
        if (c.infFile)
            rig.machine.files().WriteFile(
                kInf, c.unicode ? "\xFF\xFE" + plat::text::Utf16LeBytes(plat::text::AnsiToUtf16(infText)) : infText);
        NamingRig naming(rig);
        size_t device = naming.Add(Like());
        if (c.selected)
            rig.machine.setupapi().SelectDriver(device, {kInf, "Q920k.Install", kModel, "Tarvix", "Tarvix", ""});
        {
            CSetupExtensionQ920k ext;
            naming.Run(device, [&](HDEVINFO set, PSP_DEVINFO_DATA data) {
                ext.RegisterDriverDlls(SPINST_REGSVR, set, data);
                return 0;
            });
        }
        const auto& installs = rig.machine.setupapi().section_installs();
        if (!c.installed) {
            EXPECT_TRUE(installs.empty());
        } else {
            ASSERT_EQ(installs.size(), 1u);
            const auto& i = installs[0];
            EXPECT_EQ(i.section, c.installed);
            EXPECT_EQ(i.flags, UINT(SPINST_REGSVR));
            EXPECT_FALSE(i.owner_window || i.relative_key_root || i.message_handler);
            EXPECT_EQ(i.source_root, "");
            EXPECT_EQ(i.copy_flags, 0u);
            EXPECT_EQ(i.device, rig.machine.setupapi().instance_id(device));
        }
        rig.ExpectClean();
    }
}

}  // namespace

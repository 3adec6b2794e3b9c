// Reading scenario files: what a well-formed scenario becomes, and how every kind of bad input is
// refused with its file, line and cause before anything runs.
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

#include "tests/sim_fixture.h"
#include "tools/scenario/names.h"
#include "tools/scenario/scenario.h"
#include "tools/scenario/scenario_error.h"
#include "tools/scenario/toml_text_check.h"

namespace {

namespace fs = std::filesystem;

using tvx::test::WriteHostFile;

std::vector<uint8_t> Bytes(std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(ScenarioReader, ReadsMachineStepsAndExpectations) {
    fs::path folder = tvx::test::FreshScratchFolder();
    fs::create_directories(folder / "disc");
    WriteHostFile(folder / "base.reg", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\Setup]\r\n\"SystemSetupInProgress\"=dword:00000001\r\n");
    WriteHostFile(folder / "scenario.toml", R"(
description = "two processes"
[machine]
bits = 32
administrator = false
tick_count_start = 0xFFFFF000
registry = ["base.reg"]
[machine.os]
major = 5
minor = 0
build = 2195
service_pack = "Service Pack 4"
[[machine.drives]]
letter = "e:"
type = "cdrom"
label = "DISC"
folder = "disc"
[[machine.drives]]
letter = "F"
type = "cdrom"
[[machine.services]]
name = "stisvc"
state = "running"
transition_ms = 500
never_stops = true
[[machine.windows]]
class = "STIExe_Window_Class"
[[machine.programs]]
path = 'E:\fw\tool.exe'
never_ends = true
[[machine.devices]]
instance_id = 'USB\VID_1A2B&PID_0920\7'
driver_instance = "0003"
install_flags = 0x100
[machine.devices.hardware_key_values]
Text = "tvxQ920k"
Number = 0x01020304
List = ["a", "bc"]
Expand = { type = "REG_EXPAND_SZ", text = "%TEMP%" }
Raw = { type = "REG_BINARY", hex = "00,ff, 7" }
Big = { type = "REG_QWORD", number = 0x1122334455 }
[[steps]]
action = "dif"
code = "DIF_INSTALLDEVICE"
pass = "post"
install_result = 0xE0000226
expect_result = "NO_ERROR"
[[steps]]
action = "unload"
[[steps]]
action = "dif"
code = 0x77
[[steps]]
action = "install_pellion_software"
command_line = "tvxQ920k"
[expect]
programs = []
messages = [{ window_class = "STIExe_Window_Class", message = 0x4C9, wparam = 2, lparam = 2 }]
waits_forever = 'E:\fw\tool.exe -auto'
[[expect.services]]
name = "stisvc"
changes = ["stop pending"]
[[expect.registry]]
key = 'HKLM\SOFTWARE\Tarvix'
value = ""
data = 7
[[expect.log]]
file = "_scan_buttons.log"
contains = "Start"
present = false
)");
    tvx::Scenario s = tvx::ReadScenario(folder / "scenario.toml");

    EXPECT_EQ(s.name, folder.filename().string()) << "a scenario.toml is named after its folder";
    const tvx::MachineDescription& m = s.machine;
    EXPECT_FALSE(m.is_64bit);
    EXPECT_FALSE(m.administrator);
    EXPECT_EQ(m.os.major * 100 + m.os.minor, 500u);
    EXPECT_EQ(m.os.build, 2195u);
    EXPECT_EQ(m.os.platform_id, 2u) << "the NT family unless said otherwise";
    EXPECT_EQ(m.os.service_pack, "Service Pack 4");
    ASSERT_EQ(m.registry.size(), 1u);
    EXPECT_EQ(m.registry[0].keys[0].path, "HKEY_LOCAL_MACHINE\\SYSTEM\\Setup");

    EXPECT_EQ(m.tick_count_start, 0xFFFFF000u);
    ASSERT_EQ(m.drives.size(), 2u);
    EXPECT_EQ(m.drives[0].letter, 'E');
    EXPECT_EQ(m.drives[0].type, tvx::kDriveCdrom);
    EXPECT_EQ(m.drives[0].folder, folder / "disc") << "folders are relative to the scenario file";
    EXPECT_TRUE(m.drives[1].folder.empty()) << "a drive without a folder holds no disc";
    ASSERT_EQ(m.services.size(), 1u);
    EXPECT_EQ(m.services[0].state, "running");
    EXPECT_EQ(m.services[0].transition_ms, 500u);
    EXPECT_TRUE(m.services[0].never_stops);
    EXPECT_FALSE(m.services[0].refuses_stop);
    ASSERT_EQ(m.windows.size(), 1u);
    EXPECT_EQ(m.windows[0].class_name, "STIExe_Window_Class");
    ASSERT_EQ(m.programs.size(), 1u);
    EXPECT_TRUE(m.programs[0].never_ends);

    ASSERT_EQ(m.devices.size(), 1u);
    const tvx::DeviceSetup& d = m.devices[0];
    EXPECT_EQ(d.install_flags, 0x100u);
    struct Want {
        const char* name;
        uint32_t type;
        std::vector<uint8_t> data;
    };
    const Want want[] = {
        {"Text", tvx::kRegSz, Bytes(std::string_view("tvxQ920k\0", 9))},
        {"Number", tvx::kRegDword, {0x04, 0x03, 0x02, 0x01}},
        {"List", tvx::kRegMultiSz, Bytes(std::string_view("a\0bc\0\0", 6))},
        {"Expand", tvx::kRegExpandSz, Bytes(std::string_view("%TEMP%\0", 7))},
        {"Raw", tvx::kRegBinary, {0x00, 0xFF, 0x07}},
        {"Big", tvx::kRegQword, {0x55, 0x44, 0x33, 0x22, 0x11, 0, 0, 0}},
    };
    ASSERT_EQ(d.hardware_key_values.size(), std::size(want));
    for (size_t i = 0; i < std::size(want); ++i) {
        SCOPED_TRACE(want[i].name);
        EXPECT_EQ(d.hardware_key_values[i].name, want[i].name);
        EXPECT_EQ(d.hardware_key_values[i].type, want[i].type);
        EXPECT_EQ(d.hardware_key_values[i].data, want[i].data);
    }

    // A call while the library is not loaded gets a load before it; the end gets an unload.
    std::vector<tvx::StepKind> kinds;
    for (const tvx::Step& step : s.steps) kinds.push_back(step.kind);
    using K = tvx::StepKind;
    EXPECT_EQ(kinds, (std::vector<K>{K::Load, K::Dif, K::Unload, K::Load, K::Dif, K::InstallPellionSoftware,
                                     K::Unload}));
    EXPECT_TRUE(s.steps[0].implicit);
    EXPECT_FALSE(s.steps[2].implicit);
    EXPECT_TRUE(s.steps[6].implicit);
    EXPECT_EQ(s.steps[1].dif_code, 0x02u);
    EXPECT_TRUE(s.steps[1].post_processing);
    EXPECT_EQ(s.steps[1].install_result, tvx::kResultPostProcessingRequired);
    EXPECT_EQ(s.steps[1].expect_result, 0u);
    EXPECT_EQ(s.steps[4].dif_code, 0x77u);
    EXPECT_FALSE(s.steps[4].post_processing);
    EXPECT_EQ(s.steps[5].command_line, "tvxQ920k");

    ASSERT_TRUE(s.expect.programs.has_value()) << "an empty list says: no program at all";
    EXPECT_TRUE(s.expect.programs->empty());
    ASSERT_EQ(s.expect.registry.size(), 1u);
    EXPECT_EQ(s.expect.registry[0].key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix");
    EXPECT_EQ(s.expect.registry[0].value, "");
    ASSERT_TRUE(s.expect.registry[0].data.has_value());
    EXPECT_EQ(s.expect.registry[0].data->type, tvx::kRegDword);
    ASSERT_EQ(s.expect.log.size(), 1u);
    EXPECT_FALSE(s.expect.log[0].whole_line);
    EXPECT_FALSE(s.expect.log[0].present);
    ASSERT_TRUE(s.expect.messages.has_value());
    ASSERT_EQ(s.expect.messages->size(), 1u);
    EXPECT_EQ((*s.expect.messages)[0].message, 0x4C9u);
    EXPECT_EQ((*s.expect.messages)[0].wparam, 2u);
    EXPECT_EQ(s.expect.waits_forever, "E:\\fw\\tool.exe -auto");
    ASSERT_EQ(s.expect.services.size(), 1u);
    EXPECT_FALSE(s.expect.services[0].state.has_value());
    EXPECT_EQ(s.expect.services[0].changes, (std::vector<std::string>{"stop pending"}));
}

TEST(ScenarioReader, TextIsKeptInTheAnsiCodePage) {
    fs::path folder = tvx::test::FreshScratchFolder();
    WriteHostFile(folder / "s.toml", "[machine]\n[[machine.devices]]\ninstance_id = 'X\\1'\ndescription = \"Caf\xC3\xA9 \xE2\x82\xAC\"\n"
                                 "[[steps]]\naction = \"load\"\n");
    tvx::Scenario s = tvx::ReadScenario(folder / "s.toml");
    EXPECT_EQ(s.machine.devices[0].description, "Caf\xE9 \x80") << "UTF-8 in the file, Windows-1252 on the machine";
}

struct BadInput {
    const char* what;
    const char* toml;
    const char* reg;  // written as bad.reg next to the scenario when not null
    const char* file;  // the file the error must name
    int line;
    const char* message;
    const char* also = nullptr;  // a second part the message must hold, when given
};

const BadInput kBadInputs[] = {
    {"TOML syntax", "name = \n", nullptr, "scenario.toml", 1, ""},
    {"table header starting with a character no key starts with", "name = \"x\"\n[#x]\n", nullptr, "scenario.toml", 2,
     "expected bare key starting character"},
    {"letter outside the ASCII range outside a string", "[machine]\nbits = 64\nnam\xC3\xA9 = 1\n", nullptr,
     "scenario.toml", 3, "outside the ASCII range outside a string or comment"},
    {"unknown top-level key", "[[steps]]\naction = \"load\"\n[machin]\n", nullptr, "scenario.toml", 3,
     "unknown key 'machin' in the scenario"},
    {"unknown key in a table", "[machine.os]\nmajor = 5\nminr = 1\n", nullptr, "scenario.toml", 3,
     "unknown key 'minr' in [machine.os]"},
    {"wrong type", "[machine]\nbits = true\n", nullptr, "scenario.toml", 2, "bits must be an integer, not a boolean"},
    {"value out of range", "[machine]\nbits = 48\n", nullptr, "scenario.toml", 2, "bits must be 32 or 64"},
    {"negative number", "[machine.os]\nbuild = -1\n", nullptr, "scenario.toml", 2, "build is out of range"},
    {"missing registry file", "[machine]\nregistry = [\n  \"nope.reg\"]\n", nullptr, "scenario.toml", 3,
     "cannot read registry file"},
    {"malformed .reg", "[machine]\nregistry = [\"bad.reg\"]\n", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"a\"=dword:1x\r\n",
     "bad.reg", 4, "'x' in dword: data"},
    {"missing drive folder", "[[machine.drives]]\nletter = \"D\"\nfolder = \"nowhere\"\n", nullptr, "scenario.toml", 3,
     "nowhere: no such directory"},
    {"bad drive letter", "[[machine.drives]]\nletter = \"DD\"\n", nullptr, "scenario.toml", 2, "one drive letter"},
    {"drive given twice", "[[machine.drives]]\nletter = \"D\"\n[[machine.drives]]\nletter = \"d\"\n", nullptr,
     "scenario.toml", 3, "drive D: is given twice"},
    {"device without instance id", "[[machine.devices]]\ndescription = \"x\"\n", nullptr, "scenario.toml", 1,
     "a device needs its instance_id"},
    {"class GUID of the right length that is no GUID",
     "[[machine.devices]]\ninstance_id = 'X\\1'\nclass_guid = \"{6BDD1FC6-810F-11D0-BEC7_08002BE2092G}\"\n", nullptr,
     "scenario.toml", 3, "class_guid must be a GUID in braces"},
    {"value of no registry type", "[[machine.devices]]\ninstance_id = 'X\\1'\n[machine.devices.hardware_key_values]\nA = 1.5\n",
     nullptr, "scenario.toml", 4, "must be a string, an integer, an array of strings or a table, not a floating-point"},
    {"driver key values without a driver key", "[[machine.devices]]\ninstance_id = 'X\\1'\n[machine.devices.driver_key_values]\nA = 1\n",
     nullptr, "scenario.toml", 3, "no driver_instance names the driver key"},
    {"text the code page cannot hold", "description = \"\xE6\xBC\xA2\"\n", nullptr, "scenario.toml", 1,
     "ANSI code page"},
    {"step without action", "[[steps]]\ncode = 2\n", nullptr, "scenario.toml", 1, "a step needs its action"},
    {"unknown action", "[[steps]]\naction = \"reboot\"\n", nullptr, "scenario.toml", 2, "unknown action 'reboot'"},
    {"unknown DIF name", "[[machine.devices]]\ninstance_id = 'X\\1'\n[[steps]]\naction = \"dif\"\ncode = \"DIF_INSTALL\"\n",
     nullptr, "scenario.toml", 5, "unknown DIF code name 'DIF_INSTALL'",
     "(the nearest known names: DIF_INSTALLDEVICE, DIF_INSTALLCLASSDRIVERS, DIF_INSTALLWIZARD, DIF_INSTALLDEVICEFILES, "
     "DIF_INSTALLINTERFACES; or write the code as a number)"},
    {"DIF call on a machine without devices", "[[steps]]\naction = \"dif\"\ncode = 2\n", nullptr, "scenario.toml", 1,
     "[machine] has no devices"},
    {"DIF call on an unknown device", "[[machine.devices]]\ninstance_id = 'X\\1'\n[[steps]]\naction = \"dif\"\ncode = 2\ndevice = 'X\\2'\n",
     nullptr, "scenario.toml", 6, "no device with instance id X\\2"},
    {"unknown result name", "[[machine.devices]]\ninstance_id = 'X\\1'\n[[steps]]\naction = \"dif\"\ncode = 2\nexpect_result = \"OK\"\n",
     nullptr, "scenario.toml", 6, "unknown result name 'OK'", "the nearest known name"},
    {"key of another step kind", "[[steps]]\naction = \"load\"\ncommand_line = \"x\"\n", nullptr, "scenario.toml", 3,
     "unknown key 'command_line' in a load step"},
    {"unload without load", "[[steps]]\naction = \"unload\"\n", nullptr, "scenario.toml", 1, "unload while the library is not loaded"},
    {"load twice", "[[steps]]\naction = \"load\"\n[[steps]]\naction = \"load\"\n", nullptr, "scenario.toml", 3,
     "already loaded"},
    {"no steps", "[machine]\nbits = 64\n", nullptr, "scenario.toml", 0, "no [[steps]]"},
    {"expectation on an unknown hive", "[[steps]]\naction = \"load\"\n[[expect.registry]]\nkey = 'HKXX\\A'\n", nullptr,
     "scenario.toml", 4, "root key"},
    {"data of an absent value", "[[steps]]\naction = \"load\"\n[[expect.registry]]\nkey = 'HKLM\\A'\nvalue = \"v\"\npresent = false\ndata = 1\n",
     nullptr, "scenario.toml", 7, "data of a value expected to be absent"},
    {"service both refusing and never stopping",
     "[[machine.services]]\nname = \"stisvc\"\nrefuses_stop = true\nnever_stops = true\n[[steps]]\naction = \"load\"\n",
     nullptr, "scenario.toml", 1, "refuses_stop or never_stops, not both"},
    {"WIA event that is no GUID", "[[machine.wia.event_results]]\nevent = \"A6C5A715\"\nresult = 1\n", nullptr,
     "scenario.toml", 2, "event must be a GUID in braces"},
    {"unknown HRESULT name", "[machine.wia]\ncreate_result = \"E_BROKEN\"\n", nullptr, "scenario.toml", 2,
     "unknown HRESULT name 'E_BROKEN'",
     "(known names: S_OK, S_FALSE, E_NOTIMPL, E_NOINTERFACE, E_FAIL, E_ACCESSDENIED, E_OUTOFMEMORY, E_INVALIDARG, "
     "REGDB_E_CLASSNOTREG, CO_E_SERVER_EXEC_FAILURE; or write a number such as 0x80004005)"},
    {"WIA event given twice",
     "[[machine.wia.event_results]]\nevent = \"{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}\"\nresult = 1\n"
     "[[machine.wia.event_results]]\nevent = \"{a6c5a715-8e14-11d2-9c6c-00c04f8ede8c}\"\nresult = 2\n",
     nullptr, "scenario.toml", 4, "is given twice"},
    {"key time without time", "[[machine.key_times]]\nkey = 'HKLM\\A'\n", nullptr, "scenario.toml", 1,
     "a key time needs its time"},
    {"selected driver without section",
     "[[machine.devices]]\ninstance_id = 'X\\1'\nselected_driver = { inf_file = 'C:\\a.inf' }\n", nullptr,
     "scenario.toml", 3, "a selected driver needs its install section"},
    {"service given twice", "[[machine.services]]\nname = \"stisvc\"\n[[machine.services]]\nname = \"StiSvc\"\n",
     nullptr, "scenario.toml", 3, "service StiSvc is given twice"},
    {"service in an unknown state", "[[machine.services]]\nname = \"stisvc\"\nstate = \"paused\"\n", nullptr,
     "scenario.toml", 3, "state must be \"stopped\" or \"running\""},
    {"never-ending program with a run time",
     "[[machine.programs]]\npath = 'D:\\x.exe'\nnever_ends = true\nrun_time_ms = 5\n", nullptr, "scenario.toml", 1,
     "neither a run time nor an exit code"},
    {"tick count out of range", "[machine]\ntick_count_start = 0x100000000\n", nullptr, "scenario.toml", 2,
     "out of range"},
    {"service expectation without what", "[[steps]]\naction = \"load\"\n[[expect.services]]\nname = \"stisvc\"\n",
     nullptr, "scenario.toml", 3, "needs state, changes or both"},
    {"service expectation of an unknown state",
     "[[steps]]\naction = \"load\"\n[[expect.services]]\nname = \"stisvc\"\nchanges = [\"halted\"]\n", nullptr,
     "scenario.toml", 5, "unknown service state 'halted'"},
    {"message expectation without its number",
     "[[steps]]\naction = \"load\"\n[expect]\nmessages = [{ window_class = \"X\" }]\n", nullptr, "scenario.toml", 4,
     "needs its message number"},
    {"file outside the placeholder folders", "[[machine.files]]\npath = 'C:\\Windows\\x.ds'\n", nullptr,
     "scenario.toml", 2, "must start with %WINDIR%\\ or %TEMP%\\"},
    {"file path leaving its folder", "[[machine.files]]\npath = '%WINDIR%\\..\\x'\n", nullptr, "scenario.toml", 2,
     "may not hold \".\" or \"..\""},
    {"file path with an empty name", "[[machine.files]]\npath = '%TEMP%\\a\\\\b'\n", nullptr, "scenario.toml", 2,
     "an empty name"},
    {"file name with a wildcard", "[[machine.files]]\npath = '%TEMP%\\a*'\n", nullptr, "scenario.toml", 2,
     "holds a character Windows does not allow"},
    {"placeholder alone", "[[machine.files]]\npath = '%TEMP%'\n", nullptr, "scenario.toml", 2, "needs a name after"},
    {"folder with text", "[[machine.files]]\npath = '%TEMP%\\a'\nfolder = true\ntext = \"x\"\n", nullptr,
     "scenario.toml", 4, "a folder has no text"},
    {"file below a file",
     "[[machine.files]]\npath = '%TEMP%\\a'\n[[machine.files]]\npath = '%TEMP%\\A\\b'\n", nullptr,
     "scenario.toml", 3, "lies below %TEMP%\\a, which is a file"},
    {"file expectation with text of an absent file",
     "[[steps]]\naction = \"load\"\n[[expect.files]]\npath = '%TEMP%\\a'\npresent = false\ntext = \"x\"\n", nullptr,
     "scenario.toml", 6, "text of a file expected to be absent"},
    {"net change on an unknown hive",
     "[[steps]]\naction = \"load\"\n[expect.net_change]\nregistry = ['HKXX\\A']\n", nullptr, "scenario.toml", 4,
     "root key"},
    {"log expectation with line and contains", "[[steps]]\naction = \"load\"\n[[expect.log]]\nline = \"a\"\ncontains = \"b\"\n",
     nullptr, "scenario.toml", 3, "exactly one of line"},
};

// What a new user writes wrong most: the message says what to write instead.
const BadInput kFixableInputs[] = {
    // Names: the known ones, or the nearest of a long list.
    {"DIF name in lower case", "[[machine.devices]]\ninstance_id = 'X\\1'\n[[steps]]\naction = \"dif\"\ncode = \"dif_remove\"\n",
     nullptr, "scenario.toml", 5, "unknown DIF code name 'dif_remove'", "(the nearest known name: DIF_REMOVE;"},
    {"DIF name with a letter missing",
     "[[machine.devices]]\ninstance_id = 'X\\1'\n[[steps]]\naction = \"dif\"\ncode = \"DIF_INSTALDEVICE\"\n", nullptr,
     "scenario.toml", 5, "unknown DIF code name 'DIF_INSTALDEVICE'", "(the nearest known name: DIF_INSTALLDEVICE;"},
    {"misspelt install result",
     "[[machine.devices]]\ninstance_id = 'X\\1'\n[[steps]]\naction = \"dif\"\ncode = 2\npass = \"post\"\n"
     "install_result = \"ERROR_DI_DO_DEFALT\"\n",
     nullptr, "scenario.toml", 7, "unknown result name 'ERROR_DI_DO_DEFALT' in install_result",
     "(the nearest known name: ERROR_DI_DO_DEFAULT;"},
    {"result name written short",
     "[[machine.devices]]\ninstance_id = 'X\\1'\n[[steps]]\naction = \"dif\"\ncode = 2\n"
     "expect_result = \"POSTPROCESSING_REQUIRED\"\n",
     nullptr, "scenario.toml", 6, "unknown result name", "(the nearest known name: ERROR_DI_POSTPROCESSING_REQUIRED;"},
    {"misspelt HRESULT of an event", "[[machine.wia.event_results]]\nevent = \"{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}\"\n"
     "result = \"E_FAILED\"\n", nullptr, "scenario.toml", 3, "unknown HRESULT name 'E_FAILED' in result",
     "known names: S_OK, S_FALSE, E_NOTIMPL"},
    {"result of another type", "[machine.wia]\ncreate_result = 1.5\n", nullptr, "scenario.toml", 2,
     "create_result must be a name or a number, not a floating-point number"},

    // Numbers and booleans in quotes.
    {"quoted number", "[machine]\nbits = \"64\"\n", nullptr, "scenario.toml", 2,
     "bits is a number in quotes, which TOML reads as a string: write 64 without the quotes"},
    {"quoted version number", "[machine.os]\nmajor = \"5\"\n", nullptr, "scenario.toml", 2,
     "major is a number in quotes", "write 5 without the quotes"},
    {"quoted hex HRESULT", "[[machine.wia.event_results]]\nevent = \"{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}\"\n"
     "result = \"0x80004005\"\n", nullptr, "scenario.toml", 3, "result is a number in quotes",
     "write 0x80004005 without the quotes"},
    {"quoted DIF code", "[[machine.devices]]\ninstance_id = 'X\\1'\n[[steps]]\naction = \"dif\"\ncode = \"0x02\"\n",
     nullptr, "scenario.toml", 5, "code is a number in quotes", "write 0x02 without the quotes"},
    {"quoted expected result",
     "[[machine.devices]]\ninstance_id = 'X\\1'\n[[steps]]\naction = \"dif\"\ncode = 2\nexpect_result = \"0xE0000226\"\n",
     nullptr, "scenario.toml", 6, "expect_result is a number in quotes", "write 0xE0000226 without the quotes"},
    {"quoted registry type number",
     "[[machine.devices]]\ninstance_id = 'X\\1'\n[machine.devices.hardware_key_values]\nA = { type = \"4\", number = 1 }\n",
     nullptr, "scenario.toml", 4, "type is a number in quotes", "write 4 without the quotes"},
    {"quoted negative number", "[machine]\ntick_count_start = \"-1\"\n", nullptr, "scenario.toml", 2,
     "tick_count_start is a number in quotes"},
    {"quoted boolean", "[[steps]]\naction = \"load\"\n[[expect.registry]]\nkey = 'HKLM\\A'\npresent = \"false\"\n", nullptr,
     "scenario.toml", 5, "present is true or false in quotes, which TOML reads as a string: write false without the quotes"},

    // Windows paths and registry keys written with '/'.
    {"registry expectation with '/'", "[[steps]]\naction = \"load\"\n[[expect.registry]]\nkey = 'HKLM/SOFTWARE/Tarvix'\n",
     nullptr, "scenario.toml", 4, "key 'HKLM/SOFTWARE/Tarvix' is written with '/': registry paths separate their keys with '\\'",
     "such as 'HKLM\\SOFTWARE\\Tarvix' (in single quotes)"},
    {"key time with '/' after the root key", "[[machine.key_times]]\nkey = 'HKEY_LOCAL_MACHINE/SYSTEM\\Setup'\ntime = 1\n",
     nullptr, "scenario.toml", 2, "is written with '/'", "'HKEY_LOCAL_MACHINE\\SYSTEM\\Setup'"},
    {"net change key with '/'", "[[steps]]\naction = \"load\"\n[expect.net_change]\nregistry = ['HKLM/SOFTWARE']\n",
     nullptr, "scenario.toml", 4, "each registry key 'HKLM/SOFTWARE' is written with '/'"},
    {"device instance ID with '/'", "[[machine.devices]]\ninstance_id = 'USB/VID_2E5A&PID_0920/5&1F2E3D4C&0&2'\n", nullptr,
     "scenario.toml", 2, "instance_id 'USB/VID_2E5A&PID_0920/5&1F2E3D4C&0&2' is written with '/'",
     "device instance IDs separate their parts with '\\', such as 'USB\\VID_2E5A&PID_0920\\5&1F2E3D4C&0&2'"},
    {"registry file key with '/'", "[machine]\nregistry = [\"bad.reg\"]\n",
     "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE/SOFTWARE/Tarvix]\r\n", "bad.reg", 3,
     "[HKEY_LOCAL_MACHINE/SOFTWARE/Tarvix] is written with '/': registry paths separate their keys with '\\', such as "
     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix]"},
    {"hardware ID with '/'", "[[machine.devices]]\ninstance_id = 'X\\1'\nhardware_ids = ['USB/VID_2E5A&PID_0920']\n", nullptr,
     "scenario.toml", 3, "each item of hardware_ids 'USB/VID_2E5A&PID_0920' is written with '/': device IDs separate "
     "their parts with '\\', such as 'USB\\VID_2E5A&PID_0920'"},
    {"expected WIA device ID with '/'",
     "[[steps]]\naction = \"load\"\n[expect]\nwia_registrations = [\n  { event = \"{A6C5A715-8E14-11D2-9C6C-00C04F8EDE8C}\", "
     "device_id = '{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}/0000' },\n]\n",
     nullptr, "scenario.toml", 5, "device_id '{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}/0000' is written with '/'"},
    {"log file with '/'", "[[steps]]\naction = \"load\"\n[[expect.log]]\nfile = 'logs/_coInst.log'\nline = \"x\"\n", nullptr,
     "scenario.toml", 4, "file 'logs/_coInst.log' is written with '/'"},
    {"step naming its device with '/'",
     "[[machine.devices]]\ninstance_id = 'USB\\X\\1'\n[[steps]]\naction = \"dif\"\ncode = 2\ndevice = 'USB/X/1'\n", nullptr,
     "scenario.toml", 6, "device 'USB/X/1' is written with '/'", "such as 'USB\\X\\1'"},
    {"program path with '/'", "[[machine.programs]]\npath = 'D:/setup.exe'\n", nullptr, "scenario.toml", 2,
     "path 'D:/setup.exe' is written with '/': Windows paths separate their parts with '\\', such as 'D:\\setup.exe'"},
    {"selected driver's INF with '/'",
     "[[machine.devices]]\ninstance_id = 'X\\1'\nselected_driver = { inf_file = 'C:/WINDOWS/inf/oem3.inf', section = \"S\" }\n",
     nullptr, "scenario.toml", 3, "inf_file 'C:/WINDOWS/inf/oem3.inf' is written with '/'"},
    {"machine file with '/'", "[[machine.files]]\npath = '%WINDIR%/TWAIN_32/x.ds'\n", nullptr, "scenario.toml", 2,
     "path '%WINDIR%/TWAIN_32/x.ds' is written with '/'", "'%WINDIR%\\TWAIN_32\\x.ds'"},
    {"net change file with '/'", "[[steps]]\naction = \"load\"\n[expect.net_change]\nfiles = ['%TEMP%/_coInst.log']\n",
     nullptr, "scenario.toml", 4, "each file path '%TEMP%/_coInst.log' is written with '/'"},
    {"expected program with '/'", "[[steps]]\naction = \"load\"\n[expect]\nprograms = [{ command_line = 'D:/setup.exe ' }]\n",
     nullptr, "scenario.toml", 4, "command_line 'D:/setup.exe ' is written with '/'"},
    {"expected program's folder with '/'",
     "[[steps]]\naction = \"load\"\n[expect]\nprograms = [{ command_line = 'D:\\setup.exe ', directory = 'D:/fw' }]\n",
     nullptr, "scenario.toml", 4, "directory 'D:/fw' is written with '/'"},
    {"program waited for with '/'", "[[steps]]\naction = \"load\"\n[expect]\nwaits_forever = '\"D:/fw/tool.exe\" -auto'\n",
     nullptr, "scenario.toml", 4, "waits_forever '\"D:/fw/tool.exe\" -auto' is written with '/'"},

    // Windows paths in double quotes.
    {"expected command line in double quotes",
     "[[steps]]\naction = \"load\"\n[expect]\nprograms = [\n  { command_line = \"D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto\" },\n]\n",
     nullptr, "scenario.toml", 5,
     "command_line holds a control character: it reads D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto (control characters "
     "shown as \\f, \\t, \\x01, ...)",
     "write Windows paths, keys and command lines in single quotes, such as 'D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto'"},
    {"program path in double quotes", "[[machine.programs]]\npath = \"D:\\fwUpdate\\tool.exe\"\n", nullptr, "scenario.toml", 2,
     "path holds a control character: it reads D:\\fwUpdate\\tool.exe", "such as 'D:\\fwUpdate\\tool.exe'"},
    {"log expectation that could never be met",
     "[[steps]]\naction = \"load\"\n[[expect.log]]\ncontains = \"D:\\fwUpdate\\tarvix\"\ncount = 0\n", nullptr,
     "scenario.toml", 4, "contains holds a control character: it reads D:\\fwUpdate\\tarvix"},
    {"log line with a control character no escape names",
     "[[steps]]\naction = \"load\"\n[[expect.log]]\nline = \"a\\u0001b\"\n", nullptr, "scenario.toml", 4,
     "line holds a control character: it reads a\\x01b", "write Windows paths, keys and command lines in single quotes"},
    {"registry key in double quotes", "[[steps]]\naction = \"load\"\n[[expect.registry]]\nkey = \"HKLM\\\\SOFTWARE\\tvx\"\n",
     nullptr, "scenario.toml", 4, "key holds a control character: it reads HKLM\\SOFTWARE\\tvx", "such as 'HKLM\\SOFTWARE\\tvx'"},
    {"event name in double quotes", "[[steps]]\naction = \"load\"\n[expect]\nevents = [\"Global\\tvx_PNPFinishedEvent_99\"]\n",
     nullptr, "scenario.toml", 4, "each item of expect.events holds a control character"},
    {"file path in double quotes", "[[machine.files]]\npath = \"%TEMP%\\new.log\"\n", nullptr, "scenario.toml", 2,
     "path holds a control character: it reads %TEMP%\\new.log", "such as '%TEMP%\\new.log'"},
    {"model string in double quotes", "[[steps]]\naction = \"install_pellion_software\"\ncommand_line = \"tvx\\tQ920k\"\n",
     nullptr, "scenario.toml", 3, "command_line holds a control character"},
    {"instance ID in double quotes: an escape TOML does not know",
     "[[machine.devices]]\ninstance_id = \"USB\\VID_2E5A&PID_0920\\5\"\n", nullptr, "scenario.toml", 2, "escape sequence",
     "write Windows paths and keys in single quotes"},

    // Machines that cannot be.
    {"a CD-ROM drive as C:", "[[machine.drives]]\nletter = \"C\"\ntype = \"cdrom\"\n", nullptr, "scenario.toml", 3,
     "drive C: is the system drive", "its type is \"fixed\", not \"cdrom\""},
    {"a network drive as C:", "[[machine.drives]]\nletter = \"c:\"\ntype = \"remote\"\n", nullptr, "scenario.toml", 3,
     "not \"remote\""},
    {"selected driver on a drive the machine does not have",
     "[[machine.drives]]\nletter = \"D\"\n[[machine.devices]]\ninstance_id = 'X\\1'\n"
     "selected_driver = { inf_file = 'E:\\TarvixWia_LXR415_U.INF', section = \"S\" }\n",
     nullptr, "scenario.toml", 5,
     "inf_file E:\\TarvixWia_LXR415_U.INF is on drive E:, which the machine does not have (C: and the drives of "
     "[[machine.drives]])"},
    {"selected driver's INF that is no full path",
     "[[machine.devices]]\ninstance_id = 'X\\1'\nselected_driver = { inf_file = 'oem3.inf', section = \"S\" }\n", nullptr,
     "scenario.toml", 3, "inf_file must be a full Windows path"},
    {"device given twice", "[[machine.devices]]\ninstance_id = 'USB\\X\\1'\n[[machine.devices]]\ninstance_id = 'usb\\x\\1'\n",
     nullptr, "scenario.toml", 3, "device usb\\x\\1 is given twice"},
    {"two devices with one driver key",
     "[[machine.devices]]\ninstance_id = 'USB\\X\\1'\ndriver_instance = \"0000\"\n"
     "[[machine.devices]]\ninstance_id = 'USB\\X\\2'\ndriver_instance = \"0000\"\n",
     nullptr, "scenario.toml", 4,
     "device USB\\X\\2 has driver_instance \"0000\", the driver key of device USB\\X\\1 (line 1): every device has a "
     "driver key of its own"},
};

void ExpectRefused(const BadInput& row, const fs::path& case_folder) {
    WriteHostFile(case_folder / "scenario.toml", row.toml);
    if (row.reg) WriteHostFile(case_folder / "bad.reg", row.reg);
    try {
        tvx::ReadScenario(case_folder / "scenario.toml");
        ADD_FAILURE() << "read without an error";
    } catch (const tvx::ScenarioError& e) {
        EXPECT_EQ(fs::path(e.file()).filename(), row.file) << e.what();
        EXPECT_EQ(e.line(), row.line) << e.what();
        EXPECT_NE(e.message().find(row.message), std::string::npos) << e.what();
        if (row.also) {
            EXPECT_NE(e.message().find(row.also), std::string::npos) << e.what();
        }
        EXPECT_FALSE(e.message().empty());
    }
}

TEST(ScenarioReader, RefusesBadInputNamingFileLineAndCause) {
    fs::path folder = tvx::test::FreshScratchFolder();
    for (const BadInput& row : kBadInputs) {
        SCOPED_TRACE(row.what);
        ExpectRefused(row, folder / std::to_string(&row - kBadInputs));
    }
}

TEST(ScenarioReader, RefusesCommonMistakesSayingWhatToWriteInstead) {
    fs::path folder = tvx::test::FreshScratchFolder();
    for (const BadInput& row : kFixableInputs) {
        SCOPED_TRACE(row.what);
        ExpectRefused(row, folder / std::to_string(&row - kFixableInputs));
    }
}

// What Windows allows is kept: the checks above refuse only what cannot be meant.
TEST(ScenarioReader, KeepsWhatLooksLikeAMistakeButIsNot) {
    const tvx::Scenario s = tvx::ParseScenario(R"(
[[machine.drives]]
letter = "C"
[[machine.drives]]
letter = "D"
[[machine.devices]]
instance_id = 'USB\VID_2E5A&PID_0920\5&1F2E3D4C&0&2'
driver_instance = "0000"
selected_driver = { inf_file = 'D:\TarvixWia_LXR415_U.INF', section = "S" }
[[machine.devices]]
instance_id = 'ROOT\IMAGE\0000'
class_guid = "{4D36E967-E325-11CE-BFC1-08002BE10318}"
driver_instance = "0000"
selected_driver = { inf_file = 'c:\WINDOWS\inf\oem3.inf', section = "S" }
[[steps]]
action = "load"
[[expect.registry]]
key = 'HKCR\MIME\Database\Content Type\text/html'
[expect]
programs = [{ command_line = 'D:\setup.exe /s', directory = "" }]
debug_output = ["Could not obtain current HW instance info for device\n"]
[[expect.log]]
file = "_scan_buttons.log"
contains = "FixLocButRegStrings\tAt Beginning"
)",
                                               "scenario.toml");
    const tvx::MachineDescription& m = s.machine;
    ASSERT_EQ(m.drives.size(), 2u);
    EXPECT_EQ(m.drives[0].type, tvx::kDriveFixed) << "C: is the system drive";
    EXPECT_EQ(m.drives[1].type, tvx::kDriveCdrom) << "other drives are optical drives unless said otherwise";
    ASSERT_EQ(m.devices.size(), 2u) << "driver keys of two classes share their instance numbers";
    EXPECT_EQ(s.expect.registry[0].key, "HKEY_CLASSES_ROOT\\MIME\\Database\\Content Type\\text/html")
        << "below the root key '/' is part of a key's name";
    EXPECT_EQ((*s.expect.programs)[0].command_line, "D:\\setup.exe /s") << "a switch after the program";
    EXPECT_EQ(*(*s.expect.programs)[0].directory, "") << "the caller's own folder";
    EXPECT_EQ((*s.expect.debug_output)[0].back(), '\n') << "debugger texts end in a line end";
    EXPECT_EQ(s.expect.log[0].text, "FixLocButRegStrings\tAt Beginning") << "the logs hold tabs";
}

// Where TOML text may hold characters outside the ASCII range: in strings of every form and in
// comments, which end where TOML ends them; anywhere else is the line's error.
TEST(ScenarioReader, NonAsciiTextStandsOnlyInStringsAndComments) {
    struct Case {
        const char* what;
        const char* toml;
        std::optional<int> line;
    };
    const Case cases[] = {
        {"basic string", "a = \"\xC3\xA9\"\n", std::nullopt},
        {"literal string", "a = '\xC3\xA9'\n", std::nullopt},
        {"comment", "a = 1 # \xC3\xA9\n", std::nullopt},
        {"multi-line basic string", "a = \"\"\"\n\xC3\xA9\n\"\"\"\n", std::nullopt},
        {"multi-line literal string", "a = '''\n\xC3\xA9'''\n", std::nullopt},
        {"after an escaped quote", "a = \"\\\"\xC3\xA9\"\n", std::nullopt},
        {"after an escaped quote in a multi-line string", "a = \"\"\"\\\"\"\"\xC3\xA9\"\"\"\n", std::nullopt},
        {"quoted key", "\"\xC3\xA9\" = 1\n", std::nullopt},
        {"bare key", "\n\nk\xC3\xA9y = 1\n", 3},
        {"table header", "[\xC3\xA9]\n", 1},
        {"bare value", "a = \xC3\xA9\n", 1},
        {"after a value", "a = 1 \xC3\xA9\n", 1},
        {"a literal string has no escapes", "a = 'x\\'\xC3\xA9\n", 1},
        {"two quotes before the closing ones belong to the string", "a = \"\"\"x\"\"\"\"\" \xC3\xA9\n", 1},
        {"a string that the line end cuts short", "a = \"x\nb = \xC3\xA9\n", 2},
        {"lines of multi-line strings and comments counted", "# \xC3\xA9\na = '''\n\n'''\nb = \"\"\"\\\n\"\"\"\nc = \xC3\xA9\n", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(tvx::LineOfNonAsciiOutsideStrings(c.toml), c.line);
    }
}

// Malformed text where a character outside the ASCII range follows what toml++ does not take for a
// string, though a quote stands before it: toml++ looks at the character to see whether its value
// ends there. Characters from each range of toml++'s whitespace test that once reached undefined
// behaviour (U+00A1..U+0499, U+2C8E..U+3087, U+FB26..U+FEFE); each text is refused with its line.
TEST(ScenarioReader, NonAsciiAfterAValueThatIsNoStringIsRefusedWithItsLine) {
    struct Case {
        const char* what;
        const char* toml;
        int line;
    };
    const Case cases[] = {
        {"number, then a quoted letter", "name =0\"\xC3\xA9\"\n", 1},
        {"hexadecimal number, then a literal string", "[[machine.devices]]\ninstance_id = 0x'USB\\\xC3\xA9'\n", 2},
        {"float, then a quoted Cyrillic letter", "name = 1.5e3\"\xD0\x96\"\n", 1},
        {"date, then a quoted Greek letter", "\nname = 1979-05-27\"\xCE\xA9\"\n", 2},
        {"boolean, then a quoted letter", "name = true\"\xC3\xA9\"\n", 1},
        {"in an array", "[machine]\nregistry = [1\"\xE3\x80\x81\"]\n", 2},
        {"in an inline table", "name = {b = 1'\xEF\xB9\xB0'}\n", 1},
        {"a letter escaped in a multi-line string", "name = \"\"\"\\\xD0\x96\"\"\"\n", 1},
        {"after a line-ending backslash, a letter no ANSI code page holds", "name = \"\"\"x\\\n  \xE3\x81\x82\"\"\"\n", 1},
        {"bare letter in a table header", "[\xE3\x81\x82]\n", 1},
        {"bare letter as a value", "[machine]\nbits = \xEF\xAD\x90\n", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            tvx::ParseScenario(c.toml, "scenario.toml");
            ADD_FAILURE() << "read without an error";
        } catch (const tvx::ScenarioError& e) {
            EXPECT_EQ(e.file(), "scenario.toml") << e.what();
            EXPECT_EQ(e.line(), c.line) << e.what();
            EXPECT_FALSE(e.message().empty());
        }
    }
}

// A line-ending backslash in a multi-line string drops the line end and the whitespace after it;
// the letter that ends that whitespace is the string's next character.
TEST(ScenarioReader, LetterAfterALineEndingBackslashIsText) {
    const tvx::Scenario s = tvx::ParseScenario("name = \"\"\"Caf\\\n   \xC3\xA9\"\"\"\n[[steps]]\naction = \"load\"\n",
                                               "scenario.toml");
    EXPECT_EQ(s.name, "Caf\xE9");
}

TEST(ScenarioReader, MissingScenarioFileIsAnError) {
    fs::path folder = tvx::test::FreshScratchFolder();
    try {
        tvx::ReadScenario(folder / "absent.toml");
        ADD_FAILURE() << "read without an error";
    } catch (const tvx::ScenarioError& e) {
        EXPECT_EQ(e.line(), 0);
        EXPECT_NE(std::string(e.what()).find("absent.toml: cannot read the scenario file"), std::string::npos) << e.what();
    }
}

}  // namespace

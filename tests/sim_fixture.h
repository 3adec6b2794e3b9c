// A fresh simulated machine per test, made the one plat:: calls reach, and the checks every test
// ends with: no handle left open and no call that the machine does not model.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "platform/sim/machine.h"
#include "platform/text/guid.h"

namespace tvx::test {

inline plat::sim::MachineProfile Profile(DWORD major, DWORD minor, DWORD platform = VER_PLATFORM_WIN32_NT,
                                         const char* csd = "", bool admin = true) {
    plat::sim::MachineProfile p;
    p.os.major = major;
    p.os.minor = minor;
    p.os.platform_id = platform;
    p.os.csd = csd;
    p.admin = admin;
    return p;
}

// Writes a file on the host, making the folders above it.
inline void WriteHostFile(const std::filesystem::path& path, const std::string& bytes) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// A GUID from its text, which must be well-formed.
inline GUID GuidOf(const char* text) {
    GUID g{};
    EXPECT_TRUE(plat::text::ParseGuid(text, &g)) << text;
    return g;
}

// A scratch folder below the build folder, named after the running test and emptied first.
inline std::filesystem::path FreshScratchFolder(const std::string& suffix = "") {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name() + suffix;
    for (char& c : name)
        if (c == '/') c = '_';
    std::filesystem::path folder = std::filesystem::path(TVX_TEST_SCRATCH) / name;
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

// One simulated machine, active while the rig lives.
class SimRig {
public:
    explicit SimRig(plat::sim::MachineProfile profile = {}, const std::string& suffix = "")
        : machine(std::move(profile), FreshScratchFolder(suffix)), active(machine) {}

    // No handle (key, device set, COM object or string, ...) left open, COM left as the set-up left
    // it, no call the machine does not model.
    void ExpectClean() {
        EXPECT_EQ(machine.handles().open_count(), 0u) << ::testing::PrintToString(machine.handles().Describe());
        EXPECT_TRUE(machine.com_wia().apartment_balanced())
            << "COM left initialised on the thread, " << machine.com_wia().apartment_count() << " deep";
        EXPECT_TRUE(plat::host::Layer().not_modelled().empty())
            << "calls the simulated machine does not model: "
            << ::testing::PrintToString(plat::host::Layer().not_modelled());
    }

    // The bytes of a simulated file, or "<missing>".
    std::string File(const std::string& windows_path) {
        auto bytes = machine.files().ReadFile(windows_path);
        return bytes ? *bytes : "<missing>";
    }
    std::string Log(const std::string& name = "_coInst.log") { return File("C:\\Windows\\Temp\\" + name); }
    // The co-installer's log after its start lines (everything after the first "Start Log").
    std::string LogBody() {
        const std::string log = Log();
        const std::string start = "Start Log\r\n";
        const size_t at = log.find(start);
        return at == std::string::npos ? log : log.substr(at + start.size());
    }

    // Whether the trace holds a call of that name.
    static bool Called(const std::string& call) {
        for (const auto& r : plat::host::Layer().trace())
            if (r.call == call) return true;
        return false;
    }

    plat::sim::Machine machine;
    plat::sim::ActiveMachine active;
};

class SimTest : public ::testing::Test {
protected:
    void TearDown() override { rig.ExpectClean(); }
    SimRig rig;
};

// A close call that was made to fail (a fault injected into FindClose or CloseHandle) leaves its
// handle open in the machine's table, though the logic did close it as far as it can: such handles
// are closed here, past the fault layer. Answers how many there were.
inline size_t CloseHandlesWhoseCloseFailed(SimRig& rig) {
    size_t closed = 0;
    for (const auto& r : plat::host::Layer().trace()) {
        if (!r.injected || (r.call != "FindClose" && r.call != "CloseHandle")) continue;
        const uintptr_t value = std::stoull(r.args, nullptr, 16);
        const auto kind = rig.machine.handles().KindOf(value);
        if (!kind) continue;
        if (*kind == plat::sim::HandleKind::Find)
            rig.machine.files().FindClose(reinterpret_cast<HANDLE>(value));
        else
            rig.machine.process().CloseHandle(reinterpret_cast<HANDLE>(value));
        ++closed;
    }
    return closed;
}

// Replaces every log timestamp ("09:30:00\t12/10/26\t") by "HH:MM:SS\tMM/DD/YY\t".
inline std::string MaskTimestamps(const std::string& log) {
    static const std::regex stamp(R"(\d\d:\d\d:\d\d\t\d\d/\d\d/\d\d\t)");
    return std::regex_replace(log, stamp, "HH:MM:SS\tMM/DD/YY\t");
}

// For comparing large texts without printing them whole: where they first differ.
inline std::string FirstDifference(const std::string& actual, const std::string& expected) {
    size_t i = 0;
    while (i < actual.size() && i < expected.size() && actual[i] == expected[i]) ++i;
    auto around = [i](const std::string& s) {
        size_t from = i > 40 ? i - 40 : 0;
        return ::testing::PrintToString(s.substr(from, 80));
    };
    return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
           ", first difference at byte " + std::to_string(i) + "\n  actual:   " + around(actual) +
           "\n  expected: " + around(expected);
}

}  // namespace tvx::test

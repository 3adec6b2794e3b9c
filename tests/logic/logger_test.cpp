// The log writer: its framing lines, Windows text-mode bytes, rotation and silent failure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/logger.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;

constexpr const char* kLogPath = "C:\\Windows\\Temp\\_coInst.log";
constexpr const char* kPartnerPath = "C:\\Windows\\Temp\\_coInst2.log";
constexpr const char* kStamp = "09:30:00\t12/10/26\t\r\n";

std::string StartLines() { return std::string(kStamp) + "Start Log\r\n"; }
std::string EndLines() { return std::string(kStamp) + "End Log\r\n\r\n"; }

// Lines of 16 bytes ("line 0000000001" CR LF is 17; this keeps the arithmetic simple).
std::string NumberedLines(size_t bytes) {
    std::string out;
    for (int i = 0; out.size() < bytes; ++i) {
        char line[32];
        std::snprintf(line, sizeof line, "line %09d\r\n", i);
        out += line;
    }
    out.resize(bytes);
    return out;
}

class LoggerTest : public SimTest {};

TEST_F(LoggerTest, FramesItsLifeWithStartAndEndLines) {
    { CLogger log("_coInst.log"); }
    EXPECT_EQ(rig.Log(), StartLines() + EndLines());
}

TEST_F(LoggerTest, WritesLineEndsAsWindowsTextModeDoes) {
    {
        CLogger log("_coInst.log");
        EXPECT_EQ(log.Print("a\nb"), 3);
        // The dispatcher's first line: an empty line, the text with its own "\n\r", the line end.
        log.Print("\n%s", "called \n\r");
        EXPECT_TRUE(log.WriteLabel("szButNameInf"));
        EXPECT_TRUE(log.WriteLine("Scan"));
        EXPECT_TRUE(log.Write("x"));
        EXPECT_TRUE(log.WriteLine(""));
    }
    EXPECT_EQ(rig.Log(), StartLines() + "a\r\nb\r\n" + "\r\ncalled \r\n\r\r\n" + "szButNameInf\tScan\r\n" +
                             "x\r\n" + EndLines());
}

TEST_F(LoggerTest, WritesTextLongerThanItsFormatBufferWhole) {
    std::string longText(700, 'x');
    {
        CLogger log("_coInst.log");
        EXPECT_EQ(log.Print("%s!", longText.c_str()), 701);
    }
    EXPECT_EQ(rig.Log(), StartLines() + longText + "!\r\n" + EndLines());
}

TEST_F(LoggerTest, RotatesOnlyAFileLargerThan51200Bytes) {
    const std::string kept = NumberedLines(51200);
    struct Case {
        const char* name;
        std::string before;
        std::string after;
    } cases[] = {
        {"exactly 51200 bytes stay", kept, kept},
        {"one byte more is cut to the last 51200", "X" + kept, kept},
        {"a long file keeps its tail", NumberedLines(90000) + kept, kept},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rig.machine.files().WriteFile(kLogPath, c.before);
        { CLogger log("_coInst.log"); }
        const std::string expected = c.after + StartLines() + EndLines();
        EXPECT_TRUE(rig.Log() == expected) << tvx::test::FirstDifference(rig.Log(), expected);
        EXPECT_EQ(rig.Log("_coInst2.log"), "<missing>") << "the partner is renamed over the log";
    }
}

TEST_F(LoggerTest, RotationCutInsideALineKeepsThatLineTail) {
    // Whole lines of 16 bytes after a first line: the cut falls 16 bytes before them, inside it.
    std::string before = "the first line, cut by the rotation\r\n" + NumberedLines(16 * 3199);
    rig.machine.files().WriteFile(kLogPath, before);
    { CLogger log("_coInst.log"); }
    const std::string expected = "y the rotation\r\n" + NumberedLines(16 * 3199) + StartLines() + EndLines();
    EXPECT_TRUE(rig.Log() == expected) << tvx::test::FirstDifference(rig.Log(), expected);
}

TEST_F(LoggerTest, RotationReadsTheKeptTailInTextMode) {
    // The tail is read as Windows' text mode reads it (CR LF is a line end, Ctrl-Z ends the file)
    // and written back line by line with CR LF ends.
    struct Case {
        const char* name;
        std::string end;   // the last bytes of the kept 51200
        std::string kept;  // what the log holds of them afterwards
    } cases[] = {
        {"a bare line feed becomes CR LF", "ab\ncd\r\n", "ab\r\ncd\r\n"},
        {"a lone CR stays inside its line", "ab\rcd\r\n", "ab\rcd\r\n"},
        {"a CR before CR LF stays", "ab\r\r\n", "ab\r\r\n"},
        {"Ctrl-Z ends what is kept", "ab\r\n\x1A" "cd\r\n", "ab\r\n"},
        {"a last line without its end gets one", "ab\r\ncd", "ab\r\ncd\r\n"},
        {"a CR as the last byte stays in its line", "ab\r\ncd\r", "ab\r\ncd\r\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string lines = NumberedLines(16 * 3000);
        const std::string filler(51200 - lines.size() - c.end.size() - 2, 'f');
        rig.machine.files().WriteFile(kLogPath, "X" + lines + filler + "\r\n" + c.end);
        { CLogger log("_coInst.log"); }
        const std::string expected = lines + filler + "\r\n" + c.kept + StartLines() + EndLines();
        EXPECT_TRUE(rig.Log() == expected) << tvx::test::FirstDifference(rig.Log(), expected);
    }
}

TEST(LoggerPartner, NameDropsFourCharactersAndAppends2Log) {
    struct Case {
        const char* path;
        const char* partner;
    } cases[] = {
        {"C:\\Windows\\Temp\\_coInst.log", "C:\\Windows\\Temp\\_coInst2.log"},
        {"C:\\Windows\\Temp\\_scan_buttons.log", "C:\\Windows\\Temp\\_scan_buttons2.log"},
        {"C:\\Windows\\Temp\\trace.txt", "C:\\Windows\\Temp\\trace2.log"},
        {"C:\\Windows\\Temp\\install", "C:\\Windows\\Temp\\ins2.log"},
        {"ab", "2.log"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(RotationPartnerPath(c.path), c.partner);
    }
}

// The rotation names the partner through its handle with the native form of the log's path; a
// temporary folder may be given in any of the forms Windows takes for a full path.
TEST(LoggerPartner, RenameTargetIsTheNativeFormOfTheLogPath) {
    struct Case {
        const char* path;
        const char* native;  // empty: no native form, the rotation keeps the log whole
    } cases[] = {
        {"C:\\Windows\\Temp\\_coInst.log", "\\??\\C:\\Windows\\Temp\\_coInst.log"},
        {"\\\\?\\C:\\Windows\\Temp\\_coInst.log", "\\??\\C:\\Windows\\Temp\\_coInst.log"},
        {"\\\\.\\C:\\Windows\\Temp\\_coInst.log", "\\??\\C:\\Windows\\Temp\\_coInst.log"},
        {"\\\\?\\UNC\\server\\share\\_coInst.log", "\\??\\UNC\\server\\share\\_coInst.log"},
        {"\\\\server\\share\\Temp\\_coInst.log", "\\??\\UNC\\server\\share\\Temp\\_coInst.log"},
        {"_coInst.log", ""},
        {"C:_coInst.log", ""},
        {"\\Temp\\_coInst.log", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(NativePath(c.path), c.native);
    }
}

TEST_F(LoggerTest, RotatesAFileWhoseNameHasNoFourCharacterExtension) {
    const std::string kept = NumberedLines(51200);
    rig.machine.files().WriteFile("C:\\Windows\\Temp\\install", "X" + kept);
    { CLogger log("install"); }
    const std::string expected = kept + StartLines() + EndLines();
    const std::string actual = rig.File("C:\\Windows\\Temp\\install");
    EXPECT_TRUE(actual == expected) << tvx::test::FirstDifference(actual, expected);
}

TEST_F(LoggerTest, NullTextsWriteOnlyTheirEnds) {
    {
        CLogger log("_coInst.log");
        EXPECT_TRUE(log.WriteLabel(nullptr));
        EXPECT_TRUE(log.Write(nullptr));
        EXPECT_TRUE(log.WriteLine(nullptr));
    }
    EXPECT_EQ(rig.Log(), StartLines() + "\t\r\n" + EndLines());
}

// A log that cannot be asked who it is might be a planted link: it is refused like one.
TEST_F(LoggerTest, ALogWhoseIdentityCannotBeReadIsRefused) {
    rig.machine.files().WriteFile(kLogPath, "old\r\n");
    plat::host::Layer().FailCall("GetFileInformationByHandle", ERROR_ACCESS_DENIED);
    {
        CLogger log("_coInst.log");
        EXPECT_FALSE(log.IsOpen());
        EXPECT_FALSE(log.WriteLine("text"));
    }
    plat::host::Layer().ClearFaults();
    EXPECT_EQ(rig.Log(), "old\r\n");
}

TEST_F(LoggerTest, UnwritableTempFolderGivesASilentLogger) {
    rig.machine.files().SetReadOnlyFolder("C:\\Windows\\Temp");
    CLogger log("_coInst.log");
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(log.Print("%s", "text"), 0);
    EXPECT_FALSE(log.WriteLine("text"));
    EXPECT_FALSE(log.WriteLabel("text"));
    EXPECT_FALSE(log.Write("text"));
    EXPECT_FALSE(log.WriteTimestamp());
    EXPECT_EQ(rig.Log(), "<missing>");
}

// The log lives in the temporary folder or nowhere. Without an answer from GetTempPathA, or with
// one too long for its buffer, the logger opens nothing: the name alone would be relative to the
// host's current folder, the system folder. A folder that fits is used up to the buffer's limit.
TEST(LoggerTempFolder, NoTemporaryFolderMeansASilentLoggerAndNoFileAnywhere) {
    // A folder path of `length` characters, backslash included, made of names a host file system
    // takes.
    auto FolderOf = [](size_t length) {
        std::string folder = "C:\\";
        while (folder.size() < length) {
            const size_t room = length - folder.size();
            if (room <= 100) {
                folder += std::string(room - 1, 't') + "\\";
            } else {
                folder += std::string(std::min<size_t>(100, room - 2), 'f') + "\\";
            }
        }
        return folder;
    };
    struct Case {
        const char* name;
        std::string folder;  // the temporary folder; empty: GetTempPathA fails
        bool opens;          // the log is opened in the folder; else nothing is opened at all
    } cases[] = {
        {"GetTempPathA fails", "", false},
        {"a folder of 260 characters", FolderOf(260), false},
        {"a folder of 300 characters", FolderOf(300), false},
        {"a folder of 259 characters", FolderOf(259), true},
        {"a folder whose log path is 259 characters", FolderOf(259 - std::strlen("_coInst.log")), true},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tvx::test::SimRig rig({}, "-" + std::to_string(row++));
        if (c.folder.empty()) {
            plat::host::Layer().FailCall("GetTempPathA", ERROR_NOT_ENOUGH_MEMORY);
        } else {
            rig.machine.files().SetTempPath(c.folder);
            std::filesystem::create_directories(*rig.machine.files().HostPath(c.folder));
        }
        {
            CLogger log("_coInst.log");
            plat::host::Layer().ClearFaults();
            EXPECT_EQ(log.Path(), c.opens ? c.folder + "_coInst.log" : "");
            std::vector<std::string> opened;
            for (const auto& r : plat::host::Layer().trace())
                if (r.call == "CreateFileA") opened.push_back(r.args);
            if (c.opens) {
                EXPECT_FALSE(opened.empty());
            } else {
                EXPECT_TRUE(opened.empty()) << ::testing::PrintToString(opened);
                EXPECT_FALSE(log.IsOpen());
                EXPECT_EQ(log.Print("%s", "text"), 0);
            }
        }
        EXPECT_EQ(rig.File("C:\\Windows\\system32\\_coInst.log"), "<missing>");
        if (c.opens && c.folder.size() + std::strlen("_coInst.log") < MAX_PATH) {
            EXPECT_EQ(rig.File(c.folder + "_coInst.log"), StartLines() + EndLines());
        }
        rig.ExpectClean();
    }
}

// A rotation that cannot finish keeps the old log whole. When the cut copy cannot take the log's
// place (another process holds the log open, as a second copy of the library or a log viewer does,
// without sharing its deletion), the logger appends to the whole log as to one that needed no cut;
// when the copy cannot even be made, it stays silent. The partner it made is deleted with it
// whenever it can be.
TEST(LoggerRotationFailure, KeepsTheOldLogWhole) {
    const std::string before = "X" + NumberedLines(51200);
    struct Case {
        const char* name;
        std::function<void(tvx::test::SimRig&)> arrange;
        bool appends;         // the logger writes on at the end of the uncut log; else it is silent
        const char* partner;  // the partner's bytes afterwards
    } cases[] = {
        // Another process holds the log as a logger or a viewer would: it shares reading and
        // writing, not deletion, so the partner may not replace the log.
        {"the log is open elsewhere through a handle",
         [](tvx::test::SimRig&) {
             plat::CreateFileA(kLogPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
         },
         true, "<missing>"},
        {"the log is open elsewhere in a C runtime stream",
         [](tvx::test::SimRig&) { plat::_fsopen(kLogPath, "a+", _SH_DENYNO); }, true, "<missing>"},
        // Neither the rename nor the deletion of the partner works: the partner stays, the log too.
        {"the partner can be neither renamed nor deleted",
         [](tvx::test::SimRig&) { plat::host::Layer().FailCall("SetFileInformationByHandle", ERROR_ACCESS_DENIED); },
         true, nullptr},
        // A stale partner another process holds open cannot be deleted, so no new one is made.
        {"the old partner is open elsewhere",
         [](tvx::test::SimRig& rig) {
             rig.machine.files().WriteFile(kPartnerPath, "stale");
             plat::_fsopen(kPartnerPath, "rb", _SH_DENYNO);
         },
         false, "stale"},
        {"the partner cannot be written",
         [](tvx::test::SimRig&) { plat::host::Layer().FailCall("fwrite", ERROR_ACCESS_DENIED); }, false,
         "<missing>"},
        // A copy of less than the tail must not replace the log.
        {"the log's tail cannot be read",
         [](tvx::test::SimRig&) { plat::host::Layer().FailCall("fread", ERROR_ACCESS_DENIED); }, false,
         "<missing>"},
        {"the partner's new name cannot be converted",
         [](tvx::test::SimRig&) { plat::host::Layer().FailCall("MultiByteToWideChar", ERROR_INVALID_PARAMETER); },
         true, "<missing>"},
    };
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tvx::test::SimRig rig({}, "-" + std::to_string(row++));
        rig.machine.files().WriteFile(kLogPath, before);
        c.arrange(rig);
        {
            CLogger log("_coInst.log");
            plat::host::Layer().ClearFaults();
            EXPECT_EQ(log.IsOpen(), c.appends);
            EXPECT_EQ(log.Print("kept"), c.appends ? 4 : 0);
        }
        rig.machine.files().CloseAllStreams();  // the other process ends
        const std::string expected = c.appends ? before + StartLines() + "kept\r\n" + EndLines() : before;
        EXPECT_TRUE(rig.Log() == expected) << tvx::test::FirstDifference(rig.Log(), expected);
        if (c.partner) {
            EXPECT_EQ(rig.Log("_coInst2.log"), c.partner);
        }
        rig.ExpectClean();
    }
}

// Every failable call of a logger's life failed in turn, once and from then on, on a log to cut and
// on one another process holds: the old log's text is never lost or changed (the log is either
// whole or cut to exactly its last 51200 bytes), nothing but the logger's own whole lines follows
// it, a partner left behind holds only a part of the cut copy, and no handle stays open.
TEST(LoggerRotationFaultSweep, NoFailingCallLosesTheOldLogOrLeavesAHandleOpen) {
    // Long lines, so that the copy's line-by-line writes are few.
    std::string before;
    for (int i = 0; before.size() <= 52000; ++i) before += "line " + std::to_string(i) + std::string(993, '.') + "\r\n";
    const std::string cut = before.substr(before.size() - 51200);
    const std::vector<std::string> ownLines = {kStamp, "Start Log\r\n", "kept\r\n", kStamp, "End Log\r\n", "\r\n"};
    // Whether `rest` is some of `lines`, each whole, in their order.
    auto OnlyOwnLines = [&](std::string rest) {
        for (const std::string& line : ownLines)
            if (rest.compare(0, line.size(), line) == 0) rest.erase(0, line.size());
        return rest.empty();
    };
    struct Case {
        const char* name;
        bool held;  // another process holds the log, so the cut copy cannot replace it
    } cases[] = {{"a log to cut", false}, {"a log to cut that another process holds", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Runs one logger's life with the nth call after the set-up failed (0: none); answers how
        // many failable calls the life made.
        auto Run = [&](uint64_t n, bool fromThenOn, const std::string& suffix) {
            tvx::test::SimRig rig({}, suffix);
            rig.machine.files().WriteFile(kLogPath, before);
            plat::ScopedStream other(c.held ? plat::_fsopen(kLogPath, "a+b", _SH_DENYNO) : nullptr);
            const uint64_t start = plat::host::Layer().failable_calls();
            if (n) plat::host::Layer().FailNth(start + n, ERROR_ACCESS_DENIED, fromThenOn);
            {
                CLogger log("_coInst.log");
                log.Print("kept");
            }
            const uint64_t made = plat::host::Layer().failable_calls() - start;
            plat::host::Layer().ClearFaults();
            other.reset();
            tvx::test::CloseHandlesWhoseCloseFailed(rig);
            const std::string log = rig.Log();
            const bool whole = log.compare(0, before.size(), before) == 0;
            const bool wasCut = !whole && log.compare(0, cut.size(), cut) == 0;
            EXPECT_TRUE(whole || wasCut) << tvx::test::FirstDifference(log, before);
            if (whole || wasCut) {
                EXPECT_TRUE(OnlyOwnLines(log.substr(whole ? before.size() : cut.size())))
                    << ::testing::PrintToString(log.substr(whole ? before.size() : cut.size()));
            }
            if (c.held) {
                EXPECT_TRUE(whole) << "a log another process holds is never replaced";
            }
            const std::string partner = rig.Log("_coInst2.log");
            EXPECT_TRUE(partner == "<missing>" || cut.compare(0, partner.size(), partner) == 0)
                << ::testing::PrintToString(partner.substr(0, 80));
            EXPECT_EQ(rig.machine.handles().open_count(), 0u)
                << ::testing::PrintToString(rig.machine.handles().Describe());
            EXPECT_TRUE(plat::host::Layer().not_modelled().empty());
            return made;
        };
        const uint64_t calls = Run(0, false, "-count");
        ASSERT_GT(calls, 10u);
        for (bool fromThenOn : {false, true}) {
            for (uint64_t n = 1; n <= calls; ++n) {
                SCOPED_TRACE("call " + std::to_string(n) + (fromThenOn ? " and on" : ""));
                Run(n, fromThenOn, "-" + std::to_string(n) + (fromThenOn ? "on" : ""));
                if (::testing::Test::HasFailure()) return;
            }
        }
    }
}

// While another process holds the log, every load's logger appends to it, its own lines and the
// other's kept whole in the order written; once the other lets go, the next logger cuts the log.
TEST_F(LoggerTest, ALogHeldElsewhereGrowsUntilItIsLetGo) {
    const std::string before = "X" + NumberedLines(51200);
    rig.machine.files().WriteFile(kLogPath, before);
    {
        plat::ScopedStream other(plat::_fsopen(kLogPath, "a+b", _SH_DENYNO));
        ASSERT_TRUE(other);
        for (const char* text : {"first\r\n", "second\r\n"}) {
            CLogger log("_coInst.log");
            plat::fwrite(text, 1, std::strlen(text), other.get());
            plat::fflush(other.get());
        }
    }
    const std::string grown = before + StartLines() + "first\r\n" + EndLines() + StartLines() + "second\r\n" + EndLines();
    EXPECT_TRUE(rig.Log() == grown) << tvx::test::FirstDifference(rig.Log(), grown);
    { CLogger log("_coInst.log"); }
    const std::string cut = grown.substr(grown.size() - 51200) + StartLines() + EndLines();
    EXPECT_TRUE(rig.Log() == cut) << tvx::test::FirstDifference(rig.Log(), cut);
    EXPECT_EQ(rig.Log("_coInst2.log"), "<missing>");
}

// The access each log file is opened with, as the calls show it: a log may be read and appended
// to but not written anywhere else (Windows then puts every write of every process at the end),
// the rotation partner may be written and deleted. This holds for the first open, the partner and
// the log opened anew after a rotation, whether the cut copy took the log's place or not.
TEST(LoggerAccess, LogsAppendOnlyAndThePartnerWritesAndDeletes) {
    struct Case {
        const char* name;
        bool held;  // another process holds the log, so the cut copy cannot replace it
    } cases[] = {{"a rotation", false}, {"a rotation whose copy cannot replace the log", true}};
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tvx::test::SimRig rig({}, "-" + std::to_string(row++));
        rig.machine.files().WriteFile(kLogPath, "X" + NumberedLines(51200));
        plat::ScopedStream other(c.held ? plat::_fsopen(kLogPath, "a+", _SH_DENYNO) : nullptr);
        { CLogger log("_coInst.log"); }
        std::vector<std::string> logOpens;
        std::vector<unsigned long> partnerAccess;
        for (const auto& r : plat::host::Layer().trace()) {
            if (r.call != "CreateFileA") continue;
            const size_t comma = r.args.find(", ");
            const unsigned long access = std::stoul(r.args.substr(comma + 2), nullptr, 0);
            const std::string path = r.args.substr(0, comma);
            if (path.find("_coInst2.log") != std::string::npos) {
                partnerAccess.push_back(access);
                continue;
            }
            logOpens.push_back(r.args);
            EXPECT_EQ(access & (GENERIC_READ | FILE_APPEND_DATA), GENERIC_READ | FILE_APPEND_DATA) << r.args;
            EXPECT_EQ(access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | DELETE), 0u) << r.args;
        }
        EXPECT_EQ(logOpens.size(), 2u) << "the first open and the open after the rotation";
        ASSERT_EQ(partnerAccess.size(), 1u);
        EXPECT_EQ(partnerAccess[0] & (GENERIC_WRITE | DELETE), static_cast<unsigned long>(GENERIC_WRITE | DELETE));
        other.reset();
        rig.ExpectClean();
    }
}

// After a rotation the log is shared as before: another process may open it to append (which a
// handle that kept the right to delete it would forbid), each line landing at the end.
TEST_F(LoggerTest, ARotatedLogStaysOpenToOtherWriters) {
    const std::string kept = NumberedLines(51200);
    rig.machine.files().WriteFile(kLogPath, "X" + kept);
    {
        CLogger log("_coInst.log");
        plat::ScopedStream other(plat::_fsopen(kLogPath, "a+b", _SH_DENYNO));
        ASSERT_TRUE(other);
        plat::fwrite("other\r\n", 1, 7, other.get());
        plat::fflush(other.get());
        log.WriteLine("mine");
    }
    const std::string expected = kept + StartLines() + "other\r\nmine\r\n" + EndLines();
    EXPECT_TRUE(rig.Log() == expected) << tvx::test::FirstDifference(rig.Log(), expected);
}

class LogLastErrorTest : public SimTest {};

TEST_F(LogLastErrorTest, LogsTheSystemTextWithItsOwnLineEnd) {
    {
        CLogger log("_coInst.log");
        plat::SetLastError(ERROR_FILE_NOT_FOUND);
        LogLastError("SetupDiGetDeviceInstallParams", &log);
    }
    EXPECT_EQ(rig.Log(), StartLines() +
                             "SetupDiGetDeviceInstallParams failed with error 2: "
                             "The system cannot find the file specified.\r\r\n\r\n" +
                             EndLines());
}

TEST_F(LogLastErrorTest, CodeWithoutSystemTextLogsAnEmptyText) {
    {
        CLogger log("_coInst.log");
        plat::SetLastError(0x12345);
        LogLastError("Thing", &log);
    }
    EXPECT_EQ(rig.Log(), StartLines() + "Thing failed with error 74565: \r\n" + EndLines());
}

TEST_F(LogLastErrorTest, NullLoggerStillQueriesAndFreesTheText) {
    plat::SetLastError(ERROR_ACCESS_DENIED);
    LogLastError("Thing", nullptr);
    EXPECT_TRUE(rig.Called("FormatMessageA"));
    EXPECT_TRUE(rig.Called("LocalFree"));
    // The fixture's end check finds no memory block left open.
}

}  // namespace

// The log writer: its framing lines, Windows text-mode bytes, rotation and silent failure.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

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

TEST_F(LoggerTest, RotatesAFileWhoseNameHasNoFourCharacterExtension) {
    const std::string kept = NumberedLines(51200);
    rig.machine.files().WriteFile("C:\\Windows\\Temp\\install", "X" + kept);
    { CLogger log("install"); }
    const std::string expected = kept + StartLines() + EndLines();
    const std::string actual = rig.File("C:\\Windows\\Temp\\install");
    EXPECT_TRUE(actual == expected) << tvx::test::FirstDifference(actual, expected);
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

// A rotation that cannot finish keeps the old log whole and leaves the logger silent; the partner
// it made is deleted with it whenever it can be.
TEST(LoggerRotationFailure, KeepsTheOldLogAndASilentLogger) {
    const std::string before = "X" + NumberedLines(51200);
    struct Case {
        const char* name;
        std::function<void(tvx::test::SimRig&)> arrange;
        const char* partner;  // the partner's bytes afterwards
    } cases[] = {
        // Another process's logger has the log open: the partner may not replace it.
        {"the log is open elsewhere",
         [](tvx::test::SimRig&) { plat::_fsopen(kLogPath, "a+b", _SH_DENYNO); },
         "<missing>"},
        // A stale partner another process holds open cannot be deleted, so no new one is made.
        {"the old partner is open elsewhere",
         [](tvx::test::SimRig& rig) {
             rig.machine.files().WriteFile(kPartnerPath, "stale");
             plat::_fsopen(kPartnerPath, "rb", _SH_DENYNO);
         },
         "stale"},
        {"the partner cannot be written",
         [](tvx::test::SimRig&) { plat::host::Layer().FailCall("fwrite", ERROR_ACCESS_DENIED); },
         "<missing>"},
        // Neither the rename nor the deletion of the partner works: the partner stays, the log too.
        {"the partner can be neither renamed nor deleted",
         [](tvx::test::SimRig&) { plat::host::Layer().FailCall("SetFileInformationByHandle", ERROR_ACCESS_DENIED); },
         nullptr},
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
            EXPECT_FALSE(log.IsOpen());
            EXPECT_EQ(log.Print("lost"), 0);
        }
        rig.machine.files().CloseAllStreams();  // the other process ends
        EXPECT_TRUE(rig.Log() == before) << tvx::test::FirstDifference(rig.Log(), before);
        if (c.partner) {
            EXPECT_EQ(rig.Log("_coInst2.log"), c.partner);
        }
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

// The log writer: its framing lines, Windows text-mode bytes, rotation and silent failure.
#include <gtest/gtest.h>

#include <memory>

#include "core/logger.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;

constexpr const char* kLogPath = "C:\\Windows\\Temp\\_coInst.log";
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

// A failed rename must not lose the log: it stays as it was and the logger falls silent.
TEST_F(LoggerTest, FailedRotationRenameKeepsTheOldLog) {
    const std::string before = "X" + NumberedLines(51200);
    rig.machine.files().WriteFile(kLogPath, before);
    plat::host::Layer().FailCall("MoveFileExA", ERROR_ACCESS_DENIED);
    {
        CLogger log("_coInst.log");
        EXPECT_FALSE(log.IsOpen());
        EXPECT_EQ(log.Print("lost"), 0);
    }
    EXPECT_TRUE(rig.Log() == before) << tvx::test::FirstDifference(rig.Log(), before);
    EXPECT_EQ(rig.Log("_coInst2.log"), "<missing>") << "the unused partner is deleted";
}

TEST_F(LoggerTest, PartnerThatCannotBeCreatedLeavesTheLogAndASilentLogger) {
    const std::string before = "X" + NumberedLines(51200);
    rig.machine.files().WriteFile(kLogPath, before);
    // The first open is the log itself; the second creates the partner.
    plat::host::Layer().FailNth(2, ERROR_ACCESS_DENIED);
    {
        CLogger log("_coInst.log");
        EXPECT_FALSE(log.IsOpen());
    }
    EXPECT_TRUE(rig.Log() == before) << tvx::test::FirstDifference(rig.Log(), before);
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

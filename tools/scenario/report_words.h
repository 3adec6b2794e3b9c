// The report's explanations in plain words, shared by its text and HTML forms so that both say the
// same thing the same way. Every function answers UTF-8 (texts from the machine are converted from
// its ANSI code page). Portable; used only inside the scenario library.
#pragma once

#include <string>
#include <vector>

#include "tools/scenario/report.h"

namespace tvx::words {

// What the report is about, for a reader who does not know the co-installer.
std::string Introduction();

// Why Windows makes a step's call (or what a load or unload does); empty when there is nothing to say.
std::string WhyStep(const ReportStep& step);
// A call's answer by name and value with its meaning: "NO_ERROR (0x00000000): success".
std::string Answer(uint32_t result);
// A call that never returns: what it waits for.
std::string WaitsForever(const ReportStep& step);
// How a call changed the device's installation parameters; empty when it did not.
std::string ParamsChange(const ReportStep& step);

// A log line as the report shows it: a CR of its own as <CR>, the rest as UTF-8.
std::string LogLine(const std::string& ansi_line);
// How a log file was written: "a new file", "rewritten (cut back to its end)", "appended to".
std::string LogFileWritten(const LogFileReport& log);

// How a program was started: "creation flags ..., start-up flags ..., show state ..."; empty when
// the machine cannot tell.
std::string ProgramStartedHow(const ProgramStarted& program);
// The time limit of a wait: ", without a time limit", ", for at most 500 ms"; empty when unknown.
std::string WaitLimit(const WaitReport& wait);
// How a wait ended: "it ended after 12000 ms of virtual time, then the co-installer went on".
std::string WaitOutcomeText(const WaitReport& wait);

// A WIA registration's device: "device X" or "every device (no device ID)".
std::string WiaDevice(const WiaRegistrationMade& registration);
// Its answer: "0x00000000 (S_OK)", "0x80004005 (failed)".
std::string WiaAnswer(const WiaRegistrationMade& registration);

// Debugger output with its line ends shown as \n and \r.
std::string DebugText(const std::string& ansi_text);

// The watched folders: "%WINDIR%\TWAIN_32 and %TEMP%".
std::string WatchedFoldersText();
// "created folder", "deleted file".
std::string FileChangeWhat(const FileChange& change);

// The run in a few sentences.
std::vector<std::string> Summary(const Report& report);

// The outcome in one plain sentence, for the top of the page: how the co-installer answered its
// calls (each error by step, call and name; a call that never returns; steps that did not run),
// how many programs it started, what it changed, and whether the scenario's expectations held.
std::string Outcome(const Report& report);
// Whether the outcome is a failure: a call answered with an error or never returning, or an
// unmet expectation.
bool OutcomeFailed(const Report& report);

}  // namespace tvx::words

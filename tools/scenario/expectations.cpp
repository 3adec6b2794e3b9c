// Checking a scenario's expectations. Portable.
#include "tools/scenario/expectations.h"

#include <cstdio>

#include "platform/text/names.h"
#include "tools/scenario/names.h"
#include "tools/scenario/reg_file.h"

namespace tvx {
namespace {

std::string TrimRight(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
    return s;
}

std::string ValueLabel(const RegistryExpectation& e) {
    std::string key = e.key;
    if (!e.value) return "key " + key;
    return "value " + (e.value->empty() ? std::string("@ (default)") : "\"" + *e.value + "\"") + " of " + key;
}

std::string Where(const Scenario& s, int line) {
    return s.file.string() + (line > 0 ? ":" + std::to_string(line) : "") + ": ";
}

std::string ProgramText(const std::string& command_line, const std::optional<std::string>& directory) {
    std::string text = "\"" + command_line + "\"";
    if (directory) text += " in folder \"" + *directory + "\"";
    return text;
}

std::string List(const std::vector<std::string>& items) {
    if (items.empty()) return "none";
    std::string out;
    for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
    return out;
}

// A text between quotes with its line ends shown as \n and \r.
std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    return out + "\"";
}

std::string MessageText(const std::string& window_class, uint32_t message, uint64_t wparam, uint64_t lparam) {
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, "message 0x%X (wParam 0x%llX, lParam 0x%llX)", message,
                  static_cast<unsigned long long>(wparam), static_cast<unsigned long long>(lparam));
    return std::string(numbers) + " to the window of class " + window_class;
}

// Whether the co-installer waited for a program it started until the program ended (or waits for
// it still): a wait for its command line in the step that started it.
bool WaitedFor(const Report& report, const ProgramStarted& program) {
    for (const WaitReport& w : report.waits)
        if (w.step == program.step && w.what == program.command_line && w.outcome != WaitOutcome::TimedOut)
            return true;
    return false;
}

std::string WiaText(const WiaRegistrationMade& w) {
    char flags[16];
    std::snprintf(flags, sizeof flags, "0x%X", w.flags);
    return "event " + w.event + " for " + (w.device_id ? "device \"" + *w.device_id + "\"" : std::string("every device")) +
           ", CLSID " + w.clsid + ", name \"" + w.name + "\", description \"" + w.description + "\", icon \"" +
           w.icon + "\", flags " + flags + ", answered " + Hex8(w.result);
}

// What of a registration differs from its expectation; empty when it matches.
std::string WiaMismatch(const WiaRegistrationExpectation& want, const WiaRegistrationMade& got) {
    std::string out;
    auto differs = [&out](const std::string& what, const std::string& expected) {
        out += (out.empty() ? "" : ", ") + what + " " + expected;
    };
    if (!plat::text::EqualNames(want.event, got.event)) differs("event", want.event);
    if (want.device_id) {
        const bool same = want.device_id->empty() ? !got.device_id : got.device_id && *got.device_id == *want.device_id;
        if (!same) differs("device", want.device_id->empty() ? "none (null)" : "\"" + *want.device_id + "\"");
    }
    if (want.clsid && !plat::text::EqualNames(*want.clsid, got.clsid)) differs("CLSID", *want.clsid);
    if (want.name && *want.name != got.name) differs("name", "\"" + *want.name + "\"");
    if (want.description && *want.description != got.description)
        differs("description", "\"" + *want.description + "\"");
    if (want.icon && *want.icon != got.icon) differs("icon", "\"" + *want.icon + "\"");
    if (want.flags && *want.flags != got.flags) differs("flags", Hex8(*want.flags));
    if (want.result && *want.result != got.result) differs("answer", Hex8(*want.result));
    return out;
}

}  // namespace

RegistryLookup LookupIn(const RegistrySnapshot& snapshot) {
    RegistryLookup lookup;
    lookup.key_exists = [&snapshot](const std::string& key) { return snapshot.Find(key) != nullptr; };
    lookup.value = [&snapshot](const std::string& key, const std::string& name) -> std::optional<RegistryValue> {
        const RegistryKeyState* state = snapshot.Find(key);
        if (!state) return std::nullopt;
        const RegistryValue* v = state->FindValue(name);
        if (!v) return std::nullopt;
        return *v;
    };
    return lookup;
}

std::vector<std::string> CheckExpectations(const Scenario& scenario, const Report& report,
                                           const RegistryLookup& registry, const FileSnapshot& files) {
    std::vector<std::string> unmet;

    // Results of DIF calls: the report has one step per scenario step.
    for (size_t i = 0; i < scenario.steps.size() && i < report.steps.size(); ++i) {
        const Step& step = scenario.steps[i];
        if (!step.expect_result) continue;
        const ReportStep& got = report.steps[i];
        if (!got.result) {
            unmet.push_back(Where(scenario, step.expect_line) + "expected step " + std::to_string(i + 1) + " (" +
                            got.description + ") to answer " + DescribeResult(*step.expect_result) +
                            ", but it did not run");
        } else if (*got.result != *step.expect_result) {
            unmet.push_back(Where(scenario, step.expect_line) + "expected step " + std::to_string(i + 1) + " (" +
                            got.description + ") to answer " + DescribeResult(*step.expect_result) + ", but it answered " +
                            DescribeResult(*got.result));
        }
    }

    for (const RegistryExpectation& e : scenario.expect.registry) {
        std::string where = Where(scenario, e.line);
        if (!e.value) {
            bool exists = registry.key_exists(e.key);
            if (exists != e.present)
                unmet.push_back(where + "expected " + ValueLabel(e) + (e.present ? " to exist" : " to be absent") +
                                ", but it " + (exists ? "exists" : "does not exist"));
            continue;
        }
        std::optional<RegistryValue> got = registry.value(e.key, *e.value);
        if (!e.present) {
            if (got) unmet.push_back(where + "expected " + ValueLabel(e) + " to be absent, but it holds " +
                                     FormatRegValue(*got));
            continue;
        }
        if (!got) {
            unmet.push_back(where + "expected " + ValueLabel(e) + " to exist, but it does not");
            continue;
        }
        if (e.data && (got->type != e.data->type || got->data != e.data->data)) {
            RegistryValue want = *e.data;
            want.name = got->name;
            unmet.push_back(where + "expected " + ValueLabel(e) + " to hold " + FormatRegValue(want) + " (" +
                            RegTypeName(want.type) + "), but it holds " + FormatRegValue(*got) + " (" +
                            RegTypeName(got->type) + ")");
        }
    }

    if (scenario.expect.programs) {
        const auto& want = *scenario.expect.programs;
        std::string where = Where(scenario, scenario.expect.programs_line);
        for (size_t i = 0; i < want.size(); ++i) {
            std::string expected = "program " + std::to_string(i + 1) + " to be " +
                                   ProgramText(want[i].command_line, want[i].directory);
            if (i >= report.programs.size()) {
                unmet.push_back(Where(scenario, want[i].line) + "expected " + expected + ", but " +
                                (report.programs.empty() ? std::string("no program was started")
                                                         : std::to_string(report.programs.size()) +
                                                               " programs were started"));
                continue;
            }
            const ProgramStarted& got = report.programs[i];
            if (got.command_line != want[i].command_line || (want[i].directory && got.directory != *want[i].directory)) {
                unmet.push_back(Where(scenario, want[i].line) + "expected " + expected + ", but it was " +
                                ProgramText(got.command_line, got.directory));
                continue;
            }
            if (want[i].waited && WaitedFor(report, got) != *want[i].waited)
                unmet.push_back(Where(scenario, want[i].line) + "expected the co-installer " +
                                (*want[i].waited ? "to wait" : "not to wait") + " for program " +
                                std::to_string(i + 1) + " (" + ProgramText(got.command_line, got.directory) +
                                "), but it " + (*want[i].waited ? "did not" : "did"));
        }
        for (size_t i = want.size(); i < report.programs.size(); ++i)
            unmet.push_back(where + "expected no program beyond the " + std::to_string(want.size()) +
                            " listed, but step " + std::to_string(report.programs[i].step) + " started " +
                            ProgramText(report.programs[i].command_line, report.programs[i].directory));
    }

    if (scenario.expect.events) {
        std::vector<std::string> got;
        for (const EventSet& e : report.events) got.push_back(e.name);
        if (got != *scenario.expect.events)
            unmet.push_back(Where(scenario, scenario.expect.events_line) + "expected the named events set to be " +
                            List(*scenario.expect.events) + ", but they were " + List(got));
    }

    if (scenario.expect.waits_forever) {
        std::string got;
        for (const ReportStep& step : report.steps)
            if (!step.waits_forever.empty()) got = step.waits_forever;
        const std::string& want = *scenario.expect.waits_forever;
        if (got != want)
            unmet.push_back(Where(scenario, scenario.expect.waits_forever_line) +
                            (want.empty() ? std::string("expected every wait of the co-installer to end")
                                          : "expected the co-installer to wait forever for \"" + want + "\"") +
                            ", but " +
                            (got.empty() ? std::string("every wait ended") : "it waits forever for \"" + got + "\""));
    }

    for (const ServiceExpectation& e : scenario.expect.services) {
        std::string where = Where(scenario, e.line);
        if (e.state) {
            std::string got = "not reported";
            for (const ServiceAtEnd& s : report.services_at_end)
                if (plat::text::EqualNames(s.service, e.name)) got = s.state;
            if (got != *e.state)
                unmet.push_back(where + "expected service " + e.name + " to be " + *e.state +
                                " at the end, but it is " + got);
        }
        if (e.changes) {
            std::vector<std::string> got;
            for (const ServiceChange& c : report.service_changes)
                if (plat::text::EqualNames(c.service, e.name)) got.push_back(c.state);
            if (got != *e.changes)
                unmet.push_back(where + "expected the state changes of service " + e.name + " to be " +
                                List(*e.changes) + ", but they were " + List(got));
        }
    }

    if (scenario.expect.messages) {
        const auto& want = *scenario.expect.messages;
        for (size_t i = 0; i < want.size(); ++i) {
            std::string expected = MessageText(want[i].window_class, want[i].message, want[i].wparam, want[i].lparam);
            if (i >= report.messages.size()) {
                unmet.push_back(Where(scenario, want[i].line) + "expected message " + std::to_string(i + 1) + " to be " +
                                expected + ", but " + std::to_string(report.messages.size()) + " were posted");
                continue;
            }
            const MessagePosted& got = report.messages[i];
            if (!plat::text::EqualNames(got.window_class, want[i].window_class) || got.message != want[i].message ||
                got.wparam != want[i].wparam || got.lparam != want[i].lparam)
                unmet.push_back(Where(scenario, want[i].line) + "expected message " + std::to_string(i + 1) + " to be " +
                                expected + ", but it was " +
                                MessageText(got.window_class, got.message, got.wparam, got.lparam));
        }
        for (size_t i = want.size(); i < report.messages.size(); ++i) {
            const MessagePosted& got = report.messages[i];
            unmet.push_back(Where(scenario, scenario.expect.messages_line) + "expected no message beyond the " +
                            std::to_string(want.size()) + " listed, but step " + std::to_string(got.step) + " posted " +
                            MessageText(got.window_class, got.message, got.wparam, got.lparam));
        }
    }

    if (scenario.expect.wia_registrations) {
        const auto& want = *scenario.expect.wia_registrations;
        for (size_t i = 0; i < want.size(); ++i) {
            const std::string which = "WIA registration " + std::to_string(i + 1);
            if (i >= report.wia_registrations.size()) {
                unmet.push_back(Where(scenario, want[i].line) + "expected " + which + " for event " + want[i].event +
                                ", but " + std::to_string(report.wia_registrations.size()) + " were made");
                continue;
            }
            std::string mismatch = WiaMismatch(want[i], report.wia_registrations[i]);
            if (!mismatch.empty())
                unmet.push_back(Where(scenario, want[i].line) + "expected " + which + " with " + mismatch +
                                ", but it was " + WiaText(report.wia_registrations[i]));
        }
        for (size_t i = want.size(); i < report.wia_registrations.size(); ++i)
            unmet.push_back(Where(scenario, scenario.expect.wia_registrations_line) +
                            "expected no WIA registration beyond the " + std::to_string(want.size()) +
                            " listed, but step " + std::to_string(report.wia_registrations[i].step) + " made " +
                            WiaText(report.wia_registrations[i]));
    }

    if (scenario.expect.debug_output) {
        std::vector<std::string> got;
        for (const DebugOutput& d : report.debug_output) got.push_back(Quoted(d.text));
        std::vector<std::string> want;
        for (const std::string& text : *scenario.expect.debug_output) want.push_back(Quoted(text));
        if (got != want)
            unmet.push_back(Where(scenario, scenario.expect.debug_output_line) + "expected the debugger output to be " +
                            List(want) + ", but it was " + List(got));
    }

    for (const FileExpectation& e : scenario.expect.files) {
        auto found = files.find(e.path);
        const bool exists = found != files.end();
        std::string where = Where(scenario, e.line);
        if (exists != e.present) {
            unmet.push_back(where + "expected " + e.path + (e.present ? " to exist" : " to be absent") + ", but it " +
                            (exists ? "exists" : "does not exist"));
            continue;
        }
        if (exists && e.bytes && (found->second.folder || found->second.bytes != *e.bytes))
            unmet.push_back(where + "expected " + e.path + " to hold " + Quoted(*e.bytes) + ", but " +
                            (found->second.folder ? std::string("it is a folder")
                                                  : "it holds " + Quoted(found->second.bytes)));
    }

    if (const auto& net = scenario.expect.net_change) {
        for (const KeyChange& key : report.registry.keys) {
            bool allowed = false;
            for (const std::string& base : net->registry) allowed = allowed || AtOrBelow(key.path, base);
            if (!allowed)
                unmet.push_back(Where(scenario, net->registry_line ? net->registry_line : net->line) +
                                "expected the run to change no registry key outside the listed ones, but it " +
                                (key.kind == KeyChange::Kind::Added     ? "added"
                                 : key.kind == KeyChange::Kind::Removed ? "removed"
                                                                        : "changed values of") +
                                " " + key.path);
        }
        for (const FileChange& file : report.files) {
            bool allowed = false;
            for (const std::string& base : net->files) allowed = allowed || AtOrBelow(file.path, base);
            if (!allowed)
                unmet.push_back(Where(scenario, net->files_line ? net->files_line : net->line) +
                                "expected the run to change no file or folder outside the listed ones, but it " +
                                FileChangeKindName(file.kind) + (file.folder ? " folder " : " file ") + file.path);
        }
    }

    for (const LogExpectation& e : scenario.expect.log) {
        const LogFileReport* log = nullptr;
        for (const LogFileReport& l : report.logs)
            if (plat::text::EqualNames(l.name, e.file)) log = &l;
        uint32_t found = 0;
        if (log) {
            std::string want = TrimRight(e.text);
            for (const std::string& line : SplitLogLines(log->new_bytes)) {
                std::string got = TrimRight(line);
                if (e.whole_line ? got == want : got.find(e.text) != std::string::npos) ++found;
            }
        }
        std::string noun = e.whole_line ? "line \"" + e.text + "\"" : "line containing \"" + e.text + "\"";
        if (e.count) {
            if (found != *e.count)
                unmet.push_back(Where(scenario, e.line) + "expected " + std::to_string(*e.count) + " of the " + noun +
                                " among the new lines of " + e.file + ", but there " +
                                (found == 1 ? std::string("is 1") : "are " + std::to_string(found)));
            continue;
        }
        if ((found > 0) == e.present) continue;
        if (e.present)
            unmet.push_back(Where(scenario, e.line) + "expected a " + noun + " among the new lines of " + e.file +
                            ", but " + (log ? "there is none" : "the run added nothing to " + e.file));
        else
            unmet.push_back(Where(scenario, e.line) + "expected no " + noun + " among the new lines of " + e.file +
                            ", but there is one");
    }
    return unmet;
}

}  // namespace tvx

// The report for machines: the same content as the text form, as JSON (UTF-8), written with
// nlohmann/json; ordered_json keeps the members in the order they are set. Portable.
#include <cstdint>
#include <nlohmann/json.hpp>

#include "tools/scenario/names.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/report.h"
#include "tools/scenario/text_codec.h"

namespace tvx {
namespace {

using Json = nlohmann::ordered_json;

// The report's texts are in the machine's ANSI code page; JSON is UTF-8.
Json Text(const std::string& ansi) { return AnsiToUtf8(ansi); }

// Every number as an unsigned 64-bit one, whatever its type in the report.
template <class T>
Json Number(T value) {
    return static_cast<uint64_t>(value);
}

// A DWORD result with its name: {"value": 3758096934, "hex": "0xE0000226", "name": "..."}.
Json Result(uint32_t v) {
    Json j = Json::object();
    j["value"] = Number(v);
    j["hex"] = Text(Hex8(v));
    j["name"] = Text(ResultName(v));
    return j;
}

const char* StepKindName(StepKind kind) {
    switch (kind) {
        case StepKind::Load: return "load";
        case StepKind::Dif: return "dif";
        case StepKind::InstallPellionSoftware: return "install_pellion_software";
        case StepKind::Unload: return "unload";
    }
    return "";
}

Json Value(const RegistryValue& v) {
    Json j = Json::object();
    j["name"] = Text(v.name);
    j["type"] = Text(RegTypeName(v.type));
    j["reg"] = Text(FormatRegValue(v));
    return j;
}

void Params(Json& j, const char* key, const std::optional<InstallParams>& p) {
    if (!p) return;
    Json params = Json::object();
    params["flags"] = Number(p->flags);
    params["flags_ex"] = Number(p->flags_ex);
    j[key] = std::move(params);
}

// An array of objects, one per item, its members set by `members`.
template <class T, class Members>
Json Objects(const std::vector<T>& items, Members members) {
    Json array = Json::array();
    for (const T& item : items) {
        Json object = Json::object();
        members(object, item);
        array.push_back(std::move(object));
    }
    return array;
}

Json Strings(const std::vector<std::string>& items) {
    Json array = Json::array();
    for (const std::string& s : items) array.push_back(Text(s));
    return array;
}

}  // namespace

std::string FormatReportJson(const Report& r) {
    Json j = Json::object();
    j["machine_kind"] = Text(r.machine_kind);
    Json scenario = Json::object();
    scenario["name"] = Text(r.scenario_name);
    scenario["file"] = Text(r.scenario_file);
    scenario["description"] = Text(r.description);
    j["scenario"] = std::move(scenario);
    j["machine"] = Strings(r.machine);

    j["steps"] = Objects(r.steps, [&](Json& o, const ReportStep& s) {
        o["action"] = StepKindName(s.kind);
        o["description"] = Text(s.description);
        o["line"] = Number(s.line);
        if (s.kind == StepKind::Dif) {
            Json dif = Json::object();
            dif["code"] = Number(s.dif_code);
            dif["name"] = Text(DifName(s.dif_code));
            o["dif"] = std::move(dif);
            o["pass"] = s.post_processing ? "post" : "pre";
            o["install_result"] = Result(s.install_result);
            o["device"] = Text(s.device);
        }
        if (s.kind == StepKind::InstallPellionSoftware) o["command_line"] = Text(s.command_line);
        o["result"] = s.result ? Result(*s.result) : Json(nullptr);
        Params(o, "install_params_before", s.params_before);
        Params(o, "install_params_after", s.params_after);
        o["log"] = Objects(s.log, [](Json& line, const StepLogLine& l) {
            line["file"] = Text(l.file);
            line["line"] = Text(l.text);
        });
        o["not_modelled"] = Strings(s.not_modelled);
        if (!s.waits_forever.empty()) o["waits_forever"] = Text(s.waits_forever);
        if (!s.not_run.empty()) o["not_run"] = Text(s.not_run);
        if (r.traced) o["trace"] = Strings(s.trace);
    });

    j["programs"] = Objects(r.programs, [](Json& o, const ProgramStarted& p) {
        o["step"] = Number(p.step);
        o["command_line"] = Text(p.command_line);
        o["directory"] = Text(p.directory);
        if (p.creation_flags) o["creation_flags"] = Number(*p.creation_flags);
        if (p.startup_flags) o["startup_flags"] = Number(*p.startup_flags);
        if (p.show_window) o["show_window"] = Number(*p.show_window);
    });

    j["waits"] = Objects(r.waits, [](Json& o, const WaitReport& w) {
        o["step"] = Number(w.step);
        o["what"] = Text(w.what);
        o["outcome"] = w.outcome == WaitOutcome::Ended      ? "ended"
                       : w.outcome == WaitOutcome::TimedOut ? "timed out"
                                                            : "forever";
        if (w.timeout_ms) o["timeout_ms"] = Number(*w.timeout_ms);
        if (w.waited_ms) o["waited_ms"] = Number(*w.waited_ms);
    });

    j["events"] = Objects(r.events, [](Json& o, const EventSet& e) {
        o["step"] = Number(e.step);
        o["name"] = Text(e.name);
    });

    j["messages"] = Objects(r.messages, [](Json& o, const MessagePosted& m) {
        o["step"] = Number(m.step);
        o["window_class"] = Text(m.window_class);
        o["message"] = Number(m.message);
        o["wparam"] = Number(m.wparam);
        o["lparam"] = Number(m.lparam);
    });

    j["wia_registrations"] = Objects(r.wia_registrations, [](Json& o, const WiaRegistrationMade& w) {
        o["step"] = Number(w.step);
        o["flags"] = Number(w.flags);
        o["device_id"] = w.device_id ? Text(*w.device_id) : Json(nullptr);
        o["event"] = Text(w.event);
        o["clsid"] = Text(w.clsid);
        o["name"] = Text(w.name);
        o["description"] = Text(w.description);
        o["icon"] = Text(w.icon);
        o["result"] = Text(Hex8(w.result));
    });

    j["inf_installs"] = Objects(r.inf_installs, [](Json& o, const InfSectionInstalled& i) {
        o["step"] = Number(i.step);
        o["inf_file"] = Text(i.inf_file);
        o["section"] = Text(i.section);
        o["flags"] = Number(i.flags);
        o["device"] = Text(i.device);
    });

    j["service_changes"] = Objects(r.service_changes, [](Json& o, const ServiceChange& c) {
        o["step"] = Number(c.step);
        o["service"] = Text(c.service);
        o["state"] = Text(c.state);
        if (c.at_ms) o["at_ms"] = Number(*c.at_ms);
    });
    j["services_at_end"] = Objects(r.services_at_end, [](Json& o, const ServiceAtEnd& s) {
        o["service"] = Text(s.service);
        o["state"] = Text(s.state);
    });

    j["debug_output"] = Objects(r.debug_output, [](Json& o, const DebugOutput& d) {
        o["step"] = Number(d.step);
        o["text"] = Text(d.text);
    });

    Json registry = Json::object();
    registry["changes"] = Objects(r.registry.keys, [](Json& o, const KeyChange& k) {
        o["key"] = Text(k.path);
        o["kind"] = k.kind == KeyChange::Kind::Added     ? "added"
                    : k.kind == KeyChange::Kind::Removed ? "removed"
                                                         : "changed";
        if (k.kind == KeyChange::Kind::Added) {
            Json values = Json::array();
            for (const RegistryValue& v : k.values) values.push_back(Value(v));
            o["values"] = std::move(values);
        }
        if (k.kind == KeyChange::Kind::Changed) {
            o["values"] = Objects(k.changes, [](Json& change, const ValueChange& c) {
                change["name"] = Text(c.name);
                change["before"] = c.before ? Value(*c.before) : Json(nullptr);
                change["after"] = c.after ? Value(*c.after) : Json(nullptr);
            });
        }
    });
    registry["reg"] = Text(FormatRegistryDiff(r.registry));
    j["registry"] = std::move(registry);

    j["files"] = Objects(r.files, [](Json& o, const FileChange& f) {
        o["path"] = Text(f.path);
        o["kind"] = Text(FileChangeKindName(f.kind));
        o["folder"] = f.folder;
        if (f.size) o["size"] = Number(*f.size);
    });

    j["logs"] = Objects(r.logs, [](Json& o, const LogFileReport& log) {
        o["name"] = Text(log.name);
        o["path"] = Text(log.path);
        o["created"] = log.created;
        o["rewritten"] = log.rewritten;
        o["new_bytes"] = Text(log.new_bytes);
        o["new_lines"] = Strings(SplitLogLines(log.new_bytes));
    });
    j["open_handles"] = Strings(r.open_handles);
    j["notes"] = Strings(r.notes);
    if (r.expectations_checked) j["unmet_expectations"] = Strings(r.unmet_expectations);
    return j.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

}  // namespace tvx

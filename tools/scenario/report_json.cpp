// The report for machines: the same content as the text form, as JSON (UTF-8). Portable.
#include <cstdio>

#include "tools/scenario/names.h"
#include "tools/scenario/reg_file.h"
#include "tools/scenario/report.h"
#include "tools/scenario/text_codec.h"

namespace tvx {
namespace {

// A small JSON writer: objects and arrays with two-space indentation.
class Json {
public:
    std::string str() const { return out_ + "\n"; }

    Json& Begin(char open) {
        Separate();
        out_ += open;
        ++depth_;
        first_ = true;
        return *this;
    }
    Json& End(char close) {
        --depth_;
        if (!first_) Newline();
        out_ += close;
        first_ = false;
        return *this;
    }
    Json& Key(const std::string& key) {
        Separate();
        out_ += Quote(key) + ": ";
        after_key_ = true;
        return *this;
    }
    Json& String(const std::string& ansi) { return Raw(Quote(AnsiToUtf8(ansi))); }
    Json& Number(uint64_t v) { return Raw(std::to_string(v)); }
    Json& Bool(bool v) { return Raw(v ? "true" : "false"); }
    Json& Null() { return Raw("null"); }

    // A DWORD result with its name: {"value": 3758096934, "hex": "0xE0000226", "name": "..."}.
    Json& Result(uint32_t v) {
        Begin('{');
        Key("value").Number(v);
        Key("hex").String(Hex8(v));
        Key("name").String(ResultName(v));
        return End('}');
    }

private:
    Json& Raw(const std::string& text) {
        Separate();
        out_ += text;
        return *this;
    }
    void Newline() {
        out_ += "\n";
        out_.append(static_cast<size_t>(depth_) * 2, ' ');
    }
    void Separate() {
        if (after_key_) {
            after_key_ = false;
            first_ = false;
            return;
        }
        if (depth_ == 0) return;
        if (!first_) out_ += ",";
        Newline();
        first_ = false;
    }
    static std::string Quote(const std::string& utf8) {
        std::string q = "\"";
        for (char c : utf8) {
            auto u = static_cast<unsigned char>(c);
            if (c == '"' || c == '\\') {
                q += '\\';
                q += c;
            } else if (c == '\n') {
                q += "\\n";
            } else if (c == '\r') {
                q += "\\r";
            } else if (c == '\t') {
                q += "\\t";
            } else if (u < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", u);
                q += buf;
            } else {
                q += c;
            }
        }
        return q + "\"";
    }

    std::string out_;
    int depth_ = 0;
    bool first_ = true;
    bool after_key_ = false;
};

const char* StepKindName(StepKind kind) {
    switch (kind) {
        case StepKind::Load: return "load";
        case StepKind::Dif: return "dif";
        case StepKind::InstallPellionSoftware: return "install_pellion_software";
        case StepKind::Unload: return "unload";
    }
    return "";
}

void Value(Json& j, const RegistryValue& v) {
    j.Begin('{');
    j.Key("name").String(v.name);
    j.Key("type").String(RegTypeName(v.type));
    j.Key("reg").String(FormatRegValue(v));
    j.End('}');
}

void Params(Json& j, const std::string& key, const std::optional<InstallParams>& p) {
    if (!p) return;
    j.Key(key).Begin('{');
    j.Key("flags").Number(p->flags);
    j.Key("flags_ex").Number(p->flags_ex);
    j.End('}');
}

// An array of objects under a key, one object per item, its members written by `members`.
template <class T, class Members>
void Objects(Json& j, const std::string& key, const std::vector<T>& items, Members members) {
    j.Key(key).Begin('[');
    for (const T& item : items) {
        j.Begin('{');
        members(item);
        j.End('}');
    }
    j.End(']');
}

void Strings(Json& j, const std::string& key, const std::vector<std::string>& items) {
    j.Key(key).Begin('[');
    for (const std::string& s : items) j.String(s);
    j.End(']');
}

}  // namespace

std::string FormatReportJson(const Report& r) {
    Json j;
    j.Begin('{');
    j.Key("machine_kind").String(r.machine_kind);
    j.Key("scenario").Begin('{');
    j.Key("name").String(r.scenario_name);
    j.Key("file").String(r.scenario_file);
    j.Key("description").String(r.description);
    j.End('}');
    Strings(j, "machine", r.machine);

    Objects(j, "steps", r.steps, [&](const ReportStep& s) {
        j.Key("action").String(StepKindName(s.kind));
        j.Key("description").String(s.description);
        j.Key("line").Number(static_cast<uint64_t>(s.line));
        if (s.kind == StepKind::Dif) {
            j.Key("dif").Begin('{');
            j.Key("code").Number(s.dif_code);
            j.Key("name").String(DifName(s.dif_code));
            j.End('}');
            j.Key("pass").String(s.post_processing ? "post" : "pre");
            j.Key("install_result").Result(s.install_result);
            j.Key("device").String(s.device);
        }
        if (s.kind == StepKind::InstallPellionSoftware) j.Key("command_line").String(s.command_line);
        j.Key("result");
        if (s.result)
            j.Result(*s.result);
        else
            j.Null();
        Params(j, "install_params_before", s.params_before);
        Params(j, "install_params_after", s.params_after);
        j.Key("log").Begin('[');
        for (const StepLogLine& line : s.log) {
            j.Begin('{');
            j.Key("file").String(line.file);
            j.Key("line").String(line.text);
            j.End('}');
        }
        j.End(']');
        Strings(j, "not_modelled", s.not_modelled);
        if (!s.waits_forever.empty()) j.Key("waits_forever").String(s.waits_forever);
        if (!s.not_run.empty()) j.Key("not_run").String(s.not_run);
        if (r.traced) Strings(j, "trace", s.trace);
    });

    Objects(j, "programs", r.programs, [&](const ProgramStarted& p) {
        j.Key("step").Number(p.step);
        j.Key("command_line").String(p.command_line);
        j.Key("directory").String(p.directory);
        if (p.creation_flags) j.Key("creation_flags").Number(*p.creation_flags);
        if (p.startup_flags) j.Key("startup_flags").Number(*p.startup_flags);
        if (p.show_window) j.Key("show_window").Number(*p.show_window);
    });

    Objects(j, "waits", r.waits, [&](const WaitReport& w) {
        j.Key("step").Number(w.step);
        j.Key("what").String(w.what);
        j.Key("outcome").String(w.outcome == WaitOutcome::Ended      ? "ended"
                                : w.outcome == WaitOutcome::TimedOut ? "timed out"
                                                                     : "forever");
        if (w.timeout_ms) j.Key("timeout_ms").Number(*w.timeout_ms);
        if (w.waited_ms) j.Key("waited_ms").Number(*w.waited_ms);
    });

    Objects(j, "events", r.events, [&](const EventSet& e) {
        j.Key("step").Number(e.step);
        j.Key("name").String(e.name);
    });

    Objects(j, "messages", r.messages, [&](const MessagePosted& m) {
        j.Key("step").Number(m.step);
        j.Key("window_class").String(m.window_class);
        j.Key("message").Number(m.message);
        j.Key("wparam").Number(m.wparam);
        j.Key("lparam").Number(m.lparam);
    });

    Objects(j, "wia_registrations", r.wia_registrations, [&](const WiaRegistrationMade& w) {
        j.Key("step").Number(w.step);
        j.Key("flags").Number(w.flags);
        j.Key("device_id");
        if (w.device_id)
            j.String(*w.device_id);
        else
            j.Null();
        j.Key("event").String(w.event);
        j.Key("clsid").String(w.clsid);
        j.Key("name").String(w.name);
        j.Key("description").String(w.description);
        j.Key("icon").String(w.icon);
        j.Key("result").String(Hex8(w.result));
    });

    Objects(j, "inf_installs", r.inf_installs, [&](const InfSectionInstalled& i) {
        j.Key("step").Number(i.step);
        j.Key("inf_file").String(i.inf_file);
        j.Key("section").String(i.section);
        j.Key("flags").Number(i.flags);
        j.Key("device").String(i.device);
    });

    Objects(j, "service_changes", r.service_changes, [&](const ServiceChange& c) {
        j.Key("step").Number(c.step);
        j.Key("service").String(c.service);
        j.Key("state").String(c.state);
        if (c.at_ms) j.Key("at_ms").Number(*c.at_ms);
    });
    Objects(j, "services_at_end", r.services_at_end, [&](const ServiceAtEnd& s) {
        j.Key("service").String(s.service);
        j.Key("state").String(s.state);
    });

    Objects(j, "debug_output", r.debug_output, [&](const DebugOutput& d) {
        j.Key("step").Number(d.step);
        j.Key("text").String(d.text);
    });

    j.Key("registry").Begin('{');
    Objects(j, "changes", r.registry.keys, [&](const KeyChange& k) {
        j.Key("key").String(k.path);
        j.Key("kind").String(k.kind == KeyChange::Kind::Added     ? "added"
                             : k.kind == KeyChange::Kind::Removed ? "removed"
                                                                  : "changed");
        if (k.kind == KeyChange::Kind::Added) {
            j.Key("values").Begin('[');
            for (const RegistryValue& v : k.values) Value(j, v);
            j.End(']');
        }
        if (k.kind == KeyChange::Kind::Changed) {
            j.Key("values").Begin('[');
            for (const ValueChange& c : k.changes) {
                j.Begin('{');
                j.Key("name").String(c.name);
                j.Key("before");
                if (c.before)
                    Value(j, *c.before);
                else
                    j.Null();
                j.Key("after");
                if (c.after)
                    Value(j, *c.after);
                else
                    j.Null();
                j.End('}');
            }
            j.End(']');
        }
    });
    j.Key("reg").String(FormatRegistryDiff(r.registry));
    j.End('}');

    Objects(j, "files", r.files, [&](const FileChange& f) {
        j.Key("path").String(f.path);
        j.Key("kind").String(FileChangeKindName(f.kind));
        j.Key("folder").Bool(f.folder);
        if (f.size) j.Key("size").Number(*f.size);
    });

    Objects(j, "logs", r.logs, [&](const LogFileReport& log) {
        j.Key("name").String(log.name);
        j.Key("path").String(log.path);
        j.Key("created").Bool(log.created);
        j.Key("rewritten").Bool(log.rewritten);
        j.Key("new_bytes").String(log.new_bytes);
        Strings(j, "new_lines", SplitLogLines(log.new_bytes));
    });
    Strings(j, "open_handles", r.open_handles);
    Strings(j, "notes", r.notes);
    if (r.expectations_checked) Strings(j, "unmet_expectations", r.unmet_expectations);
    j.End('}');
    return j.str();
}

}  // namespace tvx

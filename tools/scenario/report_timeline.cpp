// The report page's timeline picture. Portable.
#include "tools/scenario/report_timeline.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "tools/scenario/glossary.h"
#include "tools/scenario/names.h"
#include "tools/scenario/report_html_text.h"
#include "tools/scenario/report_words.h"
#include "tools/scenario/text_codec.h"

namespace tvx::html {
namespace {

// A program's name as a lane shows it: the program file without its folder, and its arguments.
std::string ProgramLabel(const std::string& command_line) {
    size_t end;
    if (!command_line.empty() && command_line[0] == '"') {
        end = command_line.find('"', 1);
        if (end == std::string::npos) end = command_line.size();
    } else {
        std::string lower = command_line;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
            return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        });
        end = lower.find(".exe");
        end = end == std::string::npos ? command_line.find(' ') : end + 4;
        if (end == std::string::npos) end = command_line.size();
    }
    size_t slash = command_line.rfind('\\', end);
    std::string label = command_line.substr(slash == std::string::npos ? 0 : slash + 1);
    label.erase(std::remove(label.begin(), label.end(), '"'), label.end());
    while (!label.empty() && label.back() == ' ') label.pop_back();
    return label;
}

// The picture of a run on the virtual clock. Each call that ran gets a box of its own, wide
// enough for its name, so that calls taking no virtual time stay apart; only a box's width beyond
// that shows time passing, and so do the gaps and the stretch after the last call, all at one
// scale. Programs, waits and service states are placed on the same clock. The picture is laid out
// for a page 1,400 px wide: the time that passes gets what the names, labels and boxes leave of
// kMaxWidth, and every label is drawn whole (a lane's title wraps onto more lines rather than
// being cut).
class Timeline {
public:
    explicit Timeline(const Report& r) : r_(r) {
        Layout();
        // Drawing tells how far right the picture reaches; the time then gets what is left over.
        for (int pass = 0; pass < 4 && !slots_.empty(); ++pass) {
            (void)Svg();
            const double over = Width() - kMaxWidth;
            if (over <= 0.5 || time_width_ <= kMinTimeWidth) break;
            time_width_ = std::max(kMinTimeWidth, time_width_ - over);
            Layout();
        }
    }

    std::string Svg() const;
    std::string Caption() const;

private:
    struct Slot {
        size_t step = 0;  // 0-based
        uint64_t t0 = 0, t1 = 0;
        double x0 = 0, x1 = 0;
        bool forever = false;
    };
    struct Process {
        size_t first = 0, last = 0;  // slot indexes
        bool unloaded = false;
    };

    // The widest picture that fits a page 1,400 px wide beside a scroll bar (the page's margins and
    // the figure's border taken off).
    static constexpr double kMaxWidth = 1320;
    static constexpr double kMinLabelWidth = 120;
    static constexpr double kMaxLabelWidth = 300;
    static constexpr double kGap = 5;
    static constexpr double kCharWidth = 6.1;  // 10 px monospace
    static constexpr double kTitleLine = 13;
    static constexpr double kTimeWidth = 420;  // what all the time that passes gets, at most
    static constexpr double kMinTimeWidth = 100;
    static constexpr double kForeverRoom = 150;
    static constexpr double kAxisHeight = 34;
    static constexpr double kLaneHeight = 40;
    static constexpr double kBarHeight = 28;
    static constexpr const char* kEndNote = "the last call returns";

    void Layout();
    static std::string CallName(const ReportStep& s);
    static std::string CallDetail(const ReportStep& s);
    double MinWidth(size_t step) const;  // 0-based
    // Where a time falls: at the first call still running or returned by then, else after the
    // last call.
    double At(uint64_t t) const;
    // Where a time falls within the call of step `step` (0-based), when it lies in that call.
    double AtIn(size_t step, uint64_t t) const;
    // Where something that happened in step `step` at an optional time goes.
    double Place(size_t step, std::optional<uint64_t> t) const;
    const Slot* SlotOf(size_t step) const;
    bool BeyondPicture(uint64_t t) const { return t > run_end_ + tail_shown_; }
    // The picture's width: everything drawn, and a margin.
    double Width() const { return std::max(edge_x_ + 10, right_ + 8); }
    // Records how far right something drawn reaches.
    void Reach(double x) const { right_ = std::max(right_, x); }
    enum class Font { Mono, Title, Sub };  // 10 px monospace, bold 11 px and 10 px sans-serif
    // A text's width as drawn in a font, a little generously (UTF-8, counted by characters).
    static double TextWidth(const std::string& utf8, Font font);
    // A lane title in lines that fit the label column.
    std::vector<std::string> TitleLines(const std::string& title) const;

    void Axis(std::string& out) const;
    // Each lane draws its label and answers its height.
    double ProcessLane(std::string& out, const Process& p, size_t number, double y) const;
    double ProgramLane(std::string& out, size_t index, double y) const;
    void WaitOverlay(std::string& out, const WaitReport& w, double y, double height) const;
    double ServiceLane(std::string& out, const std::string& service, double y) const;
    double LaneLabel(std::string& out, double y, const std::string& title, const std::string& sub) const;
    std::string ProcessSub(const Process& p) const;
    static std::string ProgramTitle(const ProgramStarted& p) { return AnsiToUtf8(ProgramLabel(p.command_line)); }
    static std::string ServiceTitle(const std::string& service) { return "service " + AnsiToUtf8(service); }
    static std::string WaitTitle(const WaitReport& w) { return "wait: " + AnsiToUtf8(w.what); }

    const Report& r_;
    bool clock_ = false;
    std::vector<Slot> slots_;
    std::vector<Process> processes_;
    std::vector<std::string> services_;                  // those that changed state, in order
    std::vector<std::optional<size_t>> wait_program_;    // the program each wait is for
    uint64_t run_start_ = 0, run_end_ = 0, tail_shown_ = 0;
    bool tail_cut_ = false;
    double scale_ = 0;  // px per ms
    double time_width_ = kTimeWidth;
    double label_width_ = 210, left_ = 226;
    double run_end_x_ = 226, tail_end_x_ = 226, edge_x_ = 226;
    mutable double right_ = 0;
};

std::string Timeline::CallName(const ReportStep& s) {
    if (s.kind == StepKind::InstallPellionSoftware) return "InstallPellionSoftware";
    std::string name = DifName(s.dif_code);
    return name.empty() ? "DIF code " + Hex(s.dif_code) : name;
}

std::string Timeline::CallDetail(const ReportStep& s) {
    if (!s.waits_forever.empty()) return "never returns";
    if (s.kind == StepKind::InstallPellionSoftware) return "\"" + AnsiToUtf8(s.command_line) + "\"";
    return s.post_processing ? "post-processing" : "pre-processing";
}

// The advance widths of the printable ASCII characters in tenths of a pixel, from the page's
// first choice of font (DejaVu Sans): bold at 11 px for lane titles, regular at 10 px for the rest.
const uint8_t kTitleWidths[95] = {
    39, 51, 58, 93, 77, 111, 96, 34, 51, 51, 58, 93, 42, 46, 42, 41,
    77, 77, 77, 77, 77, 77, 77, 77, 77, 77, 44, 44, 93, 93, 93, 64,
    110, 86, 84, 81, 92, 76, 76, 91, 93, 41, 41, 86, 71, 110, 93, 94,
    81, 94, 85, 80, 75, 90, 86, 122, 85, 80, 80, 51, 41, 51, 93, 55,
    55, 75, 79, 66, 79, 75, 48, 79, 79, 38, 38, 74, 38, 115, 79, 76,
    79, 79, 55, 66, 53, 79, 72, 102, 71, 72, 64, 79, 41, 79, 93,
};
const uint8_t kSubWidths[95] = {
    32, 41, 46, 84, 64, 95, 78, 28, 39, 39, 50, 84, 32, 37, 32, 34,
    64, 64, 64, 64, 64, 64, 64, 64, 64, 64, 34, 34, 84, 84, 84, 54,
    100, 69, 69, 70, 77, 64, 58, 78, 76, 30, 30, 66, 56, 87, 75, 79,
    61, 79, 70, 64, 62, 74, 69, 99, 69, 62, 69, 39, 34, 39, 84, 50,
    50, 62, 64, 55, 64, 62, 36, 64, 64, 28, 28, 58, 28, 98, 64, 62,
    64, 64, 42, 53, 40, 64, 60, 82, 60, 60, 53, 64, 34, 64, 84,
};

double Timeline::TextWidth(const std::string& utf8, Font font) {
    double tenths = 0;
    for (char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if ((u & 0xC0) == 0x80) continue;  // within a character
        if (font == Font::Mono) tenths += kCharWidth * 10;
        else if (u >= 32 && u < 127) tenths += (font == Font::Title ? kTitleWidths : kSubWidths)[u - 32];
        else tenths += font == Font::Title ? 122 : 100;  // outside ASCII: as wide as the widest
    }
    // Another font, another renderer: a margin.
    return tenths / 10 * (font == Font::Mono ? 1.0 : 1.05);
}

double Timeline::MinWidth(size_t step) const {
    const ReportStep& s = r_.steps[step];
    if (!IsCall(s)) return 38;
    // The step's number and a space before the name; the text starts 6 px into the box.
    const double name = TextWidth(std::to_string(step + 1) + " " + CallName(s), Font::Mono);
    return std::max({60.0, name + 12, TextWidth(CallDetail(s), Font::Mono) + 12});
}

std::vector<std::string> Timeline::TitleLines(const std::string& title) const {
    const double room = label_width_ - 8;
    std::vector<std::string> lines;
    std::string line;
    size_t start = 0;
    while (start < title.size()) {
        size_t end = title.find(' ', start);
        if (end == std::string::npos) end = title.size();
        std::string word = title.substr(start, end - start);
        start = end + 1;
        std::string joined = line.empty() ? word : line + " " + word;
        if (TextWidth(joined, Font::Title) <= room) {
            line = joined;
            continue;
        }
        if (!line.empty()) lines.push_back(line);
        line.clear();
        // A word longer than a line is broken between characters (never inside one).
        while (TextWidth(word, Font::Title) > room) {
            size_t take = 0;
            while (take < word.size()) {
                size_t next = take + 1;
                while (next < word.size() && (static_cast<unsigned char>(word[next]) & 0xC0) == 0x80) ++next;
                if (take > 0 && TextWidth(word.substr(0, next), Font::Title) > room) break;
                take = next;
            }
            lines.push_back(word.substr(0, take));
            word = word.substr(take);
        }
        line = word;
    }
    if (!line.empty() || lines.empty()) lines.push_back(line);
    return lines;
}

std::string Timeline::ProcessSub(const Process& p) const {
    std::string sub = "steps " + std::to_string(slots_[p.first].step + 1) + " to " +
                      std::to_string(slots_[p.last].step + 1);
    if (!p.unloaded) sub += ", never unloaded";
    return sub;
}

void Timeline::Layout() {
    clock_ = false;
    slots_.clear();
    processes_.clear();
    services_.clear();
    wait_program_.clear();
    for (const ReportStep& s : r_.steps) clock_ = clock_ || s.started_ms.has_value();
    uint64_t prev = 0;
    bool first = true;
    for (size_t i = 0; i < r_.steps.size(); ++i) {
        const ReportStep& s = r_.steps[i];
        if (!s.not_run.empty()) continue;
        Slot slot;
        slot.step = i;
        slot.t0 = std::max(s.started_ms.value_or(prev), first ? 0 : prev);
        slot.forever = !s.waits_forever.empty();
        slot.t1 = slot.forever ? slot.t0 : std::max(s.ended_ms.value_or(slot.t0), slot.t0);
        if (first) run_start_ = slot.t0;
        first = false;
        prev = slot.t1;
        slots_.push_back(slot);
    }
    if (slots_.empty()) return;
    run_end_ = slots_.back().t1;

    // Processes: from a load to its unload.
    for (size_t i = 0; i < slots_.size(); ++i) {
        StepKind kind = r_.steps[slots_[i].step].kind;
        bool open = !processes_.empty() && !processes_.back().unloaded;
        if (!open || kind == StepKind::Load) processes_.push_back(Process{i, i, false});
        processes_.back().last = i;
        if (kind == StepKind::Unload) processes_.back().unloaded = true;
    }

    for (const ServiceChange& c : r_.service_changes)
        if (std::find(services_.begin(), services_.end(), c.service) == services_.end()) services_.push_back(c.service);

    for (const WaitReport& w : r_.waits) {
        std::optional<size_t> found;
        for (size_t p = 0; p < r_.programs.size(); ++p)
            if (r_.programs[p].command_line == w.what && r_.programs[p].step <= w.step) found = p;
        wait_program_.push_back(found);
    }

    // The label column: as wide as its longest line, within bounds; longer titles wrap.
    double widest = TextWidth("virtual time", Font::Sub);
    auto lane = [&](const std::string& title, const std::string& sub) {
        widest = std::max({widest, TextWidth(title, Font::Title), TextWidth(sub, Font::Sub)});
    };
    for (size_t p = 0; p < processes_.size(); ++p) lane("Process " + std::to_string(p + 1), ProcessSub(processes_[p]));
    for (const ProgramStarted& p : r_.programs) lane(ProgramTitle(p), "started in step " + std::to_string(p.step));
    for (size_t w = 0; w < r_.waits.size(); ++w)
        if (!wait_program_[w]) lane(WaitTitle(r_.waits[w]), "in step " + std::to_string(r_.waits[w].step));
    for (const std::string& service : services_) lane(ServiceTitle(service), "its state");
    label_width_ = std::clamp(widest + 8, kMinLabelWidth, kMaxLabelWidth);
    left_ = label_width_ + 16;

    // What happens after the last call: programs running on, services finishing their changes.
    uint64_t later = run_end_;
    for (const ProgramStarted& p : r_.programs)
        if (p.ends_ms) later = std::max(later, *p.ends_ms);
    for (const ServiceChange& c : r_.service_changes)
        if (c.at_ms) later = std::max(later, *c.at_ms);
    for (const WaitReport& w : r_.waits)
        if (w.started_ms && w.waited_ms) later = std::max(later, *w.started_ms + *w.waited_ms);
    // A program that runs on for long is cut at the edge, so that the calls keep their room.
    const uint64_t run_length = run_end_ - run_start_;
    tail_shown_ = std::min(later - run_end_, std::max<uint64_t>(run_length, 10000));
    tail_cut_ = tail_shown_ < later - run_end_;
    const uint64_t shown = run_length + tail_shown_;
    scale_ = shown ? time_width_ / static_cast<double>(shown) : 0;

    double x = left_;
    prev = run_start_;
    for (Slot& slot : slots_) {
        x += static_cast<double>(slot.t0 - prev) * scale_;
        slot.x0 = x;
        slot.x1 = x + MinWidth(slot.step) + static_cast<double>(slot.t1 - slot.t0) * scale_;
        x = slot.x1 + kGap;
        prev = slot.t1;
    }
    run_end_x_ = slots_.back().x1;
    tail_end_x_ = run_end_x_ + (tail_shown_ ? std::max(30.0, static_cast<double>(tail_shown_) * scale_) : 0);
    edge_x_ = tail_end_x_ + 10;
    bool forever = slots_.back().forever;
    for (const ProgramStarted& p : r_.programs)
        forever = forever || (p.started_ms && !p.ends_ms) || (p.ends_ms && BeyondPicture(*p.ends_ms));
    if (forever) edge_x_ = std::max(edge_x_, run_end_x_ + kForeverRoom);
}

const Timeline::Slot* Timeline::SlotOf(size_t step) const {
    for (const Slot& s : slots_)
        if (s.step == step) return &s;
    return nullptr;
}

double Timeline::At(uint64_t t) const {
    if (slots_.empty()) return left_;
    for (const Slot& s : slots_) {
        if (t > s.t1) continue;
        if (t < s.t0) return std::max(left_, s.x0 - static_cast<double>(s.t0 - t) * scale_);
        if (s.t1 == s.t0) return s.x0;
        return s.x0 + static_cast<double>(t - s.t0) * (s.x1 - s.x0) / static_cast<double>(s.t1 - s.t0);
    }
    if (!tail_shown_) return run_end_x_;
    uint64_t into = std::min(t - run_end_, tail_shown_);
    return run_end_x_ + static_cast<double>(into) * (tail_end_x_ - run_end_x_) / static_cast<double>(tail_shown_);
}

double Timeline::AtIn(size_t step, uint64_t t) const {
    const Slot* s = SlotOf(step);
    if (!s || t < s->t0 || t > s->t1) return At(t);
    if (s->t1 == s->t0) return (s->x0 + s->x1) / 2;
    return s->x0 + static_cast<double>(t - s->t0) * (s->x1 - s->x0) / static_cast<double>(s->t1 - s->t0);
}

double Timeline::Place(size_t step, std::optional<uint64_t> t) const {
    if (t) return AtIn(step, *t);
    const Slot* s = SlotOf(step);
    return s ? (s->x0 + s->x1) / 2 : run_end_x_;
}

double Timeline::LaneLabel(std::string& out, double y, const std::string& title, const std::string& sub) const {
    const std::vector<std::string> lines = TitleLines(title);
    double baseline = y + (sub.empty() && lines.size() == 1 ? 18 : 13);
    for (const std::string& line : lines) {
        out += "<text class=\"lane\" x=\"8\" y=\"" + Num(baseline) + "\">" + Esc(line) + "</text>\n";
        baseline += kTitleLine;
    }
    if (!sub.empty())
        out += "<text class=\"lane-sub\" x=\"8\" y=\"" + Num(baseline + 1) + "\">" + Esc(sub) + "</text>\n";
    const double extra = static_cast<double>(lines.size() - 1) * kTitleLine;
    return kLaneHeight + extra;
}

void Timeline::Axis(std::string& out) const {
    const double y = kAxisHeight - 8;
    out += "<text class=\"lane-sub\" x=\"8\" y=\"" + Num(y - 4) + "\">virtual time</text>\n";
    // Solid where time passes, dotted where it stands still: the room of a call that takes no time,
    // and beyond the last moment drawn.
    auto stretch = [&](double from, double to, bool passes) {
        if (to - from < 0.5) return;
        out += "<line class=\"" + std::string(passes ? "axis" : "axis still") + "\" x1=\"" + Num(from) + "\" y1=\"" +
               Num(y) + "\" x2=\"" + Num(to) + "\" y2=\"" + Num(y) + "\"/>\n";
        Reach(to);
    };
    std::vector<std::pair<double, uint64_t>> ticks;
    for (size_t i = 0; i < slots_.size(); ++i) {
        const Slot& s = slots_[i];
        if (i > 0) stretch(slots_[i - 1].x1, s.x0, s.t0 > slots_[i - 1].t1);
        stretch(s.x0, s.x1, s.t1 > s.t0);
        if (ticks.empty() || ticks.back().second != s.t0) ticks.emplace_back(s.x0, s.t0);
    }
    if (ticks.back().second != run_end_) ticks.emplace_back(run_end_x_, run_end_);
    stretch(run_end_x_, tail_end_x_, true);
    stretch(tail_end_x_, edge_x_, false);
    if (tail_shown_) ticks.emplace_back(tail_end_x_, run_end_ + tail_shown_);
    double last_label = -1000;
    for (const auto& [x, t] : ticks) {
        out += "<line class=\"tick\" x1=\"" + Num(x) + "\" y1=\"" + Num(y - 4) + "\" x2=\"" + Num(x) + "\" y2=\"" +
               Num(y + 4) + "\"/>\n";
        if (x - last_label < 64) continue;
        out += "<text class=\"time\" x=\"" + Num(x) + "\" y=\"" + Num(y - 8) + "\">" + Ms(t) + "</text>\n";
        Reach(x + TextWidth(Ms(t), Font::Mono) / 2);
        last_label = x;
    }
}

double Timeline::ProcessLane(std::string& out, const Process& p, size_t number, double y) const {
    const double h = LaneLabel(out, y, "Process " + std::to_string(number), ProcessSub(p));
    const double top = y + (h - kBarHeight) / 2;
    const double right = p.unloaded ? slots_[p.last].x1 : edge_x_;
    out += "<rect class=\"process\" x=\"" + Num(slots_[p.first].x0 - 2) + "\" y=\"" + Num(top - 3) + "\" width=\"" +
           Num(right - slots_[p.first].x0 + 4) + "\" height=\"" + Num(kBarHeight + 6) + "\" rx=\"4\"/>\n";
    Reach(right + 2);
    for (size_t i = p.first; i <= p.last; ++i) {
        const Slot& slot = slots_[i];
        const ReportStep& s = r_.steps[slot.step];
        const std::string number_text = std::to_string(slot.step + 1);
        const double width = slot.x1 - slot.x0;
        if (!IsCall(s)) {
            const char* word = s.kind == StepKind::Load ? "load" : "unload";
            out += "<g class=\"library\"><title>Step " + number_text + ": " + Ansi(s.description) + "</title>";
            out += "<rect x=\"" + Num(slot.x0) + "\" y=\"" + Num(top) + "\" width=\"" + Num(width) + "\" height=\"" +
                   Num(kBarHeight) + "\" rx=\"3\"/>";
            out += "<text x=\"" + Num(slot.x0 + width / 2) + "\" y=\"" + Num(top + 18) + "\">" + word + "</text></g>\n";
            continue;
        }
        std::string tip = "Step " + number_text + ": " + Ansi(s.description);
        if (s.kind == StepKind::Dif) {
            const std::string_view meaning = Glossary(DifName(s.dif_code));
            if (!meaning.empty()) tip += "\n" + Esc(DifName(s.dif_code)) + ": " + Esc(meaning);
        }
        if (s.result) tip += "\nanswered " + Esc(words::Answer(*s.result));
        if (!s.waits_forever.empty()) tip += "\n" + Esc(words::WaitsForever(s));
        if (s.started_ms) {
            tip += "\nfrom " + Ms(*s.started_ms);
            if (s.ended_ms) tip += " to " + Ms(*s.ended_ms) + " (" + Ms(*s.ended_ms - *s.started_ms) + ")";
        }
        out += "<g class=\"call " + std::string(AnswerClass(s)) + "\" data-step=\"" + number_text + "\"><title>" + tip +
               "</title>";
        out += "<rect x=\"" + Num(slot.x0) + "\" y=\"" + Num(top) + "\" width=\"" + Num(width) + "\" height=\"" +
               Num(kBarHeight) + "\" rx=\"3\"/>";
        out += "<text x=\"" + Num(slot.x0 + 6) + "\" y=\"" + Num(top + 12) + "\"><tspan class=\"n\">" + number_text +
               "</tspan> " + Esc(CallName(s)) + "</text>";
        out += "<text class=\"detail\" x=\"" + Num(slot.x0 + 6) + "\" y=\"" + Num(top + 24) + "\">" +
               Esc(CallDetail(s)) + "</text></g>\n";
        Reach(slot.x1);
        if (slot.forever) {
            const double mid = top + kBarHeight / 2;
            out += "<g class=\"forever-wait\"><line x1=\"" + Num(slot.x1) + "\" y1=\"" + Num(mid) + "\" x2=\"" +
                   Num(edge_x_ - 8) + "\" y2=\"" + Num(mid) + "\"/><path d=\"M" + Num(edge_x_ - 8) + " " +
                   Num(mid - 5) + " L" + Num(edge_x_) + " " + Num(mid) + " L" + Num(edge_x_ - 8) + " " + Num(mid + 5) +
                   " Z\"/></g>\n";
            Reach(edge_x_);
        }
    }
    return h;
}

double Timeline::ProgramLane(std::string& out, size_t index, double y) const {
    const ProgramStarted& p = r_.programs[index];
    const double h = LaneLabel(out, y, ProgramTitle(p), "started in step " + std::to_string(p.step));
    const double top = y + (h - kBarHeight) / 2;
    const double x0 = Place(p.step - 1, p.started_ms);
    double x1 = x0 + 8;
    std::string text;
    std::string tip = "\"" + Ansi(p.command_line) + "\", started in step " + std::to_string(p.step);
    if (p.started_ms) tip += " at " + Ms(*p.started_ms);
    if (p.started_ms && !p.ends_ms) {
        x1 = edge_x_;
        text = "never ends";
        tip += "; it never ends";
    } else if (p.started_ms && p.ends_ms) {
        const uint64_t runs = *p.ends_ms - *p.started_ms;
        tip += "; it ends at " + Ms(*p.ends_ms);
        if (BeyondPicture(*p.ends_ms)) {
            x1 = edge_x_;
            text = "ends at " + Ms(*p.ends_ms);
        } else {
            x1 = std::max(At(*p.ends_ms), x0 + 4);
            text = runs ? "runs " + Ms(runs) : "ends at once";
        }
    }
    out += "<g class=\"program\"><title>" + tip + "</title><rect x=\"" + Num(x0) + "\" y=\"" + Num(top + 4) +
           "\" width=\"" + Num(x1 - x0) + "\" height=\"" + Num(kBarHeight - 8) + "\" rx=\"3\"/>";
    Reach(x1);
    // The text goes inside the bar when it fits, else after it.
    if (!text.empty()) {
        const double width = TextWidth(text, Font::Mono);
        const bool inside = x1 - x0 >= width + 12;
        const double tx = inside ? x1 - width - 6 : x1 + 4;
        out += "<text x=\"" + Num(tx) + "\" y=\"" + Num(top + 18) + "\">" + Esc(text) + "</text>";
        Reach(tx + width);
    }
    out += "</g>\n";
    for (size_t w = 0; w < r_.waits.size(); ++w)
        if (wait_program_[w] == index) WaitOverlay(out, r_.waits[w], y, h);
    return h;
}

void Timeline::WaitOverlay(std::string& out, const WaitReport& w, double y, double height) const {
    if (!w.started_ms) return;  // the machine did not see the wait itself
    const double top = y + (height - kBarHeight) / 2;
    const double x0 = AtIn(w.step - 1, *w.started_ms);
    double x1 = w.outcome == WaitOutcome::Forever || !w.waited_ms ? edge_x_
                                                                   : AtIn(w.step - 1, *w.started_ms + *w.waited_ms);
    x1 = std::max(x1, x0 + 3);
    std::string text = w.outcome == WaitOutcome::Forever ? "waited for, forever"
                       : w.outcome == WaitOutcome::TimedOut ? "waited " + Ms(w.waited_ms.value_or(0)) + ", gave up"
                                                            : "waited for " + Ms(w.waited_ms.value_or(0));
    std::string tip = "the co-installer waits for \"" + Ansi(w.what) + "\" in step " + std::to_string(w.step) +
                      Esc(words::WaitLimit(w)) + ": " + Esc(words::WaitOutcomeText(w));
    out += "<g class=\"wait\"><title>" + tip + "</title><rect x=\"" + Num(x0) + "\" y=\"" + Num(top) + "\" width=\"" +
           Num(x1 - x0) + "\" height=\"" + Num(kBarHeight) + "\" rx=\"3\"/>";
    Reach(x1);
    // Too short a bar for its text: the lane's tip tells it.
    const double width = TextWidth(text, Font::Mono);
    if (x1 - x0 >= width + 12)
        out += "<text x=\"" + Num(x0 + 6) + "\" y=\"" + Num(top + 18) + "\">" + Esc(text) + "</text>";
    out += "</g>\n";
}

// A service's states as bands, each change at its virtual time.
double Timeline::ServiceLane(std::string& out, const std::string& service, double y) const {
    const double h = LaneLabel(out, y, ServiceTitle(service), "its state");
    std::vector<const ServiceChange*> changes;
    for (const ServiceChange& c : r_.service_changes)
        if (c.service == service) changes.push_back(&c);
    // The state before the first change follows from it.
    std::string state = changes.front()->state == "stop pending" || changes.front()->state == "stopped" ? "running"
                                                                                                         : "stopped";
    const double top = y + (h - kBarHeight) / 2 + 4;
    const double height = kBarHeight - 8;
    double x = slots_.front().x0;
    auto band = [&](double from, double to, const std::string& what) {
        if (to - from < 0.5) return;
        // Drawn from rounded ends, so that each band starts exactly where the one before it ends.
        from = std::round(from * 10) / 10;
        to = std::round(to * 10) / 10;
        std::string cls = what == "running" ? "running" : what == "stopped" ? "stopped" : "pending";
        const std::string_view meaning = Glossary(what);
        out += "<g class=\"service " + cls + "\"><title>" + Ansi(service) + ": " + Esc(what) +
               (meaning.empty() ? "" : " (" + Esc(meaning) + ")") + "</title><rect x=\"" +
               Num(from) + "\" y=\"" + Num(top) + "\" width=\"" + Num(to - from) + "\" height=\"" + Num(height) + "\"/>";
        Reach(to);
        const double width = TextWidth(what, Font::Mono);
        if (to - from >= width + 8)
            out += "<text x=\"" + Num(from + 4) + "\" y=\"" + Num(top + 14) + "\">" + Esc(what) + "</text>";
        out += "</g>\n";
    };
    for (const ServiceChange* c : changes) {
        const double at = std::max(x, Place(c->step - 1, c->at_ms));
        band(x, at, state);
        out += "<line class=\"change\" x1=\"" + Num(at) + "\" y1=\"" + Num(top - 3) + "\" x2=\"" + Num(at) + "\" y2=\"" +
               Num(top + height + 3) + "\"/>\n";
        x = at;
        state = c->state;
    }
    band(x, edge_x_, state);
    return h;
}

std::string Timeline::Svg() const {
    if (slots_.empty()) return "<p>No call ran, so there is no timeline.</p>\n";
    right_ = 0;
    std::string axis, lanes;
    Axis(axis);
    double y = kAxisHeight;
    for (size_t p = 0; p < processes_.size(); ++p) y += ProcessLane(lanes, processes_[p], p + 1, y);
    for (size_t p = 0; p < r_.programs.size(); ++p) y += ProgramLane(lanes, p, y);
    for (size_t w = 0; w < r_.waits.size(); ++w) {
        if (wait_program_[w]) continue;
        const double h = LaneLabel(lanes, y, WaitTitle(r_.waits[w]), "in step " + std::to_string(r_.waits[w].step));
        WaitOverlay(lanes, r_.waits[w], y, h);
        y += h;
    }
    for (const std::string& service : services_) y += ServiceLane(lanes, service, y);
    if (!slots_.back().forever) {
        lanes += "<line class=\"end\" x1=\"" + Num(run_end_x_) + "\" y1=\"" + Num(kAxisHeight - 4) + "\" x2=\"" +
                 Num(run_end_x_) + "\" y2=\"" + Num(y + 4) + "\"/>\n";
        lanes += "<text class=\"note\" x=\"" + Num(run_end_x_ + 4) + "\" y=\"" + Num(y + 14) + "\">" + kEndNote +
                 "</text>\n";
        Reach(run_end_x_ + 4 + TextWidth(kEndNote, Font::Sub));
    }
    const double height = y + 24;
    const double width = Width();

    std::string body = axis;
    // The stretch after the last call, and the moment it returned.
    if (tail_shown_)
        body += "<rect class=\"after\" x=\"" + Num(run_end_x_) + "\" y=\"" + Num(kAxisHeight) + "\" width=\"" +
                Num(edge_x_ - run_end_x_) + "\" height=\"" + Num(height - kAxisHeight - 20) + "\"/>\n";
    body += lanes;

    return "<svg class=\"timeline\" xmlns=\"http://www.w3.org/2000/svg\" role=\"img\" aria-labelledby=\"timeline-title\" "
           "width=\"" + Num(width) + "\" height=\"" + Num(height) + "\" viewBox=\"0 0 " + Num(width) + " " +
           Num(height) + "\">\n<title id=\"timeline-title\">Timeline of the run: the calls on the co-installer, the "
           "programs it started and the service changes, on the virtual clock</title>\n" +
           body + "</svg>\n";
}

std::string Timeline::Caption() const {
    if (slots_.empty()) return "";
    std::string out = "Time runs from left to right. ";
    if (!clock_) {
        out += "This machine keeps no virtual clock, so the calls are drawn in their order only, each as wide as its "
               "name, and the programs where they started. ";
    } else {
        out += "Each call has a box of its own, wide enough for its name, so that calls taking no virtual time stay "
               "apart; what a box has beyond that, the gaps and the stretch after the last call show time passing "
               "(solid on the time line at the top; dotted where no time passes), ";
        if (scale_ > 0)
            out += "at " + Num(scale_ * 1000) + " px per second of the simulated machine's virtual clock. ";
        else
            out += "and here no virtual time passes at all. ";
        if (tail_cut_)
            out += "A program that runs on long after the last call is cut at the right edge, which says when it "
                   "ends. ";
    }
    out += "Process N is the program that loaded the co-installer (from its load to its unload); a program "
           "the co-installer started runs in the lighter bar, and the darker part is the time the co-installer "
           "waited for it. Point at a box to see its details.";
    return out;
}

}  // namespace

TimelinePicture DrawTimeline(const Report& report) {
    Timeline timeline(report);
    return {timeline.Svg(), timeline.Caption()};
}

}  // namespace tvx::html

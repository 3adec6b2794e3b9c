// The report page's text helpers. Portable.
#include "tools/scenario/report_html_text.h"

#include <cstdio>

#include "tools/scenario/glossary.h"
#include "tools/scenario/names.h"
#include "tools/scenario/text_codec.h"

namespace tvx::html {

// UTF-8 text as HTML text or attribute content. Control characters other than tab and line feed
// show as their Unicode control pictures (CR as U+240D), so nothing the machine wrote can turn
// into markup or vanish.
std::string Esc(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 16);
    for (char c : utf8) {
        auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default:
                if ((u < 0x20 && c != '\n' && c != '\t') || u == 0x7F) {
                    out += "\xE2\x90";
                    out += static_cast<char>(u == 0x7F ? 0xA1 : 0x80 + u);
                } else {
                    out += c;
                }
        }
    }
    return out;
}

// Text the machine wrote (its ANSI code page) as HTML.
std::string Ansi(const std::string& ansi) { return Esc(AnsiToUtf8(ansi)); }

std::string Num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", v);
    return buf;
}

std::string Hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

std::string Ms(uint64_t ms) { return std::to_string(ms) + " ms"; }

// A Windows name with its explanation on hover, when the glossary has one.
std::string Term(const std::string& name) {
    const std::string_view meaning = Glossary(name);
    if (meaning.empty()) return Esc(name);
    return "<abbr title=\"" + Esc(meaning) + "\">" + Esc(name) + "</abbr>";
}

namespace {

bool NameCharacter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

}  // namespace

// The page's text with every Windows name the glossary knows put in an <abbr title> that explains
// it: names are runs of letters, digits and "_" with a capital letter in them. Tags and what the
// page shows as it was written (<pre>), the picture (<svg>, whose boxes explain themselves in
// their own tips), the head's title and style, and names already explained stay as they are.
std::string ExplainNames(const std::string& html) {
    static const std::string_view kLeftAlone[] = {"pre", "svg", "title", "style", "abbr", "head"};
    std::string out;
    out.reserve(html.size() + html.size() / 4);
    int left_alone = 0;
    size_t i = 0;
    while (i < html.size()) {
        if (html[i] == '<') {
            size_t end = html.find('>', i);
            end = end == std::string::npos ? html.size() : end + 1;
            const std::string_view tag(html.data() + i, end - i);
            const bool closing = tag.size() > 1 && tag[1] == '/';
            size_t from = closing ? 2 : 1, to = from;
            while (to < tag.size() && NameCharacter(tag[to])) ++to;
            const std::string_view name = tag.substr(from, to - from);
            const bool self_closing = tag.size() > 2 && tag[tag.size() - 2] == '/';
            for (std::string_view alone : kLeftAlone)
                if (name == alone && !self_closing) left_alone += closing ? -1 : 1;
            out += tag;
            i = end;
            continue;
        }
        size_t next = html.find('<', i);
        if (next == std::string::npos) next = html.size();
        if (left_alone > 0) {
            out.append(html, i, next - i);
            i = next;
            continue;
        }
        while (i < next) {
            if (!NameCharacter(html[i])) {
                out += html[i++];
                continue;
            }
            size_t end = i;
            bool capital = false;
            for (; end < next && NameCharacter(html[end]); ++end) capital = capital || (html[end] >= 'A' && html[end] <= 'Z');
            const std::string word = html.substr(i, end - i);
            // An entity (&amp;) is not a name.
            const std::string_view meaning = capital && (i == 0 || html[i - 1] != '&') ? Glossary(word) : "";
            out += meaning.empty() ? word : "<abbr title=\"" + Esc(meaning) + "\">" + word + "</abbr>";
            i = end;
        }
    }
    return out;
}

// How a call was answered, as a class of the page's style.
const char* AnswerClass(const ReportStep& s) {
    if (!s.waits_forever.empty()) return "forever";
    if (!s.result) return "none";
    if (*s.result == 0) return "ok";
    if (*s.result == kResultPostProcessingRequired) return "post";
    if (*s.result == 0xE000020Eu) return "default";  // ERROR_DI_DO_DEFAULT
    return "error";
}

bool IsCall(const ReportStep& s) { return s.kind == StepKind::Dif || s.kind == StepKind::InstallPellionSoftware; }

}  // namespace tvx::html

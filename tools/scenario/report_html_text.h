// The report page's text helpers, shared by the page and its timeline picture. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/scenario/report.h"

namespace tvx::html {

// UTF-8 text as HTML text or attribute content. Control characters other than tab and line feed
// show as their Unicode control pictures (CR as U+240D), so nothing the machine wrote can turn
// into markup or vanish.
std::string Esc(std::string_view utf8);
// ANSI (Windows-1252) text as HTML.
std::string Ansi(const std::string& ansi);
std::string Num(double v);
std::string Hex(uint64_t v);
std::string Ms(uint64_t ms);
// A Windows name with its explanation on hover, when the glossary has one.
std::string Term(const std::string& name);
// The page's text with every Windows name the glossary knows explained on hover.
std::string ExplainNames(const std::string& html);
// How a call was answered, as a class of the page's style.
const char* AnswerClass(const ReportStep& s);
bool IsCall(const ReportStep& s);

}  // namespace tvx::html

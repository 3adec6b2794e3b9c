// Text in the machine's ANSI code page (Windows-1252), and its conversions to UTF-16 (.reg files of
// version 5) and UTF-8 (scenario files, reports). Portable.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tvx {

// Every ANSI byte has a UTF-16 unit, so this never fails.
std::u16string AnsiToUtf16(std::string_view ansi);
// Nothing when a character has no ANSI byte.
std::optional<std::string> Utf16ToAnsi(std::u16string_view text);

std::string AnsiToUtf8(std::string_view ansi);
// Nothing when the text is not UTF-8 or a character has no ANSI byte.
std::optional<std::string> Utf8ToAnsi(std::string_view utf8);

}  // namespace tvx

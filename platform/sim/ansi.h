// The simulated machine's ANSI code page, Windows-1252, and its conversion to and from UTF-16.
// Simulated machine only.
#pragma once

#include <string>
#include <string_view>

namespace plat::sim {

constexpr unsigned kAnsiCodePage = 1252;

// Every byte has a UTF-16 unit (the five bytes the code page leaves unassigned map to the control
// character of the same number, as Windows' own table does).
char16_t AnsiUnit(unsigned char byte);
std::u16string AnsiToWide(std::string_view ansi);
// Units without a byte in the code page become '?', as a best-fit conversion without a match does.
std::string WideToAnsi(std::u16string_view wide);

}  // namespace plat::sim

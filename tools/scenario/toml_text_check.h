// A check of TOML text made before the TOML reader sees it: TOML allows characters outside the
// ASCII range only in strings and comments. toml++ refuses such a character anywhere else too, but
// with a message about what it expected there; this check says what is wrong and how to write it.
// Only a message: whatever it takes for a string, toml++ reads the text on its own afterwards.
// Portable.
#pragma once

#include <optional>
#include <string_view>

namespace tvx {

// The line (from 1) of the first byte outside the ASCII range that stands outside every string
// (basic, literal, multi-line) and comment; nothing when there is none. Strings and comments are
// told apart as TOML does up to the first syntax error, which the reader reports anyway.
std::optional<int> LineOfNonAsciiOutsideStrings(std::string_view text);

}  // namespace tvx

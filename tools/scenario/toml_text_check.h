// A check of TOML text made before the TOML reader sees it: TOML allows characters outside the
// ASCII range only in strings and comments, and toml++ 3.3 misbehaves (undefined behaviour in its
// whitespace test) on such a character anywhere else, so the scenario reader refuses those itself.
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

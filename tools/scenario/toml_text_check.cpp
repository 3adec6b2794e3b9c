// The check of TOML text before the TOML reader. Portable.
#include "tools/scenario/toml_text_check.h"

namespace tvx {

std::optional<int> LineOfNonAsciiOutsideStrings(std::string_view text) {
    int line = 1;
    size_t i = 0;
    // Skips the string that starts at i, quote q; counts the line ends it holds.
    auto skip_string = [&](char q) {
        const bool basic = q == '"';
        const std::string_view triple = basic ? std::string_view("\"\"\"") : std::string_view("'''");
        if (text.substr(i, 3) == triple) {
            for (i += 3; i < text.size() && text.substr(i, 3) != triple; ++i) {
                if (basic && text[i] == '\\' && i + 1 < text.size()) ++i;
                if (text[i] == '\n') ++line;
            }
            i += 3;
            // Up to two quotes right before the closing ones belong to the string.
            for (int extra = 0; extra < 2 && i < text.size() && text[i] == q; ++extra) ++i;
            return;
        }
        // One line at most: a line end ends it (an error the reader reports).
        for (++i; i < text.size() && text[i] != q && text[i] != '\n'; ++i)
            if (basic && text[i] == '\\' && i + 1 < text.size() && text[i + 1] != '\n') ++i;
        if (i < text.size() && text[i] == q) ++i;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            skip_string(c);
        } else if (c == '#') {
            while (i < text.size() && text[i] != '\n') ++i;
        } else {
            if (c == '\n') ++line;
            if (static_cast<unsigned char>(c) >= 0x80) return line;
            ++i;
        }
    }
    return std::nullopt;
}

}  // namespace tvx

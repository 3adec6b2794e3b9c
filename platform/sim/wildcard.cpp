// Windows' search masks and their DOS wildcards. Simulated machine only.
#include "platform/sim/wildcard.h"

#include <cctype>

namespace plat::sim {
namespace {

constexpr char kDosStar = '<';
constexpr char kDosQm = '>';
constexpr char kDosDot = '"';

bool SameLetter(char a, char b) {
    return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
}

bool IsSkippableAtEnd(char c) { return c == '*' || c == kDosStar || c == kDosDot || c == kDosQm; }

// name[i..] against mask[j..].
bool Match(std::string_view name, size_t i, std::string_view mask, size_t j) {
    while (i < name.size() && j < mask.size()) {
        const char m = mask[j];
        if (m == '*') {
            for (size_t k = i; k <= name.size(); ++k)
                if (Match(name, k, mask, j + 1)) return true;
            return false;
        }
        if (m == kDosStar) {
            // Any characters, the name's last dot included, but nothing after that dot.
            const size_t last_dot = name.rfind('.');
            const size_t limit = (last_dot == std::string_view::npos || last_dot < i) ? name.size() : last_dot + 1;
            for (size_t k = i; k <= limit; ++k)
                if (Match(name, k, mask, j + 1)) return true;
            return false;
        }
        if (m == kDosQm) {
            ++j;
            if (name[i] == '.') {
                // Before a dot, every DOS_QM of the run matches nothing; a run that ends the mask
                // takes the dot itself.
                while (j < mask.size() && mask[j] == kDosQm) ++j;
                if (j == mask.size()) ++i;
            } else {
                ++i;
            }
            continue;
        }
        const char literal = m == kDosDot ? '.' : m;
        if (!SameLetter(literal, name[i])) return false;
        ++i;
        ++j;
    }
    while (j < mask.size() && IsSkippableAtEnd(mask[j])) ++j;
    return i == name.size() && j == mask.size();
}

}  // namespace

bool HasSearchWildcards(std::string_view mask) { return mask.find_first_of("*?<>") != std::string_view::npos; }

std::string DosSearchMask(std::string_view mask) {
    std::string out(mask);
    if (out.empty()) return out;
    const bool no_extension = out.back() == '.';
    while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
    for (size_t i = 0; i < out.size(); ++i) {
        const char next = i + 1 < out.size() ? out[i + 1] : '\0';
        if (out[i] == '.' && (next == '*' || next == '?'))
            out[i] = kDosDot;
        else if (out[i] == '?')
            out[i] = kDosQm;
    }
    if (no_extension && !out.empty() && out.back() == '*') out.back() = kDosStar;
    return out;
}

bool MatchesDosMask(std::string_view name, std::string_view dos_mask) {
    if (name == "..") name = ".";
    return Match(name, 0, dos_mask, 0);
}

}  // namespace plat::sim

// How FindFirstFileA matches names against the last part of its path, as Windows does it: the
// search mask is first rewritten into the file system's DOS wildcards, then matched without
// regard to case. Simulated machine only.
//
// The rewriting: a mask ending in '.' asks for names without an extension; trailing dots and
// blanks are dropped; a '.' before '*' or '?' becomes DOS_DOT ('"', a dot or the end of the name),
// every '?' becomes DOS_QM ('>', one character, or none before a dot or at the end), and a '*'
// left last by a dropped '.' becomes DOS_STAR ('<', any characters up to and including the
// name's last dot).
#pragma once

#include <string>
#include <string_view>

namespace plat::sim {

// Whether a mask holds a wildcard ('*', '?', or one of the DOS wildcards '<', '>').
bool HasSearchWildcards(std::string_view mask);

// The mask as the file system receives it (see above).
std::string DosSearchMask(std::string_view mask);

// Whether a name matches a mask already rewritten by DosSearchMask. ".." is matched as ".", as
// the file system does, so that both come back together.
bool MatchesDosMask(std::string_view name, std::string_view dos_mask);

}  // namespace plat::sim

// The two views of a 64-bit machine's registry, as Windows 7 and later keep them: which view a
// key is opened in, and the physical key a logical path names in the 32-bit view (SOFTWARE below
// Wow6432Node, except the keys shared between the views). Simulated machine only.
#pragma once

#include <string>
#include <vector>

#include "platform/sim/registry.h"

namespace plat::sim {

// Whether a key opened with `sam` below a key of the 32-bit view (parent_view32) or not is in the
// 32-bit view: only on a 64-bit machine; KEY_WOW64_64KEY wins over both others.
bool InView32(bool is_64bit, bool parent_view32, REGSAM sam);

// The physical path below the hive's root for a logical one. Only the 32-bit view (view32) of
// HKEY_LOCAL_MACHINE\SOFTWARE is redirected: below Wow6432Node, except the shared keys, and below
// SOFTWARE\Classes\Wow6432Node for the class keys that keep a 32-bit copy. A path that names
// Wow6432Node itself is taken as it is.
std::vector<std::string> PhysicalPath(Hive hive, const std::vector<std::string>& logical, bool view32);

}  // namespace plat::sim

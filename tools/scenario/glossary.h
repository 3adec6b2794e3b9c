// Short plain explanations of the Windows names the report shows (DIF codes, answers and error
// codes, installation flags, process start-up flags, registry types, service states, registry
// roots, ...), for a reader who does not know Windows from the inside. The web page shows them
// when the pointer rests on a name. Portable.
#pragma once

#include <string_view>

namespace tvx {

// The explanation of a Windows name as the report writes it ("DIF_REMOVE", "REG_SZ", "stopped",
// "VID_2E5A"); empty for a name it does not know.
std::string_view Glossary(std::string_view name);

}  // namespace tvx

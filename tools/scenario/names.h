// Names of the numbers a co-installer deals in: device-installation function (DIF) codes, the
// results a co-installer returns or is handed, registry value types and installation flags, with
// one-line explanations for the report. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

// Registry value types, with Windows' numbers.
constexpr uint32_t kRegNone = 0;
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegDwordBigEndian = 5;
constexpr uint32_t kRegLink = 6;
constexpr uint32_t kRegMultiSz = 7;
constexpr uint32_t kRegQword = 11;

constexpr uint32_t kResultPostProcessingRequired = 0xE0000226u;

// "DIF_INSTALLDEVICE"; empty for a code SetupAPI has no name for.
std::string DifName(uint32_t code);
std::optional<uint32_t> DifCodeByName(std::string_view name);
// "DIF_INSTALLDEVICE (0x02)", or "DIF code 0x77 (no SetupAPI name)".
std::string DescribeDif(uint32_t code);
// When Windows sends the code; empty when there is nothing to say.
std::string ExplainDif(uint32_t code);

// "NO_ERROR", "ERROR_DI_POSTPROCESSING_REQUIRED"; empty when unnamed.
std::string ResultName(uint32_t value);
std::optional<uint32_t> ResultByName(std::string_view name);
// "ERROR_DI_POSTPROCESSING_REQUIRED (0xE0000226)", or "0x00001234".
std::string DescribeResult(uint32_t value);
// What a co-installer's answer means to the device installer; empty when nothing to say.
std::string ExplainResult(uint32_t value);

// "REG_SZ"; "REG_TYPE_0x17" for other numbers.
std::string RegTypeName(uint32_t type);

// Installation parameter flags by name, "DI_NEEDREBOOT | 0x4"; "0" when none.
std::string DescribeInstallFlags(uint32_t flags);
std::string DescribeInstallFlagsEx(uint32_t flags_ex);

// Process creation flags and STARTUPINFO flags by name, "CREATE_NEW_CONSOLE"; "0" when none.
std::string DescribeCreationFlags(uint32_t flags);
std::string DescribeStartupFlags(uint32_t flags);
// "SW_SHOWNORMAL (1)".
std::string DescribeShowState(uint32_t show);

// A service state (SERVICE_STATUS.dwCurrentState) in words: "stopped", "stop pending", "running", ...
std::string ServiceStateName(uint32_t state);
std::optional<uint32_t> ServiceStateByName(std::string_view name);
// Every state's name, for messages: "stopped, start pending, ...".
std::string ServiceStateNames();

// Every DIF code name, and every result name (ERROR_SUCCESS beside NO_ERROR), for messages.
std::vector<std::string> DifCodeNames();
std::vector<std::string> ResultNames();

// The HRESULTs a scenario may give by name (S_OK, E_FAIL, REGDB_E_CLASSNOTREG, ...).
std::optional<uint32_t> HResultByName(std::string_view name);
std::vector<std::string> HResultNames();

// The known names nearest to a name that is none of them: those that hold it (a name written
// short), else those the fewest edits away; letter case aside, at most five, in the list's order.
std::vector<std::string> NearestNames(std::string_view given, const std::vector<std::string>& known);
// For a message about an unknown name: "known names: A, B, C" when the list is short, else
// "the nearest known names: X, Y".
std::string KnownNamesHint(std::string_view given, const std::vector<std::string>& known);

// "0x0000002A": eight hex digits.
std::string Hex8(uint32_t value);

}  // namespace tvx

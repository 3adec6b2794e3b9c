// Names and explanations of DIF codes, results, value types and flags. Portable.
#include "tools/scenario/names.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace tvx {
namespace {

struct Named {
    uint32_t value;
    const char* name;
    const char* explanation;
};

// SetupAPI's device-installation function codes.
const Named kDifCodes[] = {
    {0x01, "DIF_SELECTDEVICE", "the user or Windows selects a driver for the device"},
    {0x02, "DIF_INSTALLDEVICE",
     "Windows installs the selected driver; a co-installer may ask to see the result afterwards"},
    {0x03, "DIF_ASSIGNRESOURCES", ""},
    {0x04, "DIF_PROPERTIES", ""},
    {0x05, "DIF_REMOVE", "the device is being removed from the system"},
    {0x06, "DIF_FIRSTTIMESETUP", ""},
    {0x07, "DIF_FOUNDDEVICE", ""},
    {0x08, "DIF_SELECTCLASSDRIVERS", ""},
    {0x09, "DIF_VALIDATECLASSDRIVERS", ""},
    {0x0A, "DIF_INSTALLCLASSDRIVERS", ""},
    {0x0B, "DIF_CALCDISKSPACE", ""},
    {0x0C, "DIF_DESTROYPRIVATEDATA", ""},
    {0x0D, "DIF_VALIDATEDRIVER", ""},
    {0x0E, "DIF_MOVEDEVICE", ""},
    {0x0F, "DIF_DETECT", ""},
    {0x10, "DIF_INSTALLWIZARD", ""},
    {0x11, "DIF_DESTROYWIZARDDATA", "the installation wizard releases its data"},
    {0x12, "DIF_PROPERTYCHANGE", ""},
    {0x13, "DIF_ENABLECLASS", ""},
    {0x14, "DIF_DETECTVERIFY", ""},
    {0x15, "DIF_INSTALLDEVICEFILES", ""},
    {0x16, "DIF_UNREMOVE", ""},
    {0x17, "DIF_SELECTBESTCOMPATDRV", ""},
    {0x18, "DIF_ALLOW_INSTALL", ""},
    {0x19, "DIF_REGISTERDEVICE", ""},
    {0x1A, "DIF_NEWDEVICEWIZARD_PRESELECT", ""},
    {0x1B, "DIF_NEWDEVICEWIZARD_SELECT", ""},
    {0x1C, "DIF_NEWDEVICEWIZARD_PREANALYZE", ""},
    {0x1D, "DIF_NEWDEVICEWIZARD_POSTANALYZE", ""},
    {0x1E, "DIF_NEWDEVICEWIZARD_FINISHINSTALL",
     "the new-device wizard is about to finish; a co-installer may ask for a finish-install action"},
    {0x1F, "DIF_UNUSED1", ""},
    {0x20, "DIF_INSTALLINTERFACES", ""},
    {0x21, "DIF_DETECTCANCEL", ""},
    {0x22, "DIF_REGISTER_COINSTALLERS", ""},
    {0x23, "DIF_ADDPROPERTYPAGE_ADVANCED", ""},
    {0x24, "DIF_ADDPROPERTYPAGE_BASIC", ""},
    {0x25, "DIF_RESERVED1", ""},
    {0x26, "DIF_TROUBLESHOOTER", ""},
    {0x27, "DIF_POWERMESSAGEWAKE", ""},
    {0x28, "DIF_ADDREMOTEPROPERTYPAGE_ADVANCED", ""},
    {0x29, "DIF_UPDATEDRIVER_UI", ""},
    {0x2A, "DIF_FINISHINSTALL_ACTION",
     "the finish-install action, which Windows runs in the logged-on user's context when a co-installer asked for one"},
    {0x30, "DIF_RESERVED2", ""},
};

// Results a co-installer returns or receives as InstallResult.
const Named kResults[] = {
    {0x00000000u, "NO_ERROR", "success"},
    {0x00000001u, "ERROR_INVALID_FUNCTION", ""},
    {0x00000002u, "ERROR_FILE_NOT_FOUND", ""},
    {0x00000003u, "ERROR_PATH_NOT_FOUND", ""},
    {0x00000005u, "ERROR_ACCESS_DENIED", ""},
    {0x00000006u, "ERROR_INVALID_HANDLE", ""},
    {0x00000008u, "ERROR_NOT_ENOUGH_MEMORY", ""},
    {0x0000000Du, "ERROR_INVALID_DATA", ""},
    {0x0000001Fu, "ERROR_GEN_FAILURE", ""},
    {0x00000057u, "ERROR_INVALID_PARAMETER", ""},
    {0x0000007Au, "ERROR_INSUFFICIENT_BUFFER", ""},
    {0x000004C7u, "ERROR_CANCELLED", "the operation was cancelled by the user"},
    {0x00000BC2u, "ERROR_SUCCESS_REBOOT_REQUIRED", ""},
    {0xE0000203u, "ERROR_NO_DRIVER_SELECTED", ""},
    {0xE0000204u, "ERROR_KEY_DOES_NOT_EXIST", ""},
    {0xE000020Bu, "ERROR_NO_SUCH_DEVINST", ""},
    {0xE000020Eu, "ERROR_DI_DO_DEFAULT", ""},
    {0xE000020Fu, "ERROR_DI_NOFILECOPY", ""},
    {0xE0000214u, "ERROR_DI_BAD_PATH", ""},
    {0xE0000226u, "ERROR_DI_POSTPROCESSING_REQUIRED",
     "the co-installer asks to be called again, with PostProcessing set, once the class installer is done"},
    {0xE0000227u, "ERROR_INVALID_COINSTALLER", ""},
    {0xE000022Bu, "ERROR_DI_DONT_INSTALL", ""},
    {0xE000022Fu, "ERROR_NO_CATALOG_FOR_OEM_INF", ""},
    {0xE0000235u, "ERROR_IN_WOW64", ""},
};

// The HRESULTs scenarios name; any other is written as a number.
const Named kHResults[] = {
    {0x00000000u, "S_OK", ""},
    {0x00000001u, "S_FALSE", ""},
    {0x80004001u, "E_NOTIMPL", ""},
    {0x80004002u, "E_NOINTERFACE", ""},
    {0x80004005u, "E_FAIL", ""},
    {0x80070005u, "E_ACCESSDENIED", ""},
    {0x8007000Eu, "E_OUTOFMEMORY", ""},
    {0x80070057u, "E_INVALIDARG", ""},
    {0x80040154u, "REGDB_E_CLASSNOTREG", ""},
    {0x80080005u, "CO_E_SERVER_EXEC_FAILURE", ""},
};

const Named kRegTypes[] = {
    {0, "REG_NONE", ""},        {1, "REG_SZ", ""},  {2, "REG_EXPAND_SZ", ""},
    {3, "REG_BINARY", ""},      {4, "REG_DWORD", ""}, {5, "REG_DWORD_BIG_ENDIAN", ""},
    {6, "REG_LINK", ""},        {7, "REG_MULTI_SZ", ""}, {8, "REG_RESOURCE_LIST", ""},
    {9, "REG_FULL_RESOURCE_DESCRIPTOR", ""}, {10, "REG_RESOURCE_REQUIREMENTS_LIST", ""},
    {11, "REG_QWORD", ""},
};

// Installation parameter flags (SP_DEVINSTALL_PARAMS Flags and FlagsEx).
const Named kInstallFlags[] = {
    {0x00000001u, "DI_SHOWOEM", ""},
    {0x00000002u, "DI_SHOWCOMPAT", ""},
    {0x00000004u, "DI_SHOWCLASS", ""},
    {0x00000008u, "DI_NOVCP", ""},
    {0x00000010u, "DI_DIDCOMPAT", ""},
    {0x00000020u, "DI_DIDCLASS", ""},
    {0x00000040u, "DI_AUTOASSIGNRES", ""},
    {0x00000080u, "DI_NEEDRESTART", ""},
    {0x00000100u, "DI_NEEDREBOOT", ""},
    {0x00000200u, "DI_NOBROWSE", ""},
    {0x00000400u, "DI_MULTMFGS", ""},
    {0x00000800u, "DI_DISABLED", ""},
    {0x00001000u, "DI_GENERALPAGE_ADDED", ""},
    {0x00002000u, "DI_RESOURCEPAGE_ADDED", ""},
    {0x00004000u, "DI_PROPERTIES_CHANGE", ""},
    {0x00008000u, "DI_INF_IS_SORTED", ""},
    {0x00010000u, "DI_ENUMSINGLEINF", ""},
    {0x00020000u, "DI_DONOTCALLCONFIGMG", ""},
    {0x00040000u, "DI_INSTALLDISABLED", ""},
    {0x00080000u, "DI_COMPAT_FROM_CLASS", ""},
    {0x00100000u, "DI_CLASSINSTALLPARAMS", ""},
    {0x00200000u, "DI_NODI_DEFAULTACTION", ""},
    {0x00800000u, "DI_QUIETINSTALL", ""},
    {0x01000000u, "DI_NOFILECOPY", ""},
    {0x02000000u, "DI_FORCECOPY", ""},
    {0x04000000u, "DI_DRIVERPAGE_ADDED", ""},
    {0x08000000u, "DI_USECI_SELECTSTRINGS", ""},
    {0x10000000u, "DI_OVERRIDE_INFFLAGS", ""},
    {0x20000000u, "DI_PROPS_NOCHANGEUSAGE", ""},
    {0x40000000u, "DI_NOSELECTICONS", ""},
    {0x80000000u, "DI_NOWRITE_IDS", ""},
};

const Named kInstallFlagsEx[] = {
    {0x00000001u, "DI_FLAGSEX_USEOLDINFSEARCH", ""},
    {0x00000004u, "DI_FLAGSEX_CI_FAILED", ""},
    {0x00000008u, "DI_FLAGSEX_FINISHINSTALL_ACTION", ""},
    {0x00000010u, "DI_FLAGSEX_DIDINFOLIST", ""},
    {0x00000020u, "DI_FLAGSEX_DIDCOMPATINFO", ""},
    {0x00000040u, "DI_FLAGSEX_FILTERCLASSES", ""},
    {0x00000080u, "DI_FLAGSEX_SETFAILEDINSTALL", ""},
    {0x00000100u, "DI_FLAGSEX_DEVICECHANGE", ""},
    {0x00000200u, "DI_FLAGSEX_ALWAYSWRITEIDS", ""},
    {0x00000400u, "DI_FLAGSEX_PROPCHANGE_PENDING", ""},
    {0x00000800u, "DI_FLAGSEX_ALLOWEXCLUDEDDRVS", ""},
    {0x00001000u, "DI_FLAGSEX_NOUIONQUERYREMOVE", ""},
    {0x00002000u, "DI_FLAGSEX_USECLASSFORCOMPAT", ""},
    {0x00008000u, "DI_FLAGSEX_NO_DRVREG_MODIFY", ""},
    {0x00010000u, "DI_FLAGSEX_IN_SYSTEM_SETUP", ""},
    {0x00020000u, "DI_FLAGSEX_INET_DRIVER", ""},
    {0x00040000u, "DI_FLAGSEX_APPENDDRIVERLIST", ""},
    {0x00080000u, "DI_FLAGSEX_PREINSTALLBACKUP", ""},
    {0x00100000u, "DI_FLAGSEX_BACKUPONREPLACE", ""},
    {0x00200000u, "DI_FLAGSEX_DRIVERLIST_FROM_URL", ""},
    {0x00800000u, "DI_FLAGSEX_EXCLUDE_OLD_INET_DRIVERS", ""},
    {0x01000000u, "DI_FLAGSEX_POWERPAGE_ADDED", ""},
    {0x02000000u, "DI_FLAGSEX_FILTERSIMILARDRIVERS", ""},
    {0x04000000u, "DI_FLAGSEX_INSTALLEDDRIVER", ""},
    {0x08000000u, "DI_FLAGSEX_NO_CLASSLIST_NODE_MERGE", ""},
    {0x10000000u, "DI_FLAGSEX_ALTPLATFORM_DRVSEARCH", ""},
    {0x20000000u, "DI_FLAGSEX_RESTART_DEVICE_ONLY", ""},
};

// Process creation flags and start-up flags a co-installer may pass to CreateProcessA.
const Named kCreationFlags[] = {
    {0x00000001u, "DEBUG_PROCESS", ""},
    {0x00000002u, "DEBUG_ONLY_THIS_PROCESS", ""},
    {0x00000004u, "CREATE_SUSPENDED", ""},
    {0x00000008u, "DETACHED_PROCESS", ""},
    {0x00000010u, "CREATE_NEW_CONSOLE", ""},
    {0x00000020u, "NORMAL_PRIORITY_CLASS", ""},
    {0x00000200u, "CREATE_NEW_PROCESS_GROUP", ""},
    {0x00000400u, "CREATE_UNICODE_ENVIRONMENT", ""},
    {0x01000000u, "CREATE_BREAKAWAY_FROM_JOB", ""},
    {0x04000000u, "CREATE_DEFAULT_ERROR_MODE", ""},
    {0x08000000u, "CREATE_NO_WINDOW", ""},
};

const Named kStartupFlags[] = {
    {0x00000001u, "STARTF_USESHOWWINDOW", ""},
    {0x00000002u, "STARTF_USESIZE", ""},
    {0x00000004u, "STARTF_USEPOSITION", ""},
    {0x00000008u, "STARTF_USECOUNTCHARS", ""},
    {0x00000010u, "STARTF_USEFILLATTRIBUTE", ""},
    {0x00000020u, "STARTF_RUNFULLSCREEN", ""},
    {0x00000040u, "STARTF_FORCEONFEEDBACK", ""},
    {0x00000080u, "STARTF_FORCEOFFFEEDBACK", ""},
    {0x00000100u, "STARTF_USESTDHANDLES", ""},
};

const Named kShowStates[] = {
    {0u, "SW_HIDE", ""},          {1u, "SW_SHOWNORMAL", ""},     {2u, "SW_SHOWMINIMIZED", ""},
    {3u, "SW_SHOWMAXIMIZED", ""}, {4u, "SW_SHOWNOACTIVATE", ""}, {5u, "SW_SHOW", ""},
    {6u, "SW_MINIMIZE", ""},      {7u, "SW_SHOWMINNOACTIVE", ""}, {8u, "SW_SHOWNA", ""},
    {9u, "SW_RESTORE", ""},       {10u, "SW_SHOWDEFAULT", ""},   {11u, "SW_FORCEMINIMIZE", ""},
};

// SERVICE_STATUS.dwCurrentState, in the words reports and scenarios use.
const Named kServiceStates[] = {
    {1u, "stopped", ""},          {2u, "start pending", ""}, {3u, "stop pending", ""}, {4u, "running", ""},
    {5u, "continue pending", ""}, {6u, "pause pending", ""}, {7u, "paused", ""},
};

template <size_t N>
const Named* FindValue(const Named (&table)[N], uint32_t value) {
    for (const Named& n : table)
        if (n.value == value) return &n;
    return nullptr;
}

template <size_t N>
const Named* FindName(const Named (&table)[N], std::string_view name) {
    for (const Named& n : table)
        if (name == n.name) return &n;
    return nullptr;
}

template <size_t N>
std::vector<std::string> AllNames(const Named (&table)[N]) {
    std::vector<std::string> names;
    for (const Named& n : table) names.push_back(n.name);
    return names;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// How many characters must be inserted, deleted or replaced to turn one text into the other,
// letter case aside.
size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            const size_t replace = diagonal + (Upper(a[i - 1]) == Upper(b[j - 1]) ? 0 : 1);
            row[j] = std::min({above + 1, row[j - 1] + 1, replace});
            diagonal = above;
        }
    }
    return row[b.size()];
}

bool ContainsIgnoringCase(std::string_view text, std::string_view part) {
    if (part.empty() || part.size() > text.size()) return false;
    for (size_t at = 0; at + part.size() <= text.size(); ++at) {
        bool same = true;
        for (size_t i = 0; i < part.size() && same; ++i) same = Upper(text[at + i]) == Upper(part[i]);
        if (same) return true;
    }
    return false;
}

template <size_t N>
std::string DescribeFlags(const Named (&table)[N], uint32_t flags) {
    if (flags == 0) return "0";
    std::string out;
    for (const Named& n : table) {
        if (flags & n.value) {
            if (!out.empty()) out += " | ";
            out += n.name;
            flags &= ~n.value;
        }
    }
    if (flags) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "0x%X", flags);
        if (!out.empty()) out += " | ";
        out += buf;
    }
    return out;
}

}  // namespace

std::vector<std::string> DifCodeNames() { return AllNames(kDifCodes); }

std::vector<std::string> ResultNames() {
    std::vector<std::string> names = AllNames(kResults);
    names.insert(names.begin() + 1, "ERROR_SUCCESS");
    return names;
}

std::optional<uint32_t> HResultByName(std::string_view name) {
    const Named* n = FindName(kHResults, name);
    if (!n) return std::nullopt;
    return n->value;
}

std::vector<std::string> HResultNames() { return AllNames(kHResults); }

std::vector<std::string> NearestNames(std::string_view given, const std::vector<std::string>& known) {
    constexpr size_t kMost = 5;
    std::vector<std::string> nearest;
    // The names that hold the text given, as a name written short does.
    for (const std::string& name : known)
        if (ContainsIgnoringCase(name, given) && nearest.size() < kMost) nearest.push_back(name);
    if (!nearest.empty()) return nearest;
    // Else those fewest edits away.
    size_t best = SIZE_MAX;
    for (const std::string& name : known) best = std::min(best, EditDistance(given, name));
    for (const std::string& name : known)
        if (EditDistance(given, name) == best && nearest.size() < kMost) nearest.push_back(name);
    return nearest;
}

std::string KnownNamesHint(std::string_view given, const std::vector<std::string>& known) {
    // A list this short is read at a glance: all of it.
    constexpr size_t kShortList = 12;
    const bool all = known.size() <= kShortList;
    const std::vector<std::string> names = all ? known : NearestNames(given, known);
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    if (all) return "known names: " + list;
    return std::string(names.size() == 1 ? "the nearest known name: " : "the nearest known names: ") + list;
}

std::string Hex8(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", value);
    return buf;
}

std::string DifName(uint32_t code) {
    const Named* n = FindValue(kDifCodes, code);
    return n ? n->name : "";
}

std::optional<uint32_t> DifCodeByName(std::string_view name) {
    const Named* n = FindName(kDifCodes, name);
    if (!n) return std::nullopt;
    return n->value;
}

std::string DescribeDif(uint32_t code) {
    char num[16];
    std::snprintf(num, sizeof num, "0x%02X", code);
    const Named* n = FindValue(kDifCodes, code);
    if (!n) return std::string("DIF code ") + num + " (no SetupAPI name)";
    return std::string(n->name) + " (" + num + ")";
}

std::string ExplainDif(uint32_t code) {
    const Named* n = FindValue(kDifCodes, code);
    return n ? n->explanation : "";
}

std::string ResultName(uint32_t value) {
    const Named* n = FindValue(kResults, value);
    return n ? n->name : "";
}

std::optional<uint32_t> ResultByName(std::string_view name) {
    if (name == "ERROR_SUCCESS") return 0;
    const Named* n = FindName(kResults, name);
    if (!n) return std::nullopt;
    return n->value;
}

std::string DescribeResult(uint32_t value) {
    const Named* n = FindValue(kResults, value);
    if (!n) return Hex8(value);
    return std::string(n->name) + " (" + Hex8(value) + ")";
}

std::string ExplainResult(uint32_t value) {
    const Named* n = FindValue(kResults, value);
    return n ? n->explanation : "";
}

std::string RegTypeName(uint32_t type) {
    const Named* n = FindValue(kRegTypes, type);
    if (n) return n->name;
    char buf[32];
    std::snprintf(buf, sizeof buf, "REG_TYPE_0x%X", type);
    return buf;
}

std::string DescribeInstallFlags(uint32_t flags) { return DescribeFlags(kInstallFlags, flags); }
std::string DescribeInstallFlagsEx(uint32_t flags_ex) { return DescribeFlags(kInstallFlagsEx, flags_ex); }

std::string DescribeCreationFlags(uint32_t flags) { return DescribeFlags(kCreationFlags, flags); }
std::string DescribeStartupFlags(uint32_t flags) { return DescribeFlags(kStartupFlags, flags); }

std::string DescribeShowState(uint32_t show) {
    const Named* n = FindValue(kShowStates, show);
    return n ? std::string(n->name) + " (" + std::to_string(show) + ")" : std::to_string(show);
}

std::string ServiceStateName(uint32_t state) {
    const Named* n = FindValue(kServiceStates, state);
    return n ? n->name : "state " + std::to_string(state);
}

std::optional<uint32_t> ServiceStateByName(std::string_view name) {
    const Named* n = FindName(kServiceStates, name);
    if (!n) return std::nullopt;
    return n->value;
}

std::string ServiceStateNames() {
    std::string out;
    for (const Named& n : kServiceStates) out += (out.empty() ? "" : ", ") + std::string(n.name);
    return out;
}

}  // namespace tvx

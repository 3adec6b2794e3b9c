// Reading a scenario from TOML, checked strictly: every key known, every type right, every file
// present. The only file that includes toml++. Portable.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <set>

#define TOML_EXCEPTIONS 1
// toml++ checks its own assumptions with assert() unless NDEBUG is given. One of them is wrong in
// toml++ 3.3: a table header whose key starts with a character no key can start with ("[#x]")
// fails it, though the parser goes on to report that as a parse error with its line. The checks
// are left out, as in toml++'s release builds, so that such a file is refused, not a crash.
#define TOML_ASSERT(expr) static_cast<void>(0)
#include <toml++/toml.h>

#include "platform/text/encoding.h"
#include "platform/text/guid.h"
#include "platform/text/names.h"
#include "tools/scenario/file_snapshot.h"
#include "tools/scenario/names.h"
#include "tools/scenario/scenario.h"
#include "tools/scenario/scenario_error.h"
#include "tools/scenario/text_codec.h"
#include "tools/scenario/toml_text_check.h"

namespace tvx {
namespace {

namespace fs = std::filesystem;

const char* TypeName(const toml::node& n) {
    switch (n.type()) {
        case toml::node_type::table: return "a table";
        case toml::node_type::array: return "an array";
        case toml::node_type::string: return "a string";
        case toml::node_type::integer: return "an integer";
        case toml::node_type::floating_point: return "a floating-point number";
        case toml::node_type::boolean: return "a boolean";
        case toml::node_type::date: return "a date";
        case toml::node_type::time: return "a time";
        case toml::node_type::date_time: return "a date-time";
        default: return "nothing";
    }
}

// A table's entries in the order the file gives them (toml++ keeps them sorted by name).
struct Entry {
    const toml::key* key;
    const toml::node* node;
};

std::vector<Entry> InFileOrder(const toml::table& table) {
    std::vector<Entry> entries;
    for (auto&& [key, node] : table) entries.push_back(Entry{&key, &node});
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const toml::source_position& pa = a.key->source().begin;
        const toml::source_position& pb = b.key->source().begin;
        return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
    });
    return entries;
}

class Reader {
public:
    Reader(std::string file, fs::path folder) : file_(std::move(file)), folder_(std::move(folder)) {}

    [[noreturn]] void Fail(const toml::node& at, const std::string& message) const {
        throw ScenarioError(file_, static_cast<int>(at.source().begin.line), message);
    }
    [[noreturn]] void FailAt(int line, const std::string& message) const { throw ScenarioError(file_, line, message); }

    static int Line(const toml::node& n) { return static_cast<int>(n.source().begin.line); }

    // Every key of the table must be one of `allowed`.
    void CheckKeys(const toml::table& table, std::initializer_list<std::string_view> allowed,
                   const std::string& where) const {
        for (const Entry& entry : InFileOrder(table)) {
            const toml::key& key = *entry.key;
            bool known = false;
            for (std::string_view a : allowed) known = known || key.str() == a;
            if (known) continue;
            std::string list;
            for (std::string_view a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
            throw ScenarioError(file_, static_cast<int>(key.source().begin.line),
                                "unknown key '" + std::string(key.str()) + "' in " + where + " (known keys: " + list +
                                    ")");
        }
    }

    const toml::table& Table(const toml::node& n, const std::string& what) const {
        if (!n.is_table()) Fail(n, what + " must be a table, not " + TypeName(n));
        return *n.as_table();
    }
    const toml::array& Array(const toml::node& n, const std::string& what) const {
        if (!n.is_array()) Fail(n, what + " must be an array, not " + TypeName(n));
        return *n.as_array();
    }
    std::string Utf8(const toml::node& n, const std::string& what) const {
        if (!n.is_string()) Fail(n, what + " must be a string, not " + TypeName(n));
        return n.as_string()->get();
    }
    // A string in the machine's ANSI code page.
    // The table's entry `key`; without one, the error `message` at the entry's owner.
    const toml::node& Required(const toml::table& t, const toml::node& owner, const char* key,
                               const std::string& message) const {
        const toml::node* n = t.get(key);
        if (!n) Fail(owner, message);
        return *n;
    }
    std::string Text(const toml::node& n, const std::string& what) const {
        std::optional<std::string> ansi = Utf8ToAnsi(Utf8(n, what));
        if (!ansi) Fail(n, what + " holds a character that the machine's ANSI code page (Windows-1252) cannot hold");
        return *ansi;
    }
    uint64_t Number(const toml::node& n, const std::string& what, uint64_t max) const {
        if (!n.is_integer()) Fail(n, what + " must be an integer, not " + TypeName(n));
        int64_t v = n.as_integer()->get();
        if (v < 0 || static_cast<uint64_t>(v) > max) Fail(n, what + " is out of range (0 to " + std::to_string(max) + ")");
        return static_cast<uint64_t>(v);
    }
    uint32_t U32(const toml::node& n, const std::string& what) const {
        return static_cast<uint32_t>(Number(n, what, 0xFFFFFFFFu));
    }
    bool Bool(const toml::node& n, const std::string& what) const {
        if (!n.is_boolean()) Fail(n, what + " must be true or false, not " + TypeName(n));
        return n.as_boolean()->get();
    }
    std::vector<std::string> TextList(const toml::node& n, const std::string& what) const {
        std::vector<std::string> out;
        for (const toml::node& item : Array(n, what)) out.push_back(Text(item, "each item of " + what));
        return out;
    }
    // A file or folder named relative to the scenario.
    fs::path Resolve(const toml::node& n, const std::string& what) const {
        fs::path p = fs::path(Utf8(n, what));
        return p.is_absolute() ? p : folder_ / p;
    }

    // A DIF code or a result: a SetupAPI/Win32 name or a number.
    uint32_t DifCode(const toml::node& n) const {
        if (n.is_integer()) return U32(n, "code");
        std::string name = Utf8(n, "code");
        std::optional<uint32_t> code = DifCodeByName(name);
        if (!code) Fail(n, "unknown DIF code name '" + name + "' (write a number for codes without a name)");
        return *code;
    }
    // An HRESULT: a number, or one of the few names scenarios use.
    uint32_t HResult(const toml::node& n, const std::string& what) const {
        if (n.is_integer()) return U32(n, what);
        std::string name = Utf8(n, what);
        static const std::pair<const char*, uint32_t> kNames[] = {
            {"S_OK", 0x00000000u},          {"S_FALSE", 0x00000001u},
            {"E_NOTIMPL", 0x80004001u},     {"E_NOINTERFACE", 0x80004002u},
            {"E_FAIL", 0x80004005u},        {"E_ACCESSDENIED", 0x80070005u},
            {"E_OUTOFMEMORY", 0x8007000Eu}, {"E_INVALIDARG", 0x80070057u},
            {"REGDB_E_CLASSNOTREG", 0x80040154u}, {"CO_E_SERVER_EXEC_FAILURE", 0x80080005u},
        };
        for (const auto& [known, value] : kNames)
            if (name == known) return value;
        Fail(n, "unknown HRESULT name '" + name + "' in " + what + " (write a number such as 0x80004005 instead)");
    }
    // A GUID text in braces, kept in upper case.
    std::string GuidText(const toml::node& n, const std::string& what) const {
        std::string text = Utf8(n, what);
        if (!plat::text::IsGuidText(text))
            Fail(n, what + " must be a GUID in braces, such as \"{A28BBADE-64B6-11D2-A231-00C04FA31809}\"");
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    }
    uint32_t Result(const toml::node& n, const std::string& what) const {
        if (n.is_integer()) return U32(n, what);
        std::string name = Utf8(n, what);
        std::optional<uint32_t> value = ResultByName(name);
        if (!value) Fail(n, "unknown result name '" + name + "' in " + what + " (write a number instead)");
        return *value;
    }

    // A registry value's data: "text" (REG_SZ), a number (REG_DWORD), ["a", "b"] (REG_MULTI_SZ), or
    // { type = "REG_EXPAND_SZ", text = "..." } / { type = ..., items = [...] } /
    // { type = ..., number = n } / { type = ..., hex = "01,02" } for any type and exact bytes.
    RegistryValue Data(const toml::node& n, const std::string& what) const {
        RegistryValue v;
        if (n.is_string()) {
            std::string t = Text(n, what);
            v.type = kRegSz;
            v.data.assign(t.begin(), t.end());
            v.data.push_back(0);
            return v;
        }
        if (n.is_integer()) {
            v.type = kRegDword;
            AppendNumber(v.data, U32(n, what), 4);
            return v;
        }
        if (n.is_array()) {
            v.type = kRegMultiSz;
            v.data = MultiSz(TextList(n, what));
            return v;
        }
        if (!n.is_table()) Fail(n, what + " must be a string, an integer, an array of strings or a table, not " +
                                       TypeName(n));
        const toml::table& t = *n.as_table();
        CheckKeys(t, {"type", "text", "items", "number", "hex"}, what);
        const toml::node* type = t.get("type");
        if (!type) Fail(n, what + " needs a type (\"REG_SZ\", \"REG_EXPAND_SZ\", ... or a number)");
        v.type = TypeNumber(*type);
        int given = 0;
        for (const char* k : {"text", "items", "number", "hex"}) given += t.contains(k) ? 1 : 0;
        if (given != 1) Fail(n, what + " needs exactly one of text, items, number or hex");
        if (const toml::node* text = t.get("text")) {
            std::string s = Text(*text, what + ".text");
            v.data.assign(s.begin(), s.end());
            v.data.push_back(0);
        } else if (const toml::node* items = t.get("items")) {
            v.data = MultiSz(TextList(*items, what + ".items"));
        } else if (const toml::node* number = t.get("number")) {
            if (v.type == kRegQword) {
                AppendNumber(v.data, Number(*number, what + ".number", 0x7FFFFFFFFFFFFFFFull), 8);
            } else {
                AppendNumber(v.data, U32(*number, what + ".number"), 4);
            }
        } else {
            v.data = HexBytes(*t.get("hex"), what + ".hex");
        }
        return v;
    }

private:
    static void AppendNumber(std::vector<uint8_t>& out, uint64_t n, int bytes) {
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(n >> (8 * i)));
    }
    static std::vector<uint8_t> MultiSz(const std::vector<std::string>& items) {
        const std::string bytes = plat::text::PackMultiSz(items);
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    }
    uint32_t TypeNumber(const toml::node& n) const {
        if (n.is_integer()) return U32(n, "type");
        std::string name = Utf8(n, "type");
        for (uint32_t t = 0; t <= 11; ++t)
            if (RegTypeName(t) == name) return t;
        Fail(n, "unknown registry type '" + name + "' (REG_SZ, REG_EXPAND_SZ, REG_BINARY, REG_DWORD, REG_MULTI_SZ, "
                                                   "REG_QWORD, ... or a number)");
    }
    std::vector<uint8_t> HexBytes(const toml::node& n, const std::string& what) const {
        std::string text = Utf8(n, what);
        std::vector<uint8_t> out;
        int digits = 0, value = 0;
        auto flush = [&]() {
            if (digits) out.push_back(static_cast<uint8_t>(value));
            digits = value = 0;
        };
        for (char c : text) {
            int d = (c >= '0' && c <= '9') ? c - '0'
                    : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                    : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                             : -1;
            if (d >= 0) {
                if (++digits > 2) Fail(n, what + ": hex bytes have at most two digits (separate them with commas)");
                value = value * 16 + d;
            } else if (c == ',' || c == ' ') {
                flush();
            } else {
                Fail(n, what + ": '" + std::string(1, c) + "' is not a hex digit");
            }
        }
        flush();
        return out;
    }

    std::string file_;
    fs::path folder_;
};

OsVersionSetup ReadOs(const Reader& r, const toml::table& t) {
    r.CheckKeys(t, {"major", "minor", "build", "platform_id", "service_pack", "product_type"}, "[machine.os]");
    OsVersionSetup os;
    if (auto* n = t.get("major")) os.major = r.U32(*n, "major");
    if (auto* n = t.get("minor")) os.minor = r.U32(*n, "minor");
    if (auto* n = t.get("build")) os.build = r.U32(*n, "build");
    if (auto* n = t.get("platform_id")) {
        os.platform_id = r.U32(*n, "platform_id");
        if (os.platform_id > 2) r.Fail(*n, "platform_id must be 0 (Win32s), 1 (Windows 9x family) or 2 (NT family)");
    }
    if (auto* n = t.get("service_pack")) {
        os.service_pack = r.Text(*n, "service_pack");
        if (os.service_pack.size() > 127) r.Fail(*n, "service_pack is longer than the 127 characters Windows holds");
    }
    if (auto* n = t.get("product_type")) {
        os.product_type = r.U32(*n, "product_type");
        if (os.product_type < 1 || os.product_type > 3)
            r.Fail(*n, "product_type must be 1 (workstation), 2 (domain controller) or 3 (server)");
    }
    return os;
}

DriveSetup ReadDrive(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "each [[machine.drives]]");
    r.CheckKeys(t, {"letter", "type", "label", "serial", "folder"}, "[[machine.drives]]");
    DriveSetup d;
    d.line = Reader::Line(node);
    const toml::node& letter = r.Required(t, node, "letter", "a drive needs its letter");
    std::string l = r.Utf8(letter, "letter");
    if (!l.empty() && l.back() == ':') l.pop_back();
    if (l.size() != 1 || !std::isalpha(static_cast<unsigned char>(l[0])))
        r.Fail(letter, "letter must be one drive letter such as \"D\"");
    d.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(l[0])));
    if (auto* n = t.get("type")) {
        std::string type = r.Utf8(*n, "type");
        if (type == "removable") d.type = kDriveRemovable;
        else if (type == "fixed") d.type = kDriveFixed;
        else if (type == "remote") d.type = kDriveRemote;
        else if (type == "cdrom") d.type = kDriveCdrom;
        else if (type == "ramdisk") d.type = kDriveRamdisk;
        else r.Fail(*n, "unknown drive type '" + type + "' (removable, fixed, remote, cdrom or ramdisk)");
    }
    if (auto* n = t.get("label")) d.label = r.Text(*n, "label");
    if (auto* n = t.get("serial")) d.serial = r.U32(*n, "serial");
    if (auto* n = t.get("folder")) {
        d.folder = r.Resolve(*n, "folder");
        std::error_code ec;
        if (!fs::is_directory(d.folder, ec))
            r.Fail(*n, "cannot read drive " + std::string(1, d.letter) + ": folder " + d.folder.string() +
                           ": no such directory");
    }
    return d;
}

std::vector<RegistryValue> ReadValues(const Reader& r, const toml::node& node, const std::string& what) {
    std::vector<RegistryValue> values;
    for (const Entry& entry : InFileOrder(r.Table(node, what))) {
        const toml::key& key = *entry.key;
        const toml::node& value = *entry.node;
        std::optional<std::string> name = Utf8ToAnsi(key.str());
        if (!name) r.Fail(value, "value name '" + std::string(key.str()) + "' cannot be held in the ANSI code page");
        RegistryValue v = r.Data(value, what + "." + std::string(key.str()));
        v.name = *name;
        values.push_back(std::move(v));
    }
    return values;
}

DeviceSetup ReadDevice(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "each [[machine.devices]]");
    r.CheckKeys(t,
                {"instance_id", "description", "manufacturer", "hardware_ids", "class_guid", "class",
                 "driver_instance", "hardware_key", "present", "install_flags", "install_flags_ex",
                 "hardware_key_values", "driver_key_values", "selected_driver", "description_unreadable"},
                "[[machine.devices]]");
    DeviceSetup d;
    d.line = Reader::Line(node);
    const toml::node& id = r.Required(t, node, "instance_id", "a device needs its instance_id");
    d.instance_id = r.Text(id, "instance_id");
    if (d.instance_id.empty() || d.instance_id.size() > 199)
        r.Fail(id, "instance_id must have 1 to 199 characters");
    if (auto* n = t.get("description")) d.description = r.Text(*n, "description");
    if (auto* n = t.get("manufacturer")) d.manufacturer = r.Text(*n, "manufacturer");
    if (auto* n = t.get("hardware_ids")) d.hardware_ids = r.TextList(*n, "hardware_ids");
    if (auto* n = t.get("class_guid")) {
        d.class_guid = r.Text(*n, "class_guid");
        if (!plat::text::IsGuidText(d.class_guid))
            r.Fail(*n, "class_guid must be a GUID in braces, such as \"" + std::string(plat::text::kImageClassGuid) +
                           "\"");
    }
    if (auto* n = t.get("class")) d.class_name = r.Text(*n, "class");
    if (auto* n = t.get("driver_instance")) {
        d.driver_instance = r.Text(*n, "driver_instance");
        if (d.driver_instance.find('\\') != std::string::npos)
            r.Fail(*n, "driver_instance is the number below the class key, such as \"0000\", without a backslash");
    }
    if (auto* n = t.get("hardware_key")) d.hardware_key = r.Bool(*n, "hardware_key");
    if (auto* n = t.get("present")) d.present = r.Bool(*n, "present");
    if (auto* n = t.get("install_flags")) d.install_flags = r.U32(*n, "install_flags");
    if (auto* n = t.get("install_flags_ex")) d.install_flags_ex = r.U32(*n, "install_flags_ex");
    if (auto* n = t.get("hardware_key_values")) {
        if (!d.hardware_key) r.Fail(*n, "hardware_key_values given, but hardware_key = false says the key does not exist");
        d.hardware_key_values = ReadValues(r, *n, "hardware_key_values");
    }
    if (auto* n = t.get("driver_key_values")) {
        if (d.driver_instance.empty()) r.Fail(*n, "driver_key_values given, but no driver_instance names the driver key");
        d.driver_key_values = ReadValues(r, *n, "driver_key_values");
    }
    if (auto* n = t.get("selected_driver")) {
        const toml::table& st = r.Table(*n, "selected_driver");
        r.CheckKeys(st, {"inf_file", "section", "description", "manufacturer", "provider", "hardware_id"},
                    "selected_driver");
        SelectedDriverSetup driver;
        driver.inf_file = r.Text(r.Required(st, *n, "inf_file", "a selected driver needs its inf_file"), "inf_file");
        driver.section = r.Text(r.Required(st, *n, "section", "a selected driver needs its install section"),
                                "section");
        if (auto* v = st.get("description")) driver.description = r.Text(*v, "description");
        if (auto* v = st.get("manufacturer")) driver.manufacturer = r.Text(*v, "manufacturer");
        if (auto* v = st.get("provider")) driver.provider = r.Text(*v, "provider");
        if (auto* v = st.get("hardware_id")) driver.hardware_id = r.Text(*v, "hardware_id");
        d.selected_driver = std::move(driver);
    }
    if (auto* n = t.get("description_unreadable")) d.description_unreadable = r.Bool(*n, "description_unreadable");
    return d;
}

WiaSetup ReadWia(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "[machine.wia]");
    r.CheckKeys(t, {"create_result", "event_results"}, "[machine.wia]");
    WiaSetup w;
    if (auto* n = t.get("create_result")) w.create_result = r.HResult(*n, "create_result");
    if (auto* n = t.get("event_results")) {
        for (const toml::node& item : r.Array(*n, "event_results")) {
            const toml::table& et = r.Table(item, "each [[machine.wia.event_results]]");
            r.CheckKeys(et, {"event", "result"}, "[[machine.wia.event_results]]");
            WiaEventResult e;
            e.line = Reader::Line(item);
            e.event = r.GuidText(r.Required(et, item, "event", "an event result needs its event GUID"), "event");
            e.result = r.HResult(r.Required(et, item, "result", "an event result needs its result"), "result");
            for (const WiaEventResult& other : w.event_results)
                if (other.event == e.event) r.Fail(item, "event " + e.event + " is given twice");
            w.event_results.push_back(std::move(e));
        }
    }
    return w;
}

KeyTimeSetup ReadKeyTime(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "each [[machine.key_times]]");
    r.CheckKeys(t, {"key", "time"}, "[[machine.key_times]]");
    KeyTimeSetup k;
    k.line = Reader::Line(node);
    const toml::node& key = r.Required(t, node, "key", "a key time needs its key");
    std::optional<std::string> path = CanonicalRegistryPath(r.Text(key, "key"));
    if (!path) r.Fail(key, "key must start with a root key such as HKEY_LOCAL_MACHINE or HKLM");
    k.key = *path;
    k.time = r.Number(r.Required(t, node, "time", "a key time needs its time (a FILETIME number)"), "time",
                      0x7FFFFFFFFFFFFFFFull);
    return k;
}

ServiceSetup ReadService(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "each [[machine.services]]");
    r.CheckKeys(t, {"name", "display_name", "state", "transition_ms", "refuses_stop", "never_stops"},
                "[[machine.services]]");
    ServiceSetup s;
    s.line = Reader::Line(node);
    const toml::node& name = r.Required(t, node, "name", "a service needs its name");
    s.name = r.Text(name, "name");
    if (auto* n = t.get("display_name")) s.display_name = r.Text(*n, "display_name");
    if (auto* n = t.get("state")) {
        s.state = r.Utf8(*n, "state");
        if (s.state != "stopped" && s.state != "running") r.Fail(*n, "state must be \"stopped\" or \"running\"");
    }
    if (auto* n = t.get("transition_ms")) s.transition_ms = r.U32(*n, "transition_ms");
    if (auto* n = t.get("refuses_stop")) s.refuses_stop = r.Bool(*n, "refuses_stop");
    if (auto* n = t.get("never_stops")) s.never_stops = r.Bool(*n, "never_stops");
    if (s.refuses_stop && s.never_stops)
        r.Fail(node, "a service that refuses the stop request never gets to stop pending: give refuses_stop or "
                     "never_stops, not both");
    return s;
}

WindowSetup ReadWindow(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "each [[machine.windows]]");
    r.CheckKeys(t, {"class", "title"}, "[[machine.windows]]");
    WindowSetup w;
    w.line = Reader::Line(node);
    const toml::node& cls = r.Required(t, node, "class", "a window needs its class");
    w.class_name = r.Text(cls, "class");
    if (auto* n = t.get("title")) w.title = r.Text(*n, "title");
    return w;
}

ProgramSetup ReadProgram(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "each [[machine.programs]]");
    r.CheckKeys(t, {"path", "run_time_ms", "exit_code", "never_ends"}, "[[machine.programs]]");
    ProgramSetup p;
    p.line = Reader::Line(node);
    const toml::node& path = r.Required(t, node, "path", "a program needs its path, such as 'D:\\setup.exe'");
    p.path = r.Text(path, "path");
    if (p.path.size() < 3 || p.path[1] != ':' || p.path[2] != '\\')
        r.Fail(path, "path must be a full Windows path such as 'D:\\setup.exe'");
    if (auto* n = t.get("run_time_ms")) p.run_time_ms = r.U32(*n, "run_time_ms");
    if (auto* n = t.get("exit_code")) p.exit_code = r.U32(*n, "exit_code");
    if (auto* n = t.get("never_ends")) p.never_ends = r.Bool(*n, "never_ends");
    if (p.never_ends && (t.contains("run_time_ms") || t.contains("exit_code")))
        r.Fail(node, "a program that never ends has neither a run time nor an exit code");
    return p;
}

// A scenario's file path: %WINDIR%\... or %TEMP%\...
std::string PlaceholderPathText(const Reader& r, const toml::node& n, const std::string& what,
                                bool bare_allowed = false) {
    std::string path = r.Text(n, what);
    std::string wrong = CheckPlaceholderPath(path, bare_allowed);
    if (!wrong.empty()) r.Fail(n, what + ": " + wrong);
    return path;
}

FileSetup ReadFileSetup(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "each [[machine.files]]");
    r.CheckKeys(t, {"path", "folder", "text"}, "[[machine.files]]");
    FileSetup f;
    f.line = Reader::Line(node);
    f.path = PlaceholderPathText(
        r, r.Required(t, node, "path", "a file needs its path, such as '%WINDIR%\\TWAIN_32\\tvpn_0000\\tvpn_0000.ds'"),
        "path");
    if (auto* n = t.get("folder")) f.folder = r.Bool(*n, "folder");
    if (auto* n = t.get("text")) {
        if (f.folder) r.Fail(*n, "a folder has no text");
        f.bytes = r.Text(*n, "text");
    }
    return f;
}

MachineSetup ReadMachine(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "[machine]");
    r.CheckKeys(t,
                {"os", "bits", "administrator", "tick_count_start", "registry", "drives", "devices", "services",
                 "windows", "programs", "wia", "key_times", "files"},
                "[machine]");
    MachineSetup m;
    if (auto* n = t.get("os")) m.os = ReadOs(r, r.Table(*n, "[machine.os]"));
    if (auto* n = t.get("bits")) {
        uint32_t bits = r.U32(*n, "bits");
        if (bits != 32 && bits != 64) r.Fail(*n, "bits must be 32 or 64");
        m.is_64bit = bits == 64;
    }
    if (auto* n = t.get("administrator")) m.administrator = r.Bool(*n, "administrator");
    if (auto* n = t.get("tick_count_start")) m.tick_count_start = r.U32(*n, "tick_count_start");
    if (auto* n = t.get("registry")) {
        for (const toml::node& item : r.Array(*n, "registry")) {
            fs::path file = r.Resolve(item, "each registry file");
            std::error_code ec;
            if (!fs::is_regular_file(file, ec))
                r.Fail(item, "cannot read registry file " + file.string() + ": no such file");
            m.registry.push_back(ReadRegFile(file));
        }
    }
    if (auto* n = t.get("drives")) {
        std::set<char> letters;
        for (const toml::node& item : r.Array(*n, "drives")) {
            DriveSetup d = ReadDrive(r, item);
            if (!letters.insert(d.letter).second)
                r.Fail(item, "drive " + std::string(1, d.letter) + ": is given twice");
            m.drives.push_back(std::move(d));
        }
    }
    if (auto* n = t.get("devices")) {
        for (const toml::node& item : r.Array(*n, "devices")) {
            DeviceSetup d = ReadDevice(r, item);
            for (const DeviceSetup& other : m.devices)
                if (plat::text::EqualNames(other.instance_id, d.instance_id))
                    r.Fail(item, "device " + d.instance_id + " is given twice");
            m.devices.push_back(std::move(d));
        }
    }
    if (auto* n = t.get("services")) {
        for (const toml::node& item : r.Array(*n, "services")) {
            ServiceSetup s = ReadService(r, item);
            for (const ServiceSetup& other : m.services)
                if (plat::text::EqualNames(other.name, s.name)) r.Fail(item, "service " + s.name + " is given twice");
            m.services.push_back(std::move(s));
        }
    }
    if (auto* n = t.get("windows"))
        for (const toml::node& item : r.Array(*n, "windows")) m.windows.push_back(ReadWindow(r, item));
    if (auto* n = t.get("programs")) {
        for (const toml::node& item : r.Array(*n, "programs")) {
            ProgramSetup p = ReadProgram(r, item);
            for (const ProgramSetup& other : m.programs)
                if (plat::text::EqualNames(other.path, p.path)) r.Fail(item, "program " + p.path + " is given twice");
            m.programs.push_back(std::move(p));
        }
    }
    if (auto* n = t.get("wia")) m.wia = ReadWia(r, *n);
    if (auto* n = t.get("key_times"))
        for (const toml::node& item : r.Array(*n, "key_times")) m.key_times.push_back(ReadKeyTime(r, item));
    if (auto* n = t.get("files")) {
        for (const toml::node& item : r.Array(*n, "files")) {
            FileSetup f = ReadFileSetup(r, item);
            for (const FileSetup& other : m.files) {
                if (plat::text::EqualNames(other.path, f.path)) r.Fail(item, f.path + " is given twice");
                if (!other.folder && AtOrBelow(f.path, other.path))
                    r.Fail(item, f.path + " lies below " + other.path + ", which is a file");
            }
            m.files.push_back(std::move(f));
        }
    }
    return m;
}

Step ReadStep(const Reader& r, const toml::node& node, const MachineSetup& machine) {
    const toml::table& t = r.Table(node, "each [[steps]]");
    Step s;
    s.line = Reader::Line(node);
    const toml::node& action = r.Required(t, node, "action", "a step needs its action: \"load\", \"dif\", \"install_pellion_software\" or \"unload\"");
    std::string a = r.Utf8(action, "action");
    if (a == "load" || a == "unload") {
        r.CheckKeys(t, {"action"}, "a " + a + " step");
        s.kind = a == "load" ? StepKind::Load : StepKind::Unload;
        return s;
    }
    if (a == "install_pellion_software") {
        r.CheckKeys(t, {"action", "command_line"}, "an install_pellion_software step");
        s.kind = StepKind::InstallPellionSoftware;
        if (auto* n = t.get("command_line")) s.command_line = r.Text(*n, "command_line");
        return s;
    }
    if (a != "dif")
        r.Fail(action, "unknown action '" + a + "' (load, dif, install_pellion_software or unload)");
    r.CheckKeys(t, {"action", "code", "pass", "install_result", "device", "expect_result"}, "a dif step");
    s.kind = StepKind::Dif;
    const toml::node& code = r.Required(t, node, "code", "a dif step needs its code, such as \"DIF_INSTALLDEVICE\" or 0x02");
    s.dif_code = r.DifCode(code);
    if (auto* n = t.get("pass")) {
        std::string pass = r.Utf8(*n, "pass");
        if (pass != "pre" && pass != "post") r.Fail(*n, "pass must be \"pre\" or \"post\"");
        s.post_processing = pass == "post";
    }
    if (auto* n = t.get("install_result")) s.install_result = r.Result(*n, "install_result");
    if (machine.devices.empty()) r.Fail(node, "a dif step needs a device, and [machine] has no devices");
    if (auto* n = t.get("device")) {
        std::string id = r.Text(*n, "device");
        bool found = false;
        for (size_t i = 0; i < machine.devices.size() && !found; ++i) {
            if (plat::text::EqualNames(machine.devices[i].instance_id, id)) {
                s.device = i;
                found = true;
            }
        }
        if (!found) r.Fail(*n, "no device with instance id " + id + " in [machine]");
    }
    if (auto* n = t.get("expect_result")) {
        s.expect_result = r.Result(*n, "expect_result");
        s.expect_line = Reader::Line(*n);
    }
    return s;
}

// Steps as written, with the loads and unloads the calls need: a call while the library is not
// loaded loads it first, and a library still loaded at the end is unloaded.
std::vector<Step> ReadSteps(const Reader& r, const toml::node& node, const MachineSetup& machine) {
    std::vector<Step> steps;
    bool loaded = false;
    for (const toml::node& item : r.Array(node, "steps")) {
        Step s = ReadStep(r, item, machine);
        if (s.kind == StepKind::Load) {
            if (loaded) r.Fail(item, "load while the library is already loaded (unload it first)");
            loaded = true;
        } else if (s.kind == StepKind::Unload) {
            if (!loaded) r.Fail(item, "unload while the library is not loaded");
            loaded = false;
        } else if (!loaded) {
            Step load;
            load.kind = StepKind::Load;
            load.implicit = true;
            load.line = s.line;
            steps.push_back(load);
            loaded = true;
        }
        steps.push_back(std::move(s));
    }
    if (loaded) {
        Step unload;
        unload.kind = StepKind::Unload;
        unload.implicit = true;
        unload.line = steps.empty() ? 0 : steps.back().line;
        steps.push_back(unload);
    }
    return steps;
}

Expectations ReadExpectations(const Reader& r, const toml::node& node) {
    const toml::table& t = r.Table(node, "[expect]");
    r.CheckKeys(t,
                {"registry", "programs", "events", "log", "services", "messages", "waits_forever", "wia_registrations",
                 "debug_output", "files", "net_change"},
                "[expect]");
    Expectations e;
    if (auto* n = t.get("registry")) {
        for (const toml::node& item : r.Array(*n, "expect.registry")) {
            const toml::table& rt = r.Table(item, "each [[expect.registry]]");
            r.CheckKeys(rt, {"key", "value", "present", "data"}, "[[expect.registry]]");
            RegistryExpectation x;
            x.line = Reader::Line(item);
            const toml::node& key = r.Required(rt, item, "key", "a registry expectation needs its key");
            std::optional<std::string> path = CanonicalRegistryPath(r.Text(key, "key"));
            if (!path) r.Fail(key, "key must start with a root key such as HKEY_LOCAL_MACHINE or HKLM");
            x.key = *path;
            if (auto* v = rt.get("value")) x.value = r.Text(*v, "value");
            if (auto* p = rt.get("present")) x.present = r.Bool(*p, "present");
            if (auto* d = rt.get("data")) {
                if (!x.value) r.Fail(*d, "data needs the value it belongs to (value = \"name\", \"\" for the default)");
                if (!x.present) r.Fail(*d, "data of a value expected to be absent");
                x.data = r.Data(*d, "data");
            }
            e.registry.push_back(std::move(x));
        }
    }
    if (auto* n = t.get("programs")) {
        e.programs_line = Reader::Line(*n);
        e.programs.emplace();
        for (const toml::node& item : r.Array(*n, "expect.programs")) {
            const toml::table& pt = r.Table(item, "each program expectation");
            r.CheckKeys(pt, {"command_line", "directory", "waited"}, "a program expectation");
            ProgramExpectation x;
            x.line = Reader::Line(item);
            const toml::node& cmd = r.Required(pt, item, "command_line", "a program expectation needs its command_line");
            x.command_line = r.Text(cmd, "command_line");
            if (auto* d = pt.get("directory")) x.directory = r.Text(*d, "directory");
            if (auto* w = pt.get("waited")) x.waited = r.Bool(*w, "waited");
            e.programs->push_back(std::move(x));
        }
    }
    if (auto* n = t.get("events")) {
        e.events_line = Reader::Line(*n);
        e.events = r.TextList(*n, "expect.events");
    }
    if (auto* n = t.get("services")) {
        for (const toml::node& item : r.Array(*n, "expect.services")) {
            const toml::table& st = r.Table(item, "each [[expect.services]]");
            r.CheckKeys(st, {"name", "state", "changes"}, "[[expect.services]]");
            ServiceExpectation x;
            x.line = Reader::Line(item);
            x.name = r.Text(r.Required(st, item, "name", "a service expectation needs the service's name"), "name");
            if (auto* v = st.get("state")) {
                x.state = r.Utf8(*v, "state");
                if (!ServiceStateByName(*x.state))
                    r.Fail(*v, "unknown service state '" + *x.state + "' (" + ServiceStateNames() + ")");
            }
            if (auto* c = st.get("changes")) {
                x.changes = r.TextList(*c, "changes");
                for (const std::string& change : *x.changes)
                    if (!ServiceStateByName(change))
                        r.Fail(*c, "unknown service state '" + change + "' in changes (" + ServiceStateNames() + ")");
            }
            if (!x.state && !x.changes) r.Fail(item, "a service expectation needs state, changes or both");
            e.services.push_back(std::move(x));
        }
    }
    if (auto* n = t.get("messages")) {
        e.messages_line = Reader::Line(*n);
        e.messages.emplace();
        for (const toml::node& item : r.Array(*n, "expect.messages")) {
            const toml::table& mt = r.Table(item, "each message expectation");
            r.CheckKeys(mt, {"window_class", "message", "wparam", "lparam"}, "a message expectation");
            MessageExpectation x;
            x.line = Reader::Line(item);
            x.window_class = r.Text(r.Required(mt, item, "window_class", "a message expectation needs its window_class"),
                                    "window_class");
            x.message = r.U32(r.Required(mt, item, "message", "a message expectation needs its message number"),
                              "message");
            if (auto* w = mt.get("wparam")) x.wparam = r.Number(*w, "wparam", 0x7FFFFFFFFFFFFFFFull);
            if (auto* l = mt.get("lparam")) x.lparam = r.Number(*l, "lparam", 0x7FFFFFFFFFFFFFFFull);
            e.messages->push_back(std::move(x));
        }
    }
    if (auto* n = t.get("waits_forever")) {
        e.waits_forever_line = Reader::Line(*n);
        e.waits_forever = r.Text(*n, "waits_forever");
    }
    if (auto* n = t.get("wia_registrations")) {
        e.wia_registrations_line = Reader::Line(*n);
        e.wia_registrations.emplace();
        for (const toml::node& item : r.Array(*n, "expect.wia_registrations")) {
            const toml::table& wt = r.Table(item, "each WIA registration expectation");
            r.CheckKeys(wt, {"event", "device_id", "clsid", "name", "description", "icon", "flags", "result"},
                        "a WIA registration expectation");
            WiaRegistrationExpectation x;
            x.line = Reader::Line(item);
            x.event = r.GuidText(r.Required(wt, item, "event", "a WIA registration expectation needs its event"),
                                 "event");
            if (auto* v = wt.get("device_id")) x.device_id = r.Text(*v, "device_id");
            if (auto* v = wt.get("clsid")) x.clsid = r.GuidText(*v, "clsid");
            if (auto* v = wt.get("name")) x.name = r.Text(*v, "name");
            if (auto* v = wt.get("description")) x.description = r.Text(*v, "description");
            if (auto* v = wt.get("icon")) x.icon = r.Text(*v, "icon");
            if (auto* v = wt.get("flags")) x.flags = r.U32(*v, "flags");
            if (auto* v = wt.get("result")) x.result = r.HResult(*v, "result");
            e.wia_registrations->push_back(std::move(x));
        }
    }
    if (auto* n = t.get("debug_output")) {
        e.debug_output_line = Reader::Line(*n);
        e.debug_output = r.TextList(*n, "expect.debug_output");
    }
    if (auto* n = t.get("files")) {
        for (const toml::node& item : r.Array(*n, "expect.files")) {
            const toml::table& ft = r.Table(item, "each [[expect.files]]");
            r.CheckKeys(ft, {"path", "present", "text"}, "[[expect.files]]");
            FileExpectation x;
            x.line = Reader::Line(item);
            x.path = PlaceholderPathText(r, r.Required(ft, item, "path", "a file expectation needs its path"), "path");
            if (auto* p = ft.get("present")) x.present = r.Bool(*p, "present");
            if (auto* v = ft.get("text")) {
                if (!x.present) r.Fail(*v, "text of a file expected to be absent");
                x.bytes = r.Text(*v, "text");
            }
            e.files.push_back(std::move(x));
        }
    }
    if (auto* n = t.get("net_change")) {
        const toml::table& nt = r.Table(*n, "[expect.net_change]");
        r.CheckKeys(nt, {"registry", "files"}, "[expect.net_change]");
        NetChangeExpectation x;
        x.line = Reader::Line(*n);
        if (auto* keys = nt.get("registry")) {
            x.registry_line = Reader::Line(*keys);
            for (const toml::node& item : r.Array(*keys, "expect.net_change.registry")) {
                std::optional<std::string> path = CanonicalRegistryPath(r.Text(item, "each registry key"));
                if (!path) r.Fail(item, "a key must start with a root key such as HKEY_LOCAL_MACHINE or HKLM");
                x.registry.push_back(*path);
            }
        }
        if (auto* files = nt.get("files")) {
            x.files_line = Reader::Line(*files);
            for (const toml::node& item : r.Array(*files, "expect.net_change.files"))
                x.files.push_back(PlaceholderPathText(r, item, "each file path", true));
        }
        e.net_change = std::move(x);
    }
    if (auto* n = t.get("log")) {
        for (const toml::node& item : r.Array(*n, "expect.log")) {
            const toml::table& lt = r.Table(item, "each [[expect.log]]");
            r.CheckKeys(lt, {"file", "line", "contains", "present", "count"}, "[[expect.log]]");
            LogExpectation x;
            x.line = Reader::Line(item);
            if (auto* f = lt.get("file")) x.file = r.Text(*f, "file");
            const toml::node* line = lt.get("line");
            const toml::node* contains = lt.get("contains");
            if ((line != nullptr) == (contains != nullptr))
                r.Fail(item, "a log expectation needs exactly one of line (a whole line) or contains (part of a line)");
            x.whole_line = line != nullptr;
            x.text = r.Text(line ? *line : *contains, line ? "line" : "contains");
            if (auto* p = lt.get("present")) x.present = r.Bool(*p, "present");
            if (auto* c = lt.get("count")) {
                if (lt.contains("present")) r.Fail(*c, "count and present together: count = 0 says absent");
                x.count = r.U32(*c, "count");
            }
            e.log.push_back(std::move(x));
        }
    }
    return e;
}

}  // namespace

bool Expectations::empty() const {
    if (!registry.empty() || programs || events || !log.empty() || !services.empty() || messages || waits_forever ||
        wia_registrations || debug_output || !files.empty() || net_change)
        return false;
    return true;
}

Scenario ParseScenario(std::string_view toml_text, const std::filesystem::path& file) {
    const std::string file_name = file.string();
    if (std::optional<int> line = LineOfNonAsciiOutsideStrings(toml_text))
        throw ScenarioError(file_name, *line,
                            "a character outside the ASCII range outside a string or comment (keys and values "
                            "that hold such characters are written in quotes)");
    toml::table root;
    try {
        root = toml::parse(toml_text, file_name);
    } catch (const toml::parse_error& e) {
        throw ScenarioError(file_name, static_cast<int>(e.source().begin.line), std::string(e.description()));
    }
    fs::path folder = file.parent_path();
    if (folder.empty()) folder = ".";
    Reader r(file_name, folder);
    r.CheckKeys(root, {"name", "description", "machine", "steps", "expect"}, "the scenario");

    Scenario s;
    s.file = file;
    s.name = file.filename() == "scenario.toml" && !file.parent_path().filename().empty()
                 ? file.parent_path().filename().string()
                 : file.stem().string();
    if (auto* n = root.get("name")) s.name = r.Text(*n, "name");
    if (auto* n = root.get("description")) s.description = r.Text(*n, "description");
    if (auto* n = root.get("machine")) s.machine = ReadMachine(r, *n);
    if (auto* n = root.get("steps")) s.steps = ReadSteps(r, *n, s.machine);
    if (s.steps.empty()) r.FailAt(0, "the scenario has no [[steps]]: nothing would run");
    if (auto* n = root.get("expect")) s.expect = ReadExpectations(r, *n);
    return s;
}

Scenario ReadScenario(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ScenarioError(file.string(), 0, "cannot read the scenario file: no such file or not readable");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return ParseScenario(text, file);
}

}  // namespace tvx

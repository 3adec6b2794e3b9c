// Reading and writing .reg files. Portable.
#include "tools/scenario/reg_file.h"

#include <algorithm>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/text/encoding.h"
#include "tools/scenario/names.h"
#include "tools/scenario/scenario_error.h"
#include "tools/scenario/text_codec.h"

namespace tvx {
namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The file as ANSI lines, whatever its encoding.
struct Lines {
    std::vector<std::string> text;
};

[[noreturn]] void Fail(const std::string& file, int line, const std::string& message) {
    throw ScenarioError(file, line, message);
}

Lines DecodeLines(std::string_view bytes, const std::string& file) {
    Lines lines;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        if (bytes.size() % 2 != 0) Fail(file, 0, "UTF-16 file with an odd number of bytes");
        const std::u16string units = plat::text::Utf16LeUnits(bytes.substr(2));
        size_t start = 0;
        while (start <= units.size()) {
            size_t end = units.find(u'\n', start);
            if (end == std::u16string::npos) end = units.size();
            std::optional<std::string> ansi = Utf16ToAnsi(std::u16string_view(units).substr(start, end - start));
            if (!ansi)
                Fail(file, static_cast<int>(lines.text.size()) + 1, "a character that the ANSI code page cannot hold");
            lines.text.push_back(std::move(*ansi));
            start = end + 1;
        }
        return lines;
    }
    bool utf8 = bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF";
    if (utf8) bytes.remove_prefix(3);
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view raw = bytes.substr(start, end - start);
        if (utf8) {
            std::optional<std::string> ansi = Utf8ToAnsi(raw);
            if (!ansi)
                Fail(file, static_cast<int>(lines.text.size()) + 1,
                     "not UTF-8, or a character that the ANSI code page cannot hold");
            lines.text.push_back(std::move(*ansi));
        } else {
            lines.text.emplace_back(raw);
        }
        start = end + 1;
    }
    return lines;
}

class Parser {
public:
    Parser(const std::string& file, RegFileFormat format) : file_(file), format_(format) {}

    // A quoted string starting at s[pos] == '"'; pos ends after the closing quote.
    std::string QuotedString(std::string_view s, size_t& pos, int line) {
        std::string out;
        ++pos;
        while (pos < s.size()) {
            char c = s[pos++];
            if (c == '"') return out;
            if (c == '\\') {
                if (pos >= s.size()) break;
                char next = s[pos++];
                if (next == '\\' || next == '"') {
                    out += next;
                } else if (next == 'n') {
                    out += '\n';
                } else if (next == 'r') {
                    out += '\r';
                } else {
                    Fail(file_, line,
                         std::string("unknown escape \\") + next + " in a string (write a backslash as \\\\)");
                }
                continue;
            }
            out += c;
        }
        Fail(file_, line, "string without its closing quote");
    }

    std::vector<uint8_t> HexBytes(std::string_view s, int line) {
        std::vector<uint8_t> bytes;
        size_t pos = 0;
        while (true) {
            while (pos < s.size() && IsBlank(s[pos])) ++pos;
            if (pos >= s.size()) break;
            int value = 0, digits = 0;
            while (pos < s.size() && HexDigit(s[pos]) >= 0) {
                value = value * 16 + HexDigit(s[pos++]);
                if (++digits > 2) Fail(file_, line, "hex byte with more than two digits");
            }
            if (digits == 0) Fail(file_, line, std::string("'") + s[pos] + "' in hex data: expected a hex byte");
            bytes.push_back(static_cast<uint8_t>(value));
            while (pos < s.size() && IsBlank(s[pos])) ++pos;
            if (pos >= s.size()) break;
            if (s[pos] != ',') Fail(file_, line, std::string("'") + s[pos] + "' in hex data: expected a comma");
            ++pos;
        }
        return bytes;
    }

    // String-typed data in hex: UTF-16LE in a version-5 file, ANSI bytes in a REGEDIT4 file.
    std::vector<uint8_t> StringBytesFromHex(std::vector<uint8_t> raw, int line) {
        if (format_ == RegFileFormat::Regedit4) return raw;
        if (raw.size() % 2 != 0) Fail(file_, line, "string data in hex must be UTF-16 (an even number of bytes)");
        const std::u16string units =
            plat::text::Utf16LeUnits(std::string_view(reinterpret_cast<const char*>(raw.data()), raw.size()));
        std::optional<std::string> ansi = Utf16ToAnsi(units);
        if (!ansi) Fail(file_, line, "string data with a character that the ANSI code page cannot hold");
        return std::vector<uint8_t>(ansi->begin(), ansi->end());
    }

    RegFileValue Value(std::string_view s, int line) {
        RegFileValue value;
        value.line = line;
        size_t pos = 0;
        if (s[0] == '@') {
            pos = 1;
        } else {
            value.name = QuotedString(s, pos, line);
        }
        while (pos < s.size() && IsBlank(s[pos])) ++pos;
        if (pos >= s.size() || s[pos] != '=') Fail(file_, line, "expected = after the value name");
        ++pos;
        while (pos < s.size() && IsBlank(s[pos])) ++pos;
        std::string_view data = Trim(s.substr(pos));
        if (data == "-") {
            value.remove = true;
            return value;
        }
        if (!data.empty() && data[0] == '"') {
            size_t p = 0;
            std::string text = QuotedString(data, p, line);
            if (!Trim(data.substr(p)).empty()) Fail(file_, line, "text after the closing quote");
            value.type = kRegSz;
            value.data.assign(text.begin(), text.end());
            value.data.push_back(0);
            return value;
        }
        if (data.substr(0, 6) == "dword:") {
            std::string_view digits = data.substr(6);
            if (digits.empty() || digits.size() > 8) Fail(file_, line, "dword: needs one to eight hex digits");
            uint32_t number = 0;
            for (char c : digits) {
                if (HexDigit(c) < 0) Fail(file_, line, std::string("'") + c + "' in dword: data");
                number = number * 16 + static_cast<uint32_t>(HexDigit(c));
            }
            value.type = kRegDword;
            for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<uint8_t>(number >> (8 * i)));
            return value;
        }
        if (data.substr(0, 3) == "hex") {
            size_t colon = data.find(':');
            if (colon == std::string_view::npos) Fail(file_, line, "hex data without a colon");
            std::string_view kind = data.substr(3, colon - 3);
            uint32_t type = kRegBinary;
            if (!kind.empty()) {
                if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')')
                    Fail(file_, line, "expected hex: or hex(type):");
                std::string_view digits = kind.substr(1, kind.size() - 2);
                if (digits.empty() || digits.size() > 8) Fail(file_, line, "hex(type): needs a hex type number");
                type = 0;
                for (char c : digits) {
                    if (HexDigit(c) < 0) Fail(file_, line, std::string("'") + c + "' in the type of hex(type):");
                    type = type * 16 + static_cast<uint32_t>(HexDigit(c));
                }
            }
            std::vector<uint8_t> bytes = HexBytes(data.substr(colon + 1), line);
            if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz)
                bytes = StringBytesFromHex(std::move(bytes), line);
            value.type = type;
            value.data = std::move(bytes);
            return value;
        }
        Fail(file_, line, "unknown value data: expected \"text\", dword:, hex:, hex(type): or -");
    }

private:
    const std::string& file_;
    RegFileFormat format_;
};

}  // namespace

RegFile ParseRegFile(std::string_view bytes, const std::string& file_name) {
    RegFile file;
    file.file = file_name;
    Lines lines = DecodeLines(bytes, file_name);

    size_t i = 0;
    while (i < lines.text.size() && Trim(lines.text[i]).empty()) ++i;
    if (i == lines.text.size()) Fail(file_name, 0, "empty file: expected a REGEDIT4 or version 5.00 header");
    std::string_view header = Trim(lines.text[i]);
    if (header == kHeader4) {
        file.format = RegFileFormat::Regedit4;
    } else if (header == kHeader5) {
        file.format = RegFileFormat::Version5;
    } else {
        Fail(file_name, static_cast<int>(i) + 1,
             "expected the header \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\"");
    }
    Parser parser(file_name, file.format);

    for (++i; i < lines.text.size(); ++i) {
        int line = static_cast<int>(i) + 1;
        std::string_view text = Trim(lines.text[i]);
        if (text.empty() || text[0] == ';') continue;
        if (text[0] == '[') {
            if (text.back() != ']') Fail(file_name, line, "key line without its closing ]");
            RegFileKey key;
            key.line = line;
            std::string_view inner = text.substr(1, text.size() - 2);
            if (!inner.empty() && inner[0] == '-') {
                key.remove = true;
                inner.remove_prefix(1);
            }
            std::optional<std::string> path = CanonicalRegistryPath(inner);
            // A root key holding a '/': the path was written with the wrong separator. (Below the
            // root key a '/' belongs to a key's name, as in the MIME type keys "text/html".)
            std::string with_backslashes(inner);
            std::replace(with_backslashes.begin(), with_backslashes.end(), '/', '\\');
            if (!path && inner.substr(0, inner.find('\\')).find('/') != std::string_view::npos &&
                CanonicalRegistryPath(with_backslashes))
                Fail(file_name, line,
                     "[" + std::string(inner) + "] is written with '/': registry paths separate their keys with '\\', "
                     "such as [" + with_backslashes + "]");
            if (!path)
                Fail(file_name, line,
                     "unknown root key in [" + std::string(inner) +
                         "]: expected HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS or "
                         "HKEY_CURRENT_CONFIG");
            key.path = *path;
            file.keys.push_back(std::move(key));
            continue;
        }
        if (text[0] != '"' && text[0] != '@') Fail(file_name, line, "expected a [key], a \"value\"=, @= or a ; comment");
        if (file.keys.empty()) Fail(file_name, line, "a value before the first [key]");
        if (file.keys.back().remove) Fail(file_name, line, "a value under a key that is being removed");
        // Hex data may go on over several lines, each but the last ending in a backslash.
        std::string logical(text);
        while (!logical.empty() && logical.back() == '\\' && i + 1 < lines.text.size()) {
            logical.pop_back();
            logical += Trim(lines.text[++i]);
        }
        file.keys.back().values.push_back(parser.Value(logical, line));
    }
    return file;
}

void ApplyRegFile(const RegFile& file, RegFileTarget& target) {
    for (const RegFileKey& key : file.keys) {
        if (key.remove) {
            target.RemoveTree(key.path);
            continue;
        }
        target.EnsureKey(key.path);
        for (const RegFileValue& v : key.values) {
            if (v.remove)
                target.DeleteValue(key.path, v.name);
            else
                target.SetValue(key.path, RegistryValue{v.name, v.type, v.data});
        }
    }
}

void ApplyRegFile(const RegFile& file, RegistrySnapshot& snapshot) {
    class Target : public RegFileTarget {
    public:
        explicit Target(RegistrySnapshot& snapshot) : snapshot_(snapshot) {}
        void RemoveTree(const std::string& path) override { snapshot_.RemoveTree(path); }
        void EnsureKey(const std::string& path) override { snapshot_.Ensure(path); }
        void SetValue(const std::string& path, const RegistryValue& value) override { snapshot_.SetValue(path, value); }
        void DeleteValue(const std::string& path, const std::string& name) override {
            snapshot_.DeleteValue(path, name);
        }

    private:
        RegistrySnapshot& snapshot_;
    } target(snapshot);
    ApplyRegFile(file, target);
}

RegFile ReadRegFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ScenarioError(path.string(), 0, "cannot read the .reg file: no such file or not readable");
    std::string bytes;
    try {
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure& e) {
        throw ScenarioError(path.string(), 0, "cannot read the .reg file: " + e.code().message());
    }
    return ParseRegFile(bytes, path.string());
}

std::string FormatRegName(std::string_view name) {
    if (name.empty()) return "@";
    std::string out = "\"";
    for (char c : name) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out + "\"";
}

namespace {

bool IsPlainString(const RegistryValue& v) {
    if (v.type != kRegSz || v.data.empty() || v.data.back() != 0) return false;
    for (size_t i = 0; i + 1 < v.data.size(); ++i)
        if (v.data[i] == 0) return false;
    return true;
}

std::vector<uint8_t> Utf16Bytes(const std::vector<uint8_t>& ansi) {
    const std::string bytes = plat::text::Utf16LeBytes(AnsiToUtf16(std::string(ansi.begin(), ansi.end())));
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

std::string FormatRegValue(const RegistryValue& value) {
    std::string out = FormatRegName(value.name) + "=";
    if (IsPlainString(value)) {
        out += '"';
        for (size_t i = 0; i + 1 < value.data.size(); ++i) {
            char c = static_cast<char>(value.data[i]);
            if (c == '\\' || c == '"') out += '\\';
            if (c == '\n') out += "\\n";
            else if (c == '\r') out += "\\r";
            else out += c;
        }
        return out + '"';
    }
    if (value.type == kRegDword && value.data.size() == 4) {
        uint32_t n = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                     (static_cast<uint32_t>(value.data[3]) << 24);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return out + buf;
    }
    std::vector<uint8_t> bytes = value.data;
    if (value.type == kRegSz || value.type == kRegExpandSz || value.type == kRegMultiSz) bytes = Utf16Bytes(bytes);
    char prefix[24];
    if (value.type == kRegBinary)
        std::snprintf(prefix, sizeof prefix, "hex:");
    else
        std::snprintf(prefix, sizeof prefix, "hex(%x):", value.type);
    out += prefix;
    // Long data goes on over lines continued with a backslash and two blanks, as `reg export`
    // writes it: a line is broken once it reaches 77 characters with its last comma.
    size_t column = out.size();
    for (size_t i = 0; i < bytes.size(); ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        out += hex;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column >= 77) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
    return out;
}

std::string ReadableRegData(const RegistryValue& value) {
    if (IsPlainString(value)) return "";
    auto text_of = [](const std::vector<uint8_t>& data, size_t from, size_t to) {
        std::string s(data.begin() + static_cast<long>(from), data.begin() + static_cast<long>(to));
        return "\"" + s + "\"";
    };
    if (value.type == kRegSz || value.type == kRegExpandSz) {
        size_t end = value.data.size();
        if (end && value.data[end - 1] == 0) --end;
        std::string note = RegTypeName(value.type) + " " + text_of(value.data, 0, end);
        if (value.data.empty() || value.data.back() != 0) note += " (no terminating NUL)";
        return note;
    }
    if (value.type == kRegMultiSz) {
        std::string note = "REG_MULTI_SZ";
        size_t start = 0;
        bool first = true;
        while (start < value.data.size()) {
            size_t end = start;
            while (end < value.data.size() && value.data[end] != 0) ++end;
            if (end == start) break;
            note += (first ? " " : ", ") + text_of(value.data, start, end);
            first = false;
            start = end + 1;
        }
        if (first) note += " (empty list)";
        return note;
    }
    return "";
}

std::string RegFileText(const RegistrySnapshot& snapshot) {
    std::string out = std::string(kHeader5) + "\r\n\r\n";
    for (const auto& [order, key] : snapshot.keys()) {
        out += "[" + key.path + "]\r\n";
        for (const RegistryValue& v : key.values) {
            std::string line = FormatRegValue(v);
            for (char c : line) {
                if (c == '\n') out += '\r';
                out += c;
            }
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

std::string WriteRegFile(const RegistrySnapshot& snapshot) {
    return "\xFF\xFE" + plat::text::Utf16LeBytes(AnsiToUtf16(RegFileText(snapshot)));
}

namespace {

void AppendValue(std::string& out, const RegistryValue& value) {
    std::string readable = ReadableRegData(value);
    if (!readable.empty()) out += "; " + readable + "\n";
    out += FormatRegValue(value) + "\n";
}

// A value as it was, as comment lines.
void AppendFormerValue(std::string& out, const char* what, const RegistryValue& value) {
    out += std::string("; ") + what + "; it was:\n";
    std::string text = FormatRegValue(value);
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out += ";   " + text.substr(start, end - start) + "\n";
        start = end + 1;
    }
}

}  // namespace

std::string FormatRegistryDiff(const RegistryDiff& diff) {
    std::string out;
    for (const KeyChange& key : diff.keys) {
        if (!out.empty()) out += "\n";
        switch (key.kind) {
            case KeyChange::Kind::Added:
                out += "; key added\n[" + key.path + "]\n";
                for (const RegistryValue& v : key.values) AppendValue(out, v);
                break;
            case KeyChange::Kind::Removed:
                out += "; key removed, with everything below it\n[-" + key.path + "]\n";
                break;
            case KeyChange::Kind::Changed:
                out += "; values changed\n[" + key.path + "]\n";
                for (const ValueChange& c : key.changes) {
                    if (!c.before) {
                        out += "; added\n";
                        AppendValue(out, *c.after);
                    } else if (!c.after) {
                        AppendFormerValue(out, "removed", *c.before);
                        out += FormatRegName(c.name) + "=-\n";
                    } else {
                        AppendFormerValue(out, "changed", *c.before);
                        AppendValue(out, *c.after);
                    }
                }
                break;
        }
    }
    return out;
}

}  // namespace tvx

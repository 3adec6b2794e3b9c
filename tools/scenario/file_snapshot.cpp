// Snapshots of the watched folders and their difference. Portable.
#include "tools/scenario/file_snapshot.h"

#include <fstream>
#include <iterator>
#include <system_error>

namespace tvx {
namespace fs = std::filesystem;

const std::vector<std::string>& WatchedFolders() {
    static const std::vector<std::string> folders = {std::string(kWindowsFolderName) + "\\TWAIN_32",
                                                     std::string(kTempFolderName)};
    return folders;
}

std::optional<PlaceholderPath> SplitPlaceholderPath(std::string_view path) {
    for (std::string_view placeholder : {kWindowsFolderName, kTempFolderName}) {
        if (path.size() < placeholder.size() || !plat::text::EqualNames(path.substr(0, placeholder.size()), placeholder))
            continue;
        std::string_view rest = path.substr(placeholder.size());
        if (rest.empty()) return PlaceholderPath{std::string(placeholder), ""};
        if (rest[0] != '\\') continue;
        return PlaceholderPath{std::string(placeholder), std::string(rest.substr(1))};
    }
    return std::nullopt;
}

std::string CheckPlaceholderPath(std::string_view path, bool bare_allowed) {
    std::optional<PlaceholderPath> split = SplitPlaceholderPath(path);
    if (!split) return "a file path must start with %WINDIR%\\ or %TEMP%\\, such as '%WINDIR%\\TWAIN_32\\tvpn_0000'";
    if (split->rest.empty() && bare_allowed) return "";
    if (split->rest.empty()) return "a file path needs a name after " + split->placeholder + "\\";
    size_t start = 0;
    const std::string& rest = split->rest;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        std::string_view name(rest.data() + start, end - start);
        if (name.empty()) return "a file path has an empty name (two backslashes together, or one at its end)";
        if (name == "." || name == "..") return "a file path may not hold \".\" or \"..\"";
        for (char c : name)
            if (static_cast<unsigned char>(c) < 32 || std::string_view("<>:\"/|?*").find(c) != std::string_view::npos)
                return "the name '" + std::string(name) + "' holds a character Windows does not allow in file names";
        start = end + 1;
    }
    return "";
}

bool AtOrBelow(std::string_view path, std::string_view base) {
    if (path.size() < base.size() || !plat::text::EqualNames(path.substr(0, base.size()), base)) return false;
    return path.size() == base.size() || path[base.size()] == '\\' || (!base.empty() && base.back() == '\\');
}

void SnapshotFolder(const fs::path& root, const std::string& shown_as, FileSnapshot& into) {
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return;
    for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        const fs::path relative = it->path().lexically_relative(root);
        std::string name = shown_as;
        for (const fs::path& part : relative) name += "\\" + part.string();
        FileEntry entry;
        entry.folder = it->is_directory(ec);
        if (!entry.folder) {
            std::ifstream in(it->path(), std::ios::binary);
            entry.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        into[name] = std::move(entry);
    }
}

namespace {
std::optional<uint64_t> SizeOf(const FileEntry& entry) {
    if (entry.folder) return std::nullopt;
    return entry.bytes.size();
}
}  // namespace

std::vector<FileChange> DiffFiles(const FileSnapshot& before, const FileSnapshot& after) {
    std::vector<FileChange> changes;
    auto b = before.begin();
    auto a = after.begin();
    NameLess less;
    while (b != before.end() || a != after.end()) {
        if (a == after.end() || (b != before.end() && less(b->first, a->first))) {
            changes.push_back(FileChange{FileChange::Kind::Deleted, b->first, b->second.folder, std::nullopt});
            ++b;
        } else if (b == before.end() || less(a->first, b->first)) {
            changes.push_back(FileChange{FileChange::Kind::Created, a->first, a->second.folder, SizeOf(a->second)});
            ++a;
        } else {
            if (!(a->second == b->second)) {
                changes.push_back(FileChange{FileChange::Kind::Changed, a->first, a->second.folder, SizeOf(a->second)});
            }
            ++a;
            ++b;
        }
    }
    return changes;
}

const char* FileChangeKindName(FileChange::Kind kind) {
    switch (kind) {
        case FileChange::Kind::Created: return "created";
        case FileChange::Kind::Changed: return "changed";
        case FileChange::Kind::Deleted: return "deleted";
    }
    return "?";
}

}  // namespace tvx

// The files a run may touch outside the registry, as both machines see them. Paths are written
// from a placeholder for a folder each machine has in its own place: %WINDIR% (the Windows
// directory) and %TEMP% (the temporary folder), so that the simulated machine's and Wine's paths
// compare. A report lists what changed in the watched folders below them. Portable.
#pragma once

#include <filesystem>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/text/names.h"

namespace tvx {

inline constexpr std::string_view kWindowsFolderName = "%WINDIR%";
inline constexpr std::string_view kTempFolderName = "%TEMP%";

// The folders whose changes a report lists (with everything below them): the Windows directory's
// TWAIN folder, where scanner data sources live, and the temporary folder, where the logs are.
const std::vector<std::string>& WatchedFolders();

// What is wrong with a scenario's file path; empty when it is a placeholder, a backslash and one
// or more names, none of them empty, "." or "..", nor holding a character Windows refuses in a name
// (or, with `bare_allowed`, the placeholder alone).
std::string CheckPlaceholderPath(std::string_view path, bool bare_allowed = false);

// The placeholder a path starts with ("%WINDIR%"), and the rest after its backslash.
struct PlaceholderPath {
    std::string placeholder;
    std::string rest;  // "TWAIN_32\tvpn_0000"; empty for the placeholder itself
};
std::optional<PlaceholderPath> SplitPlaceholderPath(std::string_view path);

// Whether `path` is `base` or lies below it (names compared as Windows compares them).
bool AtOrBelow(std::string_view path, std::string_view base);

struct FileEntry {
    bool folder = false;
    std::string bytes;  // a file's content
    friend bool operator==(const FileEntry&, const FileEntry&) = default;
};

struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const { return plat::text::CompareNames(a, b) < 0; }
};

// Files and folders by placeholder path, in Windows' order of names.
using FileSnapshot = std::map<std::string, FileEntry, NameLess>;

// Adds everything below the folder `root` on this machine (not the folder itself), named
// `shown_as` + "\" + its path below the root. A root that does not exist adds nothing.
void SnapshotFolder(const std::filesystem::path& root, const std::string& shown_as, FileSnapshot& into);

struct FileChange {
    enum class Kind { Created, Changed, Deleted };
    Kind kind = Kind::Created;
    std::string path;
    bool folder = false;
    std::optional<uint64_t> size;  // a created or changed file's new size in bytes
};

// What changed from one snapshot to the other, in path order.
std::vector<FileChange> DiffFiles(const FileSnapshot& before, const FileSnapshot& after);

const char* FileChangeKindName(FileChange::Kind kind);  // "created", "changed", "deleted"

}  // namespace tvx

// The driver package's INF check. It reads a Q920k driver INF with the profile reader's rules, the
// rules by which the co-installer reads the INF (plat::sim::ParseIniText), and finds what would
// make the device installer or the co-installer fail on it: a section named by the INF but not in
// it, a %token% that [Strings] does not define, a co-installer that is not registered or not
// copied, a model string that is missing, empty, too long or another model's, a source file that is
// not listed or not in the package folder, and text that the two readers read differently. Host
// tools only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvx::packaging {

struct InfProblem {
    std::string file;     // the INF's name as given to the check
    size_t line = 0;      // where, from 1; 0: the file as a whole
    std::string section;  // the section it concerns; empty: none
    std::string message;
};

// "FILE:LINE: [SECTION] MESSAGE", leaving out what the problem does not have.
std::string Describe(const InfProblem& problem);

struct InfCheckOptions {
    // When set, every file the INF lists as a source must be in this folder, where its source
    // disk and subfolder put it.
    std::optional<std::filesystem::path> package_folder;
};

// Checks INF text; file_name names it in the problems. No problems: the INF passes.
std::vector<InfProblem> CheckInfText(std::string_view text, const std::string& file_name,
                                     const InfCheckOptions& options = {});

// Checks an INF file. What is no INF to check is one problem that says why: no such file, a
// folder, a device, a file that cannot be read, an empty file.
std::vector<InfProblem> CheckInfFile(const std::filesystem::path& path, const InfCheckOptions& options = {});

// Checks a driver package folder: it exists, holds at least one INF (*.inf, any letter case), and
// every INF in it passes with the folder as its package folder.
std::vector<InfProblem> CheckPackageFolder(const std::filesystem::path& folder);

}  // namespace tvx::packaging

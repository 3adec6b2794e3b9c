// tvx-inf-check: checks driver INFs, or a whole driver package folder, with the package's INF
// check, and prints one line per problem ("FILE:LINE: [SECTION] what is wrong").
//   tvx-inf-check INF...
//   tvx-inf-check --package FOLDER
// Exit status: 0 every INF passes, 1 a problem was found (a file that cannot be read is one),
// 2 bad command line (a folder given where an INF is expected is one).
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "packaging/inf_check.h"

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: tvx-inf-check INF...\n"
                 "       tvx-inf-check --package FOLDER\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace tvx::packaging;
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage();

    std::vector<InfProblem> problems;
    std::string checked;
    if (args[0] == "--package") {
        if (args.size() != 2) return Usage();
        problems = CheckPackageFolder(args[1]);
        checked = "driver package " + args[1];
    } else {
        for (const std::string& inf : args) {
            if (inf.empty() || inf[0] == '-') return Usage();
            std::error_code ec;
            if (std::filesystem::is_directory(inf, ec)) {
                std::fprintf(stderr, "%s: is a folder, not an INF file (tvx-inf-check --package %s checks a driver "
                                     "package folder)\n",
                             inf.c_str(), inf.c_str());
                return Usage();
            }
            std::vector<InfProblem> found = CheckInfFile(inf);
            problems.insert(problems.end(), found.begin(), found.end());
        }
        checked = args.size() == 1 ? args[0] : std::to_string(args.size()) + " INF files";
    }

    for (const InfProblem& problem : problems) std::fprintf(stderr, "%s\n", Describe(problem).c_str());
    if (!problems.empty()) {
        std::fprintf(stderr, "%s: %zu problem(s) found\n", checked.c_str(), problems.size());
        return 1;
    }
    std::printf("%s: INF check passed\n", checked.c_str());
    return 0;
}

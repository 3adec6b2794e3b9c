// The logs against links planted under their names, and against other processes that hold a log
// open, on each backend: the logger combines the files family's calls (a file opened without
// following links and asked who it is, a partner renamed through its own handle) so that nothing a
// link leads to is read, written, created or deleted, and so that a log another process holds is
// still written.
// Wine shows hard links and folders; symbolic links only the simulated machine (and Windows) can
// make. Portable: the logger and plat:: only; links are planted by each backend's own means.
#include <string>

#include "core/logger.h"
#include "tests/contract/check.h"
#include "tests/contract/files_helpers.h"
#include "tests/contract/scratch_folder.h"
#include "tests/contract/world.h"

namespace {

using contract::MissingStatus;
using contract::ReadWhole;
using contract::ScratchFolder;
using contract::WriteWhole;

enum class Kind { HardLink, Folder, FileLink, LinkToNothing, FolderLink };

struct Planted {
    Kind kind;
    const char* what;
    bool symbolic;   // a symbolic link, which Wine 8 cannot make
    bool folderish;  // a folder, or a link to one: never deleted as a file
};

const Planted kPlanted[] = {
    {Kind::HardLink, "a hard link to a file", false, false},
    {Kind::Folder, "a folder", false, true},
    {Kind::FileLink, "a symbolic link to a file", true, false},
    {Kind::LinkToNothing, "a symbolic link to a missing file", true, false},
    {Kind::FolderLink, "a symbolic link to a folder", true, true},
};

// What the links lead to, in the case's scratch folder beside the logs.
struct Victims {
    explicit Victims(const ScratchFolder& folder)
        : file(folder / "victim.ini"), folder(folder / "VictimFolder"), nowhere(folder / "nowhere.ini") {
        REQUIRE(WriteWhole(file, "[victim]\r\n"));
        REQUIRE(contract::MakeEmptyFolder(this->folder));
        REQUIRE(WriteWhole(this->folder + "\\inside.ini", "inside"));
    }
    void CheckUntouched() const {
        CHECK_EQ(ReadWhole(file), "[victim]\r\n");
        CHECK_EQ(ReadWhole(folder + "\\inside.ini"), "inside");
        CHECK_EQ(MissingStatus(folder + "\\_coInst.log"), ERROR_FILE_NOT_FOUND);
        CHECK_EQ(MissingStatus(nowhere), ERROR_FILE_NOT_FOUND);
    }
    std::string file, folder, nowhere;
};

// Plants the kind at a path; false when the backend cannot make it.
bool Plant(const Planted& planted, const std::string& path, const Victims& victims) {
    switch (planted.kind) {
        case Kind::HardLink: contract::PlantHardLink(path, victims.file); return true;
        case Kind::Folder: return contract::MakeEmptyFolder(path) && WriteWhole(path + "\\inside.ini", "inside");
        case Kind::FileLink: return contract::PlantSymbolicLink(path, victims.file, false);
        case Kind::LinkToNothing: return contract::PlantSymbolicLink(path, victims.nowhere, false);
        case Kind::FolderLink: return contract::PlantSymbolicLink(path, victims.folder, true);
    }
    return false;
}

// Runs a row where the backend can plant its kind; a symbolic link on Wine is a known difference.
template <class Row>
void WherePlanted(const Planted& planted, const std::string& path, const Victims& victims, Row row) {
    if (!planted.symbolic) {
        REQUIRE(Plant(planted, path, victims));
        row();
        return;
    }
    KNOWN_DIFFERENCE(Wine, "Wine 8 makes no symbolic link: CreateSymbolicLinkA answers success without one") {
        if (CHECK(Plant(planted, path, victims))) row();
    }
}

// Whole lines, 51200 bytes: what a rotation keeps of a longer log.
std::string KeptLines() {
    std::string lines;
    for (int i = 0; lines.size() < 51200; ++i) lines += "line " + std::to_string(100000000 + i) + "\r\n";
    lines.resize(51200);
    return lines;
}

}  // namespace

// A log name that is a planted link (or a folder) gives a silent logger; what the link leads to
// stays as it was and no partner is made.
CONTRACT_CASE(Logger, ALogNameThatIsALinkGivesASilentLogger) {
    int round = 0;
    for (const char* name : {"_coInst.log", "_scan_buttons.log"}) {
        for (const Planted& planted : kPlanted) {
            CONTEXT(std::string(name) + " is " + planted.what);
            const std::string folderName = "LogLinks" + std::to_string(round++);
            ScratchFolder folder(folderName);
            const Victims victims(folder);
            WherePlanted(planted, folder / name, victims, [&] {
                {
                    CLogger log(("TvxContract." + folderName + "\\" + name).c_str());
                    CHECK(!log.IsOpen());
                    CHECK_EQ(log.Print("planted"), 0);
                }
                victims.CheckUntouched();
                CHECK_EQ(MissingStatus(RotationPartnerPath(folder / name)), ERROR_FILE_NOT_FOUND);
            });
        }
    }
}

// A partner name that is a planted link: the rotation deletes a link to a file (never what it
// leads to) and cuts the log back through a partner of its own; a folder or a link to one stays,
// so the rotation does not happen: the log stays whole and the logger silent.
CONTRACT_CASE(Logger, APartnerNameThatIsALinkNeverReachesItsTarget) {
    const std::string kept = KeptLines();
    int round = 0;
    for (const char* name : {"_coInst.log", "_scan_buttons.log"}) {
        for (const Planted& planted : kPlanted) {
            const std::string folderName = "PartnerLinks" + std::to_string(round++);
            ScratchFolder folder(folderName);
            const std::string log = folder / name;
            const std::string partner = RotationPartnerPath(log);
            CONTEXT(partner.substr(partner.rfind('\\') + 1) + " is " + planted.what);
            const Victims victims(folder);
            REQUIRE(WriteWhole(log, "X" + kept));
            WherePlanted(planted, partner, victims, [&] {
                {
                    CLogger logger(("TvxContract." + folderName + "\\" + name).c_str());
                    CHECK_EQ(logger.IsOpen(), !planted.folderish);
                }
                victims.CheckUntouched();
                const std::string after = ReadWhole(log);
                if (planted.folderish) {
                    CHECK_EQ(after.size(), kept.size() + 1);
                    CHECK(contract::IsFolder(partner));
                } else {
                    // The kept tail, then the logger's framing lines, each after a 20-byte timestamp line.
                    CHECK(after.compare(0, kept.size(), kept) == 0);
                    const std::string framing = after.substr(kept.size());
                    if (CHECK_EQ(framing.size(), 62u)) {
                        CHECK_EQ(framing.substr(20, 11), "Start Log\r\n");
                        CHECK_EQ(framing.substr(51), "End Log\r\n\r\n");
                    }
                    CHECK_EQ(MissingStatus(partner), ERROR_FILE_NOT_FOUND);
                }
            });
        }
    }
}

// Another process holds a log that is due to be cut, sharing reading and writing but not deletion
// (another copy of the library through a handle or, as older copies did, through the C runtime's
// shared "a+" stream; a log viewer): the cut copy cannot take the log's place, so the logger
// deletes it and appends to the whole log. The other process's line, written meanwhile, lands at
// the end too and nothing is overwritten.
CONTRACT_CASE(Logger, ALogHeldElsewhereIsAppendedToUncut) {
    const std::string kept = KeptLines();
    enum class Holder { Handle, Stream };
    int round = 0;
    for (const char* name : {"_coInst.log", "_scan_buttons.log"}) {
        for (Holder holder : {Holder::Handle, Holder::Stream}) {
            const std::string folderName = "HeldLog" + std::to_string(round++);
            ScratchFolder folder(folderName);
            const std::string log = folder / name;
            CONTEXT(std::string(name) + (holder == Holder::Handle ? " held through a handle" : " held in a stream"));
            REQUIRE(WriteWhole(log, "X" + kept));
            plat::ScopedStream other;
            if (holder == Holder::Handle) {
                const HANDLE file = plat::CreateFileA(log.c_str(), GENERIC_READ | GENERIC_WRITE,
                                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                      FILE_ATTRIBUTE_NORMAL, nullptr);
                REQUIRE(file != INVALID_HANDLE_VALUE);
                const int fd = plat::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND);
                REQUIRE(fd != -1);
                other.reset(plat::_fdopen(fd, "a+b"));
            } else {
                other.reset(plat::_fsopen(log.c_str(), "a+", _SH_DENYNO));
            }
            REQUIRE(other);
            {
                CLogger logger(("TvxContract." + folderName + "\\" + name).c_str());
                CHECK(logger.IsOpen());
                CHECK_EQ(plat::fwrite("other|", 1, 6, other.get()), 6u);  // no line end: "a+" is text mode
                CHECK_EQ(plat::fflush(other.get()), 0);
                CHECK_EQ(logger.Print("mine"), 4);
            }
            other.reset();
            // The whole old log, then a timestamp line (20 bytes), "Start Log", the other's text,
            // the logger's line, a timestamp line and "End Log".
            const std::string after = ReadWhole(log);
            CHECK(after.compare(0, kept.size() + 1, "X" + kept) == 0);
            const std::string written = after.size() > kept.size() ? after.substr(kept.size() + 1) : "";
            if (CHECK_EQ(written.size(), 74u)) {
                CHECK_EQ(written.substr(20, 23), "Start Log\r\nother|mine\r\n");
                CHECK_EQ(written.substr(63), "End Log\r\n\r\n");
            }
            CHECK_EQ(MissingStatus(RotationPartnerPath(log)), ERROR_FILE_NOT_FOUND);
        }
    }
}

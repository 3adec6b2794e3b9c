// A scratch folder for a contract case's files, below the temporary folder that GetTempPathA
// names: made empty when the case starts, removed with everything in it when the case ends. The
// seam has no folder calls (the logic makes no folders), so each backend makes and removes it by
// its own means (scratch_folder_sim.cpp, scratch_folder_win32.cpp); everything else a case does
// with the folder goes through plat::.
#pragma once

#include <string>

namespace contract {

class ScratchFolder {
public:
    // <temporary folder>\TvxContract.<name>; ends the case when it cannot be made.
    explicit ScratchFolder(const std::string& name);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The folder's Windows path, without a trailing backslash.
    const std::string& path() const { return path_; }
    // The Windows path of an entry of the folder.
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// What each backend provides: a fresh, empty folder at a Windows path (false when it cannot be
// made), and the removal of a folder with everything below it.
bool MakeEmptyFolder(const std::string& windows_path);
void RemoveFolderTree(const std::string& windows_path);

}  // namespace contract

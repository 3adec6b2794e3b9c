// Scratch folders for contract cases: where they go. Portable: written against plat:: only.
#include "tests/contract/scratch_folder.h"

#include "platform/files.h"
#include "tests/contract/check.h"

namespace contract {

ScratchFolder::ScratchFolder(const std::string& name) {
    char temp[MAX_PATH + 1] = {};
    const DWORD length = plat::GetTempPathA(sizeof temp, temp);
    REQUIRE(length > 0 && length < sizeof temp);
    path_ = std::string(temp, length) + "TvxContract." + name;
    if (!MakeEmptyFolder(path_)) {
        ReportFailure(__FILE__, __LINE__, "cannot make scratch folder " + path_);
        throw CaseAborted{};
    }
}

ScratchFolder::~ScratchFolder() { RemoveFolderTree(path_); }

}  // namespace contract

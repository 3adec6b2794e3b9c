// The device installer's contract for the calls that need no device: the class keys. Checked on the
// simulated machine and on Windows (Wine) alike. Portable: written against plat:: only.
#include <string>

#include "platform/registry.h"
#include "platform/setupapi.h"
#include "platform/system.h"
#include "platform/text/guid.h"
#include "tests/contract/check.h"

namespace {

HKEY const kInvalidKey = reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE);

CONTRACT_CASE(SetupApi, ClassRegKeyOpensTheClassKeyOrTheKeyOfAllClasses) {
    GUID image{};
    REQUIRE(plat::text::ParseGuid(plat::text::kImageClassGuid, &image));
    plat::SetLastError(0xDEADBEEF);
    HKEY key = plat::SetupDiOpenClassRegKey(&image, KEY_READ);
    REQUIRE(key != kInvalidKey);
    CHECK(key != nullptr);
    CHECK_EQ(plat::GetLastError(), 0xDEADBEEFu);  // success leaves the last error alone
    HKEY events = nullptr;
    CHECK_EQ(plat::RegOpenKeyExA(key, "", 0, KEY_READ, &events), ERROR_SUCCESS);
    if (events) plat::RegCloseKey(events);
    CHECK_EQ(plat::RegCloseKey(key), ERROR_SUCCESS);

    // Without a class: the key that holds every class, the imaging class among its subkeys.
    HKEY all = plat::SetupDiOpenClassRegKey(nullptr, KEY_READ);
    REQUIRE(all != kInvalidKey);
    HKEY sub = nullptr;
    CHECK_EQ(plat::RegOpenKeyExA(all, plat::text::kImageClassGuid, 0, KEY_READ, &sub), ERROR_SUCCESS);
    if (sub) plat::RegCloseKey(sub);
    plat::RegCloseKey(all);

    GUID missing = image;
    missing.Data1 ^= 0x00FF00FF;
    CHECK(plat::SetupDiOpenClassRegKey(&missing, KEY_READ) == kInvalidKey);
    CHECK_EQ(plat::GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
}

}  // namespace

// The device installer's contract for the calls that need no device: the class keys. Checked on the
// simulated machine and on Windows (Wine) alike. Portable: written against plat:: only.
#include <cstring>
#include <string>

#include "platform/registry.h"
#include "platform/setupapi.h"
#include "platform/system.h"
#include "platform/text/guid.h"
#include "tests/contract/check.h"
#include "tests/contract/world.h"

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

// A device's instance ID: a buffer too small gets 122 and the size needed, terminator included;
// one that fits gets the ID, with at least one backslash. The manufacturer property is a
// terminated text, or, where a device has none, fails with 13. An invalid set fails with 6.
CONTRACT_CASE(SetupApi, DeviceInstanceIdAndManufacturer) {
    contract::EnsurePresentDevice();
    HDEVINFO set = plat::SetupDiGetClassDevsA(nullptr, nullptr, nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    REQUIRE(set != INVALID_HANDLE_VALUE);
    SP_DEVINFO_DATA data{};
    data.cbSize = sizeof data;
    const bool found = plat::SetupDiEnumDeviceInfo(set, 0, &data) != FALSE;
    CHECK(found);
    if (found) {
        DWORD required = 0;
        char small[2] = {'x', 'x'};
        plat::SetLastError(0);
        CHECK_EQ(plat::SetupDiGetDeviceInstanceIdA(set, &data, small, sizeof small, &required), FALSE);
        CHECK_EQ(plat::GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        CHECK(required > 2);

        char id[MAX_PATH + 1] = {0};
        DWORD again = 0;
        CHECK_EQ(plat::SetupDiGetDeviceInstanceIdA(set, &data, id, MAX_PATH, &again), TRUE);
        CHECK_EQ(std::strlen(id) + 1, size_t(required));
        CHECK(std::strchr(id, '\\') != nullptr);

        char mfg[MAX_PATH + 1] = {0};
        plat::SetLastError(0);
        if (plat::SetupDiGetDeviceRegistryPropertyA(set, &data, SPDRP_MFG, nullptr, reinterpret_cast<BYTE*>(mfg),
                                                    MAX_PATH, nullptr)) {
            CHECK(std::strlen(mfg) < MAX_PATH);
        } else {
            CHECK_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_DATA));
        }
    }
    plat::SetupDiDestroyDeviceInfoList(set);

    char id[MAX_PATH];
    plat::SetLastError(0);
    CHECK_EQ(plat::SetupDiGetDeviceInstanceIdA(INVALID_HANDLE_VALUE, &data, id, sizeof id, nullptr), FALSE);
    CHECK_EQ(plat::GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

}  // namespace

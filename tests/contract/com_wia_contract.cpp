// The contract of COM and the WIA device manager: GUID texts, COM strings, the calling thread's
// apartment and the creation of the WIA device manager, checked on the simulated machine and on
// Windows (Wine) alike. Every case leaves the thread's COM state as it
// found it. Portable: written against plat:: only.
#include <cstring>
#include <string>

#include "platform/com_wia.h"
#include "platform/text/guid.h"
#include "tests/contract/check.h"

namespace {

// A wide text from an ASCII literal (wide literals differ in width between the two builds).
std::u16string Wide(const char* ascii) {
    std::u16string out;
    for (const char* p = ascii; *p; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
    return out;
}

const WCHAR* Units(const std::u16string& text) { return reinterpret_cast<const WCHAR*>(text.c_str()); }

constexpr const char* kWizard = "{D13E3F25-1688-45A0-9743-759EB35CDF9A}";

CONTRACT_CASE(ComWia, ClsidFromStringNeedsBracesAndWholeFields) {
    // What a refused text leaves in the GUID: the fields read before the fault, the rest as they
    // were (here 0xCC), or all zero for a text without an opening brace.
    struct Case {
        const char* text;
        HRESULT result;
        const char* guid;
    } cases[] = {
        {"{D13E3F25-1688-45A0-9743-759EB35CDF9A}", S_OK, kWizard},
        {"{d13e3f25-1688-45a0-9743-759eb35cdf9a}", S_OK, kWizard},
        {"D13E3F25-1688-45A0-9743-759EB35CDF9A", CO_E_CLASSSTRING, "{00000000-0000-0000-0000-000000000000}"},
        {"", CO_E_CLASSSTRING, "{00000000-0000-0000-0000-000000000000}"},
        {" {D13E3F25-1688-45A0-9743-759EB35CDF9A}", CO_E_CLASSSTRING, "{00000000-0000-0000-0000-000000000000}"},
        {"NoSuchProgramIdentifier", CO_E_CLASSSTRING, "{00000000-0000-0000-0000-000000000000}"},
        {"{D13E3F25-1688-45A0-9743-759EB35CDF9A", CO_E_CLASSSTRING, kWizard},
        {"{D13E3F25-1688-45A0-9743-759EB35CDF9A}x", CO_E_CLASSSTRING, kWizard},
        {"{D13E3F25-1688-45A0-9743-759EB35CDF9A} ", CO_E_CLASSSTRING, kWizard},
        {"{D13E3F25-1688-45A0-9743-759EB35CDF9G}", CO_E_CLASSSTRING, "{D13E3F25-1688-45A0-9743-759EB35CDFCC}"},
        {"{D13E3F25-1688-45A0-9743-759EB35CDF9}", CO_E_CLASSSTRING, "{D13E3F25-1688-45A0-9743-759EB35CDFCC}"},
        {"{D13E3F25+1688-45A0-9743-759EB35CDF9A}", CO_E_CLASSSTRING, "{D13E3F25-CCCC-CCCC-CCCC-CCCCCCCCCCCC}"},
        {"{D13E3F2-51688-45A0-9743-759EB35CDF9A}", CO_E_CLASSSTRING, "{0D13E3F2-CCCC-CCCC-CCCC-CCCCCCCCCCCC}"},
        {"{}", CO_E_CLASSSTRING, "{00000000-CCCC-CCCC-CCCC-CCCCCCCCCCCC}"},
    };
    for (const Case& c : cases) {
        CONTEXT(std::string("text \"") + c.text + "\"");
        GUID guid;
        std::memset(&guid, 0xCC, sizeof guid);
        std::u16string text = Wide(c.text);
        CHECK_EQ(plat::CLSIDFromString(Units(text), &guid), c.result);
        CHECK_EQ(plat::text::FormatGuid(guid), c.guid);
    }

    GUID guid;
    std::memset(&guid, 0xCC, sizeof guid);
    CHECK_EQ(plat::CLSIDFromString(nullptr, &guid), S_OK);
    CHECK_EQ(plat::text::FormatGuid(guid), "{00000000-0000-0000-0000-000000000000}");
    std::u16string wizard = Wide(kWizard);
    CHECK_EQ(plat::CLSIDFromString(Units(wizard), nullptr), E_INVALIDARG);
}

CONTRACT_CASE(ComWia, SysAllocStringCopiesWithLengthPrefix) {
    std::u16string abc = Wide("abc");
    BSTR copy = plat::SysAllocString(Units(abc));
    REQUIRE(copy != nullptr);
    CHECK(static_cast<const void*>(copy) != static_cast<const void*>(abc.c_str()));
    CHECK(std::u16string(reinterpret_cast<const char16_t*>(copy)) == abc);
    uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const BYTE*>(copy) - sizeof prefix, sizeof prefix);
    CHECK_EQ(prefix, 6u);  // the length in bytes, without the terminator
    plat::SysFreeString(copy);

    const WCHAR empty[1] = {0};
    BSTR none = plat::SysAllocString(empty);
    CHECK(none != nullptr);
    if (none) CHECK_EQ(static_cast<int>(none[0]), 0);
    plat::SysFreeString(none);

    CHECK(plat::SysAllocString(nullptr) == nullptr);
    plat::SysFreeString(nullptr);
}

CONTRACT_CASE(ComWia, ApartmentsCountAndRefuseAnotherMode) {
    CHECK_EQ(plat::CoInitialize(nullptr), S_OK);
    CHECK_EQ(plat::CoInitialize(nullptr), S_FALSE);
    CHECK_EQ(plat::CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CHECK_EQ(plat::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_FALSE);
    plat::CoUninitialize();
    plat::CoUninitialize();
    plat::CoUninitialize();  // the refused call is not counted: three make up for the three that counted

    CHECK_EQ(plat::CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CHECK_EQ(plat::CoInitialize(nullptr), RPC_E_CHANGED_MODE);
    plat::CoUninitialize();

    CHECK_EQ(plat::CoInitialize(nullptr), S_OK);  // the thread had left COM entirely
    plat::CoUninitialize();
}

IWiaDevMgr* Create(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, HRESULT* hr) {
    IWiaDevMgr* manager = reinterpret_cast<IWiaDevMgr*>(static_cast<uintptr_t>(0x5EB7));
    *hr = plat::CoCreateInstance(clsid, outer, context, iid, reinterpret_cast<void**>(&manager));
    return manager;
}

CONTRACT_CASE(ComWia, WiaDeviceManagerIsALocalServerCreatedInsideCom) {
    HRESULT hr;
    CHECK(Create(CLSID_WiaDevMgr, nullptr, CLSCTX_ALL, IID_IWiaDevMgr, &hr) == nullptr);
    CHECK_EQ(hr, CO_E_NOTINITIALIZED);

    REQUIRE_EQ(plat::CoInitialize(nullptr), S_OK);
    const GUID other = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    struct Refusal {
        const char* what;
        const GUID* clsid;
        LPUNKNOWN outer;
        DWORD context;
        const GUID* iid;
        HRESULT result;
    } refusals[] = {
        {"in-process only", &CLSID_WiaDevMgr, nullptr, CLSCTX_INPROC_SERVER, &IID_IWiaDevMgr, REGDB_E_CLASSNOTREG},
        {"aggregated", &CLSID_WiaDevMgr, reinterpret_cast<LPUNKNOWN>(static_cast<uintptr_t>(0x1234)), CLSCTX_ALL,
         &IID_IWiaDevMgr, CLASS_E_NOAGGREGATION},
        {"unregistered class", &other, nullptr, CLSCTX_ALL, &IID_IWiaDevMgr, REGDB_E_CLASSNOTREG},
        {"interface it lacks", &CLSID_WiaDevMgr, nullptr, CLSCTX_ALL, &other, E_NOINTERFACE},
    };
    for (const Refusal& r : refusals) {
        CONTEXT(r.what);
        CHECK(Create(*r.clsid, r.outer, r.context, *r.iid, &hr) == nullptr);
        CHECK_EQ(hr, r.result);
    }
    CHECK_EQ(plat::CoCreateInstance(CLSID_WiaDevMgr, nullptr, CLSCTX_ALL, IID_IWiaDevMgr, nullptr), E_POINTER);

    IWiaDevMgr* manager = Create(CLSID_WiaDevMgr, nullptr, CLSCTX_ALL, IID_IWiaDevMgr, &hr);
    CHECK_EQ(hr, S_OK);
    if (SUCCEEDED(hr) && manager) {
        // Registering a handler for an event: the simulated manager records it and succeeds.
        std::u16string text = Wide("Contract");
        BSTR name = plat::SysAllocString(Units(text));
        GUID event{}, handler{};
        plat::text::ParseGuid("{A28BBADE-64B6-11D2-A231-00C04FA31809}", &event);
        plat::text::ParseGuid(kWizard, &handler);
        HRESULT registered = plat::WiaDevMgr_RegisterEventCallbackCLSID(
            manager, WIA_UNREGISTER_EVENT_CALLBACK, nullptr, &event, &handler, name, name, name);
        KNOWN_DIFFERENCE(Wine, "Wine's WIA device manager does not implement RegisterEventCallbackCLSID (E_NOTIMPL)") {
            CHECK_EQ(registered, S_OK);
        }
        plat::SysFreeString(name);
        CHECK_EQ(plat::WiaDevMgr_Release(manager), 0u);
    }
    plat::CoUninitialize();
}

}  // namespace

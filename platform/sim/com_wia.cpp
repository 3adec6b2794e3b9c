// COM, COM strings and the WIA device manager on the simulated machine. Simulated machine only.
#include "platform/sim/com_wia.h"

#include <cstring>
#include <memory>

#include "platform/host/call_layer.h"
#include "platform/text/ansi.h"
#include "platform/sim/setupapi.h"

namespace plat::sim {
namespace {

constexpr IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A use of COM that Windows punishes with a crash or a corrupt heap (a released object, a string
// that is no BSTR): recorded loudly, so that a test sees it, and answered without harm.
void Misuse(const std::string& what) { plat::host::Layer().NoteNotModelled(what.c_str()); }

int HexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// Reads `digits` hex digits at text[at] into *field, shifting each in as it goes.
template <class T>
bool ReadHexField(std::u16string_view text, size_t at, int digits, T* field) {
    *field = 0;
    for (int i = 0; i < digits; ++i) {
        int d = at + i < text.size() ? HexDigit(text[at + i]) : -1;
        if (d < 0) return false;
        *field = static_cast<T>((*field << 4) | d);
    }
    return true;
}

std::u16string WideText(const char16_t* s) {
    std::u16string out;
    if (s)
        while (*s) out += *s++;
    return out;
}

std::string GuidArgument(const GUID* guid) { return guid ? text::FormatGuid(*guid) : "NULL"; }

}  // namespace

// A BSTR's block: a 4-byte length in bytes before the characters, a NUL after them.
struct ComString {
    std::vector<char16_t> units;
    BSTR text() { return units.data() + 2; }
};

struct SimComWia::DeviceManager {
    ULONG references = 1;
};

bool ParseBracedGuid(std::u16string_view text, GUID* g) {
    auto at = [&](size_t i) -> char16_t { return i < text.size() ? text[i] : u'\0'; };
    if (at(0) != u'{') return false;
    if (!ReadHexField(text, 1, 8, &g->Data1) || at(9) != u'-') return false;
    if (!ReadHexField(text, 10, 4, &g->Data2) || at(14) != u'-') return false;
    if (!ReadHexField(text, 15, 4, &g->Data3) || at(19) != u'-') return false;
    size_t pos = 20;
    for (int i = 0; i < 8; ++i) {
        if (i == 2) {
            if (at(pos) != u'-') return false;
            ++pos;
        }
        BYTE byte = 0;
        if (!ReadHexField(text, pos, 2, &byte)) return false;
        g->Data4[i] = byte;
        pos += 2;
    }
    return at(37) == u'}' && text.size() == 38;
}

SimComWia::SimComWia(HandleTable& handles, SimRegistry& registry) : handles_(handles), registry_(registry) {}

void SimComWia::SetThreadApartment(Apartment mode, unsigned count) {
    apartment_ = count ? mode : Apartment::None;
    apartment_count_ = mode == Apartment::None ? 0 : count;
    set_up_count_ = apartment_count_;
}

void SimComWia::SetRegistrationResult(const GUID& event, HRESULT result) {
    for (auto& [guid, hr] : registration_results_) {
        if (IsEqualGUID(guid, event)) {
            hr = result;
            return;
        }
    }
    registration_results_.emplace_back(event, result);
}

HRESULT SimComWia::CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

HRESULT SimComWia::CoInitializeEx(LPVOID, DWORD dwCoInit) {
    // The reserved argument is not looked at (Wine ignores it as well).
    Apartment wanted = (dwCoInit & COINIT_APARTMENTTHREADED) ? Apartment::SingleThreaded : Apartment::MultiThreaded;
    if (apartment_ != Apartment::None && apartment_ != wanted) return RPC_E_CHANGED_MODE;
    apartment_ = wanted;
    return ++apartment_count_ == 1 ? S_OK : S_FALSE;
}

void SimComWia::CoUninitialize() {
    // One more CoUninitialize than initialisations is ignored, as on Windows.
    if (apartment_count_ == 0) return;
    if (--apartment_count_ == 0) apartment_ = Apartment::None;
}

HRESULT SimComWia::CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                                    LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (apartment_ == Apartment::None) return CO_E_NOTINITIALIZED;
    if (pUnkOuter) return CLASS_E_NOAGGREGATION;
    // The WIA device manager is served by the still-image service: a local server only.
    if (!IsEqualGUID(rclsid, CLSID_WiaDevMgr) || !(dwClsContext & CLSCTX_LOCAL_SERVER)) return REGDB_E_CLASSNOTREG;
    if (FAILED(create_result_)) return create_result_;
    if (!IsEqualGUID(riid, IID_IWiaDevMgr) && !IsEqualGUID(riid, kIidUnknown)) return E_NOINTERFACE;
    auto object = std::make_shared<DeviceManager>();
    auto value = reinterpret_cast<uintptr_t>(object.get());
    handles_.AddAt(value, HandleKind::ComObject, object, "WIA device manager");
    *ppv = object.get();
    return S_OK;
}

HRESULT SimComWia::CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
    if (!pclsid) return E_INVALIDARG;
    if (!lpsz) {
        *pclsid = GUID{};
        return S_OK;
    }
    std::u16string given = WideText(lpsz);
    if (!given.empty() && given[0] == u'{') return ParseBracedGuid(given, pclsid) ? S_OK : CO_E_CLASSSTRING;
    // Without a brace the text is a programmatic identifier: HKCR\<text>\CLSID names the class.
    *pclsid = GUID{};
    if (given.empty()) return CO_E_CLASSSTRING;
    auto value = registry_.GetValue(Hive::ClassesRoot, text::Utf16ToAnsiLossy(given) + "\\CLSID", "");
    if (!value || value->type != REG_SZ) return CO_E_CLASSSTRING;
    std::string clsid(value->data.begin(), value->data.end());
    clsid = clsid.c_str();
    GUID parsed{};
    if (!ParseBracedGuid(text::AnsiToUtf16(clsid), &parsed)) return CO_E_CLASSSTRING;
    *pclsid = parsed;
    return S_OK;
}

BSTR SimComWia::SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    std::u16string units = WideText(psz);
    auto block = std::make_shared<ComString>();
    auto bytes = static_cast<uint32_t>(units.size() * sizeof(char16_t));
    block->units.resize(2 + units.size() + 1, 0);
    std::memcpy(block->units.data(), &bytes, sizeof bytes);
    std::copy(units.begin(), units.end(), block->units.begin() + 2);
    BSTR result = block->text();
    handles_.AddAt(reinterpret_cast<uintptr_t>(result), HandleKind::ComString, block,
                   "\"" + text::Utf16ToAnsiLossy(units) + "\"");
    return result;
}

void SimComWia::SysFreeString(BSTR bstrString) {
    if (!bstrString) return;
    if (!handles_.Remove(reinterpret_cast<uintptr_t>(bstrString), HandleKind::ComString))
        Misuse("SysFreeString of a pointer that is no live COM string");
}

std::shared_ptr<SimComWia::DeviceManager> SimComWia::LiveDeviceManager(IWiaDevMgr* object) const {
    return handles_.Get<DeviceManager>(reinterpret_cast<uintptr_t>(object), HandleKind::ComObject);
}

bool SimComWia::StringArgument(BSTR value, const char* what, std::string* ansi) {
    ansi->clear();
    if (!value) return true;  // a null BSTR is the empty string
    if (!handles_.Contains(reinterpret_cast<uintptr_t>(value), HandleKind::ComString)) {
        Misuse(std::string("RegisterEventCallbackCLSID with a ") + what + " that is no live COM string");
        return false;
    }
    *ansi = text::Utf16ToAnsiLossy(WideText(value));
    return true;
}

HRESULT SimComWia::WiaDevMgr_RegisterEventCallbackCLSID(IWiaDevMgr* pDevMgr, LONG lFlags, BSTR bstrDeviceID,
                                                        const GUID* pEventGUID, const GUID* pClsID, BSTR bstrName,
                                                        BSTR bstrDescription, BSTR bstrIcon) {
    if (!LiveDeviceManager(pDevMgr)) {
        Misuse("RegisterEventCallbackCLSID on an object that is no live WIA device manager");
        return E_POINTER;
    }
    if (apartment_ == Apartment::None) {
        Misuse("RegisterEventCallbackCLSID after the thread left COM");
        return CO_E_NOTINITIALIZED;
    }
    WiaRegistration r;
    r.flags = lFlags;
    r.has_device_id = bstrDeviceID != nullptr;
    r.event_guid = GuidArgument(pEventGUID);
    r.clsid = GuidArgument(pClsID);
    if (!StringArgument(bstrDeviceID, "device ID", &r.device_id) || !StringArgument(bstrName, "name", &r.name) ||
        !StringArgument(bstrDescription, "description", &r.description) ||
        !StringArgument(bstrIcon, "icon", &r.icon)) {
        return E_INVALIDARG;
    }
    if (!pEventGUID || !pClsID ||
        (lFlags != WIA_REGISTER_EVENT_CALLBACK && lFlags != WIA_UNREGISTER_EVENT_CALLBACK)) {
        r.result = E_INVALIDARG;
    } else {
        for (const auto& [guid, hr] : registration_results_)
            if (IsEqualGUID(guid, *pEventGUID)) r.result = hr;
    }
    registrations_.push_back(r);
    return r.result;
}

ULONG SimComWia::WiaDevMgr_Release(IWiaDevMgr* pDevMgr) {
    auto object = LiveDeviceManager(pDevMgr);
    if (!object) {
        Misuse("Release of an object that is no live WIA device manager");
        return 0;
    }
    if (apartment_ == Apartment::None) Misuse("Release of the WIA device manager after the thread left COM");
    if (--object->references == 0) handles_.Remove(reinterpret_cast<uintptr_t>(pDevMgr), HandleKind::ComObject);
    return object->references;
}

}  // namespace plat::sim

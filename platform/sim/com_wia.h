// COM on the simulated machine: the calling thread's apartment, the WIA device manager and the
// registrations made with it, COM strings and GUID texts. COM objects and COM strings live in the
// handle table, so one left alive shows like an open handle. Simulated machine only.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/com_wia.h"
#include "platform/sim/handles.h"
#include "platform/sim/registry.h"

namespace plat::sim {

// The apartment the calling thread has entered. The machine runs the logic on one thread: the
// device installer's.
enum class Apartment { None, SingleThreaded, MultiThreaded };

// One call of the device manager's RegisterEventCallbackCLSID, its texts in the machine's ANSI
// code page.
struct WiaRegistration {
    LONG flags = 0;
    bool has_device_id = false;  // false: the registration holds for every device
    std::string device_id;
    std::string event_guid;      // "{A28BBADE-64B6-11D2-A231-00C04FA31809}", or "NULL"
    std::string clsid;           // likewise
    std::string name;
    std::string description;
    std::string icon;
    HRESULT result = S_OK;       // what the call answered
};

class SimComWia : public ComWiaBackend {
public:
    SimComWia(HandleTable& handles, SimRegistry& registry);

    // Set-up: the device installer's thread entered an apartment before the logic runs (count
    // initialisations deep).
    void SetThreadApartment(Apartment mode, unsigned count);
    // Set-up: creating the WIA device manager fails with this HRESULT (REGDB_E_CLASSNOTREG when
    // the WIA service is not installed, for instance); S_OK makes it work again.
    void FailDeviceManager(HRESULT result) { create_result_ = result; }
    // Set-up: RegisterEventCallbackCLSID for this event answers this HRESULT (S_OK otherwise).
    void SetRegistrationResult(const GUID& event, HRESULT result);

    Apartment apartment() const { return apartment_; }
    unsigned apartment_count() const { return apartment_count_; }
    // Whether every initialisation that counted has been undone: the thread is as deep in COM as
    // the set-up left it.
    bool apartment_balanced() const { return apartment_count_ == set_up_count_; }
    // Every RegisterEventCallbackCLSID call, in call order, the failed ones included.
    const std::vector<WiaRegistration>& registrations() const { return registrations_; }

    HRESULT CoInitialize(LPVOID pvReserved) override;
    HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) override;
    void CoUninitialize() override;
    HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                             LPVOID* ppv) override;
    HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) override;
    BSTR SysAllocString(const OLECHAR* psz) override;
    void SysFreeString(BSTR bstrString) override;
    HRESULT WiaDevMgr_RegisterEventCallbackCLSID(IWiaDevMgr* pDevMgr, LONG lFlags, BSTR bstrDeviceID,
                                                 const GUID* pEventGUID, const GUID* pClsID, BSTR bstrName,
                                                 BSTR bstrDescription, BSTR bstrIcon) override;
    ULONG WiaDevMgr_Release(IWiaDevMgr* pDevMgr) override;

private:
    struct DeviceManager;

    std::shared_ptr<DeviceManager> LiveDeviceManager(IWiaDevMgr* object) const;
    // The text of a COM string argument, or nothing (after a loud note) when it is not a live one.
    bool StringArgument(BSTR value, const char* what, std::string* ansi);

    HandleTable& handles_;
    SimRegistry& registry_;
    Apartment apartment_ = Apartment::None;
    unsigned apartment_count_ = 0;
    unsigned set_up_count_ = 0;
    HRESULT create_result_ = S_OK;
    std::vector<std::pair<GUID, HRESULT>> registration_results_;
    std::vector<WiaRegistration> registrations_;
};

// GUID texts as Windows parses them (CLSIDFromString's rules for a braced text): answers whether
// the whole text is a GUID; fields are written as they are parsed, so a text that fails part way
// leaves the fields before the failure filled.
bool ParseBracedGuid(std::u16string_view text, GUID* guid);

}  // namespace plat::sim

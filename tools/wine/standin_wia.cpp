// The harness's stand-in for the WIA device manager: an in-process COM server that the harness
// registers in a scenario's Wine prefix under the device manager's CLSID, in place of Wine's own
// (whose RegisterEventCallbackCLSID is not implemented). It implements what the co-installer
// calls: IUnknown and RegisterEventCallbackCLSID, which appends its arguments and its answer to a
// record file; every other method answers E_NOTIMPL. The scenario's behaviour comes from the
// harness through the environment of the process that loads it:
//   TVX_WIA_RECORD   the record file (one line per call, fields separated by tabs)
//   TVX_WIA_CREATE   the HRESULT (hex) that creating the object answers; absent: S_OK
//   TVX_WIA_RESULTS  "{GUID}=hex;{GUID}=hex": RegisterEventCallbackCLSID's answer per event
// Win32 only.
#include <windows.h>
#include <wia.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

LONG g_objects = 0;

// The device manager's class and interface, written out so that no GUID library is needed.
const CLSID kClsidWiaDevMgr = {0xA1F4E726, 0x8CF1, 0x11D1, {0xBF, 0x92, 0x00, 0x60, 0x08, 0x1E, 0xD8, 0x11}};
const IID kIidWiaDevMgr = {0x5EB2502A, 0x8CF1, 0x11D1, {0xBF, 0x92, 0x00, 0x60, 0x08, 0x1E, 0xD8, 0x11}};
const IID kIidUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

std::string Env(const char* name) {
    char buffer[4096];
    DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return length > 0 && length < sizeof buffer ? std::string(buffer, length) : std::string();
}

std::string GuidText(const GUID* guid) {
    if (!guid) return "NULL";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned long>(guid->Data1), guid->Data2, guid->Data3, guid->Data4[0], guid->Data4[1],
                  guid->Data4[2], guid->Data4[3], guid->Data4[4], guid->Data4[5], guid->Data4[6], guid->Data4[7]);
    return buffer;
}

// A COM string in the ANSI code page, tabs and line ends written as blanks so a record stays
// one line; "\x01" for a null string.
std::string Ansi(BSTR text) {
    if (!text) return "\x01";
    int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(length > 0 ? static_cast<size_t>(length) : 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.resize(std::strlen(out.c_str()));
    for (char& c : out)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return out;
}

HRESULT ResultFor(const std::string& event) {
    const std::string results = Env("TVX_WIA_RESULTS");
    size_t start = 0;
    while (start < results.size()) {
        size_t end = results.find(';', start);
        if (end == std::string::npos) end = results.size();
        const std::string item = results.substr(start, end - start);
        const size_t equals = item.find('=');
        if (equals != std::string::npos && lstrcmpiA(item.substr(0, equals).c_str(), event.c_str()) == 0)
            return static_cast<HRESULT>(std::strtoul(item.substr(equals + 1).c_str(), nullptr, 16));
        start = end + 1;
    }
    return S_OK;
}

class DeviceManager : public IWiaDevMgr {
public:
    DeviceManager() { InterlockedIncrement(&g_objects); }
    virtual ~DeviceManager() { InterlockedDecrement(&g_objects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, kIidUnknown) || IsEqualIID(riid, kIidWiaDevMgr)) {
            *ppv = static_cast<IWiaDevMgr*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE EnumDeviceInfo(LONG, IEnumWIA_DEV_INFO**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateDevice(BSTR, IWiaItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectDeviceDlg(HWND, LONG, LONG, BSTR*, IWiaItem**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SelectDeviceDlgID(HWND, LONG, LONG, BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetImageDlg(HWND, LONG, LONG, LONG, IWiaItem*, BSTR, GUID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RegisterEventCallbackProgram(LONG, BSTR, const GUID*, BSTR, BSTR, BSTR,
                                                           BSTR) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RegisterEventCallbackInterface(LONG, BSTR, const GUID*, IWiaEventCallback*,
                                                             IUnknown**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RegisterEventCallbackCLSID(LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID,
                                                         const GUID* pClsID, BSTR bstrName, BSTR bstrDescription,
                                                         BSTR bstrIcon) override {
        const std::string event = GuidText(pEventGUID);
        const HRESULT hr = ResultFor(event);
        const std::string file = Env("TVX_WIA_RECORD");
        if (!file.empty()) {
            char numbers[32];
            std::snprintf(numbers, sizeof numbers, "%lX", static_cast<unsigned long>(lFlags));
            char answer[16];
            std::snprintf(answer, sizeof answer, "%08lX", static_cast<unsigned long>(hr));
            const std::string line = std::string(numbers) + "\t" + Ansi(bstrDeviceID) + "\t" + event + "\t" +
                                     GuidText(pClsID) + "\t" + Ansi(bstrName) + "\t" + Ansi(bstrDescription) + "\t" +
                                     Ansi(bstrIcon) + "\t" + answer + "\n";
            if (FILE* out = std::fopen(file.c_str(), "ab")) {
                std::fputs(line.c_str(), out);
                std::fclose(out);
            }
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE AddDeviceDlg(HWND, LONG) override { return E_NOTIMPL; }

private:
    LONG refs_ = 1;
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, kIidUnknown) || IsEqualIID(riid, kIidClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        const std::string create = Env("TVX_WIA_CREATE");
        if (!create.empty()) {
            const HRESULT hr = static_cast<HRESULT>(std::strtoul(create.c_str(), nullptr, 16));
            if (FAILED(hr)) return hr;
        }
        DeviceManager* manager = new DeviceManager();
        const HRESULT hr = manager->QueryInterface(riid, ppv);
        manager->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualCLSID(rclsid, kClsidWiaDevMgr)) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

// COM and the WIA device manager: apartment set-up, object creation, GUID parsing, COM strings
// (ole32, oleaut32), and the two methods of the WIA device manager that the still-image
// registration uses, reached through plain functions so that they are traced and can be failed
// like every other call.
#pragma once

#include "platform/seam.h"

#ifdef _WIN32
#include "platform/win32/com_wia.h"
#endif

#define TVX_COM_WIA_CALLS(X)                                                                         \
    X(ComWia, HRESULT, CoInitialize, (LPVOID pvReserved), (pvReserved), HResult)                   \
    X(ComWia, HRESULT, CoInitializeEx, (LPVOID pvReserved, DWORD dwCoInit), (pvReserved, dwCoInit), \
      HResult)                                                                                     \
    X(ComWia, void, CoUninitialize, (), (), None)                                                  \
    X(ComWia, HRESULT, CoCreateInstance,                                                           \
      (REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid, LPVOID* ppv),        \
      (rclsid, pUnkOuter, dwClsContext, riid, ppv), HResult)                                       \
    X(ComWia, HRESULT, CLSIDFromString, (LPCOLESTR lpsz, LPCLSID pclsid), (lpsz, pclsid), HResult) \
    X(ComWia, BSTR, SysAllocString, (const OLECHAR* psz), (psz), Null)                             \
    X(ComWia, void, SysFreeString, (BSTR bstrString), (bstrString), None)                          \
    X(ComWia, HRESULT, WiaDevMgr_RegisterEventCallbackCLSID,                                       \
      (IWiaDevMgr * pDevMgr, LONG lFlags, BSTR bstrDeviceID, const GUID* pEventGUID,               \
       const GUID* pClsID, BSTR bstrName, BSTR bstrDescription, BSTR bstrIcon),                    \
      (pDevMgr, lFlags, bstrDeviceID, pEventGUID, pClsID, bstrName, bstrDescription, bstrIcon),    \
      HResult)                                                                                     \
    X(ComWia, ULONG, WiaDevMgr_Release, (IWiaDevMgr * pDevMgr), (pDevMgr), None)

TVX_DECLARE_FAMILY(ComWia, TVX_COM_WIA_CALLS)

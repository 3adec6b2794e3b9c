// The COM and WIA family's Windows side: the WIA device manager's methods as plain functions, so
// that the seam forwards to them as to any other Windows call. Win32 only.
#pragma once

#include "platform/win32/windows_sdk.h"

inline HRESULT WiaDevMgr_RegisterEventCallbackCLSID(IWiaDevMgr* pDevMgr, LONG lFlags, BSTR bstrDeviceID,
                                                    const GUID* pEventGUID, const GUID* pClsID, BSTR bstrName,
                                                    BSTR bstrDescription, BSTR bstrIcon) {
    return pDevMgr->RegisterEventCallbackCLSID(lFlags, bstrDeviceID, pEventGUID, pClsID, bstrName,
                                               bstrDescription, bstrIcon);
}

inline ULONG WiaDevMgr_Release(IWiaDevMgr* pDevMgr) { return pDevMgr->Release(); }

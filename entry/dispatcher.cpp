// The DIF dispatcher and its helpers: which work runs for which device-installation function and
// pass, the finish-install action, the reboot test and the driver instance number.
// Portable logic.
#include <cstring>

#include "core/setup_extension.h"
#include "platform/scoped.h"
#include "stillimage/button_event_fix.h"
#include "stillimage/wizard_registration.h"

namespace {

plat::ScopedKey OpenHardwareKey(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    return plat::ScopedKey(
        plat::SetupDiOpenDevRegKey(deviceInfoSet, deviceInfoData, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE));
}

bool ReadInstallParams(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData, SP_DEVINSTALL_PARAMS_A* params) {
    std::memset(params, 0, sizeof *params);
    params->cbSize = sizeof(SP_DEVINSTALL_PARAMS_A);
    return plat::SetupDiGetDeviceInstallParamsA(deviceInfoSet, deviceInfoData, params) != FALSE;
}

}  // namespace

bool CSetupExtension::ReadModelString(HKEY hardwareKey, char (&model)[32]) {
    std::memset(model, 0, sizeof model);
    DWORD cbData = sizeof model;
    if (plat::RegQueryValueExA(hardwareKey, "CoinstallerModel", nullptr, nullptr, reinterpret_cast<LPBYTE>(model),
                               &cbData) != ERROR_SUCCESS)
        return false;
    // A value that fills all 32 bytes has no room for its terminator: it counts as absent.
    return model[sizeof model - 1] == '\0';
}

DWORD CSetupExtension::TarvixDeviceCoInstaller(DI_FUNCTION difCode, HDEVINFO deviceInfoSet,
                                               PSP_DEVINFO_DATA deviceInfoData, PCOINSTALLER_CONTEXT_DATA context) {
    // The device installer always passes a context; without one the call is taken as a
    // pre-processing pass with no earlier result.
    const BOOL postProcessing = context ? context->PostProcessing : FALSE;
    const DWORD installResult = context ? context->InstallResult : NO_ERROR;

    if (m_pLogger) {
        char szText[128];
        std::snprintf(szText, sizeof szText,
                      "TarvixDeviceCoInstaller: called . dif=%d pContext->InstallResult = 0x%08X \n\r",
                      static_cast<int>(difCode), static_cast<unsigned>(installResult));
        m_pLogger->Print("\n%s", szText);
    }
    if (postProcessing && installResult != NO_ERROR) return installResult;

    switch (difCode) {
        case DIF_INSTALLDEVICE:
        case DIF_DESTROYWIZARDDATA: {
            if (m_pLogger) m_pLogger->Print("Handling DIF_INSTALLDEVICE or DIF_DESTROYWIZARDDATA DIF code");
            if (!postProcessing) {
                CopyNetworkDeviceData(deviceInfoSet, deviceInfoData);
                if (m_OsInfo.IsWin2000()) RegisterDriverDlls(SPINST_REGSVR, deviceInfoSet, deviceInfoData);
                return ERROR_DI_POSTPROCESSING_REQUIRED;
            }
            if (m_OsInfo.IsWin2000()) {
                AssignDeviceNumber(deviceInfoSet, deviceInfoData);
            } else if (m_OsInfo.IsWinXP() || m_OsInfo.IsVista() || m_OsInfo.IsWin2003() ||
                       m_OsInfo.IsLaterThanVista()) {
                char szInstance[5] = {0};
                if (GetDriverInstanceNumber(deviceInfoSet, deviceInfoData, szInstance)) {
                    CButtonRegWizard wizard(m_pLogger);
                    wizard.RegisterWizardForDeviceEvents(szInstance);
                    CButtonEventFix eventFix;
                    eventFix.RepairDeviceEvents(szInstance);
                }
            }
            if (plat::ScopedKey key = OpenHardwareKey(deviceInfoSet, deviceInfoData)) {
                char szModel[32];
                if (ReadModelString(key.get(), szModel)) {
                    if (m_pLogger) m_pLogger->Print("ModelString retrieved from registry = %s", szModel);
                    m_ScannerModel = szModel;
                    if (difCode == DIF_INSTALLDEVICE) InstallSoftware(nullptr, m_hInstance, szModel, 0);
                }
            }
            return NO_ERROR;
        }

        case DIF_REMOVE: {
            if (m_pLogger) m_pLogger->Print("Handling DIF_REMOVE DIF code");
            if (plat::ScopedKey key = OpenHardwareKey(deviceInfoSet, deviceInfoData)) {
                char szModel[32];
                if (ReadModelString(key.get(), szModel)) {
                    m_ScannerModel = szModel;
                    CleanupRemovedDevice(deviceInfoSet, deviceInfoData);
                }
            }
            RemovePnPFinishedMarker();
            return NO_ERROR;
        }

        case DIF_NEWDEVICEWIZARD_FINISHINSTALL: {
            if (m_pLogger) m_pLogger->Print("Handling DIF_NEWDEVICEWIZARD_FINISHINSTALL DIF code");
            if (IsSoftwareInstalled() == 0 && FindInstallMediaDrive() != 0) {
                if (m_pLogger) m_pLogger->Print("Scanning Software not found and valid CDRom found");
                SP_DEVINSTALL_PARAMS_A params;
                if (!ReadInstallParams(deviceInfoSet, deviceInfoData, &params)) {
                    LogLastError("SetupDiGetDeviceInstallParams", m_pLogger);
                    return NO_ERROR;
                }
                // Asks the device installer for DIF_FINISHINSTALL_ACTION in the user's context.
                params.FlagsEx |= DI_FLAGSEX_FINISHINSTALL_ACTION;
                if (!plat::SetupDiSetDeviceInstallParamsA(deviceInfoSet, deviceInfoData, &params))
                    LogLastError("SetupDiSetDeviceInstallParams", m_pLogger);
            }
            return NO_ERROR;
        }

        case DIF_FINISHINSTALL_ACTION:
            return HandleFinishInstallAction(deviceInfoSet, deviceInfoData);

        default:
            return NO_ERROR;
    }
}

DWORD CSetupExtension::HandleFinishInstallAction(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    if (m_pLogger) m_pLogger->Print("Handling DIF_FINISHINSTALL_ACTION DIF code");
    RunFirmwareUpdate();
    if (!IsRebootRequired(deviceInfoSet, deviceInfoData)) {
        if (m_pLogger) m_pLogger->Print("Reboot not required");
        return LaunchSetupFromMedia();
    }
    if (m_pLogger) m_pLogger->Print("Device install requires a reboot");
    if (char cDrive = FindInstallMediaDrive()) {
        if (m_pLogger) m_pLogger->Print("FoundCD");
        ScheduleSetupFromMedia(cDrive);
    } else if (m_pLogger) {
        m_pLogger->Print("Could not find the CD");
    }
    return NO_ERROR;
}

bool CSetupExtension::IsRebootRequired(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData) {
    SP_DEVINSTALL_PARAMS_A params;
    if (!ReadInstallParams(deviceInfoSet, deviceInfoData, &params)) {
        if (m_pLogger) m_pLogger->Print("SetupDiGetDeviceInstallParams failed");
        return true;
    }
    return (params.Flags & (DI_NEEDREBOOT | DI_NEEDRESTART)) != 0;
}

int CSetupExtension::GetDriverInstanceNumber(HDEVINFO deviceInfoSet, PSP_DEVINFO_DATA deviceInfoData,
                                             char* instanceNumber) {
    instanceNumber[0] = '\0';
    // One byte beyond the 260 the property may fill keeps the text terminated.
    char szDriver[MAX_PATH + 1] = {0};
    if (!plat::SetupDiGetDeviceRegistryPropertyA(deviceInfoSet, deviceInfoData, SPDRP_DRIVER, nullptr,
                                                 reinterpret_cast<LPBYTE>(szDriver), MAX_PATH, nullptr))
        return 0;
    const char* lastSlash = std::strrchr(szDriver, '\\');
    if (!lastSlash) return 0;
    std::strncpy(instanceNumber, lastSlash + 1, 4);
    instanceNumber[4] = '\0';
    return 1;
}

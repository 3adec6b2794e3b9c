// The one table of explanations for the Windows names in the report. Each is a short fact in plain
// words; a name that ends in "_" stands for every name it begins (a USB vendor or product number).
// Portable.
#include "tools/scenario/glossary.h"

namespace tvx {
namespace {

struct Entry {
    std::string_view name;
    std::string_view explanation;
};

const Entry kGlossary[] = {
    // Words about the device installer and the co-installer.
    {"DIF", "device-installation function: the step of installing or removing a device that Windows asks the "
            "installers to carry out, named by a code"},
    {"SetupAPI", "the part of Windows that installs devices and their drivers and calls the co-installers"},
    {"INF", "a driver's set-up file: a text file that says which files to copy and which registry values to write"},
    {"InstallResult", "the result of the installation so far, handed to a co-installer when it is called again "
                      "after the class installer"},
    {"PostProcessing", "set when the co-installer is called a second time, after the class installer has run"},
    {"CLSID", "class identifier: the number under which a COM program component is registered"},
    {"HRESULT", "the kind of result code COM calls answer; 0 (S_OK) means success, a value with the top bit set a "
                "failure"},
    {"WIA", "Windows Image Acquisition: Windows' service and interface for scanners and cameras"},
    {"TWAIN", "an older standard through which scanning programs talk to scanner drivers"},
    {"TWAIN_32", "the folder in the Windows folder where TWAIN scanner drivers (data sources) are kept"},
    {"OutputDebugStringA", "sends a text to a debugger watching the program; nothing shows it to the user"},
    {"RegisterEventCallbackCLSID", "asks the WIA device manager to start a program component when a device "
                                   "event, such as a scanner button press, happens"},
    {"SetupInstallFromInfSectionA", "carries out one section of an INF file: copies files, writes registry "
                                    "values, registers DLLs"},
    {"SPINST_REGSVR", "an instruction to register the DLLs an INF section names, as regsvr32 would"},
    {"RunOnce", "a registry key whose commands Windows runs once, at the next logon, and then deletes"},
    {"Wow6432Node", "where 64-bit Windows keeps the registry keys that 32-bit programs see"},
    {"WM_USER", "the first number of the window messages that programs may define for their own use"},
    {"VID_", "a USB vendor number (hexadecimal): it names the maker of the device"},
    {"PID_", "a USB product number (hexadecimal): the maker's number for the device model"},

    // Registry roots.
    {"HKEY_LOCAL_MACHINE", "the registry's part for the whole computer: hardware, drivers, installed software"},
    {"HKEY_CURRENT_USER", "the registry's part for the user who is logged on"},
    {"HKEY_USERS", "the registry's part that holds every loaded user's settings"},
    {"HKEY_CLASSES_ROOT", "the registry's view of file types and COM components"},

    // Registry value types.
    {"REG_NONE", "registry value with no defined type"},
    {"REG_SZ", "registry value holding a text"},
    {"REG_EXPAND_SZ", "registry value holding a text with %NAME% parts that Windows fills in when it is read"},
    {"REG_BINARY", "registry value holding raw bytes"},
    {"REG_DWORD", "registry value holding a 32-bit number"},
    {"REG_DWORD_BIG_ENDIAN", "registry value holding a 32-bit number stored high byte first"},
    {"REG_LINK", "registry value that points to another key (used by Windows itself)"},
    {"REG_MULTI_SZ", "registry value holding a list of texts"},
    {"REG_RESOURCE_LIST", "registry value describing hardware resources a driver uses"},
    {"REG_FULL_RESOURCE_DESCRIPTOR", "registry value describing hardware resources of one bus"},
    {"REG_RESOURCE_REQUIREMENTS_LIST", "registry value listing the hardware resources a device can use"},
    {"REG_QWORD", "registry value holding a 64-bit number"},

    // Device-installation function codes.
    {"DIF_SELECTDEVICE", "a driver is being chosen for the device"},
    {"DIF_INSTALLDEVICE", "Windows installs the chosen driver on the device"},
    {"DIF_ASSIGNRESOURCES", "hardware resources are being assigned to the device"},
    {"DIF_PROPERTIES", "the device's property pages are being shown"},
    {"DIF_REMOVE", "the device is being removed from the computer"},
    {"DIF_FIRSTTIMESETUP", "sent during the first set-up of Windows"},
    {"DIF_FOUNDDEVICE", "a new device has been found (old code, no longer sent)"},
    {"DIF_SELECTCLASSDRIVERS", "drivers are being chosen for a class of devices"},
    {"DIF_VALIDATECLASSDRIVERS", "drivers chosen for a class of devices are being checked"},
    {"DIF_INSTALLCLASSDRIVERS", "drivers are being installed for a class of devices"},
    {"DIF_CALCDISKSPACE", "the disk space the driver files need is being worked out"},
    {"DIF_DESTROYPRIVATEDATA", "the installers may release the data they kept for the device"},
    {"DIF_VALIDATEDRIVER", "the chosen driver is being checked (old code)"},
    {"DIF_MOVEDEVICE", "the device is being moved (old code, no longer sent)"},
    {"DIF_DETECT", "devices that Plug and Play cannot find are being searched for"},
    {"DIF_INSTALLWIZARD", "installer pages are being added to the hardware wizard (old code)"},
    {"DIF_DESTROYWIZARDDATA", "the installation wizard releases the pages and data it was given"},
    {"DIF_PROPERTYCHANGE", "the device is being enabled, disabled, restarted or changed in its settings"},
    {"DIF_ENABLECLASS", "a class of devices is being enabled (old code)"},
    {"DIF_DETECTVERIFY", "devices found by a search are being confirmed (old code)"},
    {"DIF_INSTALLDEVICEFILES", "only the driver's files are being copied"},
    {"DIF_UNREMOVE", "a device that was removed is being brought back"},
    {"DIF_SELECTBESTCOMPATDRV", "Windows picks the best matching driver from the list"},
    {"DIF_ALLOW_INSTALL", "the installers are asked whether the driver may be installed"},
    {"DIF_REGISTERDEVICE", "a device found by a search is being registered"},
    {"DIF_NEWDEVICEWIZARD_PRESELECT", "the new-device wizard is about to show its driver choice"},
    {"DIF_NEWDEVICEWIZARD_SELECT", "the new-device wizard shows its driver choice"},
    {"DIF_NEWDEVICEWIZARD_PREANALYZE", "the new-device wizard is about to check the chosen driver"},
    {"DIF_NEWDEVICEWIZARD_POSTANALYZE", "the new-device wizard has checked the chosen driver"},
    {"DIF_NEWDEVICEWIZARD_FINISHINSTALL", "the new-device wizard is finishing; installers may add last pages or "
                                          "ask for a finish-install action"},
    {"DIF_UNUSED1", "a code Windows does not use"},
    {"DIF_INSTALLINTERFACES", "the device's interfaces (the ways programs reach it) are being registered"},
    {"DIF_DETECTCANCEL", "a search for devices was cancelled (old code)"},
    {"DIF_REGISTER_COINSTALLERS", "the driver's co-installers are being registered"},
    {"DIF_ADDPROPERTYPAGE_ADVANCED", "installers may add pages to the device's properties"},
    {"DIF_ADDPROPERTYPAGE_BASIC", "installers may add basic pages to the device's properties"},
    {"DIF_RESERVED1", "a code reserved by Windows"},
    {"DIF_TROUBLESHOOTER", "a troubleshooter is being started for the device"},
    {"DIF_POWERMESSAGEWAKE", "the text about waking the computer is being asked for"},
    {"DIF_ADDREMOTEPROPERTYPAGE_ADVANCED", "installers may add property pages for a device on another computer"},
    {"DIF_UPDATEDRIVER_UI", "the user interface for updating the driver is being shown"},
    {"DIF_FINISHINSTALL_ACTION", "the finish-install action: the last step, run once the device is installed, "
                                 "with the user logged on"},
    {"DIF_RESERVED2", "a code reserved by Windows"},

    // Answers and error codes.
    {"NO_ERROR", "success"},
    {"ERROR_SUCCESS", "success"},
    {"ERROR_INVALID_FUNCTION", "the request is not one the called function handles"},
    {"ERROR_FILE_NOT_FOUND", "the file (or registry value) was not found"},
    {"ERROR_PATH_NOT_FOUND", "the folder on the way to the file was not found"},
    {"ERROR_ACCESS_DENIED", "refused: the account lacks the right, or the file is held by another program"},
    {"ERROR_INVALID_HANDLE", "the handle passed does not stand for an open object"},
    {"ERROR_NOT_ENOUGH_MEMORY", "there was not enough memory"},
    {"ERROR_INVALID_DATA", "the data is not valid"},
    {"ERROR_GEN_FAILURE", "a device attached to the computer does not work"},
    {"ERROR_INVALID_PARAMETER", "a value passed to the function is not valid"},
    {"ERROR_INSUFFICIENT_BUFFER", "the space given for the answer is too small"},
    {"ERROR_MORE_DATA", "there is more data than the space given can hold"},
    {"ERROR_CANCELLED", "the user cancelled the operation"},
    {"ERROR_SUCCESS_REBOOT_REQUIRED", "done, but the computer must be restarted to finish"},
    {"ERROR_SERVICE_DOES_NOT_EXIST", "no service of that name is installed"},
    {"ERROR_INVALID_SERVICE_CONTROL", "the service does not accept that request now"},
    {"ERROR_SERVICE_NOT_ACTIVE", "the service is not running"},
    {"ERROR_SERVICE_ALREADY_RUNNING", "the service is running already"},
    {"ERROR_SERVICE_REQUEST_TIMEOUT", "the service did not answer in time"},
    {"ERROR_NO_MORE_ITEMS", "the list has no further entries"},
    {"ERROR_NO_DRIVER_SELECTED", "no driver has been chosen for the device"},
    {"ERROR_KEY_DOES_NOT_EXIST", "the device's registry key does not exist"},
    {"ERROR_NO_SUCH_DEVINST", "no device of that instance ID exists"},
    {"ERROR_DI_DO_DEFAULT", "the installer leaves the step to Windows' default handling"},
    {"ERROR_DI_NOFILECOPY", "the driver's files need not be copied"},
    {"ERROR_DI_BAD_PATH", "the folder given for the driver files is not valid"},
    {"ERROR_DI_POSTPROCESSING_REQUIRED", "the co-installer asks to be called again after the class installer, "
                                         "to see the result"},
    {"ERROR_INVALID_COINSTALLER", "a co-installer named in the registry cannot be loaded or found"},
    {"ERROR_DI_DONT_INSTALL", "the installer asks Windows not to install the driver"},
    {"ERROR_NO_CATALOG_FOR_OEM_INF", "the driver package is not signed: its catalog file is missing"},
    {"ERROR_IN_WOW64", "a 32-bit program cannot install devices on 64-bit Windows"},
    {"S_OK", "HRESULT for success"},
    {"S_FALSE", "HRESULT for success with a \"no\" or \"nothing done\""},
    {"E_FAIL", "HRESULT for an unspecified failure"},
    {"E_NOTIMPL", "HRESULT: the function is not implemented"},
    {"E_NOINTERFACE", "HRESULT: the component does not offer the interface asked for"},
    {"E_INVALIDARG", "HRESULT: a value passed is not valid"},
    {"E_OUTOFMEMORY", "HRESULT: there was not enough memory"},
    {"E_ACCESSDENIED", "HRESULT: access refused"},
    {"REGDB_E_CLASSNOTREG", "HRESULT: the COM component is not registered on this computer"},
    {"CO_E_SERVER_EXEC_FAILURE", "HRESULT: the program that serves the COM component could not be started"},

    // Installation parameter flags (Flags).
    {"DI_SHOWOEM", "the driver choice offers \"Have Disk\""},
    {"DI_SHOWCOMPAT", "the driver choice shows only drivers matching the device"},
    {"DI_SHOWCLASS", "the driver choice shows every driver of the device's class"},
    {"DI_NOVCP", "the installers keep their own file queue instead of Windows' one"},
    {"DI_DIDCOMPAT", "the list of matching drivers has been built"},
    {"DI_DIDCLASS", "the list of the class's drivers has been built"},
    {"DI_AUTOASSIGNRES", "hardware resources are assigned without asking the user"},
    {"DI_NEEDRESTART", "the device works only after the computer is restarted"},
    {"DI_NEEDREBOOT", "the installation is complete only after the computer is restarted"},
    {"DI_NOBROWSE", "the user may not browse for driver files"},
    {"DI_MULTMFGS", "the driver list holds drivers of several makers"},
    {"DI_DISABLED", "an old flag that installers today neither set nor read"},
    {"DI_GENERALPAGE_ADDED", "an installer has added a General page to the properties"},
    {"DI_RESOURCEPAGE_ADDED", "an installer has added a Resources page to the properties"},
    {"DI_PROPERTIES_CHANGE", "the device's properties have changed; the properties pages are redrawn"},
    {"DI_INF_IS_SORTED", "the INF's driver list is already in order"},
    {"DI_ENUMSINGLEINF", "drivers are looked for in one INF file only"},
    {"DI_DONOTCALLCONFIGMG", "the Plug and Play manager is not told of the change"},
    {"DI_INSTALLDISABLED", "the device is installed but left disabled"},
    {"DI_COMPAT_FROM_CLASS", "the matching drivers are taken from the class's list"},
    {"DI_CLASSINSTALLPARAMS", "extra parameters for the class installer are set"},
    {"DI_NODI_DEFAULTACTION", "Windows does not carry out its default handling for the step"},
    {"DI_QUIETINSTALL", "install without showing anything to the user"},
    {"DI_NOFILECOPY", "the driver's files are not copied"},
    {"DI_FORCECOPY", "the driver's files are copied even over newer ones"},
    {"DI_DRIVERPAGE_ADDED", "an installer shows its own Driver page in the properties instead of Windows' one"},
    {"DI_USECI_SELECTSTRINGS", "the class installer supplies the texts of the driver choice"},
    {"DI_OVERRIDE_INFFLAGS", "an old flag that installers today neither set nor read"},
    {"DI_PROPS_NOCHANGEUSAGE", "the properties pages hide the device's usage choice"},
    {"DI_NOSELECTICONS", "a flag about the icons in the driver choice"},
    {"DI_NOWRITE_IDS", "the device's hardware IDs are not written to the registry"},

    // Installation parameter flags (FlagsEx).
    {"DI_FLAGSEX_USEOLDINFSEARCH", "drivers are looked for the old way, without the INF index"},
    {"DI_FLAGSEX_CI_FAILED", "the class installer could not be loaded"},
    {"DI_FLAGSEX_FINISHINSTALL_ACTION", "set by a co-installer: asks Windows for a finish-install action "
                                        "(DIF_FINISHINSTALL_ACTION) once the device is installed"},
    {"DI_FLAGSEX_DIDINFOLIST", "the list of the class's drivers has been built"},
    {"DI_FLAGSEX_DIDCOMPATINFO", "the list of matching drivers has been built"},
    {"DI_FLAGSEX_FILTERCLASSES", "device classes marked to be left out are not listed"},
    {"DI_FLAGSEX_SETFAILEDINSTALL", "the device is marked as failed to install"},
    {"DI_FLAGSEX_DEVICECHANGE", "the device's properties pages show only what concerns this one device"},
    {"DI_FLAGSEX_ALWAYSWRITEIDS", "the device's hardware IDs are written to the registry every time"},
    {"DI_FLAGSEX_PROPCHANGE_PENDING", "a change of the device's properties waits to be applied"},
    {"DI_FLAGSEX_ALLOWEXCLUDEDDRVS", "drivers marked to be left out may be listed"},
    {"DI_FLAGSEX_NOUIONQUERYREMOVE", "no question is shown before the device is removed"},
    {"DI_FLAGSEX_USECLASSFORCOMPAT", "the matching drivers are taken from the device's class only"},
    {"DI_FLAGSEX_NO_DRVREG_MODIFY", "the driver's registry key is not changed"},
    {"DI_FLAGSEX_IN_SYSTEM_SETUP", "the installation runs during Windows' own set-up"},
    {"DI_FLAGSEX_INET_DRIVER", "the driver came from Windows Update"},
    {"DI_FLAGSEX_APPENDDRIVERLIST", "new drivers are added to the list instead of replacing it"},
    {"DI_FLAGSEX_PREINSTALLBACKUP", "an old flag that installers today neither set nor read"},
    {"DI_FLAGSEX_BACKUPONREPLACE", "an old flag that installers today neither set nor read"},
    {"DI_FLAGSEX_DRIVERLIST_FROM_URL", "the driver list is built from an INF at an address given"},
    {"DI_FLAGSEX_EXCLUDE_OLD_INET_DRIVERS", "older drivers from Windows Update are left out of the list"},
    {"DI_FLAGSEX_POWERPAGE_ADDED", "an installer has added a Power page to the properties"},
    {"DI_FLAGSEX_FILTERSIMILARDRIVERS", "only drivers that match the device closely are listed"},
    {"DI_FLAGSEX_INSTALLEDDRIVER", "only the driver already installed is listed"},
    {"DI_FLAGSEX_NO_CLASSLIST_NODE_MERGE", "classes of the same name are not merged in the list"},
    {"DI_FLAGSEX_ALTPLATFORM_DRVSEARCH", "drivers are looked for as another Windows version would"},
    {"DI_FLAGSEX_RESTART_DEVICE_ONLY", "only this device is restarted, not the devices that depend on it"},

    // How a program was started: process creation flags.
    {"DEBUG_PROCESS", "the new program is started under the caller's debugger, with the programs it starts"},
    {"DEBUG_ONLY_THIS_PROCESS", "the new program is started under the caller's debugger"},
    {"CREATE_SUSPENDED", "the new program is created paused and runs only when resumed"},
    {"DETACHED_PROCESS", "the new program gets no console window"},
    {"CREATE_NEW_CONSOLE", "the new program gets a console window of its own"},
    {"NORMAL_PRIORITY_CLASS", "the new program runs at normal priority"},
    {"CREATE_NEW_PROCESS_GROUP", "the new program starts a group of its own for Ctrl+Break"},
    {"CREATE_UNICODE_ENVIRONMENT", "the environment passed is in UTF-16"},
    {"CREATE_BREAKAWAY_FROM_JOB", "the new program is not held in the caller's job"},
    {"CREATE_DEFAULT_ERROR_MODE", "the new program does not inherit the caller's error-message settings"},
    {"CREATE_NO_WINDOW", "the new console program runs without a console window"},

    // How a program was started: start-up flags.
    {"STARTF_USESHOWWINDOW", "the show state given below is used for the program's first window"},
    {"STARTF_USESIZE", "the window size given is used"},
    {"STARTF_USEPOSITION", "the window position given is used"},
    {"STARTF_USECOUNTCHARS", "the console buffer size given is used"},
    {"STARTF_USEFILLATTRIBUTE", "the console colours given are used"},
    {"STARTF_RUNFULLSCREEN", "the console program runs full screen"},
    {"STARTF_FORCEONFEEDBACK", "the mouse pointer shows \"busy\" while the program starts"},
    {"STARTF_FORCEOFFFEEDBACK", "the mouse pointer does not show \"busy\" while the program starts"},
    {"STARTF_USESTDHANDLES", "the program's input and output go to the handles given"},

    // How a program was started: show states of its first window.
    {"SW_HIDE", "the window is hidden"},
    {"SW_SHOWNORMAL", "the window is shown at its normal size and place"},
    {"SW_SHOWMINIMIZED", "the window is shown minimized"},
    {"SW_SHOWMAXIMIZED", "the window is shown maximized"},
    {"SW_SHOWNOACTIVATE", "the window is shown at its normal size without taking the focus"},
    {"SW_SHOW", "the window is shown as it is"},
    {"SW_MINIMIZE", "the window is minimized"},
    {"SW_SHOWMINNOACTIVE", "the window is shown minimized without taking the focus"},
    {"SW_SHOWNA", "the window is shown without taking the focus"},
    {"SW_RESTORE", "the window is shown at its normal size again"},
    {"SW_SHOWDEFAULT", "the window is shown as the program that started it asked"},
    {"SW_FORCEMINIMIZE", "the window is minimized even if its program does not respond"},

    // Service states.
    {"stopped", "the service is not running"},
    {"start pending", "the service has been asked to start and is starting"},
    {"stop pending", "the service has been asked to stop and is stopping"},
    {"running", "the service is running"},
    {"continue pending", "the service has been asked to go on after a pause and is doing so"},
    {"pause pending", "the service has been asked to pause and is pausing"},
    {"paused", "the service is paused"},
};

}  // namespace

std::string_view Glossary(std::string_view name) {
    for (const Entry& e : kGlossary) {
        const bool prefix = e.name.back() == '_';
        if (prefix ? name.size() > e.name.size() && name.substr(0, e.name.size()) == e.name : name == e.name)
            return e.explanation;
    }
    return {};
}

}  // namespace tvx

# Reads the export and import tables of the Windows build of the co-installer and checks that it
# is a 64-bit DLL exporting exactly its four entries and importing from exactly its seven system
# DLLs (the list the README gives), and that the DLL as shipped carries no debugging sections.
#   cmake -DDLL=path/TarvixQ920kCO.dll -DOBJDUMP=x86_64-w64-mingw32-objdump -P check_exports.cmake
cmake_minimum_required(VERSION 3.25)

set(expected_exports
    "?DllEntryPoint@@YAHPEAUHINSTANCE__@@KPEAX@Z"
    DllMain
    InstallPellionSoftware
    TarvixScannerCoInstaller)

# The system DLLs the co-installer imports from, as the README lists them; each is in the system
# folder of every Windows the co-installer supports (XP x64 onwards). A new one is a decision: add it
# here and to the README's list together.
set(expected_imports ADVAPI32.dll KERNEL32.dll msvcrt.dll ole32.dll OLEAUT32.dll SETUPAPI.dll USER32.dll)

if(NOT EXISTS "${DLL}")
    message(FATAL_ERROR "cannot check exports of ${DLL}: no such file (build the windows preset first: "
                        "cmake --preset windows && cmake --build --preset windows)")
endif()
if(NOT OBJDUMP)
    message(FATAL_ERROR "cannot check exports of ${DLL}: x86_64-w64-mingw32-objdump not found")
endif()

execute_process(COMMAND "${OBJDUMP}" -p "${DLL}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read ${DLL} with ${OBJDUMP}: exit status ${status}")
endif()

set(problems "")
if(NOT dump MATCHES "file format pei-x86-64")
    string(APPEND problems "\n  not a 64-bit (pei-x86-64) image")
endif()

# Export names: the lines "[   n] name" after "[Ordinal/Name Pointer] Table".
set(exports "")
string(FIND "${dump}" "[Ordinal/Name Pointer] Table" at)
if(at GREATER -1)
    string(SUBSTRING "${dump}" ${at} -1 table)
    string(REGEX MATCHALL "\n[ \t]*\\[ *[0-9]+\\] [^\n]+" rows "${table}")
    foreach(row IN LISTS rows)
        string(REGEX REPLACE "^\n[ \t]*\\[ *[0-9]+\\] " "" name "${row}")
        string(STRIP "${name}" name)
        list(APPEND exports "${name}")
    endforeach()
endif()
list(SORT exports)
set(sorted_expected ${expected_exports})
list(SORT sorted_expected)
if(NOT exports STREQUAL sorted_expected)
    string(APPEND problems "\n  exports are [${exports}], expected exactly [${sorted_expected}]")
endif()

# Imported DLLs: "DLL Name: X".
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
if(NOT imports)
    string(APPEND problems "\n  no import table found")
endif()
set(imported "")
foreach(line IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" name "${line}")
    string(STRIP "${name}" name)
    list(APPEND imported "${name}")
endforeach()
set(imported_lower ${imported})
list(TRANSFORM imported_lower TOLOWER)
set(expected_lower ${expected_imports})
list(TRANSFORM expected_lower TOLOWER)
foreach(name IN LISTS imported)
    string(TOLOWER "${name}" lower)
    if(NOT lower IN_LIST expected_lower)
        string(APPEND problems "\n  imports from ${name}, which is not one of the DLLs it is known to need "
                               "(${expected_imports}); add it here and to the README together")
    endif()
endforeach()
foreach(name IN LISTS expected_imports)
    string(TOLOWER "${name}" lower)
    if(NOT lower IN_LIST imported_lower)
        string(APPEND problems "\n  no longer imports from ${name}: take it out of the list here and in the README")
    endif()
endforeach()

# Section headers: the shipped DLL is stripped, so no ".debug_..." section is left.
execute_process(COMMAND "${OBJDUMP}" -h "${DLL}" OUTPUT_VARIABLE headers RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read the section headers of ${DLL} with ${OBJDUMP}: exit status ${status}")
endif()
string(REGEX MATCHALL "[ \t]\.debug_[A-Za-z_]+" debug_sections "${headers}")
if(debug_sections)
    string(REPLACE ";" "," debug_sections "${debug_sections}")
    string(APPEND problems "\n  carries debugging sections (${debug_sections}): the shipped DLL is linked with -s")
endif()

if(problems)
    message(FATAL_ERROR "${DLL}:${problems}")
endif()
message(STATUS "${DLL}: exports [${exports}]; imports [${imported}]")

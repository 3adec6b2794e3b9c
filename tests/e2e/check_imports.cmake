# Reads the import table of the Windows build of the co-installer and checks every imported
# function against the table of the oldest Windows that exports it: an import the table lacks, an
# import by ordinal (which the table cannot vouch for) or one that needs a Windows newer than the
# oldest the DLL serves fails, since the loader refuses a DLL with an import it cannot resolve.
# Functions looked up at run time (GetProcAddress) are not imports and are not checked here.
#   cmake -DDLL=path/TarvixQ920kCO.dll -DOBJDUMP=x86_64-w64-mingw32-objdump
#         -DTABLE=resources/imports-oldest-windows.tsv -DOLDEST=5.2 -P check_imports.cmake
cmake_minimum_required(VERSION 3.25)

foreach(var DLL OBJDUMP TABLE OLDEST)
    if(NOT ${var})
        message(FATAL_ERROR "check_imports.cmake: ${var} not given")
    endif()
endforeach()
if(NOT EXISTS "${DLL}")
    message(FATAL_ERROR "cannot check imports of ${DLL}: no such file (build the windows preset first: "
                        "cmake --preset windows && cmake --build --preset windows)")
endif()
if(NOT EXISTS "${TABLE}")
    message(FATAL_ERROR "cannot check imports of ${DLL}: table ${TABLE} missing")
endif()

# The table: "DLL<tab>function<tab>major.minor<tab>source", comments with #. Keys are the DLL's
# name in lower case (the loader finds DLLs without regard to case) and the function's name
# exactly (entry points are matched with case).
file(STRINGS "${TABLE}" table_lines)
set(problems "")
set(line_number 0)
foreach(line IN LISTS table_lines)
    math(EXPR line_number "${line_number} + 1")
    if(line MATCHES "^#" OR line STREQUAL "")
        continue()
    endif()
    if(NOT line MATCHES "^([^\t]+)\t([^\t]+)\t([0-9]+\\.[0-9]+)\t([^\t]*[^\t ][^\t]*)$")
        string(APPEND problems "\n  ${TABLE}:${line_number}: not DLL<tab>function<tab>major.minor<tab>source")
        continue()
    endif()
    string(TOLOWER "${CMAKE_MATCH_1}" table_dll)
    set(key "${table_dll}!${CMAKE_MATCH_2}")
    if(DEFINED "oldest_${key}")
        string(APPEND problems "\n  ${TABLE}:${line_number}: ${CMAKE_MATCH_2} from ${CMAKE_MATCH_1} listed twice")
    endif()
    set("oldest_${key}" "${CMAKE_MATCH_3}")
endforeach()

execute_process(COMMAND "${OBJDUMP}" -p "${DLL}" OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cannot read ${DLL} with ${OBJDUMP}: exit status ${status}")
endif()

# The import part of the dump runs from "The Import Tables" to the next "The ..." heading; in it,
# "DLL Name: X" starts a DLL's imports and each "<tab>vma<tab> hint  name" row is one function.
string(FIND "${dump}" "The Import Tables" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${DLL}: no import table found")
endif()
string(SUBSTRING "${dump}" ${at} -1 imports_part)
string(REGEX REPLACE "\nThe [^\n]*.*$" "" imports_part "${imports_part}")
string(REPLACE ";" "," imports_part "${imports_part}")
string(REPLACE "\n" ";" import_lines "${imports_part}")

set(dll "")
set(count 0)
foreach(line IN LISTS import_lines)
    if(line MATCHES "^\tDLL Name: (.+)$")
        string(STRIP "${CMAKE_MATCH_1}" dll)
    elseif(dll AND line MATCHES "^\t[0-9a-fA-F]+\t +[0-9]+  ([^ \t]+)")
        set(function "${CMAKE_MATCH_1}")
        math(EXPR count "${count} + 1")
        string(TOLOWER "${dll}" lower_dll)
        set(key "${lower_dll}!${function}")
        if(NOT DEFINED "oldest_${key}")
            string(APPEND problems "\n  imports ${function} from ${dll}, which ${TABLE} does not list: "
                                   "add it with the oldest Windows that exports it and the source of that figure")
        elseif("${oldest_${key}}" VERSION_GREATER "${OLDEST}")
            string(APPEND problems "\n  imports ${function} from ${dll}, which Windows has only from "
                                   "${oldest_${key}} on: the DLL serves ${OLDEST} and later")
        endif()
    elseif(dll AND line MATCHES "^\t[0-9a-fA-F]+\t" AND NOT line MATCHES "^\tvma:")
        string(STRIP "${line}" row)
        string(APPEND problems "\n  imports from ${dll} by ordinal or in a form not understood (\"${row}\")")
    endif()
endforeach()
if(count EQUAL 0)
    string(APPEND problems "\n  no imported function found")
endif()

if(problems)
    message(FATAL_ERROR "${DLL}:${problems}")
endif()
message(STATUS "${DLL}: ${count} imported functions, each in Windows ${OLDEST} or older")

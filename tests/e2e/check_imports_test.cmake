# The import check must refuse what would keep the DLL from loading on its oldest Windows: run on
# the built DLL against copies of the table with one import's row taken out, made newer than the
# oldest Windows, or written twice, it must fail and name the function.
#   cmake -DDLL=... -DOBJDUMP=... -DTABLE=... -DOLDEST=5.2 -DCHECK=check_imports.cmake -DWORK=dir
#         -P check_imports_test.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_and_expect.cmake)

file(READ "${TABLE}" table)
# GetTickCount: the DLL imports it for its own waits (the still-image service restart).
set(row_pattern "KERNEL32.dll\tGetTickCount\t[0-9.]+\t[^\n]*\n")
if(NOT table MATCHES "${row_pattern}")
    message(FATAL_ERROR "${TABLE} has no GetTickCount row to vary")
endif()
set(row "${CMAKE_MATCH_0}")

# case name, the table's text, what the check must say
string(REPLACE "${row}" "" without_row "${table}")
string(REGEX REPLACE "\tGetTickCount\t[0-9.]+\t" "\tGetTickCount\t6.0\t" newer "${table}")
set(twice "${table}${row}")
set(cases missing newer twice)
set(missing_table "${without_row}")
set(missing_says "imports GetTickCount from KERNEL32.dll, which @TABLE@ does not list")
set(newer_table "${newer}")
set(newer_says "imports GetTickCount from KERNEL32.dll, which Windows has only from 6.0 on")
set(twice_table "${twice}")
set(twice_says "GetTickCount from KERNEL32.dll listed twice")

file(MAKE_DIRECTORY "${WORK}")
foreach(case IN LISTS cases)
    set(variant "${WORK}/${case}.tsv")
    file(WRITE "${variant}" "${${case}_table}")
    run_expecting(${CMAKE_COMMAND} 1 -DDLL=${DLL} -DOBJDUMP=${OBJDUMP} -DTABLE=${variant} -DOLDEST=${OLDEST}
                  -P ${CHECK})
    string(REPLACE "@TABLE@" "${variant}" says "${${case}_says}")
    expect_in("${err}" "${says}")
endforeach()
message(STATUS "the import check refuses a missing, a too new and a doubled row")

# Checks the promises of tvx-inf-check's command line. Run by ctest as:
#   cmake -DCHECKER=tvx-inf-check -DFIXTURES=tests/package/fixtures -DPACKAGE_INF=the package's INF
#         -DSCRATCH=a folder of its own -P inf_check_command.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_and_expect.cmake)
macro(run_check expected_status)
    run_expecting(${CHECKER} ${expected_status} ${ARGN})
endmacro()

run_check(1 ${FIXTURES}/missing_section.inf)
expect_in("${err}" "${FIXTURES}/missing_section.inf:27: [Dev] AddReg names section 'Dev.AddReg', which is not in the file\n")
expect_in("${err}" "missing_section.inf: 1 problem(s) found")

run_check(0 ${FIXTURES}/coinstaller.inf)
expect_in("${out}" "coinstaller.inf: INF check passed")

# Every file given is checked, the good one does not hide the broken one.
run_check(1 ${FIXTURES}/coinstaller.inf ${FIXTURES}/missing_section.inf)
expect_in("${err}" "2 INF files: 1 problem(s) found")

run_check(2)
run_check(2 --package)
run_check(2 --verbose ${FIXTURES}/coinstaller.inf)

# What is no INF: a folder is a bad command line (the package folder has its own option); a file
# that is missing or empty is a problem of that file. Each says which and what is wrong, no crash.
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH}/folder)
run_check(2 ${SCRATCH}/folder)
expect_in("${err}" "${SCRATCH}/folder: is a folder, not an INF file (tvx-inf-check --package ${SCRATCH}/folder checks a driver package folder)\n")
expect_in("${err}" "usage: tvx-inf-check INF...")
run_check(2 ${FIXTURES}/coinstaller.inf ${SCRATCH}/folder)
run_check(2 "")
run_check(1 ${SCRATCH}/none.inf)
expect_in("${err}" "${SCRATCH}/none.inf: cannot be read: there is no such file\n")
file(WRITE ${SCRATCH}/empty.inf "")
run_check(1 ${SCRATCH}/empty.inf)
expect_in("${err}" "${SCRATCH}/empty.inf: is empty (0 bytes): it holds no INF text\n")
run_check(1 --package ${SCRATCH}/folder)
expect_in("${err}" "${SCRATCH}/folder: holds no INF file\n")

# INFs saved as UTF-16 little-endian with the byte-order mark, as Notepad saves "Unicode" (iconv's
# UTF-16 writes the mark and the machine's byte order, little-endian here).
find_program(ICONV iconv REQUIRED)
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
function(save_utf16 from to)
    execute_process(COMMAND ${ICONV} -f WINDOWS-1252 -t UTF-16 ${from} OUTPUT_FILE ${to} RESULT_VARIABLE status)
    file(READ ${to} mark LIMIT 2 HEX)
    if(NOT status EQUAL 0 OR NOT mark STREQUAL "fffe")
        message(FATAL_ERROR "iconv did not save ${from} as UTF-16LE with its mark (status ${status}, mark ${mark})")
    endif()
endfunction()

# The package's own INF reads the same as UTF-16: it passes, as its ANSI form does.
save_utf16(${PACKAGE_INF} ${SCRATCH}/package16.inf)
run_check(0 ${SCRATCH}/package16.inf)
expect_in("${out}" "package16.inf: INF check passed")

# An INF with the buttons' friendly names in [Dev.EvtReg]: each line the co-installer will not read.
save_utf16(${FIXTURES}/buttons.inf ${SCRATCH}/buttons16.inf)
run_check(1 ${SCRATCH}/buttons16.inf)
expect_in("${err}" "${SCRATCH}/buttons16.inf:59: [Dev.EvtReg] the co-installer will not find the friendly-name token of button 'ScanButton' of [Dev.Events] ('Scan.Friendly') in a UTF-16 INF")
expect_in("${err}" "${SCRATCH}/buttons16.inf:60: [Dev.EvtReg] the co-installer will not find the friendly-name token of button 'CopyButton' of [Dev.Events] ('Copy.Friendly') in a UTF-16 INF")
expect_in("${err}" "buttons16.inf: 2 problem(s) found")
run_check(0 ${FIXTURES}/buttons.inf)

# Checks the promises of tvx-inf-check's command line. Run by ctest as:
#   cmake -DCHECKER=tvx-inf-check -DFIXTURES=tests/package/fixtures -P inf_check_command.cmake
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

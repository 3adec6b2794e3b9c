# Checks the promises of tvx-inf-check's command line. Run by ctest as:
#   cmake -DCHECKER=tvx-inf-check -DFIXTURES=tests/package/fixtures -P inf_check_command.cmake
function(run_check expected_status)
    execute_process(COMMAND ${CHECKER} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status STREQUAL "${expected_status}")
        message(FATAL_ERROR "tvx-inf-check ${ARGN}: exit status ${status}, expected ${expected_status}\n${out}\n${err}")
    endif()
    set(err "${err}" PARENT_SCOPE)
    set(out "${out}" PARENT_SCOPE)
endfunction()

function(expect_in text what)
    string(FIND "${text}" "${what}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "expected to find:\n${what}\nin:\n${text}")
    endif()
endfunction()

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

# What the command-line checks run as `cmake -P` scripts share: running a program and expecting its
# exit status, and finding a text in what it said.

# Runs PROGRAM with the remaining arguments and fails unless it exits with EXPECTED_STATUS. What it
# printed is left in `out` and `err` of the caller's scope.
function(run_expecting program expected_status)
    execute_process(COMMAND ${program} ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status STREQUAL "${expected_status}")
        get_filename_component(name ${program} NAME)
        message(FATAL_ERROR "${name} ${ARGN}: exit status ${status}, expected ${expected_status}\n${out}\n${err}")
    endif()
    set(out "${out}" PARENT_SCOPE)
    set(err "${err}" PARENT_SCOPE)
endfunction()

# Fails unless TEXT holds WHAT.
function(expect_in text what)
    string(FIND "${text}" "${what}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "expected to find:\n${what}\nin:\n${text}")
    endif()
endfunction()

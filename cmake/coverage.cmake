# The coverage tree (preset "coverage", build/coverage): the co-installer's logic built by gcc with
# its coverage counters (--coverage) and without optimisation, so that each source line maps onto
# the code that runs it. The counters go into the logic (tvx_logic, the host library) and into the
# programs that compile the logic's headers or sources in (the tests, the contract suite, the INF
# check): an inline function of a logic header is kept once per program, from whichever object the
# linker meets first, and a copy without counters would hide its runs. The simulated machine and the
# scenario tools are built as in the host tree, so that they come from the compiler cache and run
# at their usual speed. `make coverage` runs the host tests there and reads the counts
# (scripts/coverage.sh). Host builds only; the Windows side is never built here.
option(TVX_COVERAGE "Count which lines and branches of the co-installer's logic the tests run" OFF)

set(TVX_COVERAGE_FLAGS)
if(TVX_COVERAGE AND NOT WIN32)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        message(FATAL_ERROR "TVX_COVERAGE needs gcc (gcov's counters): configure with the preset \"coverage\"")
    endif()
    # -fprofile-abs-path: the counts name their sources by full path, which the compiler cache's
    # relative paths would otherwise leave gcov unable to find.
    set(TVX_COVERAGE_FLAGS --coverage -O0 -fprofile-abs-path)
    # Every program and library that links counting objects carries gcov's runtime, which writes
    # the counts when the program ends or the library is unloaded.
    add_link_options(--coverage)
endif()

# Counts the lines the given targets' own sources run, in the coverage tree; does nothing elsewhere.
function(tvx_count_coverage)
    if(TVX_COVERAGE_FLAGS)
        foreach(target IN LISTS ARGN)
            target_compile_options(${target} PRIVATE ${TVX_COVERAGE_FLAGS})
        endforeach()
    endif()
endfunction()

# The coverage tree (preset "coverage", build/coverage): the co-installer's logic built by gcc with
# its coverage counters (--coverage) and without optimisation, so that each source line maps onto
# the code that runs it. Only the logic's own objects count (tvx_logic, the host library's exports,
# the logic the contract suite compiles in); the simulated machine, the tools and the tests are
# built as in the host tree, so that they come from the compiler cache and run at their usual
# speed. `make coverage` runs the host tests there and reads the counts (scripts/coverage.sh).
# Host builds only; the Windows side is never built here.
option(TVX_COVERAGE "Count which lines and branches of the co-installer's logic the tests run" OFF)

set(TVX_COVERAGE_FLAGS)
if(TVX_COVERAGE AND NOT WIN32)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        message(FATAL_ERROR "TVX_COVERAGE needs gcc (gcov's counters): configure with the preset \"coverage\"")
    endif()
    set(TVX_COVERAGE_FLAGS --coverage -O0)
    # Every program and library that links counting objects carries gcov's runtime, which writes
    # the counts when the program ends or the library is unloaded.
    add_link_options(--coverage)
endif()

# Counts the lines of a target's own sources (TARGET) or of single sources (SOURCES) in the
# coverage tree; does nothing elsewhere.
function(tvx_count_coverage)
    if(NOT TVX_COVERAGE_FLAGS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "TARGET" "SOURCES" ${ARGN})
    if(ARG_TARGET)
        target_compile_options(${ARG_TARGET} PRIVATE ${TVX_COVERAGE_FLAGS})
    endif()
    if(ARG_SOURCES)
        set_source_files_properties(${ARG_SOURCES} PROPERTIES COMPILE_OPTIONS "${TVX_COVERAGE_FLAGS}")
    endif()
endfunction()

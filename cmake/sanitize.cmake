# The sanitized host tree (preset "sanitize", build/sanitize): every host target built by clang with
# AddressSanitizer and UndefinedBehaviorSanitizer, any report ending the program with a failure, and
# the code instrumented for libFuzzer's coverage so that the fuzz targets (fuzz/) share the tree.
# Host builds only; the Windows side is never built here.
option(TVX_SANITIZE "Build the host tree with ASan and UBSan, and the libFuzzer targets" OFF)

if(TVX_SANITIZE AND NOT WIN32)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "TVX_SANITIZE needs clang (its libFuzzer): configure with the preset \"sanitize\"")
    endif()
    # -O1 keeps the sanitized tests quick; the frame pointers keep the reports' stacks whole; line
    # tables are all the reports' file:line need (a full -g costs much more to build).
    add_compile_options(-O1 -gline-tables-only -fno-omit-frame-pointer
                        -fsanitize=address,undefined -fno-sanitize-recover=all
                        -fsanitize=fuzzer-no-link)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

# Windows programs of the cross build (test programs, the Wine harness, stand-ins): linked with the
# static runtime, so that Wine runs them with no DLL beyond the system's.
include_guard(GLOBAL)

function(tvx_windows_program target)
    target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR})
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
endfunction()

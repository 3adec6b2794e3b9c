# Host-build tests that run Windows programs of the cross build under Wine. The Windows build is
# found through TVX_WINDOWS_BUILD_DIR; every such test shares one private Wine prefix below the host
# build folder, made by the "wine.prefix" test the others require. Include it from each directory
# that adds such tests (the variables it sets are the directory's own).

set(TVX_WINDOWS_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/windows" CACHE PATH
    "Build folder of the Windows (cross) build whose DLL and programs the Wine tests use")
set(TVX_WINE_PREFIX "${CMAKE_BINARY_DIR}/wine/prefix")
set(TVX_WINE_RUN "${CMAKE_SOURCE_DIR}/tools/wine/wine-run.sh")

get_property(tvx_wine_prefix_test GLOBAL PROPERTY TVX_WINE_PREFIX_TEST)
if(NOT tvx_wine_prefix_test)
    set_property(GLOBAL PROPERTY TVX_WINE_PREFIX_TEST ON)
    add_test(NAME wine.prefix COMMAND ${TVX_WINE_RUN} --prefix ${TVX_WINE_PREFIX} --init)
    set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wine_prefix TIMEOUT 900 LABELS wine)
endif()

# tvx_add_wine_test(NAME name PROGRAM path-in-the-windows-build [ARGS ...]): runs a program of the
# Windows build under Wine; the test fails when the program was not built.
function(tvx_add_wine_test)
    cmake_parse_arguments(WT "" "NAME;PROGRAM" "ARGS" ${ARGN})
    add_test(NAME ${WT_NAME}
             COMMAND ${TVX_WINE_RUN} --prefix ${TVX_WINE_PREFIX} ${TVX_WINDOWS_BUILD_DIR}/${WT_PROGRAM} ${WT_ARGS})
    set_tests_properties(${WT_NAME} PROPERTIES FIXTURES_REQUIRED wine_prefix TIMEOUT 600 LABELS wine)
endfunction()

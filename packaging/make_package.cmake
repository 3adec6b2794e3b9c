# Lays out the driver package folder as a driver team hands it to signing, then checks it with the
# package's INF check. The folder is made afresh and holds the INF, TarvixQ920kCO.dll and README.txt.
#   cmake -DDLL=... -DINF=... -DREADME=... -DOUT=folder -DCHECKER=tvx-inf-check -P make_package.cmake
cmake_minimum_required(VERSION 3.25)

foreach(input DLL INF README OUT CHECKER)
    if(NOT ${input})
        message(FATAL_ERROR "make_package.cmake: -D${input}=... is missing")
    endif()
endforeach()
foreach(file "${DLL}" "${INF}" "${README}")
    if(NOT EXISTS "${file}")
        message(FATAL_ERROR "cannot lay out the driver package: ${file} is missing "
                            "(the DLL comes from the Windows build: make windows)")
    endif()
endforeach()

file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
file(COPY "${INF}" "${DLL}" "${README}" DESTINATION "${OUT}")

execute_process(COMMAND "${CHECKER}" --package "${OUT}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "the driver package in ${OUT} fails its INF check:\n${err}${out}")
endif()
message(STATUS "driver package laid out in ${OUT}\n${out}")

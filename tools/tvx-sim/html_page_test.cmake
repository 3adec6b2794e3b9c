# Opens the built-in scenario's report page in headless Chromium and checks the document the browser
# built and laid out: the timeline with a box per call, each name fitting its box and no two boxes
# overlapping, the registry table, no script and nothing said on the console. Keeps a screenshot of
# the timeline. Run by ctest as:
#   cmake -DTVX_SIM=... -DCHROMIUM=... -DWORK=... -DSCREENSHOT=... -P html_page_test.cmake
if(NOT CHROMIUM)
    message(FATAL_ERROR "headless Chromium is needed: install the Debian package chromium (make deps)")
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_and_expect.cmake)

execute_process(COMMAND ${TVX_SIM} run --html ${WORK}/report.html RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tvx-sim run --html: exit status ${status}\n${err}")
endif()
expect_in("${err}" "the report as a web page is in ${WORK}/report.html")

# As root the browser runs only without its sandbox; its own profile keeps it away from the home folder.
set(browser ${CHROMIUM} --headless --no-sandbox --disable-gpu --no-first-run --no-default-browser-check
    --disable-extensions --user-data-dir=${WORK}/profile --hide-scrollbars --enable-logging=stderr --v=0)

function(load_page page)
    execute_process(COMMAND ${browser} --dump-dom file://${page}
        RESULT_VARIABLE status OUTPUT_VARIABLE dom ERROR_VARIABLE log TIMEOUT 180)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "chromium --dump-dom ${page}: exit status ${status}\n${log}")
    endif()
    set(dom "${dom}" PARENT_SCOPE)
    set(log "${log}" PARENT_SCOPE)
endfunction()

# The page as the browser parsed it; the console says nothing about it.
load_page(${WORK}/report.html)
string(REGEX MATCHALL "[^\n]*:CONSOLE[^\n]*" console "${log}")
if(console)
    message(FATAL_ERROR "the page's console is not silent:\n${console}")
endif()
expect_in("${dom}" "<svg class=\"timeline\"")
expect_in("${dom}" "<table class=\"registry\">")
expect_in("${dom}" "_PnPFinishedEvent")
string(FIND "${dom}" "<script" script)
if(NOT script EQUAL -1)
    message(FATAL_ERROR "the page has a script element")
endif()

# The page as laid out: a copy with a probe that measures it and writes what it found into the page.
file(READ ${WORK}/report.html page)
file(READ ${CMAKE_CURRENT_LIST_DIR}/html_page_probe.js probe)
string(REPLACE "</body>" "<script>\n${probe}</script>\n</body>" page "${page}")
file(WRITE ${WORK}/probe.html "${page}")
load_page(${WORK}/probe.html)
if(NOT dom MATCHES "<pre id=\"probe\">([^<]*)</pre>")
    message(FATAL_ERROR "the probe wrote nothing; the browser said:\n${log}")
endif()
set(found "${CMAKE_MATCH_1}")
message(STATUS "what the browser laid out:\n${found}")
foreach(line
        "call boxes 3, drawn 3"
        "names not fitting their box: none"
        "boxes overlapping: none"
        "labels running into the picture: none"
        "firmware tool waited for: drawn")
    expect_in("${found}" "${line}")
endforeach()
if(NOT found MATCHES "registry rows shown: all [1-9]")
    message(FATAL_ERROR "the registry table is not shown whole:\n${found}")
endif()

# A screenshot of the timeline, kept in the build folder: the page with everything else hidden.
file(READ ${WORK}/report.html page)
string(REPLACE "</head>" "<style>header, section:not(#timeline) { display: none; }</style>\n</head>" page "${page}")
file(WRITE ${WORK}/timeline.html "${page}")
file(REMOVE ${SCREENSHOT})
get_filename_component(screenshot_folder ${SCREENSHOT} DIRECTORY)
file(MAKE_DIRECTORY ${screenshot_folder})
execute_process(COMMAND ${browser} --screenshot=${SCREENSHOT} --window-size=1440,400 file://${WORK}/timeline.html
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE log TIMEOUT 180)
if(NOT status EQUAL 0 OR NOT EXISTS ${SCREENSHOT})
    message(FATAL_ERROR "chromium --screenshot: exit status ${status}\n${log}")
endif()
message(STATUS "the timeline's screenshot is in ${SCREENSHOT}")

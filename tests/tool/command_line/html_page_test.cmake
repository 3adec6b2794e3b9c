# Opens report pages in headless Chromium and checks the documents the browser built and laid out
# in a window 1,400 px wide: the built-in scenario's page and the page of a run whose calls take no
# virtual time (NO_TIME_SCENARIO). On both: the timeline with a box per call, each name fitting its
# box and no two boxes overlapping, every label of the picture whole and inside it, nothing wider
# than the window and nothing behind a scroll bar, every Windows name in the text explained on
# hover, no script and nothing said on the console. Keeps a screenshot of the built-in scenario's
# timeline. Run by ctest as:
#   cmake -DTVX_SIM=... -DCHROMIUM=... -DNO_TIME_SCENARIO=... -DWORK=... -DSCREENSHOT=... -P html_page_test.cmake
if(NOT CHROMIUM)
    message(FATAL_ERROR "headless Chromium is needed: install the Debian package chromium (make deps)")
endif()
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/run_and_expect.cmake)

execute_process(COMMAND ${TVX_SIM} run --html ${WORK}/report.html RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tvx-sim run --html: exit status ${status}\n${err}")
endif()
expect_in("${err}" "the report as a web page is in ${WORK}/report.html")
execute_process(COMMAND ${TVX_SIM} run --html ${WORK}/no-time.html ${NO_TIME_SCENARIO}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tvx-sim run --html ... ${NO_TIME_SCENARIO}: exit status ${status}\n${err}")
endif()

# As root the browser runs only without its sandbox; its own profile keeps it away from the home folder.
set(browser ${CHROMIUM} --headless --no-sandbox --disable-gpu --no-first-run --no-default-browser-check
    --disable-extensions --user-data-dir=${WORK}/profile --enable-logging=stderr --v=0)

# Loads a page in a window 1,400 px wide, with the scroll bars a reader's browser shows.
function(load_page page)
    execute_process(COMMAND ${browser} --window-size=1400,1000 --dump-dom file://${page}
        RESULT_VARIABLE status OUTPUT_VARIABLE dom ERROR_VARIABLE log TIMEOUT 180)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "chromium --dump-dom ${page}: exit status ${status}\n${log}")
    endif()
    set(dom "${dom}" PARENT_SCOPE)
    set(log "${log}" PARENT_SCOPE)
endfunction()

# The page as the browser parsed it, its console silent; then the page as laid out: a copy with a
# probe that measures it and writes what it found into the page. Leaves the parsed page in
# `parsed` and what the probe found in `found`.
function(check_page name)
    load_page(${WORK}/${name}.html)
    string(REGEX MATCHALL "[^\n]*:CONSOLE[^\n]*" console "${log}")
    if(console)
        message(FATAL_ERROR "the console of ${name}.html is not silent:\n${console}")
    endif()
    expect_in("${dom}" "<svg class=\"timeline\"")
    expect_in("${dom}" "<p class=\"verdict ")
    string(FIND "${dom}" "<script" script)
    if(NOT script EQUAL -1)
        message(FATAL_ERROR "${name}.html has a script element")
    endif()
    set(parsed "${dom}" PARENT_SCOPE)

    file(READ ${WORK}/${name}.html page)
    file(READ ${CMAKE_CURRENT_LIST_DIR}/html_page_probe.js probe)
    string(REPLACE "</body>" "<script>\n${probe}</script>\n</body>" page "${page}")
    file(WRITE ${WORK}/${name}-probe.html "${page}")
    load_page(${WORK}/${name}-probe.html)
    if(NOT dom MATCHES "<pre id=\"probe\">([^<]*)</pre>")
        message(FATAL_ERROR "the probe wrote nothing on ${name}.html; the browser said:\n${log}")
    endif()
    set(found "${CMAKE_MATCH_1}")
    message(STATUS "what the browser laid out in ${name}.html:\n${found}")
    foreach(line
            "names not fitting their box: none"
            "boxes overlapping: none"
            "labels running into the picture: none"
            "labels cut or squeezed: none"
            "texts outside the picture: none"
            "timeline drawn at its own size: yes"
            "timeline behind a scroll bar: no"
            "page wider than the window: no"
            "elements cutting their text: none"
            "Windows names without an explanation: none")
        expect_in("${found}" "${line}")
    endforeach()
    if(NOT found MATCHES "Windows names explained: [1-9]")
        message(FATAL_ERROR "${name}.html explains no Windows name:\n${found}")
    endif()
    set(found "${found}" PARENT_SCOPE)
endfunction()

check_page(report)
expect_in("${parsed}" "_PnPFinishedEvent")
expect_in("${parsed}" "<table class=\"registry\">")
foreach(line "call boxes 3, drawn 3" "firmware tool waited for: drawn")
    expect_in("${found}" "${line}")
endforeach()
if(NOT found MATCHES "registry rows shown: all [1-9]")
    message(FATAL_ERROR "the registry table is not shown whole:\n${found}")
endif()

check_page(no-time)
expect_in("${parsed}" "here no virtual time passes at all")
if(NOT found MATCHES "call boxes ([1-9][0-9]*), drawn ([0-9]+)" OR NOT CMAKE_MATCH_1 EQUAL CMAKE_MATCH_2)
    message(FATAL_ERROR "the calls of the run without virtual time are not all drawn:\n${found}")
endif()

# A screenshot of the timeline, kept in the build folder: the page with everything else hidden.
file(READ ${WORK}/report.html page)
string(REPLACE "</head>" "<style>header, section:not(#timeline) { display: none; }</style>\n</head>" page "${page}")
file(WRITE ${WORK}/timeline.html "${page}")
file(REMOVE ${SCREENSHOT})
get_filename_component(screenshot_folder ${SCREENSHOT} DIRECTORY)
file(MAKE_DIRECTORY ${screenshot_folder})
execute_process(COMMAND ${browser} --hide-scrollbars --screenshot=${SCREENSHOT} --window-size=1400,400
    file://${WORK}/timeline.html
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE log TIMEOUT 180)
if(NOT status EQUAL 0 OR NOT EXISTS ${SCREENSHOT})
    message(FATAL_ERROR "chromium --screenshot: exit status ${status}\n${log}")
endif()
message(STATUS "the timeline's screenshot is in ${SCREENSHOT}")

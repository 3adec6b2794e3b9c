# Checks the promises of tvx-sim's command line. Run by ctest as:
#   cmake -DTVX_SIM=... -DFIXTURES=... -DSCENARIOS=... -DWORK=... -P cli_test.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/run_and_expect.cmake)
# Every run has a temporary folder of its own, where it makes its drive folders (and the built-in
# scenario's); whatever it ends with, it must leave that folder empty.
set(RUN_TMP ${WORK}/tmp)
file(MAKE_DIRECTORY ${RUN_TMP})
function(run_sim expected_status)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${RUN_TMP} ${TVX_SIM} ${ARGN}
                    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT status STREQUAL "${expected_status}")
        message(FATAL_ERROR "tvx-sim ${ARGN}: exit status ${status}, expected ${expected_status}\n${out}\n${err}")
    endif()
    file(GLOB left ${RUN_TMP}/*)
    if(left)
        message(FATAL_ERROR "tvx-sim ${ARGN} left behind: ${left}")
    endif()
    set(out "${out}" PARENT_SCOPE)
    set(err "${err}" PARENT_SCOPE)
endfunction()

# The built-in scenario runs, says what it is, answers each call by name, and meets its expectations.
run_sim(0 run)
expect_in("${out}" "Scenario \"first plug-in\" (scenarios/default/scenario.toml), run on the simulated machine")
expect_in("${out}" "=> ERROR_DI_POSTPROCESSING_REQUIRED (0xE0000226)")
expect_in("${out}" "TarvixScannerCoInstaller DIF_NEWDEVICEWIZARD_FINISHINSTALL (0x1E), pre-processing")
# The whole hardware-first job: the firmware tool waited for, then the setup from the disc's root.
expect_in("${out}" "Programs the co-installer waited for\n  step 3: \"D:\\fwUpdate\\tarvixFirmwareUpdateTool.exe -auto\", without a time limit: it ended after 12000 ms of virtual time")
expect_in("${out}" "step 3: \"D:\\setup.exe \"\n      in folder D:\\\n      creation flags CREATE_NEW_CONSOLE, start-up flags STARTF_FORCEONFEEDBACK, show state SW_SHOWNORMAL (1)")
expect_in("${out}" "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tarvix\\tvx\\c32\\tvx]\n  \"_PnPFinishedEvent\"=\"1\"")
expect_in("${out}" "| ModelString retrieved from registry = tvxQ920k")
expect_in("${out}" "Expectations of the scenario\n  all met")

run_sim(0 run --json)
expect_in("${out}" "\"machine_kind\": \"simulated machine\"")
expect_in("${out}" "\"outcome\": \"ended\",\n      \"timeout_ms\": 4294967295,\n      \"waited_ms\": 12000")
expect_in("${out}" "\"name\": \"ERROR_DI_POSTPROCESSING_REQUIRED\"")

# The final registry as a version-5 .reg file: UTF-16LE with its byte order mark.
run_sim(0 run --export-reg ${WORK}/final.reg)
file(READ ${WORK}/final.reg head LIMIT 4 HEX)
if(NOT head STREQUAL "fffe5700")
    message(FATAL_ERROR "final.reg does not start with the UTF-16LE byte order mark and \"W\": ${head}")
endif()

# A scenario is named by its file or by its folder.
run_sim(0 run --json ${SCENARIOS}/install-then-remove)
expect_in("${out}" "\"name\": \"install then remove\",\n    \"file\": \"${SCENARIOS}/install-then-remove/scenario.toml\"")
run_sim(0 check ${SCENARIOS}/default ${SCENARIOS}/sti-service-restart/)
expect_in("${out}" "PASS first plug-in (${SCENARIOS}/default/scenario.toml)")
expect_in("${out}" "2 scenarios: 2 passed, 0 failed")
# "." names the folder it stands for: its page is named after that folder.
run_sim(0 check --html ${WORK}/pages/dot ${SCENARIOS}/default/.)
expect_in("${out}" "PASS first plug-in (${SCENARIOS}/default/scenario.toml)")
if(NOT EXISTS ${WORK}/pages/dot/default.html)
    message(FATAL_ERROR "check --html of scenarios/default/. wrote no default.html")
endif()

# Bad input of every kind a newcomer meets: the scenario's file (with the line, where there is one)
# and what is wrong with it, exit status 2, and nothing left behind. The cases' files and folders:
set(B ${WORK}/bad)
file(MAKE_DIRECTORY ${B}/no-scenario ${B}/toml-folder/scenario.toml ${B}/reg-folder/folder.reg ${B}/link/disc)
file(WRITE ${B}/reg-folder/scenario.toml "[machine]\nregistry = [\"folder.reg\"]\n[[steps]]\naction = \"load\"\n")
file(WRITE ${B}/drive-file/disc "not a folder")
file(WRITE ${B}/drive-file/scenario.toml "[[machine.drives]]\nletter = \"D\"\nfolder = \"disc\"\n[[steps]]\naction = \"load\"\n")
# A drive folder that holds a link leading nowhere reads, but cannot be copied for the run.
file(CREATE_LINK ${B}/nowhere ${B}/link/disc/gone SYMBOLIC)
file(WRITE ${B}/link/scenario.toml "[[machine.drives]]\nletter = \"D\"\nfolder = \"disc\"\n[[steps]]\naction = \"load\"\n")
file(WRITE ${WORK}/extract-file "")
# Runs tvx-sim with the command line after MESSAGE; it must end with exit status 2, say MESSAGE on
# stderr, not abort, and leave nothing behind.
function(bad_case message)
    run_sim(2 ${ARGN})
    expect_in("${err}" "${message}")
    string(FIND "${err}" "terminate called" aborted)
    if(NOT aborted EQUAL -1)
        message(FATAL_ERROR "tvx-sim ${ARGN} aborted:\n${err}")
    endif()
endfunction()
bad_case("unknown_key.toml:7: unknown key 'colour' in [[machine.devices]]"
         run ${FIXTURES}/unknown_key.toml)
bad_case("no-such-scenario.toml: cannot read the scenario file"
         run ${WORK}/no-such-scenario.toml)
bad_case("${B}/no-scenario: the folder holds no scenario.toml"
         run ${B}/no-scenario)
bad_case("${B}/no-scenario: the folder holds no scenario.toml"
         check ${B}/no-scenario)
bad_case("${B}/no-scenario: the folder holds no scenario.toml"
         sweep ${B}/no-scenario)
bad_case("toml-folder/scenario.toml: cannot read the scenario file: it is a folder"
         run ${B}/toml-folder)
bad_case("reg-folder/scenario.toml:2: cannot read registry file ${B}/reg-folder/folder.reg: it is a folder"
         run ${B}/reg-folder)
bad_case("drive-file/scenario.toml:3: cannot read drive D: folder ${B}/drive-file/disc: not a folder"
         run ${B}/drive-file)
bad_case("missing_key_time.toml:5: key_times names a key the machine does not have"
         run ${FIXTURES}/missing_key_time.toml)
bad_case("missing_key_time.toml:5: key_times names a key the machine does not have"
         sweep --stride 50 ${FIXTURES}/missing_key_time.toml)
bad_case("link/scenario.toml:1: cannot copy drive D: folder: ${B}/link/disc/gone: No such file or directory"
         run ${B}/link)
bad_case("${WORK}/extract-file: not a folder"
         extract-default ${WORK}/extract-file)
bad_case("${SCENARIOS}/default: the folder is not empty; name a new or empty folder, or add --force"
         extract-default ${SCENARIOS}/default)

# check tells each bad scenario, reading or setting up, and still runs the good ones: a bad one
# makes the exit status 2 over an unmet expectation's 1.
run_sim(2 check ${SCENARIOS}/default ${FIXTURES}/bad_reg.toml ${FIXTURES}/missing_key_time.toml ${FIXTURES}/unmet.toml)
expect_in("${err}" "broken.reg:4: ")
expect_in("${err}" "missing_key_time.toml:5: key_times names a key the machine does not have")
expect_in("${out}" "PASS first plug-in")
expect_in("${out}" "BAD ${FIXTURES}/bad_reg.toml: not run (bad scenario)")
expect_in("${out}" "BAD ${FIXTURES}/missing_key_time.toml: not run (bad scenario)")
expect_in("${out}" "FAIL unmet")
expect_in("${out}" "4 scenarios: 1 passed, 1 failed, 2 bad (not run)")
# sweep likewise: the good scenario is swept.
run_sim(2 sweep --stride 50 ${FIXTURES}/missing_key_time.toml ${SCENARIOS}/default)
expect_in("${out}" "  first plug-in: ")
expect_in("${out}" "1 scenarios, ")
expect_in("${out}" "1 bad scenario (not swept)")

# The output files: one that cannot be written ends with a message and exit status 3, after the
# run, and leaves nothing behind either.
run_sim(3 run --export-reg ${WORK})
expect_in("${err}" "cannot write the final registry to ${WORK}: it is a folder")
run_sim(3 check --html ${WORK}/extract-file ${SCENARIOS}/default)
expect_in("${err}" "cannot write the report page ${WORK}/extract-file/default.html: cannot make its folder")

# A co-installer that cannot be loaded fails the run itself, with its machine already set up.
run_sim(3 --module ${WORK}/no-such-coinstaller.so run)
expect_in("${err}" "cannot load ${WORK}/no-such-coinstaller.so")

# extract-default writes into a new or an empty folder, and over a scenario only when told to.
run_sim(0 extract-default ${WORK}/extracted)
expect_in("${out}" "tvx-sim run ${WORK}/extracted")
file(WRITE ${WORK}/extracted/scenario.toml "# my own scenario\n")
run_sim(2 extract-default ${WORK}/extracted)
expect_in("${err}" "${WORK}/extracted: the folder is not empty")
file(READ ${WORK}/extracted/scenario.toml mine)
if(NOT mine STREQUAL "# my own scenario\n")
    message(FATAL_ERROR "extract-default wrote over a scenario without --force")
endif()
run_sim(0 extract-default --force ${WORK}/extracted)
run_sim(0 check ${WORK}/extracted)
file(MAKE_DIRECTORY ${WORK}/empty-folder)
run_sim(0 extract-default ${WORK}/empty-folder)

# Unmet expectations: each named with its line, exit status 1, from check and from run alike.
run_sim(1 run ${FIXTURES}/unmet.toml)
expect_in("${out}" "unmet.toml:20: expected value \"Marker\" of HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix to exist")
run_sim(1 check ${FIXTURES}/unmet.toml)
expect_in("${out}" "FAIL unmet")
expect_in("${out}" "unmet.toml:18: expected step 2 (TarvixScannerCoInstaller DIF_REMOVE (0x05)")
expect_in("${out}" "unmet.toml:20: expected value \"Marker\" of HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarvix to exist")
expect_in("${out}" "unmet.toml:25: expected a line \"No such line\" among the new lines of _coInst.log")
expect_in("${out}" "1 scenario: 0 passed, 1 failed")

# Usage errors are bad input too.
run_sim(2 run --no-such-option)

# The net change of an install followed by the removal: the registry difference and the files, and
# nothing of the calls.
run_sim(0 run --net-change ${SCENARIOS}/install-then-remove/scenario.toml)
expect_in("${out}" "Net change of scenario \"install then remove\" on the simulated machine, from the start of the run to its end")
expect_in("${out}" "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Tarvix\\DigitalImaging\\Tarvix Q920k]")
expect_in("${out}" "deleted folder %WINDIR%\\TWAIN_32\\tvpn_0000\n  deleted file %WINDIR%\\TWAIN_32\\tvpn_0000\\tvpn_0000.ds")
string(FIND "${out}" "Calls made on the co-installer" calls)
if(NOT calls EQUAL -1)
    message(FATAL_ERROR "--net-change printed the calls:\n${out}")
endif()
run_sim(2 run --net-change --json)

# The report as a web page: `run --html` makes the page's folder; `check --html` writes one page per
# scenario, named after its folder, and never one over another.
run_sim(0 run --html ${WORK}/pages/run/first.html)
expect_in("${err}" "the report as a web page is in ${WORK}/pages/run/first.html")
file(READ ${WORK}/pages/run/first.html page)
expect_in("${page}" "<svg class=\"timeline\"")
run_sim(0 check --html ${WORK}/pages/check ${SCENARIOS}/default/scenario.toml ${SCENARIOS}/sti-service-restart/scenario.toml
        ${SCENARIOS}/default/scenario.toml)
foreach(name default sti-service-restart default-2)
    if(NOT EXISTS ${WORK}/pages/check/${name}.html)
        message(FATAL_ERROR "check --html wrote no ${name}.html")
    endif()
endforeach()
file(READ ${WORK}/pages/check/sti-service-restart.html page)
expect_in("${page}" "<g class=\"service pending\">")
file(WRITE ${WORK}/pages/not-a-folder "")
run_sim(3 run --html ${WORK}/pages/not-a-folder/page.html)
expect_in("${err}" "cannot write the report page")

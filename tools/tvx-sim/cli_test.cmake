# Checks the promises of tvx-sim's command line. Run by ctest as:
#   cmake -DTVX_SIM=... -DFIXTURES=... -DSCENARIOS=... -DWORK=... -P cli_test.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/run_and_expect.cmake)
macro(run_sim expected_status)
    run_expecting(${TVX_SIM} ${expected_status} ${ARGN})
endmacro()

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

# Bad input: file and line of the problem, exit status 2, and nothing runs.
run_sim(2 run ${FIXTURES}/unknown_key.toml)
expect_in("${err}" "unknown_key.toml:7: unknown key 'colour' in [[machine.devices]]")
run_sim(2 check ${SCENARIOS}/default/scenario.toml ${FIXTURES}/bad_reg.toml)
expect_in("${err}" "broken.reg:4: ")
if(NOT out STREQUAL "")
    message(FATAL_ERROR "a check with a bad scenario ran something:\n${out}")
endif()
run_sim(2 run ${WORK}/no-such-scenario.toml)
expect_in("${err}" "no-such-scenario.toml: cannot read the scenario file")

# Unmet expectations: each named with its line, exit status 1.
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

# Writes a C++ source that holds every file below SOURCE_DIR, so that tvx-sim carries its default
# scenario inside the binary. Run as: cmake -DSOURCE_DIR=... -DOUTPUT=... -P embed_files.cmake
file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
list(SORT files)
set(arrays "")
set(entries "")
set(index 0)
foreach(name IN LISTS files)
    file(READ ${SOURCE_DIR}/${name} hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(APPEND arrays "const unsigned char kFile${index}[] = {${bytes}0x00};\n")
    string(APPEND entries "        {\"${name}\", kFile${index}, ${size}},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.tmp
"// Generated from scenarios/default by embed_files.cmake; do not edit.
#include \"tools/tvx-sim/embedded_scenario.h\"

namespace tvx::sim {
namespace {
${arrays}}  // namespace

const std::vector<EmbeddedFile>& DefaultScenarioFiles() {
    static const std::vector<EmbeddedFile> files = {
${entries}    };
    return files;
}

}  // namespace tvx::sim
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)

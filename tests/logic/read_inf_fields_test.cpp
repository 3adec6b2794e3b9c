// CReadInf's value fields: the first and third comma-separated fields of a key's value, trimmed
// of their first and last characters. Its table is shared with the contract suite
// (tests/contract/inf_reader_cases.h), so that it runs on both machines: here on the simulated one.
#include <gtest/gtest.h>

#include <string>

#include "inf/read_inf.h"
#include "tests/contract/inf_reader_cases.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;
using namespace tvx::inf_reader_table;

class ReadInfFieldsTest : public SimTest {};

TEST_F(ReadInfFieldsTest, TakesTheFirstAndThirdFields) {
    const std::string folder = "C:\\Drivers\\";
    for (const InfFile& f : AnsiFiles()) rig.machine.files().WriteFile(folder + f.name, f.bytes);
    for (const FieldsCase& c : FieldsCases()) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(RunFields(folder, c, Form::Ansi), "");
    }
}

}  // namespace

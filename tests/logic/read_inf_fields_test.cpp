// CReadInf's value fields: the first and third comma-separated fields of a key's value, trimmed
// of their first and last characters.
#include <gtest/gtest.h>

#include <string>

#include "inf/read_inf.h"
#include "tests/sim_fixture.h"

namespace {

using tvx::test::SimTest;

class ReadInfFieldsTest : public SimTest {};

TEST_F(ReadInfFieldsTest, TakesTheFirstAndThirdFields) {
    rig.machine.files().WriteFile(
        "C:\\Drivers\\tvx.inf",
        "[Scanner.Events]\r\n"
        "Full = %ScanButton.Desc%,{A6C5A715-8C6E-11D2-977A-0000F87A926F},%ScanApps%\r\n"
        "TwoFields = %Desc%,,%Apps%\r\n"
        "LeadingCommas = ,,%Desc%,x,%Apps%,more\r\n"
        "OneCharacter = x,y,z\r\n"
        "TwoCharacters = %%,ab,%%\r\n"
        "Blank = %Desc%, {guid}, %App%\r\n"
        "Empty =\r\n"
        "Literal = Cannot find key in inf\r\n"
        "Quoted = \"%Q%,b,%R%\"\r\n"
        "Long = %" + std::string(300, 'L') + "%\r\n");
    struct Case {
        const char* key;
        bool ok1;
        std::string field1;
        bool ok3;
        std::string field3;
    } cases[] = {
        {"Full", true, "ScanButton.Desc", true, "ScanApps"},
        {"TwoFields", true, "Desc", false, ""},
        {"LeadingCommas", true, "Desc", true, "Apps"},
        {"OneCharacter", true, "", true, ""},
        {"TwoCharacters", true, "", true, ""},
        {"Blank", true, "Desc", true, "%App"},
        {"Empty", false, "", false, ""},
        {"Missing", false, "Cannot find key in inf", false, "Cannot find key in inf"},
        {"Literal", false, "Cannot find key in inf", false, "Cannot find key in inf"},
        {"Quoted", true, "Q", true, "R"},
        // The value is cut at 259 characters, so the closing '%' is gone: the last kept 'L' goes.
        {"Long", true, std::string(257, 'L'), false, ""},
    };
    CReadInf inf("C:\\Drivers\\", "tvx.inf");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        std::string token = "<unset>";
        EXPECT_EQ(inf.GetStringValueName("Scanner.Events", c.key, token), c.ok1);
        EXPECT_EQ(token, c.field1);
        token = "<unset>";
        EXPECT_EQ(inf.GetAppValueName("Scanner.Events", c.key, token), c.ok3);
        EXPECT_EQ(token, c.field3);
    }
}

}  // namespace

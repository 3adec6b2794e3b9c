// IncrementTrailingNumber: the step from one numbered value name to the next.
#include <gtest/gtest.h>

#include <string>

#include "registry/trailing_number.h"

namespace {

TEST(IncrementTrailingNumber, StepsTheDecimalRunAtTheEnd) {
    struct Case {
        const char* before;
        int result;
        const char* after;
    } cases[] = {
        {"Button1", 0, "Button2"},
        {"Button9", 0, "Button10"},
        {"Button99", 0, "Button100"},
        {"ButNameInf119", 0, "ButNameInf120"},
        {"Item007", 0, "Item8"},
        {"Item000", 0, "Item1"},
        {"Item0", 0, "Item1"},
        {"12", 0, "13"},
        {"999", 0, "1000"},
        {"A1B9", 0, "A1B10"},
        {"Name", 1, "Name"},
        {"Name1x", 1, "Name1x"},
        {"", 1, ""},
        // Beyond any machine integer the text is still counted on, not wrapped.
        {"Button99999999999999999999", 0, "Button100000000000000000000"},
        {"Button18446744073709551615", 0, "Button18446744073709551616"},
        {"Button0000000000000000000000000041", 0, "Button42"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.before);
        std::string name = c.before;
        EXPECT_EQ(IncrementTrailingNumber(name), c.result);
        EXPECT_EQ(name, c.after);
    }
}

}  // namespace

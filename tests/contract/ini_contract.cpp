// The INI query's contract: every input of the agreement table (tests/ini_agreement_cases.h) gives
// Windows' bytes, return value and last error; under Wine, Wine's where the table marks a known
// difference. Portable: written against plat:: only.
#include "platform/files.h"
#include "platform/ini.h"
#include "tests/contract/check.h"
#include "tests/contract/ini_agreement_cases.h"

namespace {

using namespace tvx::ini_table;

CONTRACT_CASE(Ini, AgreementTable) {
    REQUIRE(WriteTableFiles());
    for (const IniCase& c : Cases()) {
        CONTEXT(c.name);
        const IniOutcome outcome = RunCase(c);
        if (!c.wine_differs) {
            CHECK_EQ(Check(c, outcome, Reference::Windows), "");
            continue;
        }
        KNOWN_DIFFERENCE(Wine, c.wine_differs) { CHECK_EQ(Check(c, outcome, Reference::Windows), ""); }
        if (contract::CurrentBackend() == contract::Backend::Wine) CHECK_EQ(Check(c, outcome, Reference::Wine), "");
    }
    RemoveTableFiles();
}

}  // namespace

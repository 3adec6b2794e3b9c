// IncrementTrailingNumber: the step from one numbered registry value name to the next.
// Portable logic.
#pragma once

#include <string>

// Steps a numbered name to the next of its series: the decimal digits at its end are read as a
// number, 1 is added and the sum replaces them without leading zeros ("ButNameInf9" becomes
// "ButNameInf10", "Item007" becomes "Item8"); a digit run of any length is counted on as text.
// 0 when the name ended in a digit; 1, with the name unchanged, when it is empty or does not.
int IncrementTrailingNumber(std::string& name);

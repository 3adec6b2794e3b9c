// IncrementTrailingNumber. Portable logic.
#include "registry/trailing_number.h"

int IncrementTrailingNumber(std::string& name) {
    size_t start = name.size();
    while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
    if (start == name.size()) return 1;

    // The number is counted on in its decimal text, so a run too long for any machine integer
    // still steps correctly.
    std::string digits = name.substr(start);
    size_t first = digits.find_first_not_of('0');
    digits = first == std::string::npos ? "0" : digits.substr(first);
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0)
        digits.insert(digits.begin(), '1');
    else
        ++digits[i - 1];

    name.replace(start, std::string::npos, digits);
    return 0;
}

#include "browser/style_length.h"

#include <climits>
#include <cwctype>

int StyleLengthToInt(const std::wstring& text) {
    std::wstring number = text.substr(0, text.find(L"px"));
    size_t i = 0;
    while (i < number.size() && std::iswspace(number[i])) {
        ++i;
    }
    bool negative = false;
    if (i < number.size() && (number[i] == L'+' || number[i] == L'-')) {
        negative = number[i] == L'-';
        ++i;
    }
    long long value = 0;
    for (; i < number.size() && number[i] >= L'0' && number[i] <= L'9'; ++i) {
        if (value <= INT_MAX) {
            value = value * 10 + (number[i] - L'0');
        }
    }
    value = negative ? -value : value;
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

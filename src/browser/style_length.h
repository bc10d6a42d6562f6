// The number a page gives in an inline style length ("400px", "400", "12em").
#pragma once

#include <string>

// The text up to the first "px" (all of it without one), read as the C library's wtoi reads:
// leading blanks and a sign allowed, digits up to the first other character, 0 without any.
// Values beyond int are clamped.
int StyleLengthToInt(const std::wstring& text);

// How the persistent client id is made (GetClientId in environment.h keeps it in guid.dat).
#pragma once

#include <string>
#include <string_view>

#include "platform/automation.h"

// The check digit of the id's 16 hexadecimal digits: the sum of their code values modulo 16,
// as a lower-case hexadecimal digit.
wchar_t ClientIdCheckDigit(std::wstring_view digits);
// The 17-character id of a GUID: the first 16 digits of the MD5 of the UTF-16LE bytes of its
// braced text, then the check digit.
std::wstring MakeClientId(const GUID& guid);

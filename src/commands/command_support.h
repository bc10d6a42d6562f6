// What the script commands share: result slots, their log lines and how a page-defined
// option's value reads in a log line.
#pragma once

#include <string>

#include "platform/automation.h"

// Flags of a call, tested bit by bit: a call may be a method call and a property read at once.
inline bool IsMethodCall(WORD wFlags) {
    return (wFlags & DISPATCH_METHOD) != 0;
}
inline bool IsPropertyRead(WORD wFlags) {
    return (wFlags & DISPATCH_PROPERTYGET) != 0;
}

// Commands that answer a property read with true and go on: the read's answer is set, and the
// result tells whether the call also asks for the method.
bool AnswerReadAndContinue(WORD wFlags, VARIANT* pVarResult);

// The script's argument at position (0 = the first one passed), of any type; E_FAIL when the
// script passed fewer arguments.
HRESULT GetScriptValue(const DISPPARAMS* params, UINT position, const VARIANT** value);

// Booleans go back to pages as VT_BOOL holding 1.
void SetBoolResult(VARIANT* pVarResult, bool value);
// A fresh BSTR copy of the text as VT_BSTR; E_OUTOFMEMORY when it cannot be allocated.
HRESULT SetTextResult(VARIANT* pVarResult, const std::wstring& text);

// printf-style wide text ("%ls" for wide strings); text from pages goes in as arguments.
std::wstring FormatText(const wchar_t* format, ...);

// "Value:%ls" with the text of a VT_BSTR, otherwise "Value:%d" with the 32-bit value field.
std::wstring DescribeOptionValue(const VARIANT& value);

// One log line at info level with the text as it stands.
void LogCommandLine(const std::wstring& text);

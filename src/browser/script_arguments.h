// Checked reads of a command's arguments. A page decides how many arguments it passes and of
// which types, so a command reads them through these and never past what the page passed.
#pragma once

#include <string>

#include "platform/automation.h"

// The script's argument at position (0 = the first one the script passed; the automation order
// is the reverse). E_FAIL when the script passed fewer arguments, DISP_E_TYPEMISMATCH when the
// argument is not of type vt.
HRESULT GetScriptArgument(const DISPPARAMS* params, UINT position, VARTYPE vt,
                          const VARIANT** value);

// A text argument; a null BSTR is the empty text.
HRESULT GetScriptText(const DISPPARAMS* params, UINT position, std::wstring& text);

// A number or flag argument: VT_I4 or VT_INT as it is, VT_BOOL as its VARIANT_BOOL (-1 or 0).
HRESULT GetScriptInt(const DISPPARAMS* params, UINT position, LONG& value);

// How a page's call on window.external reaches the window's automation object: the name's
// DISPID first, then Invoke with the arguments in the automation order.
#pragma once

#include <string>
#include <vector>

#include "platform/automation.h"

// S_OK when external has a member of that name, DISP_E_UNKNOWNNAME otherwise (also when
// there is no external object).
HRESULT LookUpExternalMember(IDispatch* external, const std::wstring& name);

// Calls the member with the script's arguments (first argument first). The automation
// object sees exactly that many arguments, the first one last, each its own copy.
HRESULT InvokeExternalMember(IDispatch* external, const std::wstring& name, WORD flags,
                             const std::vector<VARIANT>& scriptArgs, VARIANT* result);

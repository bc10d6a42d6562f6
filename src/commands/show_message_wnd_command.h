// "ShowMessageWnd"(url, width, height): opens a new message popup beside the taskbar.
#pragma once

#include <string>

#include "browser/invoke_handler.h"

class CInvokeHandler_ShowMessageWnd : public CInvokeHandler {
public:
    explicit CInvokeHandler_ShowMessageWnd(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
};

// An address that begins with "http" (case-sensitive) stays as it is; anything else is a page
// path inside res/ beside the executable, with either kind of separator. "" for a path that
// would leave res/ (see IsResPagePath).
std::wstring ResolvePopupUrl(const std::wstring& url);

// A page asks for any size: it is kept between 0 and what the screen can show.
int ClampPopupExtent(LONG requested, LONG available);

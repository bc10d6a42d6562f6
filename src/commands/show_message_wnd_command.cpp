#include "commands/show_message_wnd_command.h"

#include <algorithm>

#include "app/log.h"
#include "browser/local_page.h"
#include "browser/script_arguments.h"
#include "commands/command_support.h"
#include "platform/wnd.h"
#include "windows/message_wnd.h"

std::wstring ResolvePopupUrl(const std::wstring& url) {
    if (url.find(L"http") == 0) {
        return url;
    }
    return IsResPagePath(url) ? LocalPagePath(url) : std::wstring();
}

int ClampPopupExtent(LONG requested, LONG available) {
    return static_cast<int>(std::clamp<LONG>(requested, 0, std::max<LONG>(available, 0)));
}

HRESULT CInvokeHandler_ShowMessageWnd::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                              VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (!AnswerReadAndContinue(wFlags, pVarResult)) {
        return S_OK;
    }
    std::wstring url;
    LONG width = 0;
    LONG height = 0;
    HRESULT hr = GetScriptText(pDispParams, 0, url);
    if (SUCCEEDED(hr)) {
        hr = GetScriptInt(pDispParams, 1, width);
    }
    if (SUCCEEDED(hr)) {
        hr = GetScriptInt(pDispParams, 2, height);
    }
    if (FAILED(hr)) {
        return hr;
    }
    WriteLog(info, L"call %s, URL:%s, Width:%d, Height:%d", m_strName.c_str(), url.c_str(),
             static_cast<int>(width), static_cast<int>(height));

    RECT workArea{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    GetWorkArea(&workArea);
    // The popup deletes itself when its window is destroyed.
    CMessageWnd* popup =
        CMessageWnd::CreatePopup(ClampPopupExtent(width, workArea.right - workArea.left),
                                 ClampPopupExtent(height, workArea.bottom - workArea.top));
    if (popup == nullptr) {
        return S_OK;
    }
    const std::wstring resolved = ResolvePopupUrl(url);
    if (resolved.empty()) {
        WriteLog(info, L"call %s, URL:%s refused: not a page of res", m_strName.c_str(),
                 url.c_str());
    }
    // A refused path is a navigation that fails at once: the popup goes again unseen.
    popup->NavigateTo(resolved);
    if (popup->m_bNavigateFailed) {
        popup->DestroyWindow();
    }
    return S_OK;
}

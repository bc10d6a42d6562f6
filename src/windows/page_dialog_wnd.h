// What the option and about windows share: a small top-level page window made on demand, with
// icon 128 big and small, that takes its page's size and centres itself whenever a document
// has loaded. Its bridge is built by the window's constructor, before any window exists.
#pragma once

#include "browser/iewapper_wnd.h"
#include "browser/main_dispatch_imp.h"

class CPageDialogWnd : public CIEWapperWnd {
public:
    ~CPageDialogWnd() override;

    // Creates the invisible window; it shows itself when its page has loaded.
    BOOL CreateWnd();

    void OnPageDocumentComplete(std::wstring url) override;
    void OnPageLoadOverdue(std::wstring url) override;

    CMainDispatchImp* m_pDispatch = nullptr;

protected:
    // The outer rectangle the window has until its page declares a size.
    explicit CPageDialogWnd(const RECT& rcInitial);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    const RECT m_rcInitial;
};

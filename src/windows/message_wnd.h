// The message popup: a borderless, always-on-top page window beside the taskbar that slides
// up into view when its page has loaded and slides down when closed. It lives on the heap and
// deletes itself when its window is destroyed.
#pragma once

#include "browser/iewapper_wnd.h"
#include "browser/main_dispatch_imp.h"
#include "commands/app_commands.h"
#include "commands/window_commands.h"

class CMessageWnd : public CIEWapperWnd {
public:
    static constexpr UINT_PTR ID_TIMER_SHOW = 101;
    static constexpr UINT_PTR ID_TIMER_HIDE = 102;

    CMessageWnd();
    ~CMessageWnd() override;

    // Creates the hidden popup window of width × height (0 × 0: the page's declared size) and
    // places it beside the taskbar.
    BOOL Create(int width, int height);
    // A new popup on the heap with its window created; null when that fails (nothing is left).
    static CMessageWnd* CreatePopup(int width, int height);
    void StartSlideIn();

    void OnPageDocumentComplete(std::wstring url) override;
    void OnPageNavigateError(std::wstring url) override;

    CMainDispatchImp* m_pDispatch = nullptr;
    CInvokeHandler_CloseWnd m_cmdCloseWnd{L"CloseWnd", this};
    CInvokeHandler_IsClient m_cmdIsClient{L"IsTavnelClient"};
    CInvokeHandler_GetAppVersion m_cmdGetAppVersion{L"GetAppVersion"};
    CInvokeHandler_RestartApp m_cmdRestartApp{L"RestartApp", this};
    // The rectangle the slide-in ends at.
    RECT m_rcTarget{};
    BOOL m_bNavigateFailed = FALSE;
    // 0: WM_CLOSE destroys the popup at once (the update popup).
    BOOL m_bAnimateClose = TRUE;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

private:
    int OnCreate(const CREATESTRUCTW& create);
    void OnSlideInTick();
    void OnSlideOutTick();
    // Moves the popup and remembers where: the window manager's report of a window that is
    // hidden or 0 pixels high is not what the slide needs.
    void Place(const RECT& rect, HWND insertAfter, UINT flags);

    RECT m_rcWindow{};
    bool m_bClosing = false;
    bool m_bSlideStarted = false;
    // Deleted by its owner while its window still exists: the destruction must not delete it
    // a second time.
    bool m_bDeleting = false;
    // Set when the object deletes itself, for a caller still holding it.
    bool* m_pDeletedFlag = nullptr;
};

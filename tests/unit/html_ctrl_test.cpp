#include "browser/html_ctrl_ex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/main_dispatch_imp.h"

namespace {

class CAppUrlCtrl : public CHtmlCtrl {
public:
    void OnAppUrl(LPCWSTR lpszWhere) override { m_urls.push_back(lpszWhere); }
    std::vector<std::wstring> m_urls;
};

class CExposedCtrlEx : public CHtmlCtrlEx {
public:
    using CHtmlCtrlEx::OnBeforeNavigate2;
    using CHtmlCtrlEx::OnGetExternal;
    using CHtmlCtrlEx::OnNavigateError;
};

BOOL Navigate(CHtmlCtrl& ctrl, const wchar_t* url) {
    BOOL cancel = FALSE;
    ctrl.OnBeforeNavigate2(url, 0, L"", {}, L"", &cancel);
    return cancel;
}

}  // namespace

TEST(HtmlCtrl, AppAddressesAreHandedToOnAppUrlAndCancelled) {
    CAppUrlCtrl ctrl;
    EXPECT_TRUE(Navigate(ctrl, L"app:open"));
    EXPECT_TRUE(Navigate(ctrl, L"APP:Options?x=1"));
    EXPECT_TRUE(Navigate(ctrl, L"aPp:"));
    EXPECT_FALSE(Navigate(ctrl, L"apps:open"));
    EXPECT_FALSE(Navigate(ctrl, L"app"));
    EXPECT_FALSE(Navigate(ctrl, L"http://host/app:open"));
    EXPECT_EQ(ctrl.m_urls, (std::vector<std::wstring>{L"open", L"Options?x=1", L""}));
}

TEST(HtmlCtrlEx, GivesItsExternalObjectWithAReferenceAndLeavesAppAddressesAlone) {
    CExposedCtrlEx ctrl;
    IDispatch* out = reinterpret_cast<IDispatch*>(&ctrl);
    EXPECT_EQ(ctrl.OnGetExternal(&out), S_FALSE);
    EXPECT_EQ(out, reinterpret_cast<IDispatch*>(&ctrl));

    CMainDispatchImp dispatch;
    ctrl.m_pExternalDispatch = &dispatch;
    EXPECT_EQ(ctrl.OnGetExternal(&out), S_OK);
    EXPECT_EQ(out, &dispatch);
    EXPECT_EQ(dispatch.GetRefCount(), 1);

    // Without a page window around it nothing cancels, "app:" included.
    BOOL cancel = FALSE;
    ctrl.OnBeforeNavigate2(L"app:open", 0, L"", {}, L"", &cancel);
    EXPECT_FALSE(cancel);
    // Errors always leave the browser's error page in place.
    cancel = TRUE;
    ctrl.OnNavigateError(L"http://x/", L"", 404, &cancel);
    EXPECT_FALSE(cancel);
}

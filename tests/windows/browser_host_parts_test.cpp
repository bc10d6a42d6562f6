// The parts of the browser host that wine's control never exercises (it renders no page):
// the events taken apart in the browser's argument order, and the site's answers.
#include <windows.h>

#include <exdispid.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/browser_events.h"
#include "platform/win32/browser_site.h"
#include "platform/win32/com_ids.h"
#include "platform/win32/external_dispatch.h"

namespace {

using platform::win32::CBrowserEvents;
using platform::win32::CBrowserSite;

class CRecordingOwner : public platform::win32::IBrowserEventOwner,
                        public platform::win32::IBrowserSiteOwner {
public:
    bool OnBrowserBeforeNavigate(IDispatch*, const std::wstring& url,
                                 const std::wstring& target) override {
        m_events.push_back(L"before " + url + L" in " + target);
        return url.find(L"blocked") != std::wstring::npos;
    }
    void OnBrowserNavigateComplete(IDispatch*, const std::wstring& url) override {
        m_events.push_back(L"committed " + url);
    }
    void OnBrowserDocumentComplete(IDispatch*, const std::wstring& url) override {
        m_events.push_back(L"loaded " + url);
    }
    void OnBrowserTitleChange(const std::wstring& title) override {
        m_events.push_back(L"title " + title);
    }
    bool OnBrowserNavigateError(IDispatch*, const std::wstring& url) override {
        m_events.push_back(L"failed " + url);
        return false;
    }
    void OnBrowserNewWindow(const std::wstring& url, bool userClicked) override {
        m_events.push_back(L"new window " + url + (userClicked ? L" clicked" : L" scripted"));
    }
    HWND GetSiteWindow() override { return nullptr; }
    HRESULT GetExternalObject(IDispatch** external) override {
        if (m_pExternal == nullptr) {
            return S_FALSE;
        }
        *external = m_pExternal;
        return S_OK;
    }

    std::vector<std::wstring> m_events;
    IDispatch* m_pExternal = nullptr;
};

// Arguments in the event's own order; the browser hands them over last first.
class CEventArgs {
public:
    explicit CEventArgs(std::vector<VARIANT> inOrder) : m_args(inOrder.rbegin(), inOrder.rend()) {}
    DISPPARAMS* Params() {
        m_params = DISPPARAMS{m_args.data(), nullptr, static_cast<UINT>(m_args.size()), 0};
        return &m_params;
    }

private:
    std::vector<VARIANT> m_args;
    DISPPARAMS m_params{};
};

VARIANT Text(BSTR text) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = text;
    return value;
}

VARIANT ByRef(VARIANT* inner) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BYREF | VT_VARIANT;
    value.pvarVal = inner;
    return value;
}

VARIANT BoolRef(VARIANT_BOOL* flag) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BYREF | VT_BOOL;
    value.pboolVal = flag;
    return value;
}

VARIANT Number(LONG number) {
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

TEST(BrowserEvents, EventsReachTheOwnerAndTheirCancelFlagsAreSet) {
    CRecordingOwner owner;
    auto* sink = new CBrowserEvents(&owner);
    BSTR page = SysAllocString(L"http://www.service.test/m");
    BSTR blocked = SysAllocString(L"http://www.service.test/blocked");
    BSTR frame = SysAllocString(L"side");
    VARIANT url = Text(page);
    VARIANT blockedUrl = Text(blocked);
    VARIANT target = Text(frame);
    VARIANT empty;
    VariantInit(&empty);
    VARIANT_BOOL cancel = VARIANT_TRUE;
    auto invoke = [&](DISPID id, CEventArgs args) {
        return sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, args.Params(), nullptr, nullptr,
                            nullptr);
    };

    // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
    EXPECT_EQ(invoke(DISPID_BEFORENAVIGATE2,
                     CEventArgs({empty, ByRef(&url), ByRef(&empty), ByRef(&target), ByRef(&empty),
                                 ByRef(&empty), BoolRef(&cancel)})),
              S_OK);
    EXPECT_EQ(cancel, VARIANT_FALSE);
    invoke(DISPID_BEFORENAVIGATE2,
           CEventArgs({empty, ByRef(&blockedUrl), ByRef(&empty), ByRef(&target), ByRef(&empty),
                       ByRef(&empty), BoolRef(&cancel)}));
    EXPECT_EQ(cancel, VARIANT_TRUE);
    invoke(DISPID_NAVIGATECOMPLETE2, CEventArgs({empty, ByRef(&url)}));
    invoke(DISPID_TITLECHANGE, CEventArgs({Text(frame)}));
    invoke(DISPID_DOCUMENTCOMPLETE, CEventArgs({empty, ByRef(&url)}));
    // (pDisp, URL, TargetFrameName, StatusCode, Cancel): the browser's error page stays.
    cancel = VARIANT_TRUE;
    invoke(DISPID_NAVIGATEERROR,
           CEventArgs({empty, ByRef(&url), ByRef(&target), ByRef(&empty), BoolRef(&cancel)}));
    EXPECT_EQ(cancel, VARIANT_FALSE);

    // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl): never a window of the browser's own.
    cancel = VARIANT_FALSE;
    invoke(DISPID_NEWWINDOW3,
           CEventArgs({empty, BoolRef(&cancel), Number(NWMF_USERINITED), Text(page), Text(page)}));
    EXPECT_EQ(cancel, VARIANT_TRUE);
    cancel = VARIANT_FALSE;
    invoke(DISPID_NEWWINDOW3,
           CEventArgs({empty, BoolRef(&cancel), Number(0), Text(page), Text(blocked)}));
    EXPECT_EQ(cancel, VARIANT_TRUE);
    cancel = VARIANT_FALSE;
    invoke(DISPID_NEWWINDOW2, CEventArgs({empty, BoolRef(&cancel)}));
    EXPECT_EQ(cancel, VARIANT_TRUE);

    // (ActiveDocument, Cancel): what the browser would save is refused, documents are shown.
    VARIANT document;
    VariantInit(&document);
    document.vt = VT_BOOL;
    document.boolVal = VARIANT_FALSE;
    cancel = VARIANT_FALSE;
    invoke(DISPID_FILEDOWNLOAD, CEventArgs({document, BoolRef(&cancel)}));
    EXPECT_EQ(cancel, VARIANT_TRUE);
    document.boolVal = VARIANT_TRUE;
    cancel = VARIANT_FALSE;
    invoke(DISPID_FILEDOWNLOAD, CEventArgs({document, BoolRef(&cancel)}));
    EXPECT_EQ(cancel, VARIANT_FALSE);

    const std::vector<std::wstring> expected = {
        L"before http://www.service.test/m in side",
        L"before http://www.service.test/blocked in side",
        L"committed http://www.service.test/m",
        L"title side",
        L"loaded http://www.service.test/m",
        L"failed http://www.service.test/m",
        L"new window http://www.service.test/m clicked",
        L"new window http://www.service.test/blocked scripted"};
    EXPECT_EQ(owner.m_events, expected);

    // After the owner has gone, a navigation the browser still reports is cancelled.
    sink->Detach();
    cancel = VARIANT_FALSE;
    invoke(DISPID_BEFORENAVIGATE2, CEventArgs({empty, ByRef(&url), ByRef(&empty), ByRef(&target),
                                               ByRef(&empty), ByRef(&empty), BoolRef(&cancel)}));
    EXPECT_EQ(cancel, VARIANT_TRUE);
    EXPECT_EQ(owner.m_events.size(), expected.size());
    EXPECT_EQ(sink->Release(), 0u);
    EXPECT_EQ(CBrowserEvents::LiveObjects(), 0);
    SysFreeString(page);
    SysFreeString(blocked);
    SysFreeString(frame);
}

TEST(BrowserSite, HostInfoExternalAndDownloadsAsThePagesNeedThem) {
    CRecordingOwner owner;
    auto* site = new CBrowserSite(&owner);
    // No scroll bars and no 3D border; the browser's own flags stay.
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    info.dwFlags = DOCHOSTUIFLAG_DIALOG;
    EXPECT_EQ(site->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_SCROLL_NO |
                                               DOCHOSTUIFLAG_NO3DBORDER));

    // window.external is what the owner answers for the document shown.
    IDispatch* external = reinterpret_cast<IDispatch*>(1);
    EXPECT_EQ(site->GetExternal(&external), S_FALSE);
    EXPECT_EQ(external, nullptr);
    auto* object = new platform::win32::CExternalDispatch(nullptr, nullptr);
    owner.m_pExternal = object;
    EXPECT_EQ(site->GetExternal(&external), S_OK);
    EXPECT_EQ(external, object);
    owner.m_pExternal = nullptr;
    object->Release();

    // The browser finds the download manager through the site's services, and it saves nothing.
    IDownloadManager* downloads = nullptr;
    ASSERT_EQ(site->QueryService(platform::win32::kSidDownloadManager, IID_IDownloadManager,
                                 reinterpret_cast<void**>(&downloads)),
              S_OK);
    EXPECT_EQ(downloads->Download(nullptr, nullptr, 0, 0, nullptr, nullptr, nullptr, 0), S_OK);
    downloads->Release();
    void* other = nullptr;
    EXPECT_EQ(site->QueryService(IID_IDispatch, IID_IDispatch, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    site->Detach();
    EXPECT_EQ(site->GetExternal(&external), S_FALSE);
    EXPECT_EQ(site->Release(), 0u);
    EXPECT_EQ(CBrowserSite::LiveObjects(), 0);
}

}  // namespace

// The parts of the browser host that wine's control never exercises (it renders no page):
// the events taken apart in the browser's argument order, and the site's answers.
#include <windows.h>

#include <exdispid.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
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

VARIANT Variant(VARTYPE type) {
    VARIANT value;
    VariantInit(&value);
    value.vt = type;
    return value;
}

VARIANT Text(BSTR text) {
    VARIANT value = Variant(VT_BSTR);
    value.bstrVal = text;
    return value;
}

VARIANT Number(LONG number) {
    VARIANT value = Variant(VT_I4);
    value.lVal = number;
    return value;
}

// Out and in-out arguments: references to the browser's variables.
VARIANT Ref(VARIANT* inner) {
    VARIANT value = Variant(VT_BYREF | VT_VARIANT);
    value.pvarVal = inner;
    return value;
}

VARIANT Ref(VARIANT_BOOL* flag) {
    VARIANT value = Variant(VT_BYREF | VT_BOOL);
    value.pboolVal = flag;
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
    VARIANT empty = Variant(VT_EMPTY);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    // The cancel flag the event leaves when it started as before.
    auto cancelAfter = [&](DISPID id, std::vector<VARIANT> args, VARIANT_BOOL before) {
        cancel = before;
        CEventArgs event(std::move(args));
        sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, event.Params(), nullptr, nullptr, nullptr);
        return cancel;
    };
    // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
    auto beforeNavigate = [&](VARIANT* address) {
        return std::vector<VARIANT>{empty,       Ref(address), Ref(&empty), Ref(&target),
                                    Ref(&empty), Ref(&empty),  Ref(&cancel)};
    };

    EXPECT_EQ(cancelAfter(DISPID_BEFORENAVIGATE2, beforeNavigate(&url), VARIANT_TRUE),
              VARIANT_FALSE);
    EXPECT_EQ(cancelAfter(DISPID_BEFORENAVIGATE2, beforeNavigate(&blockedUrl), VARIANT_FALSE),
              VARIANT_TRUE);
    cancelAfter(DISPID_NAVIGATECOMPLETE2, {empty, Ref(&url)}, VARIANT_FALSE);
    cancelAfter(DISPID_TITLECHANGE, {Text(frame)}, VARIANT_FALSE);
    cancelAfter(DISPID_DOCUMENTCOMPLETE, {empty, Ref(&url)}, VARIANT_FALSE);
    // (pDisp, URL, TargetFrameName, StatusCode, Cancel): the browser's error page stays.
    EXPECT_EQ(
        cancelAfter(DISPID_NAVIGATEERROR,
                    {empty, Ref(&url), Ref(&target), Ref(&empty), Ref(&cancel)}, VARIANT_TRUE),
        VARIANT_FALSE);

    // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl): never a window of the browser's own.
    EXPECT_EQ(cancelAfter(DISPID_NEWWINDOW3,
                          {empty, Ref(&cancel), Number(NWMF_USERINITED), Text(page), Text(page)},
                          VARIANT_FALSE),
              VARIANT_TRUE);
    EXPECT_EQ(
        cancelAfter(DISPID_NEWWINDOW3, {empty, Ref(&cancel), Number(0), Text(page), Text(blocked)},
                    VARIANT_FALSE),
        VARIANT_TRUE);
    EXPECT_EQ(cancelAfter(DISPID_NEWWINDOW2, {empty, Ref(&cancel)}, VARIANT_FALSE), VARIANT_TRUE);

    // (ActiveDocument, Cancel): what the browser would save is refused, documents are shown.
    VARIANT document = Variant(VT_BOOL);
    document.boolVal = VARIANT_FALSE;
    EXPECT_EQ(cancelAfter(DISPID_FILEDOWNLOAD, {document, Ref(&cancel)}, VARIANT_FALSE),
              VARIANT_TRUE);
    document.boolVal = VARIANT_TRUE;
    EXPECT_EQ(cancelAfter(DISPID_FILEDOWNLOAD, {document, Ref(&cancel)}, VARIANT_FALSE),
              VARIANT_FALSE);

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
    EXPECT_EQ(cancelAfter(DISPID_BEFORENAVIGATE2, beforeNavigate(&url), VARIANT_FALSE),
              VARIANT_TRUE);
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
    // No scroll bars, no 3D border, DPI aware; the browser's own flags stay.
    DOCHOSTUIINFO info{};
    info.cbSize = sizeof(info);
    info.dwFlags = DOCHOSTUIFLAG_DIALOG;
    EXPECT_EQ(site->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_SCROLL_NO |
                                               DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DPI_AWARE));

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

    site->Detach();
    EXPECT_EQ(site->GetExternal(&external), S_FALSE);
    EXPECT_EQ(site->Release(), 0u);
    EXPECT_EQ(CBrowserSite::LiveObjects(), 0);
}

}  // namespace

#include "platform/win32/web_browser_view.h"

#include <mshtml.h>
#include <ocidl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cmath>
#include <cwctype>
#include <vector>

#include "platform/url_parts.h"
#include "platform/wnd.h"

namespace platform::win32 {
namespace {

// Sent to child windows once their top-level window moved to a monitor of another scale
// (Windows 10 1703; the SDK names it only for that version).
constexpr UINT kDpiChangedAfterParent = 0x02E3;

// The view that follows a child window's size, kept with that window.
constexpr wchar_t kViewProperty[] = L"SongDeck.WebBrowserView";

bool HasPrefix(const std::wstring& text, const wchar_t* prefix) {
    for (size_t i = 0; prefix[i] != L'\0'; ++i) {
        if (i >= text.size() || std::towlower(text[i]) != prefix[i]) {
            return false;
        }
    }
    return true;
}

std::wstring TakeText(BSTR text) {
    std::wstring result = text != nullptr ? text : L"";
    SysFreeString(text);
    return result;
}

// A style length as text ("400px", "auto"); "" when the style has none.
std::wstring StyleText(VARIANT* value) {
    if (value->vt != VT_BSTR && value->vt != VT_EMPTY && value->vt != VT_NULL) {
        VariantChangeType(value, value, 0, VT_BSTR);
    }
    std::wstring text = value->vt == VT_BSTR && value->bstrVal != nullptr ? value->bstrVal : L"";
    VariantClear(value);
    return text;
}

}  // namespace

CWebBrowserView::CWebBrowserView(IWebViewEvents* events) : m_pEvents(events) {
    // The control needs OLE on this thread (a single-threaded apartment).
    m_bOleInitialized = SUCCEEDED(OleInitialize(nullptr));
    if (!m_bOleInitialized) {
        return;
    }
    m_pSite = new CBrowserSite(this);
    m_pSink = new CBrowserEvents(this);
    m_pExternal = new CExternalDispatch(events, [this](const std::wstring* callerUrl) {
        return IsTopTrusted() && (callerUrl == nullptr || m_trusted.IsTrusted(*callerUrl));
    });
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&m_pOleObject)))) {
        m_pOleObject = nullptr;
        return;
    }
    if (FAILED(m_pOleObject->SetClientSite(static_cast<IOleClientSite*>(m_pSite))) ||
        FAILED(m_pOleObject->QueryInterface(IID_IWebBrowser2,
                                            reinterpret_cast<void**>(&m_pBrowser)))) {
        m_pBrowser = nullptr;
        return;
    }
    IConnectionPointContainer* container = nullptr;
    if (SUCCEEDED(m_pOleObject->QueryInterface(IID_IConnectionPointContainer,
                                               reinterpret_cast<void**>(&container)))) {
        if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_pConnection)) &&
            FAILED(m_pConnection->Advise(m_pSink, &m_dwAdviseCookie))) {
            m_pConnection->Release();
            m_pConnection = nullptr;
        }
        container->Release();
    }
    // A file dropped on a page would replace it.
    m_pBrowser->put_RegisterAsDropTarget(VARIANT_FALSE);
}

CWebBrowserView::~CWebBrowserView() {
    *m_pAlive = false;
    Unhook();
    if (m_pExternal != nullptr) {
        m_pExternal->Detach();
        m_pExternal->Release();
    }
    if (m_pSink != nullptr) {
        m_pSink->Detach();
    }
    if (m_pConnection != nullptr) {
        m_pConnection->Unadvise(m_dwAdviseCookie);
        m_pConnection->Release();
    }
    if (m_pBrowser != nullptr) {
        m_pBrowser->Stop();
        m_pBrowser->Release();
    }
    if (m_pOleObject != nullptr) {
        IOleInPlaceObject* inPlace = nullptr;
        if (SUCCEEDED(m_pOleObject->QueryInterface(IID_IOleInPlaceObject,
                                                   reinterpret_cast<void**>(&inPlace)))) {
            inPlace->InPlaceDeactivate();
            inPlace->Release();
        }
        m_pOleObject->Close(OLECLOSE_NOSAVE);
        m_pOleObject->SetClientSite(nullptr);
        m_pOleObject->Release();
    }
    if (m_pSite != nullptr) {
        m_pSite->Detach();
        m_pSite->Release();
    }
    if (m_pSink != nullptr) {
        m_pSink->Release();
    }
    if (m_bOleInitialized) {
        OleUninitialize();
    }
}

bool CWebBrowserView::Place(HWND childWindow) {
    if (m_pBrowser == nullptr || m_hWnd != nullptr || childWindow == nullptr ||
        (GetWindowLongW(childWindow, GWL_STYLE) & WS_CHILD) == 0) {
        return false;
    }
    m_hWnd = childWindow;
    SetPropW(childWindow, kViewProperty, this);
    m_pfnOldProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        childWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWebBrowserView::WindowHook)));
    RECT client{};
    GetClientRect(childWindow, &client);
    if (FAILED(m_pOleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr,
                                    static_cast<IOleClientSite*>(m_pSite), 0, childWindow,
                                    &client))) {
        Unhook();
        return false;
    }
    FitToWindow();
    m_pBrowser->put_Silent(m_bSilent ? VARIANT_TRUE : VARIANT_FALSE);
    if (!m_strPendingUrl.empty()) {
        std::wstring url;
        url.swap(m_strPendingUrl);
        StartNavigation(url);
    }
    return true;
}

HWND CWebBrowserView::GetBrowserWindow() const {
    HWND window = nullptr;
    IOleWindow* oleWindow = nullptr;
    if (m_pOleObject != nullptr && SUCCEEDED(m_pOleObject->QueryInterface(
                                       IID_IOleWindow, reinterpret_cast<void**>(&oleWindow)))) {
        oleWindow->GetWindow(&window);
        oleWindow->Release();
    }
    return window;
}

void CWebBrowserView::Unhook() {
    if (m_hWnd == nullptr) {
        return;
    }
    if (m_pfnOldProc != nullptr) {
        SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnOldProc));
    }
    RemovePropW(m_hWnd, kViewProperty);
    m_pfnOldProc = nullptr;
    m_hWnd = nullptr;
}

LRESULT CALLBACK CWebBrowserView::WindowHook(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    auto* view = static_cast<CWebBrowserView*>(GetPropW(hwnd, kViewProperty));
    if (view == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    WNDPROC next = view->m_pfnOldProc;
    if (message == WM_DESTROY) {
        // The window's own handling may free the view; it no longer follows the window.
        view->Unhook();
        return CallWindowProcW(next, hwnd, message, wParam, lParam);
    }
    const LRESULT result = CallWindowProcW(next, hwnd, message, wParam, lParam);
    if (message == WM_SIZE && GetPropW(hwnd, kViewProperty) == view) {
        view->FitToWindow();
    } else if (message == WM_SETFOCUS && GetPropW(hwnd, kViewProperty) == view) {
        view->FocusBrowser();
    } else if (message == kDpiChangedAfterParent && GetPropW(hwnd, kViewProperty) == view) {
        view->ZoomToMonitor();
    }
    return result;
}

void CWebBrowserView::ZoomToMonitor() {
    if (m_pBrowser == nullptr || m_hWnd == nullptr) {
        return;
    }
    // The page keeps its CSS size in logical pixels: 150 % zoom on a monitor at 150 %.
    VARIANT zoom;
    VariantInit(&zoom);
    zoom.vt = VT_I4;
    zoom.lVal = static_cast<LONG>(std::lround(MonitorScale(m_hWnd) * 100));
    m_pBrowser->ExecWB(OLECMDID_OPTICAL_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &zoom, nullptr);
}

void CWebBrowserView::FocusBrowser() {
    // The control may hand the focus back to this window while it activates.
    if (m_bFocusing) {
        return;
    }
    m_bFocusing = true;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    m_pOleObject->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(m_pSite), 0,
                         m_hWnd, &client);
    m_bFocusing = false;
}

CWebBrowserView* CWebBrowserView::FromWindow(HWND window) {
    for (; window != nullptr; window = GetParent(window)) {
        if (auto* view = static_cast<CWebBrowserView*>(GetPropW(window, kViewProperty))) {
            return view;
        }
    }
    return nullptr;
}

bool TranslateBrowserKeys(MSG* message) {
    if (message->message < WM_KEYFIRST || message->message > WM_KEYLAST) {
        return false;
    }
    CWebBrowserView* view = CWebBrowserView::FromWindow(message->hwnd);
    IOleInPlaceActiveObject* active = view != nullptr && view->GetSite() != nullptr
                                          ? view->GetSite()->GetActiveObject()
                                          : nullptr;
    if (active == nullptr) {
        return false;
    }
    // The call may end the window and with it the site: the object lives through it.
    active->AddRef();
    const bool used = active->TranslateAccelerator(message) == S_OK;
    active->Release();
    return used;
}

void CWebBrowserView::FitToWindow() {
    IOleInPlaceObject* inPlace = nullptr;
    if (m_hWnd == nullptr || m_pOleObject == nullptr ||
        FAILED(m_pOleObject->QueryInterface(IID_IOleInPlaceObject,
                                            reinterpret_cast<void**>(&inPlace)))) {
        return;
    }
    RECT client{};
    GetClientRect(m_hWnd, &client);
    inPlace->SetObjectRects(&client, &client);
    inPlace->Release();
}

void CWebBrowserView::SetTrustedPages(const CTrustedPages& trusted) {
    m_trusted = trusted;
}

void CWebBrowserView::Navigate(const std::wstring& url) {
    if (!IsPageLocation(url)) {
        if (m_pEvents != nullptr) {
            m_pEvents->OnLoadFailed(url);
        }
        return;
    }
    ++m_nNavigations;
    m_bErrorPage = false;
    if (m_hWnd == nullptr) {
        m_strPendingUrl = url;
        return;
    }
    StartNavigation(url);
}

void CWebBrowserView::StartNavigation(const std::wstring& url) {
    BSTR address = SysAllocString(url.c_str());
    VARIANT none;
    VariantInit(&none);
    std::shared_ptr<bool> alive = m_pAlive;
    const HRESULT hr = m_pBrowser->Navigate(address, &none, &none, &none, &none);
    SysFreeString(address);
    // Refused before it started: no event will say so.
    if (FAILED(hr) && *alive && m_pEvents != nullptr) {
        m_pEvents->OnLoadFailed(url);
    }
}

void CWebBrowserView::SetSilent(bool silent) {
    m_bSilent = silent;
    if (m_pBrowser != nullptr) {
        m_pBrowser->put_Silent(silent ? VARIANT_TRUE : VARIANT_FALSE);
    }
}

std::wstring CWebBrowserView::TopUrl() const {
    BSTR url = nullptr;
    if (m_pBrowser == nullptr || FAILED(m_pBrowser->get_LocationURL(&url))) {
        return std::wstring();
    }
    return TakeText(url);
}

std::wstring CWebBrowserView::GetUrl() const {
    const std::wstring url = TopUrl();
    return url.empty() ? m_strPendingUrl : LocationFromUrl(url);
}

bool CWebBrowserView::IsTopTrusted() const {
    const std::wstring url = TopUrl();
    return !url.empty() && m_trusted.IsTrusted(url);
}

bool CWebBrowserView::IsTopFrame(IDispatch* frame) const {
    if (frame == nullptr || m_pBrowser == nullptr) {
        return false;
    }
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    frame->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
    m_pBrowser->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
    const bool same = a != nullptr && a == b;
    if (a != nullptr) {
        a->Release();
    }
    if (b != nullptr) {
        b->Release();
    }
    return same;
}

std::wstring CWebBrowserView::LocationFromUrl(const std::wstring& url) {
    if (!HasPrefix(url, L"file:")) {
        return url;
    }
    std::vector<wchar_t> path(32768);
    DWORD size = static_cast<DWORD>(path.size());
    if (FAILED(PathCreateFromUrlW(url.c_str(), path.data(), &size, 0))) {
        return url;
    }
    return path.data();
}

bool CWebBrowserView::GetBodyInlineSize(std::wstring* width, std::wstring* height) {
    if (m_pBrowser == nullptr || !IsTopTrusted()) {
        return false;
    }
    IDispatch* document = nullptr;
    IHTMLDocument2* html = nullptr;
    IHTMLElement* body = nullptr;
    IHTMLStyle* style = nullptr;
    bool found = false;
    if (SUCCEEDED(m_pBrowser->get_Document(&document)) && document != nullptr &&
        SUCCEEDED(document->QueryInterface(IID_IHTMLDocument2, reinterpret_cast<void**>(&html))) &&
        SUCCEEDED(html->get_body(&body)) && body != nullptr && SUCCEEDED(body->get_style(&style)) &&
        style != nullptr) {
        VARIANT value;
        VariantInit(&value);
        *width = SUCCEEDED(style->get_width(&value)) ? StyleText(&value) : std::wstring();
        VariantInit(&value);
        *height = SUCCEEDED(style->get_height(&value)) ? StyleText(&value) : std::wstring();
        found = true;
    }
    for (IUnknown* held : std::initializer_list<IUnknown*>{style, body, html, document}) {
        if (held != nullptr) {
            held->Release();
        }
    }
    return found;
}

HRESULT CWebBrowserView::GetExternalObject(IDispatch** external) {
    // Asked once per document; the calls are checked again one by one.
    if (m_pEvents == nullptr || m_pExternal == nullptr || !IsTopTrusted()) {
        return S_FALSE;
    }
    *external = m_pExternal;
    m_pExternal->AddRef();
    return S_OK;
}

bool CWebBrowserView::OnBrowserBeforeNavigate(IDispatch* frame, const std::wstring& url,
                                              const std::wstring& targetFrame) {
    bool cancel = false;
    if (m_pEvents != nullptr) {
        std::shared_ptr<bool> alive = m_pAlive;
        cancel = m_pEvents->OnBeforeNavigate(LocationFromUrl(url), targetFrame);
        if (!*alive) {
            return true;
        }
    }
    if (!cancel && IsTopFrame(frame)) {
        m_bErrorPage = false;
    }
    return cancel;
}

void CWebBrowserView::OnBrowserNavigateComplete(IDispatch* frame, const std::wstring& url) {
    if (m_pEvents != nullptr && !m_bErrorPage && IsTopFrame(frame)) {
        m_pEvents->OnNavigationCommitted(LocationFromUrl(url));
    }
}

void CWebBrowserView::OnBrowserDocumentComplete(IDispatch* frame, const std::wstring& url) {
    if (m_pEvents == nullptr) {
        return;
    }
    if (IsTopFrame(frame)) {
        ZoomToMonitor();
        if (!m_bErrorPage) {
            m_pEvents->OnLoadFinished(LocationFromUrl(url));
        }
    } else if (IsTopTrusted() && m_trusted.IsTrusted(url)) {
        // Frames of foreign documents report nothing.
        m_pEvents->OnLoadFinished(LocationFromUrl(url));
    }
}

void CWebBrowserView::OnBrowserTitleChange(const std::wstring& title) {
    if (m_pEvents != nullptr && !title.empty() && !m_bErrorPage) {
        m_pEvents->OnTitleChanged(title);
    }
}

bool CWebBrowserView::OnBrowserNavigateError(IDispatch* frame, const std::wstring& url) {
    if (IsTopFrame(frame)) {
        m_bErrorPage = true;
    }
    if (m_pEvents == nullptr) {
        return false;
    }
    std::shared_ptr<bool> alive = m_pAlive;
    const unsigned navigations = m_nNavigations;
    m_pEvents->OnLoadFailed(LocationFromUrl(url));
    // The owner went elsewhere: its navigation goes ahead instead of the error page.
    return !*alive || m_nNavigations != navigations;
}

void CWebBrowserView::OnBrowserNewWindow(const std::wstring& url, bool userClicked) {
    bool cancel = false;
    if (m_pEvents != nullptr) {
        cancel = m_pEvents->OnBeforeNavigate(LocationFromUrl(url), L"_blank");
    }
    // Nothing opens inside the client; a page the user asked for opens in the browser.
    if (!cancel && userClicked && (HasPrefix(url, L"http:") || HasPrefix(url, L"https:"))) {
        ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
}

}  // namespace platform::win32

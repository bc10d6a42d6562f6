#include "platform/win32/browser_site.h"

#include "platform/win32/com_ids.h"

namespace platform::win32 {
namespace {

template <typename T>
HRESULT NoObject(T** out) {
    if (out != nullptr) {
        *out = nullptr;
    }
    return E_NOTIMPL;
}

}  // namespace

CBrowserSite::CBrowserSite(IBrowserSiteOwner* owner) : m_pOwner(owner) {}

CBrowserSite::~CBrowserSite() {
    Detach();
}

void CBrowserSite::Detach() {
    m_pOwner = nullptr;
    // The control holds the site: a reference kept back would hold the control.
    SetActiveObject(nullptr, nullptr);
}

HRESULT CBrowserSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
    if (object != nullptr) {
        object->AddRef();
    }
    if (m_pActiveObject != nullptr) {
        m_pActiveObject->Release();
    }
    m_pActiveObject = object;
    return S_OK;
}

HRESULT CBrowserSite::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
        *ppv = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleWindow) || IsEqualIID(riid, IID_IOleInPlaceSite)) {
        *ppv = static_cast<IOleInPlaceSite*>(this);
    } else if (IsEqualIID(riid, IID_IOleInPlaceUIWindow) ||
               IsEqualIID(riid, IID_IOleInPlaceFrame)) {
        *ppv = static_cast<IOleInPlaceFrame*>(this);
    } else if (IsEqualIID(riid, IID_IDocHostUIHandler)) {
        *ppv = static_cast<IDocHostUIHandler*>(this);
    } else if (IsEqualIID(riid, IID_IServiceProvider)) {
        *ppv = static_cast<IServiceProvider*>(this);
    } else if (IsEqualIID(riid, IID_IDownloadManager)) {
        *ppv = static_cast<IDownloadManager*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

HRESULT CBrowserSite::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    return NoObject(ppmk);
}

HRESULT CBrowserSite::GetContainer(IOleContainer** ppContainer) {
    if (ppContainer != nullptr) {
        *ppContainer = nullptr;
    }
    return E_NOINTERFACE;
}

HRESULT CBrowserSite::GetWindow(HWND* phwnd) {
    if (phwnd == nullptr) {
        return E_POINTER;
    }
    *phwnd = m_pOwner != nullptr ? m_pOwner->GetSiteWindow() : nullptr;
    return *phwnd != nullptr ? S_OK : E_FAIL;
}

HRESULT CBrowserSite::GetWindowContext(IOleInPlaceFrame** ppFrame, IOleInPlaceUIWindow** ppDoc,
                                       LPRECT lprcPosRect, LPRECT lprcClipRect,
                                       LPOLEINPLACEFRAMEINFO lpFrameInfo) {
    if (ppFrame == nullptr || ppDoc == nullptr || lprcPosRect == nullptr ||
        lprcClipRect == nullptr || lpFrameInfo == nullptr) {
        return E_POINTER;
    }
    HWND window = m_pOwner != nullptr ? m_pOwner->GetSiteWindow() : nullptr;
    *ppFrame = static_cast<IOleInPlaceFrame*>(this);
    AddRef();
    *ppDoc = nullptr;
    RECT client{};
    if (window != nullptr) {
        GetClientRect(window, &client);
    }
    *lprcPosRect = client;
    *lprcClipRect = client;
    lpFrameInfo->fMDIApp = FALSE;
    lpFrameInfo->hwndFrame = window;
    lpFrameInfo->haccel = nullptr;
    lpFrameInfo->cAccelEntries = 0;
    return S_OK;
}

HRESULT CBrowserSite::GetHostInfo(DOCHOSTUIINFO* pInfo) {
    if (pInfo == nullptr) {
        return E_POINTER;
    }
    // DPI-aware: the pages are drawn sharp at the monitor's scale (the view sets the zoom).
    pInfo->dwFlags |= DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_DPI_AWARE;
    return S_OK;
}

HRESULT CBrowserSite::GetOptionKeyPath(LPOLESTR* pchKey, DWORD) {
    return NoObject(pchKey);
}

HRESULT CBrowserSite::GetDropTarget(IDropTarget*, IDropTarget** ppDropTarget) {
    return NoObject(ppDropTarget);
}

HRESULT CBrowserSite::GetExternal(IDispatch** ppDispatch) {
    if (ppDispatch == nullptr) {
        return E_POINTER;
    }
    *ppDispatch = nullptr;
    return m_pOwner != nullptr ? m_pOwner->GetExternalObject(ppDispatch) : S_FALSE;
}

HRESULT CBrowserSite::TranslateUrl(DWORD, LPWSTR, LPWSTR* ppchURLOut) {
    if (ppchURLOut != nullptr) {
        *ppchURLOut = nullptr;
    }
    return S_FALSE;
}

HRESULT CBrowserSite::FilterDataObject(IDataObject*, IDataObject** ppDORet) {
    if (ppDORet != nullptr) {
        *ppDORet = nullptr;
    }
    return S_FALSE;
}

HRESULT CBrowserSite::QueryService(REFGUID guidService, REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (IsEqualGUID(guidService, kSidDownloadManager)) {
        return QueryInterface(riid, ppv);
    }
    return E_NOINTERFACE;
}

}  // namespace platform::win32

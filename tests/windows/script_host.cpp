#include "script_host.h"

#include <docobj.h>

#include "platform/win32/com_ids.h"

namespace {

// The document mode of a page that asks for the browser's newest mode: JSON, forEach and
// Object.keys exist, newer syntax does not.
constexpr LONG kNewestDocumentMode = 0x503;

}  // namespace

// The engine's site: names "external" and the calling document.
class CScriptHost::CSite final : public IActiveScriptSite, public IServiceProvider {
public:
    explicit CSite(IDispatch* external) : m_pExternal(external) { m_pExternal->AddRef(); }

    void SetCaller(IDispatch* document) {
        if (m_pCaller != nullptr) {
            m_pCaller->Release();
        }
        m_pCaller = document;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IActiveScriptSite)) {
            *ppv = static_cast<IActiveScriptSite*>(this);
        } else if (IsEqualIID(riid, IID_IServiceProvider)) {
            *ppv = static_cast<IServiceProvider*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_nRefs;
        if (left == 0) {
            SetCaller(nullptr);
            m_pExternal->Release();
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** item,
                                          ITypeInfo** info) override {
        if (info != nullptr) {
            *info = nullptr;
        }
        if (item != nullptr) {
            *item = nullptr;
        }
        if (lstrcmpW(name, L"external") != 0) {
            return TYPE_E_ELEMENTNOTFOUND;
        }
        if ((mask & SCRIPTINFO_IUNKNOWN) != 0) {
            *item = m_pExternal;
            m_pExternal->AddRef();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** ppv) override {
        *ppv = nullptr;
        if (IsEqualGUID(service, SID_SContainerDispatch) && m_pCaller != nullptr) {
            return m_pCaller->QueryInterface(riid, ppv);
        }
        return E_NOINTERFACE;
    }

private:
    ULONG m_nRefs = 1;
    IDispatch* m_pExternal;
    IDispatch* m_pCaller = nullptr;
};

CScriptHost::CScriptHost(IDispatch* external) : m_pSite(new CSite(external)) {
    if (FAILED(CoCreateInstance(platform::win32::kClsidJScript, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IActiveScript, reinterpret_cast<void**>(&m_pScript)))) {
        m_pScript = nullptr;
        return;
    }
    IActiveScriptProperty* property = nullptr;
    if (SUCCEEDED(m_pScript->QueryInterface(IID_IActiveScriptProperty,
                                            reinterpret_cast<void**>(&property)))) {
        VARIANT mode;
        VariantInit(&mode);
        mode.vt = VT_I4;
        mode.lVal = kNewestDocumentMode;
        property->SetProperty(SCRIPTPROP_INVOKEVERSIONING, nullptr, &mode);
        property->Release();
    }
    IActiveScriptParse* parse = nullptr;
    if (FAILED(
            m_pScript->QueryInterface(IID_IActiveScriptParse, reinterpret_cast<void**>(&parse))) ||
        FAILED(parse->InitNew()) || FAILED(m_pScript->SetScriptSite(m_pSite)) ||
        FAILED(m_pScript->AddNamedItem(L"external", SCRIPTITEM_ISVISIBLE)) ||
        FAILED(m_pScript->SetScriptState(SCRIPTSTATE_CONNECTED))) {
        if (parse != nullptr) {
            parse->Release();
        }
        return;
    }
    m_pParse = parse;
}

CScriptHost::~CScriptHost() {
    if (m_pParse != nullptr) {
        m_pParse->Release();
    }
    if (m_pScript != nullptr) {
        m_pScript->Close();
        m_pScript->Release();
    }
    m_pSite->Release();
}

HRESULT CScriptHost::Run(const std::wstring& code) {
    if (m_pParse == nullptr) {
        return E_UNEXPECTED;
    }
    EXCEPINFO info{};
    return m_pParse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr,
                                     &info);
}

std::wstring CScriptHost::Eval(const std::wstring& expression) {
    if (m_pParse == nullptr) {
        return L"<no engine>";
    }
    VARIANT value;
    VariantInit(&value);
    EXCEPINFO info{};
    const std::wstring code = L"String(" + expression + L")";
    if (FAILED(m_pParse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                         SCRIPTTEXT_ISEXPRESSION, &value, &info)) ||
        value.vt != VT_BSTR) {
        VariantClear(&value);
        return L"<failed>";
    }
    std::wstring text = value.bstrVal != nullptr ? value.bstrVal : L"";
    VariantClear(&value);
    return text;
}

void CScriptHost::SetCallerLocation(const std::wstring& href) {
    if (href.empty() || m_pParse == nullptr) {
        m_pSite->SetCaller(nullptr);
        return;
    }
    // A document as far as the bridge reads one: its location's href.
    VARIANT document;
    VariantInit(&document);
    EXCEPINFO info{};
    const std::wstring code = L"({location: {href: \"" + href + L"\"}})";
    if (SUCCEEDED(m_pParse->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                            SCRIPTTEXT_ISEXPRESSION, &document, &info)) &&
        document.vt == VT_DISPATCH) {
        m_pSite->SetCaller(document.pdispVal);
        return;
    }
    VariantClear(&document);
}

IServiceProvider* CScriptHost::CallerServices() {
    return m_pSite;
}

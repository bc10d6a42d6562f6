// Runs script in the platform's JScript engine, in the mode of a page in the browser's newest
// document mode, with a window.external object given by the test: the bridge without a page.
#pragma once

#include <windows.h>

#include <activscp.h>

#include <string>

class CScriptHost {
public:
    explicit CScriptHost(IDispatch* external);
    ~CScriptHost();
    CScriptHost(const CScriptHost&) = delete;
    CScriptHost& operator=(const CScriptHost&) = delete;

    bool IsReady() const { return m_pParse != nullptr; }
    // Runs statements; S_OK, or the failure of a syntax error or an uncaught throw.
    HRESULT Run(const std::wstring& code);
    // The value of an expression as text (String(value)); "<failed>" when it throws.
    std::wstring Eval(const std::wstring& expression);
    // Calls now come from a document at href, as the engine's caller names it (the document's
    // location); "" names no document.
    void SetCallerLocation(const std::wstring& href);
    // The services a caller of this engine answers with, naming the document set above (the
    // engine itself does not pass its host's services on to the objects it calls).
    IServiceProvider* CallerServices();

private:
    class CSite;
    CSite* m_pSite = nullptr;
    IActiveScript* m_pScript = nullptr;
    IActiveScriptParse* m_pParse = nullptr;
};

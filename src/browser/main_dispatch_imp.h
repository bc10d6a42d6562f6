// The object a page sees as window.external: command names map to their registration
// position, and a call goes to the command at that position.
#pragma once

#include <vector>

#include "browser/idispatch_imp.h"
#include "browser/invoke_handler.h"

class CMainDispatchImp : public CIDispatchImp {
public:
    CMainDispatchImp() = default;
    ~CMainDispatchImp() override;

    // Appends a command; null and an object already registered are ignored. The list does
    // not own the commands.
    void RegisterHandler(CInvokeHandler* handler);

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    size_t GetHandlerCount() const { return m_handlers.size(); }

protected:
    std::vector<CInvokeHandler*> m_handlers;
};

#include "browser/external_call.h"

#include <gtest/gtest.h>

#include "browser/main_dispatch_imp.h"

namespace {

// Checks what a command really receives, including that it may change its arguments.
class CArgumentProbe : public CInvokeHandler {
public:
    CArgumentProbe() : CInvokeHandler(L"Probe") {}
    HRESULT Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* p, VARIANT* pVarResult, EXCEPINFO*,
                   UINT*) override {
        m_wFlags = wFlags;
        m_nArgs = p->cArgs;
        m_bNullArray = p->rgvarg == nullptr;
        if (p->cArgs == 2) {
            m_strFirst = p->rgvarg[1].bstrVal;
            m_nSecond = p->rgvarg[0].lVal;
            VariantClear(&p->rgvarg[1]);
        }
        if (pVarResult != nullptr) {
            VariantInit(pVarResult);
            pVarResult->vt = VT_I4;
            pVarResult->lVal = static_cast<LONG>(p->cArgs);
        }
        return S_OK;
    }
    WORD m_wFlags = 0;
    UINT m_nArgs = 99;
    bool m_bNullArray = false;
    std::wstring m_strFirst;
    LONG m_nSecond = 0;
};

}  // namespace

TEST(ExternalCall, HandsTheArgumentsOverInAutomationOrderAsCopies) {
    CArgumentProbe probe;
    CMainDispatchImp dispatch;
    dispatch.RegisterHandler(&probe);
    std::vector<VARIANT> args(2);
    VariantInit(&args[0]);
    args[0].vt = VT_BSTR;
    args[0].bstrVal = SysAllocString(L"first");
    VariantInit(&args[1]);
    args[1].vt = VT_I4;
    args[1].lVal = 2;
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(InvokeExternalMember(&dispatch, L"Probe", DISPATCH_METHOD, args, &result), S_OK);
    EXPECT_EQ(probe.m_nArgs, 2u);
    EXPECT_EQ(probe.m_strFirst, L"first");
    EXPECT_EQ(probe.m_nSecond, 2);
    EXPECT_EQ(result.lVal, 2);
    // The command freed its copy; the caller's value is intact.
    EXPECT_STREQ(args[0].bstrVal, L"first");
    VariantClear(&args[0]);

    EXPECT_EQ(InvokeExternalMember(&dispatch, L"Probe", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(probe.m_nArgs, 0u);
    EXPECT_TRUE(probe.m_bNullArray);
    EXPECT_EQ(probe.m_wFlags, DISPATCH_PROPERTYGET);
}

TEST(ExternalCall, UnknownNamesAndAMissingObjectAreUnknownNames) {
    CArgumentProbe probe;
    CMainDispatchImp dispatch;
    dispatch.RegisterHandler(&probe);
    EXPECT_EQ(LookUpExternalMember(&dispatch, L"Probe"), S_OK);
    EXPECT_EQ(LookUpExternalMember(&dispatch, L"probe"), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(LookUpExternalMember(nullptr, L"Probe"), DISP_E_UNKNOWNNAME);
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(InvokeExternalMember(&dispatch, L"Missing", DISPATCH_METHOD, {}, &result),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(InvokeExternalMember(nullptr, L"Probe", DISPATCH_METHOD, {}, &result),
              DISP_E_UNKNOWNNAME);
    EXPECT_EQ(probe.m_nArgs, 99u);
    EXPECT_EQ(result.vt, VT_EMPTY);
}

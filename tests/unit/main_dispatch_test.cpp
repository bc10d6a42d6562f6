#include "browser/main_dispatch_imp.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records each call and answers with its own name, so a test sees which command ran.
class CRecordingHandler : public CInvokeHandler {
public:
    explicit CRecordingHandler(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams, VARIANT* pVarResult,
                   EXCEPINFO*, UINT*) override {
        ++m_nCalls;
        m_wLastFlags = wFlags;
        m_nLastArgs = pDispParams != nullptr ? pDispParams->cArgs : 0;
        if (pVarResult != nullptr) {
            VariantInit(pVarResult);
            pVarResult->vt = VT_BSTR;
            pVarResult->bstrVal = SysAllocString(m_strName.c_str());
        }
        return m_hrAnswer;
    }
    int m_nCalls = 0;
    WORD m_wLastFlags = 0;
    UINT m_nLastArgs = 0;
    HRESULT m_hrAnswer = S_OK;
};

std::vector<DISPID> IdsOf(CMainDispatchImp& dispatch, std::vector<std::wstring> names,
                          HRESULT* hr) {
    std::vector<LPOLESTR> pointers;
    for (auto& name : names) {
        pointers.push_back(name.data());
    }
    std::vector<DISPID> ids(names.size(), 12345);
    *hr = dispatch.GetIDsOfNames(IID_NULL, pointers.data(), static_cast<UINT>(names.size()), 0,
                                 ids.data());
    return ids;
}

}  // namespace

TEST(MainDispatch, RegistrationOrderFixesIdsAndNamesAreCaseSensitive) {
    CRecordingHandler alert(L"Alert"), close(L"CloseWnd");
    CMainDispatchImp dispatch;
    dispatch.RegisterHandler(&alert);
    dispatch.RegisterHandler(&close);
    HRESULT hr;
    EXPECT_EQ(IdsOf(dispatch, {L"CloseWnd", L"Alert"}, &hr), (std::vector<DISPID>{1, 0}));
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(IdsOf(dispatch, {L"alert"}, &hr), (std::vector<DISPID>{DISPID_UNKNOWN}));
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    EXPECT_EQ(IdsOf(dispatch, {L"Alert "}, &hr), (std::vector<DISPID>{DISPID_UNKNOWN}));
}

TEST(MainDispatch, UnknownNameInTheMiddleLeavesTheOthersResolved) {
    CRecordingHandler a(L"A"), b(L"B"), c(L"C");
    CMainDispatchImp dispatch;
    dispatch.RegisterHandler(&a);
    dispatch.RegisterHandler(&b);
    dispatch.RegisterHandler(&c);
    HRESULT hr;
    EXPECT_EQ(IdsOf(dispatch, {L"C", L"Nope", L"A"}, &hr),
              (std::vector<DISPID>{2, DISPID_UNKNOWN, 0}));
    EXPECT_EQ(hr, DISP_E_UNKNOWNNAME);
    // No names: S_OK and nothing written.
    DISPID untouched = 77;
    EXPECT_EQ(dispatch.GetIDsOfNames(IID_NULL, nullptr, 0, 0, &untouched), S_OK);
    EXPECT_EQ(untouched, 77);
}

TEST(MainDispatch, FirstOfEqualNamesAnswersAndDuplicatesOrNullAreIgnored) {
    CRecordingHandler first(L"Same"), second(L"Same");
    CMainDispatchImp dispatch;
    dispatch.RegisterHandler(&first);
    dispatch.RegisterHandler(nullptr);
    dispatch.RegisterHandler(&first);
    dispatch.RegisterHandler(&second);
    EXPECT_EQ(dispatch.GetHandlerCount(), 2u);
    HRESULT hr;
    std::vector<DISPID> ids = IdsOf(dispatch, {L"Same"}, &hr);
    ASSERT_EQ(ids[0], 0);
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(
        dispatch.Invoke(ids[0], IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
        S_OK);
    EXPECT_EQ(first.m_nCalls, 1);
    EXPECT_EQ(second.m_nCalls, 0);
    VariantClear(&result);
}

TEST(MainDispatch, InvokeRoutesByPositionAndPassesTheHandlersAnswerThrough) {
    CRecordingHandler a(L"A"), b(L"B");
    b.m_hrAnswer = E_NOTIMPL;
    CMainDispatchImp dispatch;
    dispatch.RegisterHandler(&a);
    dispatch.RegisterHandler(&b);
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = 5;
    DISPPARAMS params{&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(
        dispatch.Invoke(1, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, &result, nullptr, nullptr),
        E_NOTIMPL);
    EXPECT_EQ(b.m_nCalls, 1);
    EXPECT_EQ(b.m_wLastFlags, DISPATCH_PROPERTYGET);
    EXPECT_EQ(b.m_nLastArgs, 1u);
    EXPECT_STREQ(result.bstrVal, L"B");
    VariantClear(&result);
}

TEST(MainDispatch, InvokeOutOfRangeSucceedsWithoutTouchingTheResult) {
    CRecordingHandler a(L"A");
    CMainDispatchImp dispatch;
    dispatch.RegisterHandler(&a);
    VARIANT result;
    VariantInit(&result);
    result.vt = VT_I4;
    result.lVal = 99;
    DISPPARAMS params{nullptr, nullptr, 0, 0};
    for (DISPID id : {1, -1, -5, 1000}) {
        EXPECT_EQ(
            dispatch.Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &result, nullptr, nullptr),
            S_OK);
        EXPECT_EQ(result.vt, VT_I4);
        EXPECT_EQ(result.lVal, 99);
    }
    EXPECT_EQ(a.m_nCalls, 0);
}

TEST(DispatchBase, AnswersOnlyIDispatchAndOutlivesItsCount) {
    CMainDispatchImp dispatch;
    void* out = &dispatch;
    EXPECT_EQ(dispatch.QueryInterface(IID_IUnknown, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dispatch.GetRefCount(), 0);
    ASSERT_EQ(dispatch.QueryInterface(IID_IDispatch, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDispatch*>(&dispatch));
    EXPECT_EQ(dispatch.GetRefCount(), 1);
    EXPECT_EQ(dispatch.Release(), 0u);
    // Still usable after the count reached 0.
    CRecordingHandler a(L"A");
    dispatch.RegisterHandler(&a);
    EXPECT_EQ(dispatch.AddRef(), 1u);
    HRESULT hr;
    EXPECT_EQ(IdsOf(dispatch, {L"A"}, &hr)[0], 0);

    UINT count = 42;
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&count);
    EXPECT_EQ(dispatch.GetTypeInfoCount(&count), E_NOTIMPL);
    EXPECT_EQ(count, 42u);
    EXPECT_EQ(dispatch.GetTypeInfo(0, 0, &info), E_NOTIMPL);
    EXPECT_EQ(info, reinterpret_cast<ITypeInfo*>(&count));

    CIDispatchImp base;
    EXPECT_EQ(base.GetIDsOfNames(IID_NULL, nullptr, 0, 0, nullptr), E_NOTIMPL);
    EXPECT_EQ(base.Invoke(0, IID_NULL, 0, 1, nullptr, nullptr, nullptr, nullptr), E_NOTIMPL);
}

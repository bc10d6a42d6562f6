#include "browser/script_arguments.h"

#include <gtest/gtest.h>

#include <vector>

#include "browser/external_call.h"
#include "browser/main_dispatch_imp.h"

namespace {

// A command of the usual shape: a text and a number, the pair returned as "text:number".
class CTextAndNumber : public CInvokeHandler {
public:
    CTextAndNumber() : CInvokeHandler(L"Pair") {}
    HRESULT Invoke(REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* pVarResult, EXCEPINFO*,
                   UINT*) override {
        std::wstring text;
        LONG number = 0;
        HRESULT hr = GetScriptText(p, 0, text);
        if (SUCCEEDED(hr)) {
            hr = GetScriptInt(p, 1, number);
        }
        if (FAILED(hr)) {
            return hr;
        }
        std::wstring answer = text + L":" + std::to_wstring(number);
        VariantInit(pVarResult);
        pVarResult->vt = VT_BSTR;
        pVarResult->bstrVal = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
        return S_OK;
    }
};

class ScriptValues {
public:
    ~ScriptValues() {
        for (VARIANT& value : m_values) {
            VariantClear(&value);
        }
    }
    ScriptValues& Text(const wchar_t* text, UINT length) {
        VARIANT& value = Add(VT_BSTR);
        value.bstrVal = text != nullptr ? SysAllocStringLen(text, length) : nullptr;
        return *this;
    }
    ScriptValues& Int(LONG number) {
        Add(VT_I4).lVal = number;
        return *this;
    }
    ScriptValues& Bool(bool flag) {
        Add(VT_BOOL).boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
        return *this;
    }
    ScriptValues& Double(double number) {
        Add(VT_R8).dblVal = number;
        return *this;
    }
    const std::vector<VARIANT>& values() const { return m_values; }

private:
    VARIANT& Add(VARTYPE vt) {
        m_values.emplace_back();
        VariantInit(&m_values.back());
        m_values.back().vt = vt;
        return m_values.back();
    }
    std::vector<VARIANT> m_values;
};

struct Answer {
    HRESULT hr;
    std::wstring text;
};

Answer Call(const ScriptValues& args) {
    CTextAndNumber pair;
    CMainDispatchImp dispatch;
    dispatch.RegisterHandler(&pair);
    VARIANT result;
    VariantInit(&result);
    Answer answer{InvokeExternalMember(&dispatch, L"Pair", DISPATCH_METHOD, args.values(), &result),
                  L""};
    if (result.vt == VT_BSTR && result.bstrVal != nullptr) {
        answer.text.assign(result.bstrVal, SysStringLen(result.bstrVal));
    }
    VariantClear(&result);
    return answer;
}

}  // namespace

TEST(ScriptArguments, ReadInTheScriptsOrderWithTheirWholeText) {
    Answer plain = Call(ScriptValues().Text(L"abc", 3).Int(-7));
    EXPECT_EQ(plain.hr, S_OK);
    EXPECT_EQ(plain.text, L"abc:-7");

    Answer flag = Call(ScriptValues().Text(L"a\0b", 3).Bool(true).Int(99));
    EXPECT_EQ(flag.hr, S_OK);
    EXPECT_EQ(flag.text, std::wstring(L"a\0b:-1", 6));

    EXPECT_EQ(Call(ScriptValues().Text(nullptr, 0).Bool(false)).text, L":0");
}

TEST(ScriptArguments, TooFewArgumentsFailAndOtherTypesMismatch) {
    EXPECT_EQ(Call(ScriptValues()).hr, E_FAIL);
    EXPECT_EQ(Call(ScriptValues().Text(L"abc", 3)).hr, E_FAIL);
    EXPECT_EQ(Call(ScriptValues().Int(1).Int(2)).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Call(ScriptValues().Text(L"abc", 3).Double(1.5)).hr, DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Call(ScriptValues().Text(L"abc", 3).Text(L"1", 1)).hr, DISP_E_TYPEMISMATCH);

    const VARIANT* value = reinterpret_cast<const VARIANT*>(1);
    EXPECT_EQ(GetScriptArgument(nullptr, 0, VT_I4, &value), E_FAIL);
    EXPECT_EQ(value, nullptr);
}

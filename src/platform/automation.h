// Automation types (HRESULT, VARIANT, BSTR, IDispatch) with the platform's names and values.
// Wide text is wchar_t: UTF-16 on Windows, UTF-32 on Linux.
#pragma once

#include "platform/types.h"

#ifdef _WIN32
#include <oaidl.h>
#include <oleauto.h>
#else

using HRESULT = int32_t;
using SCODE = int32_t;
using DISPID = LONG;
using LCID = DWORD;
using VARTYPE = uint16_t;
using VARIANT_BOOL = int16_t;
using OLECHAR = wchar_t;
using LPOLESTR = OLECHAR*;
// A BSTR points at the text; its length in characters is stored just before it.
using BSTR = OLECHAR*;

// The calling convention of COM methods (__stdcall on 32-bit Windows).
#define STDMETHODCALLTYPE

#define SUCCEEDED(hr) (((HRESULT)(hr)) >= 0)
#define FAILED(hr) (((HRESULT)(hr)) < 0)

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = (HRESULT)0x80004001;
constexpr HRESULT E_NOINTERFACE = (HRESULT)0x80004002;
constexpr HRESULT E_POINTER = (HRESULT)0x80004003;
constexpr HRESULT E_FAIL = (HRESULT)0x80004005;
constexpr HRESULT E_UNEXPECTED = (HRESULT)0x8000FFFF;
constexpr HRESULT E_OUTOFMEMORY = (HRESULT)0x8007000E;
constexpr HRESULT E_INVALIDARG = (HRESULT)0x80070057;
constexpr HRESULT DISP_E_MEMBERNOTFOUND = (HRESULT)0x80020003;
constexpr HRESULT DISP_E_TYPEMISMATCH = (HRESULT)0x80020005;
constexpr HRESULT DISP_E_UNKNOWNNAME = (HRESULT)0x80020006;
constexpr HRESULT DISP_E_EXCEPTION = (HRESULT)0x80020009;
constexpr HRESULT DISP_E_BADPARAMCOUNT = (HRESULT)0x8002000E;

constexpr DISPID DISPID_UNKNOWN = -1;

constexpr WORD DISPATCH_METHOD = 1;
constexpr WORD DISPATCH_PROPERTYGET = 2;
constexpr WORD DISPATCH_PROPERTYPUT = 4;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

enum VARENUM : VARTYPE {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_R4 = 4,
    VT_R8 = 5,
    VT_BSTR = 8,
    VT_DISPATCH = 9,
    VT_ERROR = 10,
    VT_BOOL = 11,
    VT_VARIANT = 12,
    VT_UNKNOWN = 13,
    VT_I1 = 16,
    VT_UI1 = 17,
    VT_UI2 = 18,
    VT_UI4 = 19,
    VT_I8 = 20,
    VT_UI8 = 21,
    VT_INT = 22,
    VT_UINT = 23,
};

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFIID = const IID&;
using REFGUID = const GUID&;

bool IsEqualGUID(REFGUID a, REFGUID b);
inline bool IsEqualIID(REFIID a, REFIID b) {
    return IsEqualGUID(a, b);
}
inline bool operator==(REFGUID a, REFGUID b) {
    return IsEqualGUID(a, b);
}

extern const IID IID_NULL;
extern const IID IID_IUnknown;
extern const IID IID_IDispatch;

struct IDispatch;
struct ITypeInfo;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONGLONG llVal;
        LONG lVal;
        INT intVal;
        UINT uintVal;
        int16_t iVal;
        double dblVal;
        float fltVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        BSTR bstrVal;
        IDispatch* pdispVal;
        void* byref;
    };
};
using VARIANTARG = VARIANT;

struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    UINT cArgs;
    UINT cNamedArgs;
};

struct EXCEPINFO {
    WORD wCode;
    WORD wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    DWORD dwHelpContext;
    void* pvReserved;
    void* pfnDeferredFillIn;
    SCODE scode;
};

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IDispatch : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                                    LCID lcid, DISPID* rgDispId) = 0;
    virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid,
                                             WORD wFlags, DISPPARAMS* pDispParams,
                                             VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                             UINT* puArgErr) = 0;
};

// Length-counted strings: the allocation keeps the length in characters before the text and
// a terminating NUL after it. A null BSTR is the empty text.
BSTR SysAllocString(const OLECHAR* psz);
BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui);
void SysFreeString(BSTR bstrString);
UINT SysStringLen(BSTR pbstr);

void VariantInit(VARIANT* pvarg);
// Frees what the variant owns (a BSTR, a reference on an IDispatch) and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANT* pvarg);
// Deep copy: BSTRs are duplicated, IDispatch pointers AddRef'ed.
HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc);

// COM apartments have no meaning here; these keep the callers' structure.
HRESULT CoInitialize(void* pvReserved);
void CoUninitialize();
// A fresh random GUID (version 4).
HRESULT CoCreateGuid(GUID* pguid);
// Formats "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper case, 38 characters); returns the
// count with the terminator, or 0 when cchMax is too small.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);

#endif

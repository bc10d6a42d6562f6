#include "platform/automation.h"

#ifndef _WIN32

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <random>

const IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool IsEqualGUID(REFGUID a, REFGUID b) {
    return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}

namespace {
// The length prefix sits right before the text, as the platform lays a BSTR out.
struct BstrHeader {
    size_t length;
};
BstrHeader* HeaderOf(BSTR text) {
    return reinterpret_cast<BstrHeader*>(reinterpret_cast<char*>(text) - sizeof(BstrHeader));
}
}  // namespace

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    void* block = std::malloc(sizeof(BstrHeader) + (size_t(ui) + 1) * sizeof(OLECHAR));
    if (block == nullptr) {
        return nullptr;
    }
    auto* header = static_cast<BstrHeader*>(block);
    header->length = ui;
    auto* text = reinterpret_cast<OLECHAR*>(header + 1);
    if (strIn != nullptr) {
        std::wmemcpy(text, strIn, ui);
    } else {
        std::wmemset(text, L'\0', ui);
    }
    text[ui] = L'\0';
    return text;
}

BSTR SysAllocString(const OLECHAR* psz) {
    if (psz == nullptr) {
        return nullptr;
    }
    return SysAllocStringLen(psz, static_cast<UINT>(std::wcslen(psz)));
}

void SysFreeString(BSTR bstrString) {
    if (bstrString != nullptr) {
        std::free(HeaderOf(bstrString));
    }
}

UINT SysStringLen(BSTR pbstr) {
    return pbstr == nullptr ? 0 : static_cast<UINT>(HeaderOf(pbstr)->length);
}

void VariantInit(VARIANT* pvarg) {
    std::memset(pvarg, 0, sizeof(VARIANT));
    pvarg->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* pvarg) {
    if (pvarg == nullptr) {
        return E_INVALIDARG;
    }
    if (pvarg->vt == VT_BSTR) {
        SysFreeString(pvarg->bstrVal);
    } else if (pvarg->vt == VT_DISPATCH && pvarg->pdispVal != nullptr) {
        pvarg->pdispVal->Release();
    }
    VariantInit(pvarg);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* pvargDest, const VARIANT* pvargSrc) {
    if (pvargDest == nullptr || pvargSrc == nullptr) {
        return E_INVALIDARG;
    }
    if (pvargDest == pvargSrc) {
        return S_OK;
    }
    VARIANT copy = *pvargSrc;
    if (copy.vt == VT_BSTR && copy.bstrVal != nullptr) {
        copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
        if (copy.bstrVal == nullptr) {
            return E_OUTOFMEMORY;
        }
    } else if (copy.vt == VT_DISPATCH && copy.pdispVal != nullptr) {
        copy.pdispVal->AddRef();
    }
    VariantClear(pvargDest);
    *pvargDest = copy;
    return S_OK;
}

HRESULT CoInitialize(void*) {
    return S_OK;
}
void CoUninitialize() {}

HRESULT CoCreateGuid(GUID* pguid) {
    if (pguid == nullptr) {
        return E_INVALIDARG;
    }
    std::random_device device;
    uint8_t bytes[16];
    for (size_t i = 0; i < sizeof(bytes); i += 4) {
        uint32_t word = device();
        std::memcpy(bytes + i, &word, 4);
    }
    bytes[6] = (bytes[6] & 0x0F) | 0x40;  // version 4
    bytes[8] = (bytes[8] & 0x3F) | 0x80;  // variant 1
    pguid->Data1 =
        uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    pguid->Data2 = uint16_t(bytes[4] << 8 | bytes[5]);
    pguid->Data3 = uint16_t(bytes[6] << 8 | bytes[7]);
    std::memcpy(pguid->Data4, bytes + 8, 8);
    return S_OK;
}

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    constexpr int kChars = 39;  // 38 and the terminator
    if (lpsz == nullptr || cchMax < kChars) {
        return 0;
    }
    std::swprintf(lpsz, kChars, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", rguid.Data1,
                  rguid.Data2, rguid.Data3, rguid.Data4[0], rguid.Data4[1], rguid.Data4[2],
                  rguid.Data4[3], rguid.Data4[4], rguid.Data4[5], rguid.Data4[6], rguid.Data4[7]);
    return kChars;
}

#endif

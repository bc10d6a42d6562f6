// Options that pages define for themselves: a value and its kind (8 text, 22 integer).
#include "app/helpers.h"
#include "config/client_options.h"
#include "config/ini_section.h"
#include "platform/private_profile.h"
#include "platform/text_encoding.h"

namespace {

constexpr wchar_t kValuesSection[] = L"TAVNELDESKTOPCLIENT_CUSTOM";
constexpr wchar_t kKindsSection[] = L"TAVNELDESKTOPCLIENT_CUSTOM_TYPE";

}  // namespace

VARIANT GetCustomOption(const std::wstring& name) {
    std::wstring path = GetConfigIniPath();
    CIniSection values(path, kValuesSection);
    CIniSection kinds(path, kKindsSection);
    VARIANT result;
    VariantInit(&result);
    if (kinds.ReadInt(name + L"_TYPE", VT_BSTR) == VT_BSTR) {
        std::wstring text = values.ReadString(name, L"");
        BSTR copy = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        if (copy == nullptr) {
            throw HResultError{E_OUTOFMEMORY};
        }
        result.vt = VT_BSTR;
        result.bstrVal = copy;
    } else {
        result.vt = VT_INT;
        result.intVal = values.ReadInt(name, 0);
    }
    return result;
}

bool CustomOptionFits(const std::wstring& name, const VARIANT& value) {
    return Utf16Length(name) <= kMaxCustomOptionName &&
           (value.vt != VT_BSTR || CustomOptionTextLength(value) <= kMaxCustomOptionText);
}

size_t CustomOptionTextLength(const VARIANT& value) {
    return value.vt == VT_BSTR ? Utf16Length({value.bstrVal, SysStringLen(value.bstrVal)}) : 0;
}

BOOL SetCustomOption(const std::wstring& name, const VARIANT& value) {
    if (!CustomOptionFits(name, value)) {
        return FALSE;
    }
    std::wstring kindKey = name + L"_TYPE";
    std::wstring kind = IntToText(value.vt == VT_BSTR ? VT_BSTR : VT_INT);
    // No conversion: what the 32-bit value field holds is stored. A null BSTR deletes the key,
    // which then reads back as the empty text.
    std::wstring number = value.vt == VT_BSTR ? std::wstring() : IntToText(value.lVal);
    const wchar_t* text = value.vt == VT_BSTR ? value.bstrVal : number.c_str();
    // Kind and value land together or not at all, so a refused value never changes the kind.
    PROFILE_WRITE writes[] = {{kKindsSection, kindKey.c_str(), kind.c_str()},
                              {kValuesSection, name.c_str(), text}};
    return WritePrivateProfileBatch(writes, 2, GetConfigIniPath().c_str());
}

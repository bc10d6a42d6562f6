// Options that pages define for themselves: a value and its kind (8 text, 22 integer).
#include "app/helpers.h"
#include "config/client_options.h"
#include "config/ini_section.h"

namespace {

constexpr wchar_t kValuesSection[] = L"TAVNELDESKTOPCLIENT_CUSTOM";
constexpr wchar_t kKindsSection[] = L"TAVNELDESKTOPCLIENT_CUSTOM_TYPE";

}  // namespace

VARIANT GetCustomOption(const std::wstring& m_strName) {
    std::wstring path = GetConfigIniPath();
    CIniSection values(path, kValuesSection);
    CIniSection kinds(path, kKindsSection);
    VARIANT result;
    VariantInit(&result);
    if (kinds.ReadInt(m_strName + L"_TYPE", VT_BSTR) == VT_BSTR) {
        std::wstring text = values.ReadString(m_strName, L"");
        BSTR copy = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
        if (copy == nullptr) {
            throw HResultError{E_OUTOFMEMORY};
        }
        result.vt = VT_BSTR;
        result.bstrVal = copy;
    } else {
        result.vt = VT_INT;
        result.intVal = values.ReadInt(m_strName, 0);
    }
    return result;
}

void SetCustomOption(const std::wstring& m_strName, const VARIANT& value) {
    std::wstring path = GetConfigIniPath();
    CIniSection values(path, kValuesSection);
    CIniSection kinds(path, kKindsSection);
    if (value.vt == VT_BSTR) {
        kinds.WriteInt(m_strName + L"_TYPE", VT_BSTR);
        // A null BSTR deletes the key, which then reads back as the empty text.
        values.WriteString(m_strName, value.bstrVal);
    } else {
        // No conversion: what the 32-bit value field holds is stored.
        kinds.WriteInt(m_strName + L"_TYPE", VT_INT);
        values.WriteInt(m_strName, value.lVal);
    }
}

// The text form of window.external requests and answers on platforms where the page reaches
// the system through a text channel. Requests come from page script and are checked as
// untrusted input; answers escape every character outside ASCII, so any UTF-16 text (lone
// surrogates included) survives the trip.
//
// Request:  ["l", name, frame]                 does the member exist?
//           ["c", name, flags, [args], frame]  call (flags 1) or property read (flags 2)
//           ["d", frame]                       a frame's document has loaded
//           ["s", width, height, frame]        the top document's body asks for this size
//   frame is the address of the calling frame's document.
//   an argument is a string, a number (integral in 32 bits: VT_I4, otherwise VT_R8), true or
//   false (VT_BOOL), null (VT_EMPTY), {"n": "NaN" | "Infinity" | "-Infinity"} (VT_R8), or any
//   other object, which stands for a value of a type the bridge cannot hand over.
// Answer:   {"h": hresult, "v": value}  "v" absent for an empty result.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/automation.h"

namespace platform {

// Requests larger than this are refused with E_FAIL before they are read. The page's script
// refuses longer ones itself before they are sent: kMaxScriptRequestChars UTF-16 units of
// request text take at most three bytes each.
constexpr size_t kMaxScriptRequestBytes = 16 * 1024 * 1024;
constexpr size_t kMaxScriptRequestChars = 4 * 1024 * 1024;
static_assert(kMaxScriptRequestChars * 3 < kMaxScriptRequestBytes);
// More arguments than any command reads; a call with more gets DISP_E_BADPARAMCOUNT.
constexpr size_t kMaxScriptArguments = 64;

class CJsonReader;

class CScriptRequest {
public:
    enum Kind { kLookUp, kCall, kFrameLoaded, kPageSize };

    CScriptRequest() = default;
    ~CScriptRequest();
    CScriptRequest(const CScriptRequest&) = delete;
    CScriptRequest& operator=(const CScriptRequest&) = delete;

    // S_OK, or the error the script gets: E_FAIL for text that is not a request,
    // DISP_E_TYPEMISMATCH for a name that is not a string or an argument of another type,
    // DISP_E_BADPARAMCOUNT for more than kMaxScriptArguments arguments.
    HRESULT Decode(std::string_view text);

    Kind m_nKind = kLookUp;
    // The member's name; the frame's address for kFrameLoaded; the width for kPageSize.
    std::wstring m_strName;
    std::wstring m_strHeight;
    // The address of the document that sent the request.
    std::wstring m_strFrameUrl;
    WORD m_wFlags = 0;
    // In the script's order; the request owns the values.
    std::vector<VARIANT> m_args;

private:
    HRESULT DecodeCall(CJsonReader& reader);
};

// value may be null (no result).
std::string EncodeScriptAnswer(HRESULT hr, const VARIANT* value);

}  // namespace platform

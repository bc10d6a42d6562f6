// The text form of window.external requests and answers on platforms where the page reaches
// the system through a text channel. Requests come from page script and are checked as
// untrusted input; answers escape every character outside ASCII, so any UTF-16 text (lone
// surrogates included) survives the trip.
//
// Request:  ["l", name]                 does the member exist?
//           ["c", name, flags, [args]]  call (flags 1) or property read (flags 2)
//           ["d", url]                  a frame's document has loaded
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

// Requests larger than this are refused with E_FAIL before they are read.
constexpr size_t kMaxScriptRequestBytes = 16 * 1024 * 1024;

class CScriptRequest {
public:
    enum Kind { kLookUp, kCall, kFrameLoaded };

    CScriptRequest() = default;
    ~CScriptRequest();
    CScriptRequest(const CScriptRequest&) = delete;
    CScriptRequest& operator=(const CScriptRequest&) = delete;

    // S_OK, or the error the script gets: E_FAIL for text that is not a request,
    // DISP_E_TYPEMISMATCH for a name that is not a string or an argument of another type.
    HRESULT Decode(std::string_view text);

    Kind m_nKind = kLookUp;
    // The member's name; the frame's address for kFrameLoaded.
    std::wstring m_strName;
    WORD m_wFlags = 0;
    // In the script's order; the request owns the values.
    std::vector<VARIANT> m_args;
};

// value may be null (no result).
std::string EncodeScriptAnswer(HRESULT hr, const VARIANT* value);

}  // namespace platform

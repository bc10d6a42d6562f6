// Code page 936 conversions with a small inline buffer, and the error they raise.
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <new>

#include "app/helpers.h"
#include "platform/text_encoding.h"

namespace {

// The platform's code for a buffer that is too small, as HResultFromLastError maps it.
[[noreturn]] void RaiseOutOfMemory() {
    throw HResultError{E_OUTOFMEMORY};
}

template <typename T>
T* AllocateOrRaise(size_t count) {
    T* p = new (std::nothrow) T[count];
    if (p == nullptr) {
        RaiseOutOfMemory();
    }
    return p;
}

}  // namespace

// Converts units of text (its terminator included) into the inline buffer when room fits there,
// else onto the heap. When the guess was short, the exact size is asked for and the text is
// converted again; any other failure raises.
template <typename In, typename Out, size_t N>
const Out* ConvertIntoBuffer(const In* text, size_t units, size_t room, Out (&inlineBuffer)[N],
                             std::unique_ptr<Out[]>& heap,
                             size_t (*convert)(const In*, size_t, Out*, size_t)) {
    Out* out = inlineBuffer;
    if (room > N) {
        heap.reset(AllocateOrRaise<Out>(room));
        out = heap.get();
    }
    errno = 0;
    size_t written = convert(text, units, out, room);
    if (written == 0 && errno == E2BIG) {
        room = convert(text, units, nullptr, 0);
        if (room == 0) {
            HResultFromLastError();
        }
        heap.reset(AllocateOrRaise<Out>(room));
        out = heap.get();
        written = convert(text, units, out, room);
    }
    if (written == 0) {
        HResultFromLastError();
    }
    return out;
}

void HResultFromLastError() {
    int error = errno;
    if (error <= 0) {
        throw HResultError{static_cast<HRESULT>(error)};
    }
    throw HResultError{static_cast<HRESULT>(0x80070000u | (static_cast<unsigned>(error) & 0xFFFF))};
}

CMultiByteText::CMultiByteText(const wchar_t* text) {
    if (text == nullptr) {
        return;
    }
    const size_t units = std::wcslen(text) + 1;
    // Code page 936 needs at most 2 bytes a character; 4 leaves room as the original does.
    m_pText = ConvertIntoBuffer(text, units, 4 * units, m_inline, m_heap, ConvertWideTo936);
    m_nSize = std::strlen(m_pText);
}

CWideText::CWideText(const char* text) {
    if (text == nullptr) {
        return;
    }
    const size_t units = std::strlen(text) + 1;
    m_pText = ConvertIntoBuffer(text, units, units, m_inline, m_heap, Convert936ToWide);
    m_nSize = std::wcslen(m_pText);
}

CMultiByteText ToMultiByte936(const wchar_t* text) {
    return CMultiByteText(text);
}

CWideText ToWide936(const char* text) {
    return CWideText(text);
}

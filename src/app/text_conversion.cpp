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
    size_t room = 4 * units;
    char* out = m_inline;
    if (room > kInlineBytes) {
        m_heap.reset(AllocateOrRaise<char>(room));
        out = m_heap.get();
    }
    errno = 0;
    size_t written = ConvertWideTo936(text, units, out, room);
    if (written == 0 && errno == E2BIG) {
        room = ConvertWideTo936(text, units, nullptr, 0);
        if (room == 0) {
            HResultFromLastError();
        }
        m_heap.reset(AllocateOrRaise<char>(room));
        out = m_heap.get();
        written = ConvertWideTo936(text, units, out, room);
    }
    if (written == 0) {
        HResultFromLastError();
    }
    m_pText = out;
    m_nSize = std::strlen(out);
}

CWideText::CWideText(const char* text) {
    if (text == nullptr) {
        return;
    }
    const size_t units = std::strlen(text) + 1;
    size_t room = units;
    wchar_t* out = m_inline;
    if (room > kInlineChars) {
        m_heap.reset(AllocateOrRaise<wchar_t>(room));
        out = m_heap.get();
    }
    errno = 0;
    size_t written = Convert936ToWide(text, units, out, room);
    if (written == 0 && errno == E2BIG) {
        room = Convert936ToWide(text, units, nullptr, 0);
        if (room == 0) {
            HResultFromLastError();
        }
        m_heap.reset(AllocateOrRaise<wchar_t>(room));
        out = m_heap.get();
        written = Convert936ToWide(text, units, out, room);
    }
    if (written == 0) {
        HResultFromLastError();
    }
    m_pText = out;
    m_nSize = std::wcslen(out);
}

CMultiByteText ToMultiByte936(const wchar_t* text) {
    return CMultiByteText(text);
}

CWideText ToWide936(const char* text) {
    return CWideText(text);
}

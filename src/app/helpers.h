// Text, file and system helpers shared by start-up, the environment and the updater.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/automation.h"
#include "platform/types.h"

// The error the text conversions raise, carrying an HRESULT.
struct HResultError {
    HRESULT hr;
};

// Narrow code-page-936 text produced by ToMultiByte936. The conversion reserves 4 bytes a
// character, so texts of up to 31 characters (32 with the terminator, in 128 bytes) stay inside
// the object; longer ones are on the heap.
class CMultiByteText {
public:
    static constexpr size_t kInlineBytes = 128;
    explicit CMultiByteText(const wchar_t* text);
    // The text may point into the object itself, so it stays where it was made.
    CMultiByteText(const CMultiByteText&) = delete;
    CMultiByteText& operator=(const CMultiByteText&) = delete;
    const char* c_str() const { return m_pText; }
    operator const char*() const { return m_pText; }
    // Bytes before the terminator.
    size_t size() const { return m_nSize; }
    bool IsInline() const { return m_pText == m_inline; }

private:
    char m_inline[kInlineBytes];
    std::unique_ptr<char[]> m_heap;
    const char* m_pText = nullptr;
    size_t m_nSize = 0;
};

// Wide text produced by ToWide936: texts of up to 127 bytes (128 wide characters with the
// terminator) stay inside the object; longer ones are on the heap.
class CWideText {
public:
    static constexpr size_t kInlineChars = 128;
    explicit CWideText(const char* text);
    CWideText(const CWideText&) = delete;
    CWideText& operator=(const CWideText&) = delete;
    const wchar_t* c_str() const { return m_pText; }
    operator const wchar_t*() const { return m_pText; }
    size_t size() const { return m_nSize; }
    bool IsInline() const { return m_pText == m_inline; }

private:
    wchar_t m_inline[kInlineChars];
    std::unique_ptr<wchar_t[]> m_heap;
    const wchar_t* m_pText = nullptr;
    size_t m_nSize = 0;
};

// Null in, null out (c_str() is null). Characters without a form are replaced ('?', U+FFFD),
// as the platform's conversion without flags does; HResultError is raised only when memory or
// the conversion itself fails.
CMultiByteText ToMultiByte936(const wchar_t* text);
CWideText ToWide936(const char* text);

std::wstring ReadTextFile(const wchar_t* path);
// Files the system rewrites are replaced whole: the text goes to a temporary file beside the
// target, which then takes the target's place, so a crash leaves the old or the new file.
BOOL WriteNarrowFile(const wchar_t* path, const char* text);
BOOL WriteTextFile(const wchar_t* text, const wchar_t* path);
// Creates every folder of the path up to its last separator ('/' or '\\'): a path must end
// with a separator to be created whole.
BOOL CreateDirectoryPath(const wchar_t* path);
// Removes the folder with everything in it; a link, the folder itself included, is removed as
// itself, never followed (RemoveTreeNoLinks).
BOOL DeleteDirectoryTree(const wchar_t* path);

// Module handles (HMODULE, platform/types.h): null names the executable; any other value is
// the address of something inside the module (a shared object or the executable).
// The module's folder with its trailing separator.
std::wstring GetModuleDirectory(HMODULE module);
// The module's full path (not cut at MAX_PATH: a cut path would name another file).
std::wstring GetModuleFileName(HMODULE module);
// The version the build stamped into the module's file. *length is in characters; when the
// buffer is too small it becomes the count needed, terminator included, and 0 is returned.
BOOL GetModuleFileVersion(HMODULE module, wchar_t* buffer, DWORD* length);

// The URL without its query and fragment.
std::wstring UrlPathOf(const std::wstring& url);
// The last segment of the URL's path, with characters no file name may hold replaced.
std::wstring FileNameFromUrl(const std::wstring& url);
void SanitizeFileName(std::wstring& name);

// Raises HResultError from errno, mapped as the platform maps its last error.
[[noreturn]] void HResultFromLastError();

// 32 lower-case hexadecimal digits; empty when the MD5 facility is missing.
std::wstring MD5OfBuffer(const void* data, size_t length);
// Empty when the file cannot be opened or read, or is empty.
std::wstring MD5OfFile(const wchar_t* path);
// 64 lower-case hexadecimal digits (an empty file has one too); empty when the file cannot be
// read.
std::wstring SHA256OfFile(const wchar_t* path);

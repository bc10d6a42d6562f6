// Whether files can be made in a folder: the only sure answer on Windows, where ACLs, the
// read-only attribute and virtualisation all play a part, is to try.
#include "platform/folder_access.h"

#include <windows.h>

bool CanReplaceFilesIn(const std::wstring& folder) {
    const std::wstring probe = folder + L"\\.songdeck-write-probe-" +
                               std::to_wstring(GetCurrentProcessId()) + L"-" +
                               std::to_wstring(GetCurrentThreadId());
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

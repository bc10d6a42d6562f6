#include "platform/folder_access.h"

#include <unistd.h>

#include "platform/text_encoding.h"

bool CanReplaceFilesIn(const std::wstring& folder) {
    return ::access(WideToUtf8(folder).c_str(), W_OK | X_OK) == 0;
}

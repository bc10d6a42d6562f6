// Interface, class and service ids the browser host and its tests use that MinGW's libuuid
// does not carry (defined in com_ids.cpp).
#pragma once

#include <windows.h>

#include <activscp.h>
#include <dispex.h>
#include <downloadmgr.h>

namespace platform::win32 {

// The script engine the pages' window.external is tested with.
extern const CLSID kClsidJScript;
// The service a browser asks its host for before it shows a download dialog.
extern const GUID kSidDownloadManager;

}  // namespace platform::win32

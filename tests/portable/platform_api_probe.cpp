// Compiled only by scripts/check-portable, against the Windows headers: every portable platform
// header, and our own API declared there too (including what only tests use), agreeing with the
// SDK's names.
#include "platform/automation.h"
#include "platform/autostart.h"
#include "platform/dialog.h"
#include "platform/dialog_native.h"
#include "platform/digest.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/hotkey.h"
#include "platform/http_request.h"
#include "platform/icons.h"
#include "platform/known_folders.h"
#include "platform/logger.h"
#include "platform/menu.h"
#include "platform/messages.h"
#include "platform/module.h"
#include "platform/private_profile.h"
#include "platform/script_call_codec.h"
#include "platform/shell_execute.h"
#include "platform/single_instance.h"
#include "platform/system_info.h"
#include "platform/text_encoding.h"
#include "platform/thread.h"
#include "platform/tray.h"
#include "platform/trusted_pages.h"
#include "platform/types.h"
#include "platform/ui.h"
#include "platform/url_parts.h"
#include "platform/virtual_keys.h"
#include "platform/web_view.h"
#include "platform/window_functions.h"
#include "platform/wnd.h"
#include "platform/write_file.h"
#include "platform/xml_document.h"

namespace {

struct ProbeJob {
    unsigned Run() { return 0; }
};

class CProbeWnd : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        // The global calls stay reachable beside CWnd's members of the same names.
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

class CProbeThread : public CWinThread {
public:
    BOOL InitInstance() override { return CreateThread(CREATE_SUSPENDED); }
};

[[maybe_unused]] void Probe() {
    CProbeWnd wnd;
    CProbeThread thread;
    RECT area{};
    GetWorkArea(&area);
    platform::InitUiThread();
    platform::EnsureMessageQueue();
    platform::PostTask(platform::GetUiThreadId(), [] {});
    platform::PumpMessagesUntil([] { return true; }, 10);
    platform::SetThreadMessageHandler([](UINT, WPARAM, LPARAM) {});
    platform::RunMessageLoop();
    platform::testing::ListMessageBoxes();
    platform::testing::PressMessageBoxButton(L"", IDOK);
    platform::FindDialogWindow(L"");
    unsigned id = 0;
    CloseHandle(BeginJobThread(std::make_shared<ProbeJob>(), &ProbeJob::Run, &id));
    GetKnownFolderPath(CSIDL_LOCAL_APPDATA);
    HMODULE module = nullptr;
    (void)module;
    (void)AfxGetThread();
    (void)AfxGetResourceHandle();
}

}  // namespace

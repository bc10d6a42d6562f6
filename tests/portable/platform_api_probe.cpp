// Compiled only by scripts/check-portable, against the Windows headers: our own platform API
// must be declared there too, including what only tests use, and agree with the SDK's names.
#include "platform/dialog.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "platform/ui.h"
#include "platform/web_view.h"
#include "platform/wnd.h"

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
    ShareFileWithAllUsers(PathFromWide(L"x"));
    GetKnownFolderPath(CSIDL_LOCAL_APPDATA);
    HMODULE module = nullptr;
    (void)module;
    (void)AfxGetThread();
}

}  // namespace

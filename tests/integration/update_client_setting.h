// What a client update run needs around it in a test: its own data folders, a test.ini that
// points the manifest URL at a local server, and a stand-in main window on this thread.
#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "app/environment.h"
#include "beside_executable.h"
#include "platform/files.h"
#include "platform/wnd.h"
#include "support/test_http_server.h"
#include "unit/scoped_environment.h"
#include "unit/temp_folder.h"
#include "update/update_messages.h"

namespace updatetest {

// The application's main window as far as the update side sees it.
class StandInMainWindow : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_UPDATE_READY) {
            ready.push_back(wParam);
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<WPARAM> ready;
};

class UpdateClientSetting {
public:
    // The manifest is asked for at manifestPath on the server.
    explicit UpdateClientSetting(const std::string& manifestPath) {
        ScopedEnvironment::SetVariable("SONGDECK_COMMON_APPDATA",
                                       m_commonData.path().string().c_str());
        ScopedEnvironment::SetVariable("SONGDECK_LOCAL_APPDATA",
                                       m_localData.path().string().c_str());
        platform::EnsureMessageQueue();
        mainWindowCreated = mainWindow.CreateEx(0, L"StandIn", L"main", 0, RECT{}, nullptr, 0);
        SetUpdateMainWindow(mainWindow.GetSafeHwnd());
        m_pTestIni = std::make_unique<FileBesideExecutable>(
            "test.ini",
            "[CLIENT_PROFILE_SHEET]\nUPDATE_CONFIG_URL=" + server.Url(manifestPath) + "\n");
        running = GetAppVersionNumber();
        updateDir = PathFromWide(GetUpdateDir()).parent_path();
    }
    ~UpdateClientSetting() { SetUpdateMainWindow(nullptr); }

    std::string ReadUpdateFile(const std::string& name) const {
        std::ifstream file(updateDir / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }

private:
    ExecutableFolderLock m_folderLock;
    TempFolder m_commonData;
    TempFolder m_localData;

public:
    testsupport::TestHttpServer server;
    StandInMainWindow mainWindow;
    bool mainWindowCreated = false;
    LONGLONG running = 0;
    std::filesystem::path updateDir;

private:
    std::unique_ptr<FileBesideExecutable> m_pTestIni;
};

}  // namespace updatetest

// The update engine on a real thread of its own with its notification proxy, recording how
// each run ends, against a real HTTP server on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/helpers.h"
#include "beside_executable.h"
#include "platform/thread.h"
#include "platform/wnd.h"
#include "support/test_http_server.h"
#include "unit/temp_folder.h"
#include "update/notify_proxy.h"
#include "update/updater.h"

namespace updatetest {

inline constexpr LONGLONG kRunning = 10200030004;
inline constexpr DWORD kRunDeadlineMs = 30000;

struct Outcome {
    int result = -1;
    int state = -1;
    std::wstring desc;
    std::wstring log;
    std::wstring manifestPath;
    std::vector<int> progress;
    BOOL started = FALSE;
};

class RecordingUpdater : public CUpdater {
public:
    RecordingUpdater(CNotifyProxy* proxy, Outcome& outcome)
        : CUpdater(proxy, kRunning, L"SongDeck test"), m_outcome(outcome) {}
    ~RecordingUpdater() override { StopUpdate(); }

    // Ends the run as soon as the file check has started, as leaving the dialog does.
    bool stopDuringFileCheck = false;
    void OnNewVersion() override {
        CUpdater::OnNewVersion();
        if (stopDuringFileCheck) {
            StopUpdate();
            PostQuitMessage(0);
        }
    }

    void OnUpdateFinished(int result) override {
        m_outcome.result = result;
        m_outcome.state = m_nState;
        m_outcome.desc = m_strDesc;
        m_outcome.log = m_strLog;
        m_outcome.manifestPath = m_strManifestPath;
        PostQuitMessage(0);
    }
    void OnProgress(int percent) override { m_outcome.progress.push_back(percent); }

private:
    Outcome& m_outcome;
};

// One run of the engine on its own thread; the outcome is read after the thread ended.
class EngineThread : public CWinThread {
public:
    EngineThread(std::wstring url, std::wstring dir, bool stopDuringFileCheck)
        : m_url(std::move(url)),
          m_dir(std::move(dir)),
          m_bStopDuringFileCheck(stopDuringFileCheck) {
        m_bAutoDelete = FALSE;
    }
    BOOL InitInstance() override {
        if (!m_proxy.CreateProxyWindow()) {
            return FALSE;
        }
        m_pUpdater = std::make_unique<RecordingUpdater>(&m_proxy, outcome);
        m_pUpdater->stopDuringFileCheck = m_bStopDuringFileCheck;
        outcome.started = m_pUpdater->CheckUpdate(m_url, m_dir, L"{TEST-ID}", L"", L"", L"");
        return TRUE;
    }
    int ExitInstance() override {
        m_pUpdater.reset();
        m_proxy.DestroyWindow();
        return CWinThread::ExitInstance();
    }
    Outcome outcome;

private:
    std::wstring m_url;
    std::wstring m_dir;
    bool m_bStopDuringFileCheck;
    CNotifyProxy m_proxy;
    std::unique_ptr<RecordingUpdater> m_pUpdater;
};

// Polls without a message loop; false after the deadline.
inline bool PollUntil(const std::function<bool()>& done, DWORD ms = 10000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

// Runs of the engine against the local server, into a fresh folder.
class UpdaterEngineTest : public ::testing::Test {
protected:
    Outcome Run(const std::wstring& url, bool stopDuringFileCheck = false) {
        EngineThread thread(url, dir.wide(), stopDuringFileCheck);
        EXPECT_TRUE(thread.CreateThread());
        if (WaitForSingleObject(thread.m_hThread, kRunDeadlineMs) != WAIT_OBJECT_0) {
            thread.PostThreadMessage(WM_QUIT, 0, 0);
            WaitForSingleObject(thread.m_hThread, kRunDeadlineMs);
            ADD_FAILURE() << "the update run did not end within " << kRunDeadlineMs << " ms";
        }
        EXPECT_TRUE(thread.outcome.started);
        return thread.outcome;
    }
    std::wstring ManifestUrl() const { return server.WideUrl("/app/update.xml"); }
    size_t FetchesOf(const std::string& path) const { return server.RequestsFor(path).size(); }

    // serverurl.txt beside the executable would redirect every run.
    ExecutableFolderLock folderLock;
    TempFolder dir;
    testsupport::TestHttpServer server;
};

}  // namespace updatetest

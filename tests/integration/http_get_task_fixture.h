// A download task whose notifications reach a real message-only window on a thread running the
// message loop, a real HTTP server on 127.0.0.1 and a fresh target folder per test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "platform/text_encoding.h"
#include "support/notification_receiver.h"
#include "support/test_http_server.h"
#include "unit/temp_folder.h"
#include "update/http_get_task_md5.h"

namespace testsupport {

using Sequence = std::vector<std::pair<WPARAM, LPARAM>>;

inline std::string MakeContent(size_t size, unsigned seed = 7) {
    std::mt19937 random(seed);
    std::string content(size, '\0');
    for (char& byte : content) {
        byte = static_cast<char>(random());
    }
    return content;
}

// What a download posts, progress aside: finished from scratch, finished after resuming, or
// ended by a failure before any answer was accepted.
inline Sequence Finished(LPARAM size) {
    return {{HTTPGET_BEGIN, 0}, {HTTPGET_CONNECTING, 0}, {HTTPGET_SIZE, size}, {HTTPGET_DONE, 0}};
}
inline Sequence ResumedAndFinished(LPARAM resumed, LPARAM size) {
    return {{HTTPGET_BEGIN, 0},
            {HTTPGET_CONNECTING, 0},
            {HTTPGET_RESUME, resumed},
            {HTTPGET_SIZE, size},
            {HTTPGET_DONE, 0}};
}
inline Sequence AcceptedThenFailed(LPARAM size, WPARAM code) {
    return {{HTTPGET_BEGIN, 0}, {HTTPGET_CONNECTING, 0}, {HTTPGET_SIZE, size}, {code, 0}};
}
inline Sequence FailedAtOnce(WPARAM code, LPARAM value) {
    return {{HTTPGET_BEGIN, 0}, {HTTPGET_CONNECTING, 0}, {code, value}};
}

inline bool IsFinal(const Notification& notification) {
    return (notification.code >= HTTPGET_ERR_REQUEST && notification.code <= HTTPGET_ERR_RENAME) ||
           notification.code == HTTPGET_DONE;
}

class HttpGetTaskTest : public ::testing::Test {
protected:
    static constexpr UINT kMessageId = 3024;
    static constexpr unsigned kDeadlineMs = 15000;

    void SetUp() override {
        ASSERT_FALSE(m_folder.path().empty());
        m_dir = m_folder.path();
        m_wideDir = m_folder.wide();
        ASSERT_TRUE(
            task.Init(receiver.Window(), kMessageId, L"SongDeck test", nullptr, nullptr, nullptr));
    }

    void TearDown() override {
        task.Stop();
        CHttpGetTask::SetStallTimeoutMs(60000);
    }

    // Starts the download and waits for its final notification and the end of its thread.
    void StartAndWait(const std::wstring& url) {
        receiver.Clear();
        task.Start(m_wideDir.c_str(), url.c_str());
        ASSERT_TRUE(receiver.WaitFor(IsFinal, kDeadlineMs))
            << "no final notification within " << kDeadlineMs << " ms";
    }

    // The notifications of the last download, without the per-chunk progress.
    Sequence Download(const std::string& path) { return DownloadUrl(server.WideUrl(path)); }
    Sequence DownloadUrl(const std::wstring& url) {
        StartAndWait(url);
        return Milestones();
    }
    Sequence Milestones() const {
        Sequence sequence;
        for (const Notification& notification : receiver.All()) {
            if (notification.code != HTTPGET_PROGRESS) {
                sequence.emplace_back(notification.code, notification.value);
            }
        }
        return sequence;
    }
    std::vector<LPARAM> ProgressValues() const {
        std::vector<LPARAM> values;
        for (const Notification& notification : receiver.All()) {
            if (notification.code == HTTPGET_PROGRESS) {
                values.push_back(notification.value);
            }
        }
        return values;
    }

    // Serves content that stops after stallAfter bytes and stays silent for a minute.
    void ServeStalling(const std::string& path, const std::string& content, size_t stallAfter,
                       HttpTestReply::Framing framing = HttpTestReply::Framing::Length) {
        server.On(path, [content, stallAfter, framing](const HttpTestRequest&) {
            HttpTestReply reply = HttpTestReply::Text(200, content);
            reply.framing = framing;
            reply.stallAfter = stallAfter;
            reply.stallMs = 60000;
            return reply;
        });
    }

    std::filesystem::path PathOf(const std::string& name) const { return m_dir / name; }
    bool Exists(const std::string& name) const { return std::filesystem::exists(PathOf(name)); }
    std::string ReadFile(const std::string& name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    void WriteFile(const std::string& name, const std::string& content) const {
        std::ofstream(PathOf(name), std::ios::binary) << content;
    }
    std::wstring WideDir() const { return m_wideDir; }

    TestHttpServer server;
    NotificationReceiver receiver{kMessageId};
    // Last, so that it stops before the receiver and the server go.
    CHttpGetTaskMD5 task;

private:
    TempFolder m_folder;
    std::filesystem::path m_dir;
    std::wstring m_wideDir;
};

}  // namespace testsupport

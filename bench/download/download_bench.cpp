// CHttpGetTaskMD5 against the curl command-line tool fetching the same 256 MiB file from a
// local server on 127.0.0.1, in the same run. Printed: the transfer throughput of each and
// their ratio (target: at least 0.8 of curl's), and the whole task with its MD5 against curl
// followed by md5sum. Last, the cost of checking a manifest's signature, per manifest.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>

#include "support/manifest_signer.h"
#include "support/notification_receiver.h"
#include "support/test_http_server.h"
#include "app/helpers.h"
#include "platform/text_encoding.h"
#include "update/http_get_task_md5.h"
#include "update/manifest_trust.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using testsupport::Notification;

namespace {

constexpr size_t kFileBytes = 256u * 1024u * 1024u;
constexpr int kRounds = 5;
constexpr UINT kMessageId = 3024;
constexpr unsigned kDeadlineMs = 120000;

std::shared_ptr<const std::string> MakePayload() {
    auto payload = std::make_shared<std::string>(kFileBytes, '\0');
    std::mt19937_64 random(256);
    for (size_t i = 0; i + 8 <= payload->size(); i += 8) {
        uint64_t word = random();
        std::memcpy(payload->data() + i, &word, 8);
    }
    return payload;
}

double Seconds(Clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

bool RunCommand(const std::string& command, double* seconds) {
    Clock::time_point start = Clock::now();
    int status = std::system(command.c_str());
    *seconds = Seconds(Clock::now() - start);
    return status == 0;
}

// Microseconds one VerifyManifestSignature of a manifest of the given size takes, best of
// several batches.
double SignatureCheckMicroseconds(size_t manifestBytes) {
    std::string manifest = "<updater><version>1</version><download>";
    while (manifest.size() + 40 < manifestBytes) {
        manifest += "<file><link>f.bin</link></file>";
    }
    manifest += "</download></updater>";
    const std::string signature = testsupport::CTestSigningKey::Development().Sign(manifest);
    constexpr int kChecks = 200;
    double best = 1e9;
    for (int batch = 0; batch < 5; ++batch) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < kChecks; ++i) {
            if (!VerifyManifestSignature(manifest, signature)) {
                return -1;
            }
        }
        best = std::min(best, Seconds(Clock::now() - start) / kChecks);
    }
    return best * 1e6;
}

}  // namespace

int main() {
    testsupport::TestHttpServer server;
    std::shared_ptr<const std::string> payload = MakePayload();
    server.ServeFile("/payload.bin", payload);
    std::string url = server.Url("/payload.bin");
    std::wstring expectedMd5 = MD5OfBuffer(payload->data(), payload->size());

    fs::path dir =
        fs::temp_directory_path() / ("songdeck_bench_download_" + std::to_string(getpid()));
    fs::create_directories(dir / "task");
    std::wstring taskDir = Utf8ToWide((dir / "task").string() + "/");
    fs::path curlFile = dir / "curl.bin";

    testsupport::NotificationReceiver receiver(kMessageId);
    CHttpGetTaskMD5 task;
    task.Init(receiver.Window(), kMessageId, L"SongDeck bench", nullptr, nullptr, nullptr);

    double bestCurl = 1e9, bestCurlMd5 = 1e9, bestTransfer = 1e9, bestTask = 1e9;
    bool allGood = true;
    for (int round = 0; round < kRounds; ++round) {
        fs::remove(curlFile);
        double curlSeconds = 0;
        double md5sumSeconds = 0;
        if (!RunCommand("curl -s -o '" + curlFile.string() + "' '" + url + "'", &curlSeconds) ||
            !RunCommand("md5sum '" + curlFile.string() + "' > /dev/null", &md5sumSeconds)) {
            std::fprintf(stderr, "curl or md5sum failed\n");
            return 1;
        }
        bestCurl = std::min(bestCurl, curlSeconds);
        bestCurlMd5 = std::min(bestCurlMd5, curlSeconds + md5sumSeconds);

        fs::remove(dir / "task" / "payload.bin");
        receiver.Clear();
        Clock::time_point start = Clock::now();
        task.Start(taskDir.c_str(), Utf8ToWide(url).c_str());
        bool ended = receiver.WaitFor(
            [](const Notification& n) { return n.code == HTTPGET_DONE || n.code < 9; },
            kDeadlineMs);
        Clock::time_point lastByte = start;
        bool done = false;
        size_t chunks = 0;
        for (const Notification& n : receiver.All()) {
            chunks += n.code == HTTPGET_PROGRESS ? 1 : 0;
            if (n.code == HTTPGET_PROGRESS && static_cast<size_t>(n.value) == kFileBytes) {
                lastByte = n.at;
            }
            if (n.code == HTTPGET_DONE) {
                done = true;
                bestTask = std::min(bestTask, Seconds(n.at - start));
            }
        }
        if (!ended || !done || task.GetMD5() != expectedMd5) {
            std::fprintf(stderr, "round %d: the task did not deliver the file\n", round);
            allGood = false;
            break;
        }
        bestTransfer = std::min(bestTransfer, Seconds(lastByte - start));
        std::printf("round %d: curl %.2f s, task transfer %.2f s in %zu chunks\n", round,
                    curlSeconds, Seconds(lastByte - start), chunks);
        task.Stop();
    }
    fs::remove_all(dir);
    if (!allGood) {
        return 1;
    }

    double mib = static_cast<double>(kFileBytes) / (1024.0 * 1024.0);
    std::printf("download: %.0f MiB from 127.0.0.1, best of %d rounds\n", mib, kRounds);
    std::printf("curl -s -o               %8.1f MiB/s\n", mib / bestCurl);
    std::printf("CHttpGetTaskMD5 transfer %8.1f MiB/s\n", mib / bestTransfer);
    std::printf("ratio                    %8.2f (target >= 0.80)\n", bestCurl / bestTransfer);
    std::printf("curl + md5sum            %8.1f MiB/s\n", mib / bestCurlMd5);
    std::printf("CHttpGetTaskMD5 to DONE  %8.1f MiB/s\n", mib / bestTask);
    std::printf("ratio                    %8.2f\n", bestCurlMd5 / bestTask);

    const double smallCheck = SignatureCheckMicroseconds(4 * 1024);
    const double largeCheck = SignatureCheckMicroseconds(1024 * 1024);
    if (smallCheck < 0 || largeCheck < 0) {
        std::fprintf(stderr, "the development key's signature did not verify\n");
        return 1;
    }
    std::printf("signature check, 4 KiB manifest  %8.0f us per manifest\n", smallCheck);
    std::printf("signature check, 1 MiB manifest  %8.0f us per manifest\n", largeCheck);
    std::printf("share of the task's 256 MiB run  %8.5f %%\n", largeCheck / 1e6 / bestTask * 100);
    return 0;
}

// The demo service: a small HTTP server on 127.0.0.1 serving a folder (the start page "/m",
// the update manifest, its signature and the files of a newer version) until it is ended.
//   songdeck-demo-service --root DIR [--port-file FILE]
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "support/test_http_server.h"

namespace fs = std::filesystem;
using testsupport::HttpTestReply;
using testsupport::HttpTestRequest;

namespace {

std::string ContentType(const fs::path& file) {
    const std::string extension = file.extension().string();
    if (extension == ".html") {
        return "text/html; charset=utf-8";
    }
    if (extension == ".xml") {
        return "text/xml; charset=utf-8";
    }
    if (extension == ".css") {
        return "text/css";
    }
    if (extension == ".png") {
        return "image/png";
    }
    if (extension == ".txt") {
        return "text/plain; charset=utf-8";
    }
    return "application/octet-stream";
}

// Every regular file below the root is served at its relative path, and read when it is
// asked for, so a file the release tool replaces is served new; a page is also served without
// its ".html". Links are not followed out of the root.
void ServeFolder(testsupport::TestHttpServer& server, const fs::path& root) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file() || entry.is_symlink()) {
            continue;
        }
        const fs::path file = entry.path();
        const std::string path = "/" + fs::relative(file, root).generic_string();
        auto handler = [file](const HttpTestRequest& request) {
            std::ifstream stream(file, std::ios::binary);
            if (!stream) {
                return HttpTestReply::Text(404, "not found\n");
            }
            auto content = std::make_shared<const std::string>(
                std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
            HttpTestReply reply = HttpTestReply::File(request, content);
            reply.headers.emplace_back("Content-Type", ContentType(file));
            reply.headers.emplace_back("Cache-Control", "no-store");
            return reply;
        };
        server.On(path, handler);
        if (file.extension() == ".html") {
            server.On(path.substr(0, path.size() - 5), handler);
        }
    }
    server.On("/", [](const HttpTestRequest&) { return HttpTestReply::Redirect(302, "/m"); });
    // The start page says which client version it runs in.
    server.On("/hello", [](const HttpTestRequest& request) {
        std::printf("client says hello: %s\n", request.target.c_str());
        std::fflush(stdout);
        return HttpTestReply::Text(200, "");
    });
}

int Usage() {
    std::fprintf(stderr, "usage: songdeck-demo-service --root DIR [--port-file FILE]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    fs::path root;
    fs::path portFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--root") == 0) {
            root = argv[i + 1];
        } else if (std::strcmp(argv[i], "--port-file") == 0) {
            portFile = argv[i + 1];
        } else {
            return Usage();
        }
    }
    std::error_code error;
    if (root.empty() || !fs::is_directory(root, error)) {
        return Usage();
    }
    // Block the ending signals before any thread starts, so that only sigwait sees them.
    sigset_t endings;
    sigemptyset(&endings);
    sigaddset(&endings, SIGINT);
    sigaddset(&endings, SIGTERM);
    sigaddset(&endings, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &endings, nullptr);

    testsupport::TestHttpServer server;
    ServeFolder(server, fs::canonical(root));
    const std::string url = server.Url("");
    if (!portFile.empty()) {
        const fs::path partial = portFile.string() + ".part";
        std::ofstream(partial) << server.Port() << "\n";
        fs::rename(partial, portFile);
    }
    std::printf("demo service at %s/m\n", url.c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&endings, &signal);
    return 0;
}

#include "tls_file_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace testsupport {

namespace {

constexpr auto kStartDeadline = std::chrono::seconds(10);

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

// A port the system just handed out and took back; s_server binds it right after.
uint16_t FreeLoopbackPort() {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    // Port 0 (no server can start there) when the system hands out none.
    const bool bound = fd >= 0 &&
                       bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
                       getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return bound ? ntohs(address.sin_port) : 0;
}

bool Accepts(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return connected;
}

}  // namespace

TlsFileServer::TlsFileServer(const std::filesystem::path& root) {
    std::string pattern = (std::filesystem::temp_directory_path() / "songdeck_tls_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("tls server: no work folder");
    }
    m_workDir = pattern;
    m_certificate = m_workDir / "cert.pem";
    std::filesystem::path key = m_workDir / "key.pem";
    std::string make_certificate =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout " +
        Quoted(key.string()) + " -out " + Quoted(m_certificate.string()) + " 2>/dev/null";
    if (std::system(make_certificate.c_str()) != 0) {
        throw std::runtime_error("tls server: openssl cannot make a certificate");
    }

    m_port = FreeLoopbackPort();
    // s_server -WWW serves paths relative to its working folder.
    std::string command =
        "cd " + Quoted(root.string()) +
        " && exec openssl s_server -quiet -WWW -http_server_binmode -accept 127.0.0.1:" +
        std::to_string(m_port) + " -cert " + Quoted(m_certificate.string()) + " -key " +
        Quoted(key.string()) + " > /dev/null 2>&1";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    if (posix_spawn(&m_pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        throw std::runtime_error("tls server: cannot start openssl s_server");
    }
    auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    while (!Accepts(m_port)) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(m_pid, SIGTERM);
            waitpid(m_pid, nullptr, 0);
            throw std::runtime_error("tls server: s_server does not accept connections");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TlsFileServer::~TlsFileServer() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(m_workDir, ignored);
}

std::wstring TlsFileServer::WideUrl(const std::string& path) const {
    std::string url = "https://127.0.0.1:" + std::to_string(m_port) + path;
    return std::wstring(url.begin(), url.end());
}

}  // namespace testsupport

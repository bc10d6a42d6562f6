// An HTTPS server on 127.0.0.1 serving the files of a folder, with a self-signed certificate
// for 127.0.0.1 made for it: the openssl command-line tool's s_server, started and ended by
// the test. Answers are HTTP/1.0 without a length, ended by closing the connection.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace testsupport {

class TlsFileServer {
public:
    // Serves root; throws when the server does not accept connections within a few seconds.
    explicit TlsFileServer(const std::filesystem::path& root);
    ~TlsFileServer();
    TlsFileServer(const TlsFileServer&) = delete;
    TlsFileServer& operator=(const TlsFileServer&) = delete;

    uint16_t Port() const { return m_port; }
    std::wstring WideUrl(const std::string& path) const;
    // The certificate (PEM) that a client must trust to accept the server.
    const std::filesystem::path& CertificatePath() const { return m_certificate; }

private:
    std::filesystem::path m_workDir;
    std::filesystem::path m_certificate;
    uint16_t m_port = 0;
    pid_t m_pid = -1;
};

}  // namespace testsupport

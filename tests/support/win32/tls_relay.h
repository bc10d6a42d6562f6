// TLS in front of a plain test server under wine: a native relay (socat, with a certificate for
// 127.0.0.1 made by the openssl tool) started through wine's launch of host programs, and the
// certificate trusted in the current user's Root store while the relay lives, so that WinINet
// accepts it the way it accepts any trusted server.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <wincrypt.h>

#include <cstdint>
#include <string>

namespace testsupport {

class TlsRelay {
public:
    // Relays TLS connections on a free port of 127.0.0.1 to plainPort; throws when the relay
    // does not accept connections within a few seconds.
    explicit TlsRelay(uint16_t plainPort);
    ~TlsRelay();
    TlsRelay(const TlsRelay&) = delete;
    TlsRelay& operator=(const TlsRelay&) = delete;

    uint16_t Port() const { return m_port; }
    // The certificate (PEM), as a Windows path.
    const std::string& CertificatePath() const { return m_certificatePath; }
    // Removes the certificate from the user's Root store.
    void Distrust();

private:
    static HCERTSTORE OpenRoot();
    void Trust();

    std::string m_dir;  // a host folder, seen through drive Z:
    std::string m_certificatePath;
    uint16_t m_port = 0;
    PCCERT_CONTEXT m_pCertificate = nullptr;
};

}  // namespace testsupport

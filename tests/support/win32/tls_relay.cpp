#include "support/win32/tls_relay.h"

#include <ws2tcpip.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace testsupport {

namespace {

constexpr auto kStartDeadline = std::chrono::seconds(15);
// The relay ends by itself this long after it starts, should the test never end it.
constexpr int kLifetimeTenthsOfSecond = 3000;

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

uint16_t FreePort() {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    int length = sizeof(address);
    uint16_t port = 0;
    if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    closesocket(probe);
    return port;
}

bool Accepts(uint16_t port) {
    SOCKET probe = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    bool connected =
        connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    closesocket(probe);
    return connected;
}

}  // namespace

TlsRelay::TlsRelay(uint16_t plainPort) {
    std::random_device random;
    const std::string name =
        "songdeck_tls_" + std::to_string(random()) + std::to_string(GetCurrentProcessId());
    const std::string hostDir = "/tmp/" + name;
    m_dir = "Z:\\tmp\\" + name;
    m_port = FreePort();
    if (m_port == 0 || !CreateDirectoryA(m_dir.c_str(), nullptr)) {
        throw std::runtime_error("tls relay: no folder or port");
    }
    // The relay runs while this file exists.
    std::ofstream(m_dir + "\\running").put('\n');
    m_certificatePath = m_dir + "\\cert.pem";
    std::ostringstream script;
    script << "cd " << hostDir << " || exit 1\n"
           << "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1"
              " -subj /CN=127.0.0.1 -addext subjectAltName=DNS:127.0.0.1,IP:127.0.0.1"
              " -keyout key.pem -out cert.tmp 2>/dev/null && mv cert.tmp cert.pem || exit 1\n"
           << "socat OPENSSL-LISTEN:" << m_port
           << ",bind=127.0.0.1,reuseaddr,fork,cert=cert.pem,key=key.pem,verify=0 TCP:127.0.0.1:"
           << plainPort << " 2>/dev/null &\n"
           << "i=0\nwhile [ -e running ] && [ $i -lt " << kLifetimeTenthsOfSecond
           << " ]; do sleep 0.1; i=$((i+1)); done\n"
           << "kill $!\ncd / && rm -rf " << hostDir << "\n";
    std::ofstream(m_dir + "\\relay.sh", std::ios::binary) << script.str();
    // Wine starts a host program through CreateProcess; its handle cannot be waited on, so the
    // relay is ended through the file above.
    std::wstring command =
        L"Z:\\bin\\sh " + std::wstring(hostDir.begin(), hostDir.end()) + L"/relay.sh";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        DeleteFileA((m_dir + "\\running").c_str());
        throw std::runtime_error("tls relay: the host shell does not start");
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const auto deadline = std::chrono::steady_clock::now() + kStartDeadline;
    while (!(Exists(m_certificatePath) && Accepts(m_port))) {
        if (std::chrono::steady_clock::now() > deadline) {
            DeleteFileA((m_dir + "\\running").c_str());
            throw std::runtime_error("tls relay: no connection within the deadline");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    try {
        Trust();
    } catch (...) {
        DeleteFileA((m_dir + "\\running").c_str());
        throw;
    }
}

TlsRelay::~TlsRelay() {
    Distrust();
    CertFreeCertificateContext(m_pCertificate);
    DeleteFileA((m_dir + "\\running").c_str());
}

void TlsRelay::Distrust() {
    // Wine writes the removal to the registry only when asked to commit.
    if (HCERTSTORE root = OpenRoot()) {
        PCCERT_CONTEXT trusted = CertFindCertificateInStore(
            root, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, m_pCertificate, nullptr);
        if (trusted != nullptr) {
            CertDeleteCertificateFromStore(trusted);
        }
        CertControlStore(root, 0, CERT_STORE_CTRL_COMMIT, nullptr);
        CertCloseStore(root, 0);
    }
}

HCERTSTORE TlsRelay::OpenRoot() {
    return CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
}

void TlsRelay::Trust() {
    std::ifstream file(m_certificatePath, std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    DWORD size = 0;
    if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
        throw std::runtime_error("tls relay: unreadable certificate");
    }
    std::string der(size, '\0');
    CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                         reinterpret_cast<BYTE*>(der.data()), &size, nullptr, nullptr);
    m_pCertificate = CertCreateCertificateContext(X509_ASN_ENCODING,
                                                  reinterpret_cast<const BYTE*>(der.data()), size);
    HCERTSTORE root = OpenRoot();
    // The store is written to the registry when its last reference closes: no context of it is
    // kept, so that happens here, before any connection checks the chain.
    const bool added = m_pCertificate != nullptr && root != nullptr &&
                       CertAddCertificateContextToStore(root, m_pCertificate,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    if (root != nullptr) {
        CertCloseStore(root, 0);
    }
    if (!added) {
        throw std::runtime_error("tls relay: the certificate is not trusted");
    }
}

}  // namespace testsupport

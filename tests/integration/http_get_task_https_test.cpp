// https downloads against a real TLS server on 127.0.0.1 with a certificate made for the test.
#include "app/helpers.h"
#include "http_get_task_fixture.h"
#include "support/tls_file_server.h"

namespace testsupport {
namespace {

class HttpGetTaskHttpsTest : public HttpGetTaskTest {
protected:
    void SetUp() override {
        HttpGetTaskTest::SetUp();
        std::string pattern =
            (std::filesystem::temp_directory_path() / "songdeck_served_XXXXXX").string();
        ASSERT_NE(nullptr, mkdtemp(pattern.data()));
        m_served = pattern;
        m_content = MakeContent(150000);
        std::ofstream(m_served / "secure.bin", std::ios::binary) << m_content;
        m_server = std::make_unique<TlsFileServer>(m_served);
    }
    void TearDown() override {
        CHttpGetTask::SetCertificateAuthorities(L"");
        m_server.reset();
        std::filesystem::remove_all(m_served);
        HttpGetTaskTest::TearDown();
    }

    std::filesystem::path m_served;
    std::string m_content;
    std::unique_ptr<TlsFileServer> m_server;
};

TEST_F(HttpGetTaskHttpsTest, TrustedServerDeliversTheFile) {
    CHttpGetTask::SetCertificateAuthorities(Utf8ToWide(m_server->CertificatePath().string()));

    EXPECT_EQ(Finished(0), DownloadUrl(m_server->WideUrl("/secure.bin")));
    EXPECT_EQ(m_content, ReadFile("secure.bin"));
    EXPECT_EQ(MD5OfBuffer(m_content.data(), m_content.size()), task.GetMD5());
}

TEST_F(HttpGetTaskHttpsTest, UntrustedCertificateIsARequestError) {
    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_REQUEST, 0), DownloadUrl(m_server->WideUrl("/secure.bin")));
    EXPECT_FALSE(Exists("secure.bin"));
    EXPECT_FALSE(Exists("secure.bin.part"));
}

}  // namespace
}  // namespace testsupport

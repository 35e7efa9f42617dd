#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace vel::test {

// A certificate with its private key, both PEM.
struct TlsCredentials {
    std::string certificatePem;
    std::string keyPem;
};

// A certificate authority made at run time, so that no test ships a key or
// depends on a date: its own key and self-signed certificate, and server
// certificates it issues. Keys are P-256, cheap to make.
class TestCa {
public:
    explicit TestCa(const std::string& name = "VEL Test CA");
    ~TestCa();
    TestCa(const TestCa&) = delete;
    TestCa& operator=(const TestCa&) = delete;

    const std::string& certificatePem() const { return m_certificatePem; }

    // A server certificate for `names`: host names become DNS entries,
    // addresses ("127.0.0.1") IP entries. Valid from an hour ago for a month.
    TlsCredentials issue(const std::vector<std::string>& names) const;

private:
    struct Keys;
    std::unique_ptr<Keys> m_keys;
    std::string m_certificatePem;
};

// While it lives, a client made from now on trusts exactly this CA: its
// certificate is written to a temporary file, SSL_CERT_FILE names the file
// and SSL_CERT_DIR an empty folder; both are put back afterwards.
class TrustedCaScope {
public:
    explicit TrustedCaScope(const TestCa& ca);
    ~TrustedCaScope();
    TrustedCaScope(const TrustedCaScope&) = delete;
    TrustedCaScope& operator=(const TrustedCaScope&) = delete;

    const std::string& caFile() const { return m_caFile; }

private:
    TempDir m_dir;
    std::string m_caFile;
    std::unique_ptr<std::string> m_oldFile;
    std::unique_ptr<std::string> m_oldDir;
};

}  // namespace vel::test

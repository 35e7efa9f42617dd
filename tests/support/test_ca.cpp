#include "support/test_ca.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/bio.h>
#include <openssl/buffer.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace vel::test {

namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateFree {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Certificate = std::unique_ptr<X509, CertificateFree>;

[[noreturn]] void fail(const char* what)
{
    throw std::runtime_error(std::string("test CA: ") + what);
}

Key makeKey()
{
    Key key(EVP_EC_gen("P-256"));
    if (!key)
        fail("no key");
    return key;
}

bool isAddress(const std::string& name)
{
    in6_addr address;
    return ::inet_pton(AF_INET, name.c_str(), &address) == 1
        || ::inet_pton(AF_INET6, name.c_str(), &address) == 1;
}

void addExtension(X509* certificate, X509* issuer, int nid, const std::string& value)
{
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (!extension || X509_add_ext(certificate, extension, -1) != 1)
        fail("extension");
    X509_EXTENSION_free(extension);
}

// An unsigned certificate for `subject`'s key named `commonName`, issued by
// `issuer` (itself when null).
Certificate makeCertificate(EVP_PKEY* subject, const std::string& commonName, X509* issuer)
{
    Certificate certificate(X509_new());
    if (!certificate)
        fail("no certificate");
    X509* raw = certificate.get();
    std::uint64_t serial = 0;
    RAND_bytes(reinterpret_cast<unsigned char*>(&serial), sizeof serial);
    X509_set_version(raw, 2);
    ASN1_INTEGER_set_uint64(X509_get_serialNumber(raw), serial >> 1);
    X509_gmtime_adj(X509_getm_notBefore(raw), -3600);
    X509_gmtime_adj(X509_getm_notAfter(raw), 30L * 24 * 3600);
    X509_set_pubkey(raw, subject);
    X509_NAME* name = X509_get_subject_name(raw);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(raw, issuer ? X509_get_subject_name(issuer) : name);
    return certificate;
}

void sign(X509* certificate, EVP_PKEY* key)
{
    if (X509_sign(certificate, key, EVP_sha256()) == 0)
        fail("signing");
}

template <typename Write>
std::string toPem(Write write)
{
    BIO* bio = BIO_new(BIO_s_mem());
    if (!bio || write(bio) != 1) {
        BIO_free(bio);
        fail("PEM");
    }
    BUF_MEM* memory = nullptr;
    BIO_get_mem_ptr(bio, &memory);
    std::string pem(memory->data, memory->length);
    BIO_free(bio);
    return pem;
}

std::string certificatePem(X509* certificate)
{
    return toPem([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate); });
}

std::string keyPem(EVP_PKEY* key)
{
    return toPem([&](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    });
}

}  // namespace

struct TestCa::Keys {
    Key key;
    Certificate certificate;
};

TestCa::TestCa(const std::string& name)
    : m_keys(std::make_unique<Keys>())
{
    m_keys->key = makeKey();
    m_keys->certificate = makeCertificate(m_keys->key.get(), name, nullptr);
    X509* raw = m_keys->certificate.get();
    addExtension(raw, raw, NID_basic_constraints, "critical,CA:TRUE");
    addExtension(raw, raw, NID_key_usage, "critical,keyCertSign,cRLSign");
    addExtension(raw, raw, NID_subject_key_identifier, "hash");
    sign(raw, m_keys->key.get());
    m_certificatePem = vel::test::certificatePem(raw);
}

TestCa::~TestCa() = default;

TlsCredentials TestCa::issue(const std::vector<std::string>& names) const
{
    if (names.empty())
        fail("a certificate needs a name");
    const Key key = makeKey();
    X509* issuer = m_keys->certificate.get();
    const Certificate certificate = makeCertificate(key.get(), names.front(), issuer);
    std::string alternatives;
    for (const std::string& name : names) {
        if (!alternatives.empty())
            alternatives += ',';
        alternatives += isAddress(name) ? "IP:" : "DNS:";
        alternatives += name;
    }
    X509* raw = certificate.get();
    addExtension(raw, issuer, NID_basic_constraints, "critical,CA:FALSE");
    addExtension(raw, issuer, NID_key_usage, "critical,digitalSignature");
    addExtension(raw, issuer, NID_ext_key_usage, "serverAuth");
    addExtension(raw, issuer, NID_subject_alt_name, alternatives);
    sign(raw, m_keys->key.get());
    return {vel::test::certificatePem(raw), keyPem(key.get())};
}

namespace {

std::unique_ptr<std::string> currentValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::make_unique<std::string>(value) : nullptr;
}

void restore(const char* name, const std::unique_ptr<std::string>& value)
{
    if (value)
        ::setenv(name, value->c_str(), 1);
    else
        ::unsetenv(name);
}

}  // namespace

TrustedCaScope::TrustedCaScope(const TestCa& ca)
    : m_caFile(m_dir.file("ca.pem").string())
    , m_oldFile(currentValue("SSL_CERT_FILE"))
    , m_oldDir(currentValue("SSL_CERT_DIR"))
{
    writeBytes(m_caFile, ca.certificatePem());
    const fs::path empty = m_dir.file("empty");
    fs::create_directory(empty);
    ::setenv("SSL_CERT_FILE", m_caFile.c_str(), 1);
    ::setenv("SSL_CERT_DIR", empty.c_str(), 1);
}

TrustedCaScope::~TrustedCaScope()
{
    restore("SSL_CERT_FILE", m_oldFile);
    restore("SSL_CERT_DIR", m_oldDir);
}

}  // namespace vel::test

#include "castore.h"

#include <QFileInfo>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstring>

namespace {

// libcurl's own default CA file or folder; empty when it has none.
QByteArray curlDefault(CURLINFO what)
{
    CURL* probe = curl_easy_init();
    char* path = nullptr;
    curl_easy_getinfo(probe, what, &path);
    const QByteArray result(path);
    curl_easy_cleanup(probe);
    return result;
}

bool isCertificateBlock(const char* name)
{
    return std::strcmp(name, PEM_STRING_X509) == 0 || std::strcmp(name, PEM_STRING_X509_OLD) == 0 ||
           std::strcmp(name, PEM_STRING_X509_TRUSTED) == 0 || std::strcmp(name, PEM_STRING_X509_CRL) == 0;
}

// Whether OpenSSL can take certificates from the PEM file `path`: it opens, every block in it is whole,
// and at least one is a certificate (or a revocation list). The blocks are read, not their certificates
// decoded, which is what makes reading the whole store costly.
bool holdsCertificates(const QByteArray& path)
{
    BIO* in = BIO_new_file(path.constData(), "r");
    if (!in) {
        return false;
    }
    int certificates = 0;
    bool whole = true;
    ERR_set_mark();
    while (true) {
        char* name = nullptr;
        char* header = nullptr;
        unsigned char* data = nullptr;
        long length = 0;
        if (PEM_read_bio(in, &name, &header, &data, &length) != 1) {
            // Running out of blocks ends the file; anything else is a damaged block.
            whole = ERR_GET_REASON(ERR_peek_last_error()) == PEM_R_NO_START_LINE;
            break;
        }
        certificates += isCertificateBlock(name) ? 1 : 0;
        OPENSSL_free(name);
        OPENSSL_free(header);
        OPENSSL_free(data);
    }
    ERR_pop_to_mark();
    BIO_free(in);
    return whole && certificates > 0;
}

} // namespace

X509_STORE* CaStore::loaded() const
{
    if (store_) {
        return store_;
    }
    store_ = X509_STORE_new();
    QByteArray file = qgetenv("SSL_CERT_FILE");
    QByteArray dir = qgetenv("SSL_CERT_DIR");
    if (file.isEmpty() && dir.isEmpty()) {
        file = curlDefault(CURLINFO_CAINFO);
        dir = curlDefault(CURLINFO_CAPATH);
    }
    if (!file.isEmpty()) {
        X509_STORE_load_file(store_, file.constData());
    }
    if (!dir.isEmpty()) {
        X509_STORE_load_path(store_, dir.constData()); // looked up by hashed name when needed
    }
    return store_;
}

QStringList CaStore::Unreadable()
{
    QStringList unreadable;
    const QByteArray file = qgetenv("SSL_CERT_FILE");
    // A file without a certificate in it trusts no more than a missing one.
    if (!file.isEmpty() && !holdsCertificates(file)) {
        unreadable.append(QStringLiteral("SSL_CERT_FILE=") + QString::fromLocal8Bit(file));
    }
    const QByteArray dir = qgetenv("SSL_CERT_DIR");
    const QFileInfo folder(QString::fromLocal8Bit(dir));
    if (!dir.isEmpty() && (!folder.isDir() || !folder.isReadable())) {
        unreadable.append(QStringLiteral("SSL_CERT_DIR=") + QString::fromLocal8Bit(dir));
    }
    return unreadable;
}

CaStore::~CaStore()
{
    X509_STORE_free(store_);
}

void CaStore::apply(CURL* easy) const
{
    curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
    curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &CaStore::onSslContext);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, this);
}

CURLcode CaStore::onSslContext(CURL* /*easy*/, void* sslContext, void* self)
{
    SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(sslContext), static_cast<const CaStore*>(self)->loaded());
    return CURLE_OK;
}

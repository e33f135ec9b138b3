#include "castore.h"

#include <QFileInfo>

#include <openssl/ssl.h>
#include <openssl/x509.h>

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

} // namespace

CaStore::CaStore() : store_(X509_STORE_new())
{
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
}

QStringList CaStore::Unreadable()
{
    QStringList unreadable;
    const QByteArray file = qgetenv("SSL_CERT_FILE");
    if (!file.isEmpty()) {
        // A file without a certificate in it trusts no more than a missing one.
        X509_STORE* store = X509_STORE_new();
        if (X509_STORE_load_file(store, file.constData()) != 1) {
            unreadable.append(QStringLiteral("SSL_CERT_FILE=") + QString::fromLocal8Bit(file));
        }
        X509_STORE_free(store);
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
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, store_);
}

CURLcode CaStore::onSslContext(CURL* /*easy*/, void* sslContext, void* store)
{
    SSL_CTX_set1_cert_store(static_cast<SSL_CTX*>(sslContext), static_cast<X509_STORE*>(store));
    return CURLE_OK;
}

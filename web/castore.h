#pragma once

#include <QByteArray>
#include <QStringList>

#include <curl/curl.h>

typedef struct x509_store_st X509_STORE;

// The certificates that https connections are verified against, read once: the file SSL_CERT_FILE names
// and the folder SSL_CERT_DIR names, as OpenSSL-based tools honour them, or else libcurl's default
// bundle and folder (the system's store). libcurl 7.88 reads its CA file again for every new connection,
// which costs more CPU than the rest of an https run; one store handed to every connection does not.
// The store is read when the first TLS connection asks for it: a check of a site without https reads none.
class CaStore
{
public:
    CaStore() = default;
    ~CaStore();
    CaStore(const CaStore&) = delete;
    CaStore& operator=(const CaStore&) = delete;

    // Makes `easy` verify against this store (and read no CA file of its own).
    void apply(CURL* easy) const;
    // The SSL_CERT_FILE or SSL_CERT_DIR settings of the environment ("SSL_CERT_FILE=/path") that name
    // nothing readable: https links then fail for want of a trusted certificate, which the user must hear of.
    static QStringList Unreadable();

private:
    X509_STORE* loaded() const;
    static CURLcode onSslContext(CURL* easy, void* sslContext, void* self);

    mutable X509_STORE* store_ = nullptr; // null until the first TLS connection
};

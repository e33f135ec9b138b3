#include "failuretext.h"

#include <curl/curl.h>
#include <openssl/x509_vfy.h>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <cerrno>
#endif

using namespace Qt::StringLiterals;

namespace {

// libcurl reports the socket layer's own error numbers, which on Windows are not errno's.
#ifdef _WIN32
constexpr long kRefused = WSAECONNREFUSED, kNetUnreachable = WSAENETUNREACH, kHostUnreachable = WSAEHOSTUNREACH,
               kReset = WSAECONNRESET;
#else
constexpr long kRefused = ECONNREFUSED, kNetUnreachable = ENETUNREACH, kHostUnreachable = EHOSTUNREACH,
               kReset = ECONNRESET;
#endif

// A row matches any detail.
constexpr long kAnyDetail = -1;
// The detail of a redirect our own follower refused (libcurl never saw it).
constexpr long kRefusedByUs = -2;

struct FailureRow
{
    CURLcode code;
    // What refines the code: the system's error number for connection codes, OpenSSL's verdict on the
    // certificate chain for CURLE_PEER_FAILED_VERIFICATION. libcurl checks the name itself once OpenSSL
    // has accepted the chain, and leaves its verdict at "not verified" (X509_V_ERR_UNSPECIFIED) then.
    long detail;
    const char16_t* text;
};

// The first row that matches a failure gives its text. Redirect failures carry the codes libcurl would
// give them had it followed the redirect itself; a head larger than browsers accept is refused by our
// header callback, which libcurl reports as a write error.
constexpr FailureRow kFailureRows[] = {
    {CURLE_COULDNT_RESOLVE_HOST, kAnyDetail, u"无法解析域名"},
    {CURLE_COULDNT_RESOLVE_PROXY, kAnyDetail, u"无法解析代理服务器"},
    {CURLE_COULDNT_CONNECT, kRefused, u"连接被拒绝"},
    {CURLE_COULDNT_CONNECT, kNetUnreachable, u"网络不可达"},
    {CURLE_COULDNT_CONNECT, kHostUnreachable, u"网络不可达"},
    {CURLE_COULDNT_CONNECT, kAnyDetail, u"无法连接服务器"},
    {CURLE_RECV_ERROR, kReset, u"连接被重置"},
    {CURLE_SEND_ERROR, kReset, u"连接被重置"},
    {CURLE_RECV_ERROR, kAnyDetail, u"连接中断"},
    {CURLE_SEND_ERROR, kAnyDetail, u"连接中断"},
    {CURLE_PARTIAL_FILE, kAnyDetail, u"连接中断"},
    {CURLE_HTTP2, kAnyDetail, u"连接中断"},
    {CURLE_HTTP2_STREAM, kAnyDetail, u"连接中断"},
    {CURLE_GOT_NOTHING, kAnyDetail, u"服务器未返回任何内容"},
    {CURLE_WEIRD_SERVER_REPLY, kAnyDetail, u"服务器响应无效"},
    {CURLE_PEER_FAILED_VERIFICATION, X509_V_OK, u"证书与域名不符"},
    {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_UNSPECIFIED, u"证书与域名不符"},
    {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_HOSTNAME_MISMATCH, u"证书与域名不符"},
    {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_IP_ADDRESS_MISMATCH, u"证书与域名不符"},
    {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_HAS_EXPIRED, u"证书已过期"},
    {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_NOT_YET_VALID, u"证书尚未生效"},
    {CURLE_PEER_FAILED_VERIFICATION, X509_V_ERR_CERT_REVOKED, u"证书已被吊销"},
    {CURLE_PEER_FAILED_VERIFICATION, kAnyDetail, u"证书不受信任"},
    {CURLE_SSL_CONNECT_ERROR, kAnyDetail, u"安全连接失败"},
    {CURLE_SSL_CERTPROBLEM, kAnyDetail, u"安全连接失败"},
    {CURLE_SSL_CIPHER, kAnyDetail, u"安全连接失败"},
    {CURLE_SSL_CACERT_BADFILE, kAnyDetail, u"安全连接失败"},
    {CURLE_TOO_MANY_REDIRECTS, kAnyDetail, u"重定向次数过多"},
    {CURLE_UNSUPPORTED_PROTOCOL, kRefusedByUs, u"重定向到不支持的协议"},
    {CURLE_UNSUPPORTED_PROTOCOL, kAnyDetail, u"服务器响应无效"}, // not HTTP at all (libcurl takes it for HTTP/0.9)
    {CURLE_URL_MALFORMAT, kAnyDetail, u"网址无效"},
    {CURLE_WRITE_ERROR, kAnyDetail, u"响应头过大"},
    {CURLE_BAD_CONTENT_ENCODING, kAnyDetail, u"内容编码错误"},
};

// Said of a failure no row knows: still more than nothing, and the code lets a user look it up.
QString unknownFailure(int code)
{
    return u"无法访问（错误 "_s + QString::number(code) + u"）"_s;
}

// The address an unsupported redirect went to, shortened: some carry whole app payloads.
QString target(const QString& address)
{
    constexpr qsizetype kMaxShown = 60;
    return address.size() <= kMaxShown ? address : address.left(kMaxShown) + u'…';
}

} // namespace

QString FailureText(const HttpResult& r)
{
    if (r.completed || r.error == HttpError::None || r.error == HttpError::Timeout || r.error == HttpError::Aborted) {
        return {};
    }
    const long detail = r.error == HttpError::Redirect ? kRefusedByUs : r.curlDetail;
    for (const FailureRow& row : kFailureRows) {
        if (int(row.code) == r.curlCode && (row.detail == kAnyDetail || row.detail == detail)) {
            QString text = QString::fromUtf16(row.text);
            if (row.detail == kRefusedByUs && !r.refusedRedirect.isEmpty()) {
                text += u'（' + target(r.refusedRedirect) + u'）';
            }
            return text;
        }
    }
    return unknownFailure(r.curlCode);
}

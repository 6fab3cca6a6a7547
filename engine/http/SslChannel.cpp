#include "http/SslChannel.h"

#include "http/Connection.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>

#include <climits>

namespace torvex {
namespace {

constexpr int kSocketBioType = 0x505; // the type OpenSSL gives its own socket BIO

CConnection* connectionOf(BIO* bio) {
    return static_cast<CConnection*>(BIO_get_data(bio));
}

// The raw calls block until done (or fail), so the BIO never asks OpenSSL to retry.
int bioWrite(BIO* bio, const char* data, int length) {
    BIO_clear_retry_flags(bio);
    CConnection* connection = connectionOf(bio);
    if (!connection || length <= 0) return 0;
    return static_cast<int>(connection->rawSend(data, static_cast<std::size_t>(length)));
}

int bioRead(BIO* bio, char* buffer, int size) {
    BIO_clear_retry_flags(bio);
    CConnection* connection = connectionOf(bio);
    if (!connection || size <= 0) return 0;
    return static_cast<int>(connection->rawReceive(buffer, static_cast<std::size_t>(size)));
}

long bioControl(BIO* bio, int command, long number, void*) {
    switch (command) {
    case BIO_CTRL_GET_CLOSE:
        return BIO_get_shutdown(bio);
    case BIO_CTRL_SET_CLOSE:
        BIO_set_shutdown(bio, static_cast<int>(number));
        return 1;
    case BIO_CTRL_FLUSH:
    case BIO_CTRL_DUP:
        return 1;
    case BIO_C_GET_FD:
        return -1;
    default:
        return 0;
    }
}

int bioCreate(BIO* bio) {
    BIO_set_init(bio, 1);
    BIO_set_data(bio, nullptr);
    BIO_clear_flags(bio, INT_MAX);
    return 1;
}

int bioDestroy(BIO* bio) {
    if (!bio) return 0;
    if (BIO_get_shutdown(bio)) {
        BIO_set_init(bio, 0);
        BIO_clear_flags(bio, INT_MAX);
    }
    BIO_set_data(bio, nullptr);
    return 1;
}

const BIO_METHOD* connectionBioMethod() {
    static BIO_METHOD* method = [] {
        BIO_METHOD* m = BIO_meth_new(kSocketBioType, "socket");
        if (m) {
            BIO_meth_set_write(m, bioWrite);
            BIO_meth_set_read(m, bioRead);
            BIO_meth_set_ctrl(m, bioControl);
            BIO_meth_set_create(m, bioCreate);
            BIO_meth_set_destroy(m, bioDestroy);
        }
        return m;
    }();
    return method;
}

bool isNumericAddress(const std::string& host) {
    in_addr v4;
    in6_addr v6;
    return inet_pton(AF_INET, host.c_str(), &v4) == 1 ||
           inet_pton(AF_INET6, host.c_str(), &v6) == 1;
}

int clampedLength(std::size_t length) {
    return length > INT_MAX ? INT_MAX : static_cast<int>(length);
}

} // namespace

std::unique_ptr<CSslChannel> CSslChannel::connect(CConnection& connection, int sslver,
                                                  const std::string& serverName) {
    if (sslver != 0 && sslver != 1) return nullptr;
    std::unique_ptr<CSslChannel> channel(new CSslChannel);
    ERR_clear_error();
    channel->context_ = SSL_CTX_new(TLS_client_method());
    if (!channel->context_) return nullptr;
    SSL_CTX_set_verify(channel->context_, SSL_VERIFY_NONE, nullptr);
    // Servers that end a body by closing without close_notify still deliver the whole body.
    SSL_CTX_set_options(channel->context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
    if (sslver == 0) {
        SSL_CTX_set_security_level(channel->context_, 0);
        SSL_CTX_set_min_proto_version(channel->context_, 0);
        SSL_CTX_set_cipher_list(channel->context_, "ALL:@SECLEVEL=0");
    }
    channel->ssl_ = SSL_new(channel->context_);
    if (!channel->ssl_) return nullptr;

    const BIO_METHOD* method = connectionBioMethod();
    BIO* bio                 = method ? BIO_new(method) : nullptr;
    if (!bio) return nullptr;
    BIO_set_data(bio, &connection);
    SSL_set_bio(channel->ssl_, bio, bio);
    if (!serverName.empty() && !isNumericAddress(serverName))
        SSL_set_tlsext_host_name(channel->ssl_, serverName.c_str());
    if (SSL_connect(channel->ssl_) != 1) return nullptr;
    return channel;
}

CSslChannel::~CSslChannel() {
    SSL_free(ssl_); // also frees the BIO
    SSL_CTX_free(context_);
}

long CSslChannel::read(char* buffer, std::size_t size) {
    ERR_clear_error();
    return SSL_read(ssl_, buffer, clampedLength(size));
}

long CSslChannel::write(const char* data, std::size_t length) {
    ERR_clear_error();
    return SSL_write(ssl_, data, clampedLength(length));
}

void CSslChannel::shutdown() {
    ERR_clear_error();
    SSL_shutdown(ssl_);
}

} // namespace torvex

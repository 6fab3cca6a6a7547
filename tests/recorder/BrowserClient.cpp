#include "recorder/BrowserClient.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509_vfy.h>

#include <csignal>
#include <cstdlib>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace torvex::test {
namespace {

constexpr std::size_t kMaxReply = 64 * 1024 * 1024;

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool isAddress(const std::string& host) {
    unsigned char address[16];
    return ::inet_pton(AF_INET, host.c_str(), address) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

} // namespace

std::string BrowserReply::header(std::string_view name) const {
    std::size_t at = head.find("\r\n");
    while (at != std::string::npos && at + 2 < head.size()) {
        const std::size_t end   = head.find("\r\n", at + 2);
        const std::string line  = head.substr(at + 2, end - at - 2);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && equalsNoCase(line.substr(0, colon), name)) {
            std::string value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') value.erase(0, 1);
            return value;
        }
        at = end;
    }
    return {};
}

BrowserClient::BrowserClient(int proxyPort) {
    std::signal(SIGPIPE, SIG_IGN); // a write after the proxy closed must fail, not kill
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    timeval limit{5, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port        = htons(static_cast<uint16_t>(proxyPort));
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

BrowserClient::~BrowserClient() {
    SSL_free(session_);
    SSL_CTX_free(context_);
    ::close(fd_);
}

bool BrowserClient::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const int sent = session_ != nullptr
                             ? SSL_write(session_, bytes.data(), static_cast<int>(bytes.size()))
                             : static_cast<int>(::send(fd_, bytes.data(), bytes.size(), 0));
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool BrowserClient::fill() {
    char piece[16384];
    const int got = session_ != nullptr ? SSL_read(session_, piece, sizeof piece)
                                        : static_cast<int>(::recv(fd_, piece, sizeof piece, 0));
    if (got <= 0) {
        ended_ =
            session_ != nullptr ? SSL_get_error(session_, got) == SSL_ERROR_ZERO_RETURN : got == 0;
        ERR_clear_error();
        return false;
    }
    buffer_.append(piece, static_cast<std::size_t>(got));
    return buffer_.size() < kMaxReply;
}

std::optional<std::string> BrowserClient::readLine() {
    std::size_t end;
    while ((end = buffer_.find("\r\n")) == std::string::npos)
        if (!fill()) return std::nullopt;
    std::string line = buffer_.substr(0, end);
    buffer_.erase(0, end + 2);
    return line;
}

std::optional<BrowserReply> BrowserClient::read(bool headRequest) {
    std::size_t end;
    while ((end = buffer_.find("\r\n\r\n")) == std::string::npos)
        if (!fill()) return std::nullopt;
    BrowserReply reply;
    reply.head = buffer_.substr(0, end + 4);
    buffer_.erase(0, end + 4);
    if (reply.head.size() < 12) return std::nullopt;
    reply.status = std::atoi(reply.head.c_str() + 9);

    const bool noBody =
        headRequest || reply.status < 200 || reply.status == 204 || reply.status == 304;
    const std::string length = reply.header("Content-Length");
    if (noBody) {
    } else if (equalsNoCase(reply.header("Transfer-Encoding"), "chunked")) {
        for (;;) {
            const std::optional<std::string> sizeLine = readLine();
            if (!sizeLine) return std::nullopt;
            reply.raw += *sizeLine + "\r\n";
            const std::size_t size = std::strtoul(sizeLine->c_str(), nullptr, 16);
            if (size == 0) break;
            while (buffer_.size() < size + 2)
                if (!fill()) return std::nullopt;
            reply.raw += buffer_.substr(0, size + 2);
            reply.body += buffer_.substr(0, size);
            buffer_.erase(0, size + 2);
        }
        for (;;) { // trailers, up to the empty line
            const std::optional<std::string> line = readLine();
            if (!line) return std::nullopt;
            reply.raw += *line + "\r\n";
            if (line->empty()) break;
        }
    } else if (!length.empty()) {
        const std::size_t size = std::strtoul(length.c_str(), nullptr, 10);
        while (buffer_.size() < size)
            if (!fill()) return std::nullopt;
        reply.raw = reply.body = buffer_.substr(0, size);
        buffer_.erase(0, size);
    } else {
        while (fill()) {
        }
        reply.raw = reply.body = buffer_;
        buffer_.clear();
        reply.closed = true;
    }
    return reply;
}

std::optional<BrowserReply> BrowserClient::exchange(std::string_view request, bool headRequest) {
    if (!send(request)) return std::nullopt;
    return read(headRequest);
}

bool BrowserClient::openTunnel(const std::string& authority, const std::string& authorityPem,
                               const std::string& host, const std::string& sniName,
                               std::string& error) {
    const std::optional<BrowserReply> answer =
        exchange("CONNECT " + authority + " HTTP/1.1\r\nHost: " + authority + "\r\n\r\n", true);
    if (!answer || answer->status != 200) {
        error = "CONNECT was not answered with 200";
        return false;
    }
    context_ = SSL_CTX_new(TLS_client_method());
    if (!authorityPem.empty()) {
        BIO* pem      = BIO_new_mem_buf(authorityPem.data(), static_cast<int>(authorityPem.size()));
        X509* trusted = PEM_read_bio_X509(pem, nullptr, nullptr, nullptr);
        BIO_free(pem);
        const bool trustedOnly =
            trusted != nullptr &&
            X509_STORE_add_cert(SSL_CTX_get_cert_store(context_), trusted) == 1;
        X509_free(trusted);
        if (!trustedOnly) {
            error = "the authority certificate does not load";
            return false;
        }
        SSL_CTX_set_verify(context_, SSL_VERIFY_PEER, nullptr);
    }
    // A proxy that stops mid-handshake closes without close_notify; that is an end too.
    SSL_CTX_set_options(context_, SSL_OP_IGNORE_UNEXPECTED_EOF);
    session_ = SSL_new(context_);
    SSL_set_fd(session_, fd_);
    if (!sniName.empty()) SSL_set_tlsext_host_name(session_, sniName.c_str());
    X509_VERIFY_PARAM* check = SSL_get0_param(session_);
    if (isAddress(host))
        X509_VERIFY_PARAM_set1_ip_asc(check, host.c_str());
    else
        X509_VERIFY_PARAM_set1_host(check, host.c_str(), 0);
    if (SSL_connect(session_) != 1) {
        const long verified = SSL_get_verify_result(session_);
        const char* reason  = ERR_reason_error_string(ERR_peek_error());
        error = std::string("TLS failed: ") + X509_verify_cert_error_string(verified) + " / " +
                (reason != nullptr ? reason : "no reason");
        ERR_clear_error();
        return false;
    }
    return true;
}

X509* BrowserClient::peerCertificate() const {
    return session_ != nullptr ? SSL_get0_peer_certificate(session_) : nullptr;
}

bool BrowserClient::closedByPeer() {
    buffer_.clear();
    while (fill()) buffer_.clear();
    return ended_;
}

} // namespace torvex::test

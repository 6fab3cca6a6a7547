#include "recorder/TlsStream.h"

#include "recorder/Socket.h"

#include <openssl/bio.h>
#include <openssl/err.h>

namespace torvex {
namespace {

constexpr std::size_t kPiece = 16 * 1024;

// Alerts the peer sent show up as reasons from SSL_AD_REASON_OFFSET on.
bool peerSentAlert() {
    const unsigned long code = ERR_peek_error();
    return code != 0 && ERR_GET_LIB(code) == ERR_LIB_SSL &&
           ERR_GET_REASON(code) >= SSL_AD_REASON_OFFSET;
}

} // namespace

std::string takeOpenSslError(const std::string& fallback) {
    const unsigned long code = ERR_get_error();
    std::string text         = fallback;
    if (code != 0) {
        const char* reason = ERR_reason_error_string(code);
        text               = fallback + ": " + (reason != nullptr ? reason : "unknown error");
    }
    ERR_clear_error();
    return text;
}

TlsStream::TlsStream(Socket& socket, SslPtr session)
    : socket_(socket), session_(std::move(session)) {
    fromPeer_ = BIO_new(BIO_s_mem());
    toPeer_   = BIO_new(BIO_s_mem());
    if (fromPeer_ == nullptr || toPeer_ == nullptr) {
        BIO_free(fromPeer_);
        BIO_free(toPeer_);
        fromPeer_ = toPeer_ = nullptr;
        return;
    }
    // An empty buffer means "wait for more", not end of stream.
    BIO_set_mem_eof_return(fromPeer_, -1);
    BIO_set_mem_eof_return(toPeer_, -1);
    SSL_set_bio(session_.get(), fromPeer_, toPeer_);
}

TlsStream::Handshake TlsStream::handshake(std::string_view pending, Wait timeout) {
    if (fromPeer_ == nullptr) {
        error_ = "out of memory";
        return Handshake::Failed;
    }
    if (!pending.empty()) BIO_write(fromPeer_, pending.data(), static_cast<int>(pending.size()));
    for (;;) {
        ERR_clear_error();
        const int result = SSL_do_handshake(session_.get());
        const int code   = result == 1 ? SSL_ERROR_NONE : SSL_get_error(session_.get(), result);
        const bool alert = code == SSL_ERROR_SSL && peerSentAlert();
        if (code != SSL_ERROR_NONE && code != SSL_ERROR_WANT_READ)
            error_ = takeOpenSslError("TLS handshake failed");
        // Our own alerts go out too, so the peer learns why.
        const IoStatus sent = flush(timeout);
        if (result == 1 && sent == IoStatus::Ok) return Handshake::Done;
        if (code != SSL_ERROR_NONE && code != SSL_ERROR_WANT_READ)
            return alert ? Handshake::Abandoned : Handshake::Failed;
        if (sent != IoStatus::Ok) return Handshake::Abandoned;
        const IoStatus pulled = pull(timeout);
        if (pulled == IoStatus::Ok) continue;
        if (pulled == IoStatus::Closed)
            error_ = "the peer closed the connection during the TLS handshake";
        if (pulled == IoStatus::TimedOut) error_ = "the TLS handshake timed out";
        return Handshake::Abandoned;
    }
}

std::string TlsStream::serverName() const {
    const char* name = SSL_get_servername(session_.get(), TLSEXT_NAMETYPE_host_name);
    return name != nullptr ? name : "";
}

IoStatus TlsStream::receive(char* buffer, std::size_t capacity, std::size_t& received,
                            Wait timeout) {
    received = 0;
    for (;;) {
        ERR_clear_error();
        const int result = SSL_read_ex(session_.get(), buffer, capacity, &received);
        const int code   = result == 1 ? SSL_ERROR_NONE : SSL_get_error(session_.get(), result);
        // Reading can produce output (alerts, key updates) that the peer waits for.
        if (const IoStatus sent = flush(timeout); sent != IoStatus::Ok) return sent;
        if (result == 1) return IoStatus::Ok;
        received = 0;
        if (code == SSL_ERROR_ZERO_RETURN) return IoStatus::Closed;
        if (code != SSL_ERROR_WANT_READ) return failed("TLS read failed");
        if (const IoStatus pulled = pull(timeout); pulled != IoStatus::Ok) return pulled;
    }
}

IoStatus TlsStream::sendAll(std::string_view bytes, Wait timeout) {
    while (!bytes.empty()) {
        ERR_clear_error();
        std::size_t written = 0;
        const int result    = SSL_write_ex(session_.get(), bytes.data(), bytes.size(), &written);
        const int code      = result == 1 ? SSL_ERROR_NONE : SSL_get_error(session_.get(), result);
        if (const IoStatus sent = flush(timeout); sent != IoStatus::Ok) return sent;
        if (result == 1) {
            bytes.remove_prefix(written);
            continue;
        }
        if (code != SSL_ERROR_WANT_READ) return failed("TLS write failed");
        if (const IoStatus pulled = pull(timeout); pulled != IoStatus::Ok) return pulled;
    }
    return IoStatus::Ok;
}

bool TlsStream::hasPending() const {
    return SSL_pending(session_.get()) > 0 || BIO_ctrl_pending(fromPeer_) > 0;
}

void TlsStream::finish(Wait timeout) {
    ERR_clear_error();
    SSL_shutdown(session_.get()); // queues close_notify; the peer's answer is not awaited
    ERR_clear_error();
    if (flush(timeout) == IoStatus::Ok) socket_.finish(timeout);
}

int TlsStream::fd() const {
    return socket_.fd();
}

IoStatus TlsStream::flush(Wait timeout) {
    char piece[kPiece];
    while (BIO_ctrl_pending(toPeer_) > 0) {
        const int taken = BIO_read(toPeer_, piece, sizeof piece);
        if (taken <= 0) break;
        const IoStatus sent =
            socket_.sendAll(std::string_view(piece, static_cast<std::size_t>(taken)), timeout);
        if (sent == IoStatus::Failed) error_ = socket_.error();
        if (sent != IoStatus::Ok) return sent;
    }
    return IoStatus::Ok;
}

IoStatus TlsStream::pull(Wait timeout) {
    char piece[kPiece];
    std::size_t received  = 0;
    const IoStatus status = socket_.receive(piece, sizeof piece, received, timeout);
    if (status == IoStatus::Failed) error_ = socket_.error();
    if (status != IoStatus::Ok) return status;
    BIO_write(fromPeer_, piece, static_cast<int>(received));
    return IoStatus::Ok;
}

IoStatus TlsStream::failed(const std::string& what) {
    error_ = takeOpenSslError(what);
    return IoStatus::Failed;
}

} // namespace torvex

#include "recorder/Channel.h"

#include "recorder/Socket.h"
#include "recorder/TlsStream.h"

namespace torvex {
namespace {

constexpr std::size_t kPiece = 16 * 1024;

// The position just past the blank line (CR LF or a bare LF) that ends a header block, or npos.
std::size_t headEnd(const std::string& buffer, std::size_t from) {
    for (std::size_t at = buffer.find('\n', from); at != std::string::npos;
         at             = buffer.find('\n', at + 1)) {
        if (at + 1 < buffer.size() && buffer[at + 1] == '\n') return at + 2;
        if (at + 2 < buffer.size() && buffer[at + 1] == '\r' && buffer[at + 2] == '\n')
            return at + 3;
    }
    return std::string::npos;
}

} // namespace

Channel::Channel(std::unique_ptr<Socket> socket) : socket_(std::move(socket)) {}

Channel::~Channel() = default;

Stream& Channel::stream() const {
    if (tls_) return *tls_;
    return *socket_;
}

IoStatus Channel::fill(Wait timeout) {
    if (start_ > 0) {
        buffer_.erase(0, start_);
        start_ = 0;
    }
    char piece[kPiece];
    std::size_t received  = 0;
    const IoStatus status = stream().receive(piece, sizeof piece, received, timeout);
    if (status == IoStatus::Failed) error_ = stream().error();
    if (status == IoStatus::Ok) buffer_.append(piece, received);
    return status;
}

IoStatus Channel::readHead(std::string& head, std::size_t limit, Wait timeout) {
    std::size_t searched = 0; // bytes after start_ known to hold no blank line
    bool receivedAny     = buffer_.size() > start_;
    for (;;) {
        // Empty lines before a message are skipped, as servers do.
        while (start_ < buffer_.size() && (buffer_[start_] == '\r' || buffer_[start_] == '\n'))
            ++start_;
        const std::size_t end = headEnd(buffer_, start_ + (searched > 2 ? searched - 2 : 0));
        if (end != std::string::npos && end - start_ <= limit) {
            head.assign(buffer_, start_, end - start_);
            start_ = end;
            return IoStatus::Ok;
        }
        if (buffer_.size() - start_ >= limit) return IoStatus::TooLarge;
        searched              = buffer_.size() - start_;
        const IoStatus status = fill(timeout);
        if (status == IoStatus::Closed && receivedAny) {
            error_ = "the connection closed in the middle of a header";
            return IoStatus::Failed;
        }
        if (status != IoStatus::Ok) return status;
        receivedAny = true;
    }
}

IoStatus Channel::readLine(std::string& line, std::size_t limit, Wait timeout) {
    for (;;) {
        const std::size_t end = buffer_.find('\n', start_);
        if (end != std::string::npos && end - start_ <= limit) {
            line.assign(buffer_, start_, end - start_);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            start_ = end + 1;
            return IoStatus::Ok;
        }
        if (buffer_.size() - start_ > limit) return IoStatus::TooLarge;
        const IoStatus status = fill(timeout);
        if (status == IoStatus::Closed) {
            error_ = "the connection closed in the middle of a line";
            return IoStatus::Failed;
        }
        if (status != IoStatus::Ok) return status;
    }
}

IoStatus Channel::read(std::size_t count, std::string& into, Wait timeout) {
    while (count > 0) {
        if (buffer_.size() == start_) {
            const IoStatus status = fill(timeout);
            if (status == IoStatus::Closed) {
                error_ = "the connection closed in the middle of a body";
                return IoStatus::Failed;
            }
            if (status != IoStatus::Ok) return status;
        }
        const std::size_t taken = std::min(count, buffer_.size() - start_);
        into.append(buffer_, start_, taken);
        start_ += taken;
        count -= taken;
    }
    return IoStatus::Ok;
}

IoStatus Channel::peek(char& next, Wait timeout) {
    if (buffer_.size() == start_) {
        const IoStatus status = fill(timeout);
        if (status != IoStatus::Ok) return status;
    }
    next = buffer_[start_];
    return IoStatus::Ok;
}

IoStatus Channel::readSome(std::string& into, Wait timeout) {
    if (buffer_.size() == start_) {
        if (const IoStatus status = fill(timeout); status != IoStatus::Ok) return status;
    }
    into.append(buffer_, start_, std::string::npos);
    buffer_.clear();
    start_ = 0;
    return IoStatus::Ok;
}

IoStatus Channel::send(std::string_view bytes, Wait timeout) {
    const IoStatus status = stream().sendAll(bytes, timeout);
    if (status == IoStatus::Failed) error_ = stream().error();
    return status;
}

bool Channel::hasBuffered() const {
    return buffer_.size() > start_ || stream().hasPending();
}

std::string Channel::takeBuffered() {
    std::string rest = buffer_.substr(start_);
    buffer_.clear();
    start_ = 0;
    return rest;
}

void Channel::useTls(std::unique_ptr<TlsStream> tls) {
    tls_ = std::move(tls);
}

std::string Channel::error() const {
    return error_.empty() ? "connection failed" : error_;
}

void Channel::finish(Wait timeout) {
    stream().finish(timeout);
}

} // namespace torvex

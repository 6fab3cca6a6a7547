#include "recorder/MessageBody.h"

#include "recorder/Channel.h"

#include <algorithm>
#include <charconv>
#include <functional>

namespace torvex {
namespace {

constexpr std::size_t kPiece         = 64 * 1024;
constexpr std::size_t kMaxChunkLine  = 64 * 1024;
constexpr std::size_t kMaxTrailers   = 1024 * 1024;
constexpr std::size_t kMaxSizeDigits = 15; // stays far below 2^64

// The size of a chunk-size line ("1a;name=value"), or nothing when it is malformed.
std::optional<std::uint64_t> chunkSize(std::string_view line) {
    const std::string_view digits = trimmed(line.substr(0, line.find(';')));
    if (digits.empty() || digits.size() > kMaxSizeDigits) return std::nullopt;
    std::uint64_t size = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), size, 16);
    if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    return size;
}

// Reads a body piece by piece and hands each piece on; the same walk serves copying and
// collecting. `framing` lines (chunk sizes, the CR LF after data, trailers) go to `onFraming`.
class BodyWalk {
public:
    using Sink = std::function<IoStatus(std::string_view)>;

    BodyWalk(Channel& from, Wait timeout, std::string& error, Sink onData, Sink onFraming)
        : from_(from), timeout_(timeout), error_(error), onData_(std::move(onData)),
          onFraming_(std::move(onFraming)) {}

    IoStatus walk(const BodyFraming& framing) {
        switch (framing.kind) {
        case BodyFraming::Kind::None:
            return IoStatus::Ok;
        case BodyFraming::Kind::Length:
            return copy(framing.size);
        case BodyFraming::Kind::Chunked:
            return chunks();
        case BodyFraming::Kind::UntilClose:
            return untilClose();
        }
        return IoStatus::Failed;
    }

private:
    IoStatus copy(std::uint64_t count) {
        while (count > 0) {
            std::string piece;
            const std::size_t size =
                static_cast<std::size_t>(std::min<std::uint64_t>(count, kPiece));
            if (const IoStatus status = from_.read(size, piece, timeout_); status != IoStatus::Ok)
                return fromFailed(status);
            if (const IoStatus status = onData_(piece); status != IoStatus::Ok) return status;
            count -= size;
        }
        return IoStatus::Ok;
    }

    IoStatus chunks() {
        for (;;) {
            std::string line;
            if (const IoStatus status = from_.readLine(line, kMaxChunkLine, timeout_);
                status != IoStatus::Ok)
                return fromFailed(status);
            const std::optional<std::uint64_t> size = chunkSize(line);
            if (!size) return malformed("a malformed chunk size");
            if (const IoStatus status = onFraming_(line + "\r\n"); status != IoStatus::Ok)
                return status;
            if (*size == 0) return trailers();
            if (const IoStatus status = copy(*size); status != IoStatus::Ok) return status;
            // The line end after the data; anything else means the size was wrong.
            const IoStatus ended = from_.readLine(line, 2, timeout_);
            if (ended == IoStatus::TooLarge || (ended == IoStatus::Ok && !line.empty()))
                return malformed("chunk data longer than its size");
            if (ended != IoStatus::Ok) return fromFailed(ended);
            if (const IoStatus status = onFraming_("\r\n"); status != IoStatus::Ok) return status;
        }
    }

    IoStatus trailers() {
        std::size_t total = 0;
        for (;;) {
            std::string line;
            if (const IoStatus status = from_.readLine(line, kMaxChunkLine, timeout_);
                status != IoStatus::Ok)
                return fromFailed(status);
            total += line.size() + 2;
            if (total > kMaxTrailers) return malformed("trailers over 1 MiB");
            if (const IoStatus status = onFraming_(line + "\r\n"); status != IoStatus::Ok)
                return status;
            if (line.empty()) return IoStatus::Ok;
        }
    }

    IoStatus untilClose() {
        for (;;) {
            std::string piece;
            const IoStatus status = from_.readSome(piece, timeout_);
            if (status == IoStatus::Closed) return IoStatus::Ok;
            if (status != IoStatus::Ok) return fromFailed(status);
            if (const IoStatus sent = onData_(piece); sent != IoStatus::Ok) return sent;
        }
    }

    IoStatus fromFailed(IoStatus status) {
        if (status == IoStatus::TooLarge) return malformed("a chunk line over 64 KiB");
        if (status == IoStatus::Failed) error_ = from_.error();
        if (status == IoStatus::TimedOut) error_ = "timed out in the middle of a body";
        return status;
    }

    IoStatus malformed(const char* what) {
        error_ = std::string("the body has ") + what;
        return IoStatus::Failed;
    }

    Channel& from_;
    Wait timeout_;
    std::string& error_;
    Sink onData_;
    Sink onFraming_;
};

} // namespace

IoStatus forwardBody(const BodyFraming& framing, Channel& from, Channel& to, Wait timeout,
                     std::string& error) {
    auto pass = [&](std::string_view bytes) {
        const IoStatus status = to.send(bytes, timeout);
        if (status == IoStatus::Failed) error = to.error();
        return status;
    };
    return BodyWalk(from, timeout, error, pass, pass).walk(framing);
}

IoStatus readBody(const BodyFraming& framing, Channel& from, std::size_t limit, std::string& body,
                  Wait timeout, std::string& error) {
    if (framing.kind == BodyFraming::Kind::Length && framing.size > limit)
        return IoStatus::TooLarge;
    auto collect = [&](std::string_view bytes) {
        if (body.size() + bytes.size() > limit) return IoStatus::TooLarge;
        body.append(bytes);
        return IoStatus::Ok;
    };
    auto skip = [](std::string_view) { return IoStatus::Ok; };
    return BodyWalk(from, timeout, error, collect, skip).walk(framing);
}

} // namespace torvex

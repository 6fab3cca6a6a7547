#include "recorder/Relay.h"

#include "recorder/Channel.h"
#include "recorder/StopSignal.h"

#include <cerrno>

#include <poll.h>

namespace torvex {
namespace {

constexpr Wait kPieceWait{30000};

// Moves what `from` has ready to `to`; false once either side is done.
bool pass(Channel& from, Channel& to) {
    std::string piece;
    return from.readSome(piece, kPieceWait) == IoStatus::Ok &&
           to.send(piece, kPieceWait) == IoStatus::Ok;
}

} // namespace

void relay(Channel& first, Channel& second, const StopSignal& stop, Wait idle) {
    for (;;) {
        // Bytes read ahead (TLS records included) would not wake poll().
        while (first.hasBuffered())
            if (!pass(first, second)) return;
        while (second.hasBuffered())
            if (!pass(second, first)) return;
        pollfd entries[3] = {{first.stream().fd(), POLLIN, 0},
                             {second.stream().fd(), POLLIN, 0},
                             {stop.fd(), POLLIN, 0}};
        const int ready   = ::poll(entries, 3, static_cast<int>(idle.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0 || entries[2].revents != 0) return;
        if (entries[0].revents != 0 && !pass(first, second)) return;
        if (entries[1].revents != 0 && !pass(second, first)) return;
    }
}

} // namespace torvex

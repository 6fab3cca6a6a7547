#pragma once

#include "recorder/HttpHead.h"
#include "recorder/Stream.h"

#include <string>

namespace torvex {

class Channel;

// Copies a body from one channel to the other as it arrives, its framing unchanged: chunk
// sizes, extensions and trailers pass as they are, and a body delimited by the end of the
// connection runs until the sender closes. Failed bodies leave the reason in `error`.
IoStatus forwardBody(const BodyFraming& framing, Channel& from, Channel& to, Wait timeout,
                     std::string& error);

// Reads a whole body, chunked framing removed; TooLarge once it grows past `limit`.
IoStatus readBody(const BodyFraming& framing, Channel& from, std::size_t limit, std::string& body,
                  Wait timeout, std::string& error);

} // namespace torvex

#pragma once

#include "recorder/Stream.h"

namespace torvex {

class Channel;
class StopSignal;

// Copies bytes both ways between two channels until either side closes, fails or stays idle
// for `idle`, or the proxy stops. Serves connections that switched protocols (WebSocket).
void relay(Channel& first, Channel& second, const StopSignal& stop, Wait idle);

} // namespace torvex

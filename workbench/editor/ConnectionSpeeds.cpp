#include "editor/ConnectionSpeeds.h"

namespace torvex {

const std::array<ConnectionSpeed, kConnectionSpeedCount>& connectionSpeeds() {
    // T1 is given as a round 1000000, not the line's 1544000.
    static const std::array<ConnectionSpeed, kConnectionSpeedCount> speeds = {{
        {"True line speed", -1},
        {"LAN 10MB", 10000000},
        {"T1", 1000000},
        {"512K Cable/DSL", 512000},
        {"256K Cable/DSL", 256000},
        {"ISDN 128K", 128000},
        {"ISDN 64K", 64000},
        {"56K", 56000},
        {"33.6K", 33600},
        {"28.8K", 28800},
        {"14.4K", 14400},
    }};
    return speeds;
}

} // namespace torvex

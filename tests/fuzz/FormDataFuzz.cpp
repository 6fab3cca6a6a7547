// Splits arbitrary posted or query data into pairs as the recorder does, then percent-decodes
// every name and value. Pairs are cut from the data as they stand, so together they can never be
// longer than it, and decoding never makes a text longer.

#include "model/PercentDecoding.h"
#include "recorder/PairScanner.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    std::size_t total = 0;
    for (const torvex::CCapturedParam& pair : torvex::scanPairs(text)) {
        total += pair.name.size() + pair.value.size();
        if (torvex::percentDecoded(pair.name).size() > pair.name.size()) __builtin_trap();
        if (torvex::percentDecoded(pair.value).size() > pair.value.size()) __builtin_trap();
    }
    if (total > size) __builtin_trap();
    if (torvex::percentDecoded(text).size() > size) __builtin_trap();
    return 0;
}

// Feeds arbitrary text to ParseTest, as a test script from another machine would arrive. Scripts
// may not read files here: an [includes] line or $content=FILE then fails as an unreadable file.

#include "torvexcore.h"

#include "QuietParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    torvex::fuzz::quietParserWithoutFiles();
    // The C interface takes NUL-terminated text: an embedded NUL ends the script there.
    const std::string text(reinterpret_cast<const char*>(data), size);

    void* testSet = CreateTestSet(0);
    if (!testSet) __builtin_trap();
    ParseTest(testSet, "fuzz", text.c_str());
    // A second script into the same test set, as a caller loading a script after a failed one does.
    ParseTest(testSet, nullptr, text.c_str());
    FreeTestSet(testSet);
    Calculate3DArrayMemoryAmount(text.c_str());
    return 0;
}

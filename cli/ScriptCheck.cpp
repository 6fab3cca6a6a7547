#include "ScriptCheck.h"

#include "ScriptFile.h"
#include "torvexcore.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>

namespace {

// Engine messages come without their line feed; a text ending in '\r' is a progress line that the
// next one overwrites, so it keeps the cursor on its line.
int writeToStderr(void*, const char* text) {
    std::size_t n = std::strlen(text);
    if (n > 0 && text[n - 1] == '\r') {
        std::fputs(text, stderr);
        std::fflush(stderr);
    } else {
        std::fprintf(stderr, "%s\n", text);
    }
    return 0;
}

} // namespace

int checkScript(const std::string& path) {
    std::optional<std::string> text = readScriptFile(path);
    if (!text) {
        std::fprintf(stderr, "Cannot open file %s\n", path.c_str());
        return 1;
    }
    // The test is named after the file, as a run of it would be: "shop" for "tests/shop.tvt".
    std::string name = std::filesystem::path(path).stem().string();

    InitHX(nullptr, nullptr);
    SetOutFunc(nullptr, writeToStderr);
    void* testSet = CreateTestSet(0);
    // The engine reads the text up to its first NUL byte, as it does with included files. Included
    // files are found from the current directory.
    int good = testSet && ParseTest(testSet, name.c_str(), text->c_str());
    FreeTestSet(testSet);
    SetOutFunc(nullptr, nullptr);
    CleanupHX();

    if (!good) {
        std::fprintf(stderr, "%s: not a valid test script\n", path.c_str());
        return 1;
    }
    std::printf("%s: OK\n", path.c_str());
    return 0;
}

// Reads arbitrary bytes as a scenario file. A file that is read must write back to bytes that
// read again into the same file, and its generated test script goes through the engine's parser,
// as running a loaded scenario does.

#include "QuietParser.h"
#include "api/TestSet.h"
#include "model/GlobalSettings.h"
#include "model/Scenario.h"
#include "model/ScenarioFile.h"

#include "torvexcore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    torvex::fuzz::quietParserWithoutFiles();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    torvex::CScenario scenario;
    std::string error;
    if (!torvex::readScenarioBytes(bytes, scenario, error)) {
        if (error.empty()) __builtin_trap(); // a refusal always says why
        return 0;
    }
    const std::string written = torvex::scenarioBytes(scenario);
    torvex::CScenario again;
    if (!torvex::readScenarioBytes(written, again, error)) __builtin_trap();
    if (torvex::scenarioBytes(again) != written) __builtin_trap();

    std::string script;
    if (scenario.generateScript(torvex::GlobalSettingsValues{}, script)) {
        torvex::CTestSet testSet;
        torvex::parseScript(testSet, script);
    }
    return 0;
}

#include "ScriptLoading.h"

#include "torvexcore.h"

#include <filesystem>
#include <vector>

namespace {

// Global variables for $gvar and the test name; element 0 is the program, as the engine expects.
bool applyCommandLine(void* testSet, const RunRequest& request) {
    std::vector<std::string> arguments{"torvex-run"};
    arguments.insert(arguments.end(), request.engineArguments.begin(),
                     request.engineArguments.end());
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    return ParseCommandLine(testSet, static_cast<int>(argv.size()), argv.data());
}

// The --set options, after the script so that they win over its [general] section. The engine
// explains a bad value but says nothing about an unknown name, hence the message of our own.
bool applySettings(void* testSet, const RunRequest& request, ErrorOutput& errors) {
    for (const std::string& setting : request.settings) {
        std::size_t equals = setting.find('=');
        if (equals == std::string::npos) {
            errors.message("--set " + setting + ": NAME=VALUE expected");
            return false;
        }
        std::string name = setting.substr(0, equals);
        if (!ParseGeneralParam(testSet, name.c_str(), setting.c_str() + equals + 1)) {
            errors.message("--set " + setting + ": not a general option, or a value it refuses");
            return false;
        }
    }
    return true;
}

} // namespace

std::string testName(const RunRequest& request) {
    std::string name = std::filesystem::path(request.file).stem().string();
    for (const std::string& argument : request.engineArguments)
        if (argument.empty() || (argument[0] != '-' && argument[0] != '/')) name = argument;
    return name;
}

bool loadTestScript(void* testSet, const RunRequest& request, const std::string& script,
                    ErrorOutput& errors) {
    if (!applyCommandLine(testSet, request)) return false;
    // The report, the results file name (%n) and the user logs are named after the project;
    // unless the script or --set names one, it is the test.
    ParseGeneralParam(testSet, "projectname", testName(request).c_str());
    if (!ParseTest(testSet, testName(request).c_str(), script.c_str())) {
        errors.message(request.file + ": not a valid test script");
        return false;
    }
    return applySettings(testSet, request, errors);
}

#include "ScenarioScript.h"

#include "UserSettings.h"
#include "model/Scenario.h"
#include "model/ScenarioFile.h"

#include <cstdio>

std::string requestWithoutMethod(const torvex::CScenario& scenario) {
    std::string name;
    scenario.requests.forEach([&](const torvex::CRequest& request) {
        if (name.empty() && request.method != torvex::CRequest::kGet &&
            request.method != torvex::CRequest::kPost)
            name = request.name;
    });
    return name;
}

int printScenarioScript(const std::string& path) {
    const torvex::GlobalSettingsValues settings = userSettings();
    torvex::CScenario scenario;
    std::string error;
    if (!torvex::openScenarioFile(scenario, path, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    scenario.general.projectName = documentTitle(path);
    std::string script;
    if (!scenario.generateScript(settings, script)) {
        std::fprintf(stderr, "%s: request %s has neither GET nor POST as its method\n",
                     path.c_str(), requestWithoutMethod(scenario).c_str());
        return 1;
    }
    std::fwrite(script.data(), 1, script.size(), stdout);
    return 0;
}

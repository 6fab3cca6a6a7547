#include "ScenarioScript.h"

#include "model/GlobalSettings.h"
#include "model/Scenario.h"
#include "model/ScenarioFile.h"

#ifdef TORVEX_WITH_QT_SETTINGS
#include "app/DataFolders.h"
#include "app/QtSettingsStore.h"
#endif

#include <cstdio>

namespace {

torvex::GlobalSettingsValues userSettings() {
    torvex::CGlobalSettings settings;
#ifdef TORVEX_WITH_QT_SETTINGS
    torvex::setDefaultFolders(torvex::userDataFolders());
    torvex::QtSettingsStore store;
    settings.load(store); // what is missing keeps its default, as in the workbench
#endif
    return settings.snapshot();
}

std::string fileName(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

int printScenarioScript(const std::string& path) {
    const torvex::GlobalSettingsValues settings = userSettings();
    torvex::CScenario scenario;
    std::string error;
    if (!torvex::openScenarioFile(scenario, path, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 2;
    }
    // The workbench names a run after its document's title.
    scenario.general.projectName = fileName(path);
    std::string script;
    if (!scenario.generateScript(settings, script)) {
        std::string unusable;
        scenario.requests.forEach([&](const torvex::CRequest& request) {
            if (unusable.empty() && request.method != torvex::CRequest::kGet &&
                request.method != torvex::CRequest::kPost)
                unusable = request.name;
        });
        std::fprintf(stderr, "%s: request %s has neither GET nor POST as its method\n",
                     path.c_str(), unusable.c_str());
        return 1;
    }
    std::fwrite(script.data(), 1, script.size(), stdout);
    return 0;
}

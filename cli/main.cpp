// torvex-run: the console runner of the Torvex load engine.

#include "ScenarioScript.h"
#include "ScriptCheck.h"
#include "torvexcore.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    CLI::App app{"Torvex console runner: runs load tests headless.", "torvex-run"};
    bool showVersion = false;
    std::string checkFile;
    std::string scenarioFile;
    CLI::Option* versionFlag =
        app.add_flag("-V,--version", showVersion, "Print the engine version and exit");
    app.add_option("--check", checkFile, "Load the test script FILE, report whether it is valid")
        ->type_name("FILE")
        ->excludes(versionFlag);
    app.add_option("--script", scenarioFile,
                   "Print the test script that the scenario FILE.tvs generates with your settings")
        ->type_name("FILE.tvs")
        ->excludes(versionFlag)
        ->excludes("--check");
    CLI11_PARSE(app, argc, argv);

    if (showVersion) {
        char version[64];
        GetCoreVersion(version);
        std::printf("%s\n", version);
        return 0;
    }
    if (app.count("--check")) return checkScript(checkFile);
    if (app.count("--script")) return printScenarioScript(scenarioFile);
    std::fputs(app.help().c_str(), stdout);
    return 0;
}

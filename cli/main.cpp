// torvex-run: the console runner of the Torvex load engine.

#include "torvexcore.h"

#include <CLI/CLI.hpp>

#include <cstdio>

int main(int argc, char** argv) {
    CLI::App app{"Torvex console runner: runs load tests headless.", "torvex-run"};
    bool showVersion = false;
    app.add_flag("-V,--version", showVersion, "Print the engine version and exit");
    CLI11_PARSE(app, argc, argv);

    if (showVersion) {
        char version[64];
        GetCoreVersion(version);
        std::printf("%s\n", version);
        return 0;
    }
    std::fputs(app.help().c_str(), stdout);
    return 0;
}

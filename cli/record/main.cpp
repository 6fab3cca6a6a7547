// torvex-record: records a browser's navigations through a loopback proxy as a Torvex scenario.

#include "AuthorityExport.h"
#include "ConsoleLines.h"
#include "ExitStatus.h"
#include "RecordOptions.h"
#include "RecordSession.h"
#include "SignalWatch.h"
#include "recorder/RecordingProxy.h"

#include <cstdio>
#include <exception>

namespace {

int runMain(int argc, char** argv) {
    RecordOptions options;
    if (std::optional<int> status = parseRecordOptions(argc, argv, options)) return *status;
    ConsoleLines console;
    if (options.authorityFolder.empty()) options.authorityFolder = torvex::defaultAuthorityFolder();
    if (!options.certificateFile.empty())
        return exportAuthorityCertificate(options.authorityFolder, options.certificateFile,
                                          console);
    // Before the proxy starts its threads, so that they inherit the blocked signals.
    SignalWatch signals;
    return RecordSession(options, console).run(signals);
}

} // namespace

int main(int argc, char** argv) {
    try {
        return runMain(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "torvex-record: %s\n", e.what());
        return exit_status::kFailed;
    }
}

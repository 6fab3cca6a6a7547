#include "GraphOutput.h"

#include "ErrorOutput.h"
#include "ExitStatus.h"
#include "results/GraphModel.h"
#include "results/ResultsContainer.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>

#ifdef TORVEX_WITH_GRAPHS
#include "results/GraphPictures.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#endif

namespace {

#ifdef TORVEX_WITH_GRAPHS
bool drawPictures(const torvex::ResultsList& list, const std::string& folder,
                  std::vector<std::string>& written, std::string& error) {
    // A console program draws without any display; Qt Charts needs a QApplication all the same.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int argc     = 1;
    char name[]  = "torvex-run";
    char* argv[] = {name, nullptr};
    // Qt's own remarks (no XDG_RUNTIME_DIR on a server, fonts) are not the run's business; a
    // picture that cannot be made is reported by the caller.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg)
            std::fprintf(stderr, "torvex-run: %s\n", text.toLocal8Bit().constData());
    });
    const bool created = QApplication::instance() == nullptr;
    std::unique_ptr<QApplication> app(created ? new QApplication(argc, argv) : nullptr);
    return torvex::writeGraphPictures(list, folder, written, error);
}
#else
bool drawPictures(const torvex::ResultsList&, const std::string&, std::vector<std::string>&,
                  std::string& error) {
    error = "--graphs: this torvex-run was built without the workbench (Qt Charts draws the "
            "graphs); build it without TORVEX_ENGINE_ONLY.";
    return false;
}
#endif

} // namespace

bool writeGraphs(const torvex::CResultsContainer& results, const std::string& folder,
                 ErrorOutput& errors) {
    const torvex::ResultsList list = results.GetAll();
    if (list.empty()) {
        errors.message("Graphs: no run finished, so there is nothing to draw.");
        return true;
    }
    std::vector<std::string> written;
    std::string error;
    if (!drawPictures(list, folder, written, error)) {
        errors.message(error);
        return false;
    }
    errors.message("Graphs: " + std::to_string(written.size()) +
                   (written.size() == 1 ? " picture" : " pictures") + " written to " + folder);
    return true;
}

bool isResultsFileName(const std::string& path) {
    constexpr std::string_view kExtension = ".rlt";
    if (path.size() <= kExtension.size()) return false;
    return std::equal(kExtension.rbegin(), kExtension.rend(), path.rbegin(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
    });
}

int drawResultsFile(const RunRequest& request) {
    ErrorOutput errors;
    if (!request.engineArguments.empty() || !request.settings.empty() ||
        !request.reportFile.empty() || !request.resultsFile.empty() || request.distributed) {
        errors.message(request.file + " is a results file: only --graphs DIR goes with it.");
        return exit_status::kUsage;
    }
    torvex::CResultsContainer results;
    std::string error;
    if (!results.LoadFromFile(request.file, error)) {
        errors.message(error);
        return exit_status::kUsage;
    }
    return writeGraphs(results, request.graphsFolder, errors) ? exit_status::kClean
                                                              : exit_status::kFailed;
}

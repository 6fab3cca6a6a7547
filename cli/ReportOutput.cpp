#include "ReportOutput.h"

#include "torvexcore.h"

#include <cerrno>
#include <cstring>

bool ReportOutput::open(const std::string& path, ErrorOutput& errors) {
    path_ = path;
    if (path.empty()) return true;
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        errors.message("Cannot write the report to " + path + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

bool ReportOutput::write(const std::string& text, ErrorOutput& errors) {
    std::FILE* stream = file_ ? file_.get() : stdout;
    bool written =
        std::fwrite(text.data(), 1, text.size(), stream) == text.size() && std::fflush(stream) == 0;
    if (!written) {
        const char* where = file_ ? path_.c_str() : "standard output";
        errors.message(std::string("Cannot write the report to ") + where + ": " +
                       std::strerror(errno));
    }
    return written;
}

namespace {

int appendPiece(void* text, const char* piece) {
    static_cast<std::string*>(text)->append(piece);
    return 0;
}

} // namespace

bool ReportOutput::writeRunReport(void* testSet, ErrorOutput& errors) {
    std::string text;
    SaveResults(testSet, &text, &appendPiece, nullptr);
    const bool reported = write(text, errors);
    // The engine reports a results file it cannot open itself.
    SaveResultsToFile(testSet, text.c_str());
    return reported;
}

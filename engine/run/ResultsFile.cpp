#include "run/ResultsFile.h"

#include "api/Output.h"
#include "api/TestSet.h"

#include <cstdio>
#include <memory>

namespace torvex {
namespace {

std::string twoDigits(int n) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

// The test name after its last folder separator.
std::string fileNamePart(const CTestSet& t) {
    std::string_view name = t.testname.view();
    std::size_t slash     = name.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

} // namespace

std::string resultsFileName(const CTestSet& t, const std::tm& now) {
    std::string name;
    std::string_view pattern = t.outfile.view();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            name += pattern[i];
            continue;
        }
        if (++i == pattern.size()) {
            message("Warning: unknown macro %% in outfile template ignored!\n");
            break;
        }
        switch (char macro = pattern[i]) {
        case '%':
            name += '%';
            break;
        case 'c':
            name += std::to_string(t.clients);
            break;
        case 'd':
            name += twoDigits(now.tm_mday);
            break;
        case 'm':
            name += twoDigits(now.tm_mon + 1);
            break;
        case 't':
            name += twoDigits(now.tm_hour) + twoDigits(now.tm_min) + twoDigits(now.tm_sec);
            break;
        case 'y':
            name += std::to_string(now.tm_year + 1900);
            break;
        case 'f':
            name += fileNamePart(t);
            break;
        case 'n': {
            std::string file = fileNamePart(t);
            name += file.substr(0, file.rfind('.'));
            break;
        }
        case 'p':
            name += std::to_string(t.port);
            break;
        case 'r':
            name += std::to_string(t.requests);
            break;
        case 's':
            name += t.requestServer();
            break;
        default:
            message("Warning: unknown macro %%%c in outfile template ignored!\n", macro);
            break;
        }
    }
    return name;
}

bool saveResultsToFile(const CTestSet& t, const char* text) {
    std::time_t clock = std::time(nullptr);
    std::tm now{};
    localtime_r(&clock, &now);
    std::string name = resultsFileName(t, now); // warns of unknown macros even without a folder

    std::string_view folder = t.reportdir.view();
    if (folder.empty()) return false;
    while (!folder.empty() && folder.back() == '/') folder.remove_suffix(1);
    std::string path = std::string(folder) + "/" + name;

    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(
        std::fopen(path.c_str(), t.appendresult ? "a" : "w"), std::fclose);
    if (!file) {
        message("Failed to open results file: %s!\n", path.c_str());
        return false;
    }
    std::fputs(text ? text : "", file.get());
    return std::fflush(file.get()) == 0;
}

} // namespace torvex

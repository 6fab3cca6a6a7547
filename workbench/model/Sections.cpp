#include "model/Sections.h"

#include <mutex>

namespace torvex {
namespace {

std::mutex foldersMutex;
DefaultFolders folders{"Logs", "Reports"};

} // namespace

void setDefaultFolders(DefaultFolders value) {
    std::lock_guard guard(foldersMutex);
    folders = std::move(value);
}

DefaultFolders defaultFolders() {
    std::lock_guard guard(foldersMutex);
    return folders;
}

CRunSection::CRunSection() {
    DefaultFolders defaults = defaultFolders();
    logDir                  = std::move(defaults.logDir);
    reportDir               = std::move(defaults.reportDir);
}

} // namespace torvex

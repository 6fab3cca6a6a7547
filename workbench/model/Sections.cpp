#include "model/Sections.h"

#include <cstdlib>
#include <mutex>

namespace torvex {
namespace {

// The user's data folder as Qt names it on Linux, for programs that do not ask Qt.
DefaultFolders userFolders() {
    std::string base;
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data == '/')
        base = data;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/share";
    else
        base = "/tmp";
    base += "/Mekora/Torvex";
    return {base + "/Logs", base + "/Reports"};
}

std::mutex foldersMutex;
DefaultFolders folders = userFolders();

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

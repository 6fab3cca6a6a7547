#include "run/UserLogFile.h"

#include "api/TestSet.h"

namespace torvex {

std::string UserLogFile::pathFor(const CTestSet& t, int userIndex) {
    std::string folder(t.logdir.view());
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    std::string base(t.projectname.view());
    if (std::size_t dot = base.rfind('.'); dot != std::string::npos) base.erase(dot);
    std::string name = base + "-" + std::to_string(t.clients) + "x" + std::to_string(t.requests) +
                       "-user" + std::to_string(userIndex + 1) + ".log";
    // Without a folder the log goes to the working folder rather than the file system's root.
    if (folder.empty() && t.logdir.view().empty()) return name;
    return folder + "/" + name;
}

std::unique_ptr<UserLogFile> UserLogFile::create(const CTestSet& t, int userIndex) {
    std::FILE* file = std::fopen(pathFor(t, userIndex).c_str(), "wb");
    if (!file) return nullptr;
    return std::unique_ptr<UserLogFile>(new UserLogFile(file));
}

void UserLogFile::write(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), file_.get());
}

void UserLogFile::flush() {
    std::fflush(file_.get());
}

} // namespace torvex

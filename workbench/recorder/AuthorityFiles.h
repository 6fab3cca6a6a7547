#pragma once

#include <string>
#include <string_view>

#include <sys/types.h>

namespace torvex {

// Creates `folder` and its missing parents, readable by the user only; an existing folder
// keeps its permissions.
bool makePrivateFolder(const std::string& folder, std::string& error);

enum class FileRead { Read, Missing, Failed };

// A small file whole (at most 1 MiB).
FileRead readSmallFile(const std::string& path, std::string& text, std::string& error);

// Writes `bytes` to a new file beside `path` that has `mode` from the moment it exists, then
// renames it over `path`, so a reader sees the old file or the new one, never a part.
bool replaceFile(const std::string& path, std::string_view bytes, mode_t mode, std::string& error);

// An exclusive lock on a file, so that two programs creating the authority at once do not
// end up with a key from one and a certificate from the other. Released when destroyed.
class FileLock {
public:
    // Waits at most five seconds for another holder.
    bool acquire(const std::string& path, std::string& error);
    ~FileLock();

private:
    int fd_ = -1;
};

} // namespace torvex

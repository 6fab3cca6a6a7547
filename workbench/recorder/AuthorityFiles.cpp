#include "recorder/AuthorityFiles.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace torvex {
namespace {

constexpr std::size_t kMaxFile = 1024 * 1024;

std::string describe(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

} // namespace

bool makePrivateFolder(const std::string& folder, std::string& error) {
    if (folder.empty()) {
        error = "no folder for the certificate authority";
        return false;
    }
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            error = describe("cannot create the folder", part);
            return false;
        }
        if (slash == std::string::npos) break;
    }
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        error = "not a folder: " + folder;
        return false;
    }
    return true;
}

FileRead readSmallFile(const std::string& path, std::string& text, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) return FileRead::Missing;
    if (fd < 0) {
        error = describe("cannot read", path);
        return FileRead::Failed;
    }
    text.clear();
    char piece[4096];
    for (;;) {
        const ssize_t got = ::read(fd, piece, sizeof piece);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) error = describe("cannot read", path);
        if (got <= 0) break;
        text.append(piece, static_cast<std::size_t>(got));
        if (text.size() > kMaxFile) {
            error = "too large to be a certificate or key: " + path;
            break;
        }
    }
    ::close(fd);
    return error.empty() ? FileRead::Read : FileRead::Failed;
}

bool replaceFile(const std::string& path, std::string_view bytes, mode_t mode, std::string& error) {
    const std::string temporary = path + ".new-" + std::to_string(::getpid());
    ::unlink(temporary.c_str()); // left over from a crash
    // O_EXCL with the final mode: the key is never readable by others, not even briefly.
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0) {
        error = describe("cannot create", temporary);
        return false;
    }
    // The umask may have taken bits away; the mode is set exactly.
    bool written = ::fchmod(fd, mode) == 0 && writeAll(fd, bytes) && ::fsync(fd) == 0;
    if (!written) error = describe("cannot write", temporary);
    if (::close(fd) != 0 && written) {
        error   = describe("cannot write", temporary);
        written = false;
    }
    if (written && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error   = describe("cannot replace", path);
        written = false;
    }
    if (!written) ::unlink(temporary.c_str());
    return written;
}

bool FileLock::acquire(const std::string& path, std::string& error) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0) {
        error = describe("cannot open", path);
        return false;
    }
    for (int attempt = 0; attempt < 250; ++attempt) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    error = "another program holds " + path;
    return false;
}

FileLock::~FileLock() {
    if (fd_ >= 0) ::close(fd_); // closing releases the lock
}

} // namespace torvex

#include "model/FileSaving.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace torvex {
namespace {

bool writeWhole(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    return static_cast<bool>(out);
}

} // namespace

bool saveFileContents(const std::string& path, std::string_view bytes) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status existing = fs::status(path, error);
    if (fs::exists(existing) && !fs::is_regular_file(existing)) return writeWhole(path, bytes);

    // Through a link to the file it names, so that the link stays.
    std::string target = path;
    if (fs::is_symlink(fs::symlink_status(path, error))) {
        fs::path resolved = fs::weakly_canonical(path, error);
        if (error) return false;
        target = resolved.string();
    }
    const std::string temporary = target + ".saving";
    bool saved                  = writeWhole(temporary, bytes);
    if (saved && fs::exists(existing))
        fs::permissions(temporary, existing.permissions(), fs::perm_options::replace, error);
    saved = saved && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!saved) std::remove(temporary.c_str());
    return saved;
}

} // namespace torvex

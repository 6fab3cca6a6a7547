#pragma once

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace torvex::test {

// Switches the process's numbers to German conventions (a decimal comma) while it lives, as a
// host program that honours its user's locale does. The locale is built in a private folder, so
// the machine needs none installed; available() is false where localedef cannot build it.
class DecimalCommaLocale {
public:
    DecimalCommaLocale()
        : folder_(std::filesystem::temp_directory_path() /
                  ("torvex-locale-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder_);
        std::string build = "localedef -i de_DE -f UTF-8 '" + (folder_ / "de_DE.UTF-8").string() +
                            "' >/dev/null 2>&1";
        if (std::system(build.c_str()) != 0) return;
        ::setenv("LOCPATH", folder_.c_str(), 1);
        available_ = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr &&
                     std::string(std::localeconv()->decimal_point) == ",";
    }
    ~DecimalCommaLocale() {
        std::setlocale(LC_NUMERIC, "C");
        ::unsetenv("LOCPATH");
        std::filesystem::remove_all(folder_);
    }
    DecimalCommaLocale(const DecimalCommaLocale&)            = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    bool available() const { return available_; }

private:
    std::filesystem::path folder_;
    bool available_ = false;
};

} // namespace torvex::test

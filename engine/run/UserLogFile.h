#pragma once

#include "script/UserLog.h"

#include <cstdio>
#include <memory>
#include <string>

namespace torvex {

class CTestSet;

// A virtual user's log file: "<logdir>/<project>-<clients>x<requests>-user<n>.log", where
// <project> is the option projectname without its extension and n counts from 1.
class UserLogFile : public UserLog {
public:
    // Creates (or replaces) the user's log; null when it cannot be created.
    static std::unique_ptr<UserLogFile> create(const CTestSet& testSet, int userIndex);
    static std::string pathFor(const CTestSet& testSet, int userIndex);

    void write(std::string_view text) override;
    void flush() override;

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    explicit UserLogFile(std::FILE* file) : file_(file) {}
    std::unique_ptr<std::FILE, Closer> file_;
};

} // namespace torvex

#pragma once

#include "api/Output.h"

#include <mutex>
#include <string>
#include <vector>

namespace torvex::test {

// Collects the engine's messages while it lives, then gives the output back to the default.
class CapturedOutput {
public:
    CapturedOutput() { setOutputFunction(this, &CapturedOutput::receive); }
    ~CapturedOutput() { setOutputFunction(nullptr, nullptr); }
    CapturedOutput(const CapturedOutput&)            = delete;
    CapturedOutput& operator=(const CapturedOutput&) = delete;

    std::vector<std::string> messages() const {
        std::lock_guard guard(lock_);
        return messages_;
    }
    // The only message so far, or a note that there was not exactly one.
    std::string only() const {
        std::lock_guard guard(lock_);
        if (messages_.size() != 1) return "<" + std::to_string(messages_.size()) + " messages>";
        return messages_.front();
    }
    bool empty() const { return messages().empty(); }
    void clear() {
        std::lock_guard guard(lock_);
        messages_.clear();
    }

private:
    static int receive(void* ctx, const char* text) {
        auto* self = static_cast<CapturedOutput*>(ctx);
        std::lock_guard guard(self->lock_);
        self->messages_.emplace_back(text);
        return 0;
    }

    mutable std::mutex lock_;
    std::vector<std::string> messages_;
};

} // namespace torvex::test

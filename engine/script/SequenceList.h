#pragma once

#include <optional>
#include <string>
#include <vector>

namespace torvex {

// One entry of a sequence: the request name and, when the line had '(', the text after it.
struct SequenceEntry {
    std::string name;
    std::optional<std::string> arguments;
};

// An ordered list of sequence entries with an open or closed tail. Appending to a list whose tail
// is closed first empties it, so each parse that writes a sequence replaces the previous one.
class SequenceList {
public:
    void append(SequenceEntry entry) {
        if (!tailOpen_) entries_.clear();
        entries_.push_back(std::move(entry));
        tailOpen_ = true;
    }
    // An open tail keeps the present entries: the next append goes after the last of them.
    bool tailOpen() const { return tailOpen_; }
    void setTailOpen(bool open) { tailOpen_ = open && !entries_.empty(); }
    void clear() {
        entries_.clear();
        tailOpen_ = false;
    }

    const std::vector<SequenceEntry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }

private:
    std::vector<SequenceEntry> entries_;
    bool tailOpen_ = false;
};

} // namespace torvex

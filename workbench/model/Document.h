#pragma once

#include "model/Scenario.h"

#include <string>

namespace torvex {

// The workbench's document: the one open scenario with its title and modified flag. It owns the
// scenario for its whole life and resets it in place. What happens to views, results and the
// recorder around these steps is the workbench's.
class CHexmillLEDoc {
public:
    // A new document: "Scenario<n>" for the n-th new document since the program started, the
    // scenario reset to defaults, or to copies of `source`'s requests with default sections.
    void reinitialize(const CScenario* source = nullptr);

    // Opens a scenario file; on failure the scenario is unchanged and `error` names the file.
    bool open(const std::string& path, std::string& error);
    bool save(const std::string& path, std::string& error);

    CScenario& scenario() { return scenario_; }
    const CScenario& scenario() const { return scenario_; }
    const std::string& pathName() const { return pathName_; }
    // The name shown in the window title: the file name, or "Scenario<n>".
    std::string title() const;
    // False for a new document: its path name is only a title, and saving asks for a file.
    bool hasFile() const { return hasFile_; }
    bool modified() const { return modified_; }
    void setModified(bool modified = true) { modified_ = modified; }

    // New documents made since the program started.
    static int newDocumentCount();

private:
    CScenario scenario_;
    std::string pathName_;
    bool hasFile_  = false;
    bool modified_ = false;
};

} // namespace torvex

#pragma once

#include <duktape.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace torvex {

class CUserSession;
class CTorvexObject;

// Hosts one virtual user's script: chooses the engine from the script's name, holds the script
// text and the engine's heap, runs the script to its end on the calling thread with the object
// "torvex" bound to the user, and reports script errors to the output function. Failures to set
// up go to the debug channel only; the user then makes no requests.
class CScriptedFrame {
public:
    CScriptedFrame();
    ~CScriptedFrame();
    CScriptedFrame(const CScriptedFrame&)            = delete;
    CScriptedFrame& operator=(const CScriptedFrame&) = delete;

    // Creates the engine and loads the script: `inlineText` when given, else the file
    // `scriptName`. False when either fails.
    bool initialize(const std::string& scriptName, std::optional<std::string_view> inlineText);
    // Runs the loaded script with the user's object until its global code ends.
    void run(CUserSession& user);
    void close();

    // Asked by the engine while the script executes: true once the run has been stopping for
    // longer than the grace period that lets a script that watches IsAborting end by itself.
    bool timedOut();

private:
    void reportScriptError();
    void stateChange(const char* state);

    duk_context* heap_          = nullptr;
    CUserSession* user_         = nullptr;
    std::uint32_t stopSeenTick_ = 0;
    bool stopSeen_              = false;
    bool interrupted_           = false;
    std::string scriptName_;
    std::string scriptText_;
    std::unique_ptr<CTorvexObject> object_;
};

} // namespace torvex

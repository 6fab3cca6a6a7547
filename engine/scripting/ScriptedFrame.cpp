#include "scripting/ScriptedFrame.h"

#include "api/DebugChannel.h"
#include "api/FixedText.h"
#include "api/Output.h"
#include "api/TestSet.h"
#include "api/WholeFile.h"
#include "run/Ticks.h"
#include "run/UserSession.h"
#include "scripting/Cesu8.h"
#include "scripting/DuktapeBindings.h"
#include "scripting/TorvexObject.h"

#include <cstdlib>

namespace torvex {
namespace {

constexpr int kMaxDescription        = 255;
constexpr std::uint32_t kStopGraceMs = 1000;

enum class Language { None, Perl, JavaScript, VBScript };

// By substring of the script name, in this order and with case: ".pl", ".js", ".vbs".
Language languageOf(const std::string& scriptName) {
    if (scriptName.find(".pl") != std::string::npos) return Language::Perl;
    if (scriptName.find(".js") != std::string::npos) return Language::JavaScript;
    if (scriptName.find(".vbs") != std::string::npos) return Language::VBScript;
    return Language::None;
}

// Errors outside any protected call cannot be returned from; they end the process.
void fatalError(void*, const char* text) {
    message("Script engine fatal error: %s\n", text ? text : "");
    std::abort();
}

struct BindRequest {
    CTorvexObject* object;
};

duk_ret_t bindProtected(duk_context* ctx, void* request) {
    bindTorvexObject(ctx, *static_cast<BindRequest*>(request)->object);
    return 0;
}

duk_ret_t unbindProtected(duk_context* ctx, void*) {
    unbindTorvexObject(ctx);
    return 0;
}

// [error] -> [line, description]: the line as the engine reports it (0 when it does not) and
// the error as text, for instance "SyntaxError: parse error (line 3)".
duk_ret_t describeErrorProtected(duk_context* ctx, void*) {
    int line = 0;
    if (duk_is_object(ctx, -1)) {
        duk_get_prop_string(ctx, -1, "lineNumber");
        line = duk_get_int_default(ctx, -1, 0);
        duk_pop(ctx);
    }
    duk_push_int(ctx, line);
    duk_dup(ctx, -2);
    duk_safe_to_string(ctx, -1);
    return 2;
}

} // namespace

extern "C" int torvexScriptTimedOut(void* heapData) {
    return heapData && static_cast<CScriptedFrame*>(heapData)->timedOut() ? 1 : 0;
}

CScriptedFrame::CScriptedFrame() {
    debugTrace("CScriptedFrame::CScriptedFrame\n");
}

CScriptedFrame::~CScriptedFrame() {
    debugTrace("CScriptedFrame::~CScriptedFrame\n");
    if (heap_) duk_destroy_heap(heap_);
}

void CScriptedFrame::stateChange(const char* state) {
    debugTrace("CScriptedFrame::OnStateChange\n");
    debugTrace(state);
}

bool CScriptedFrame::initialize(const std::string& scriptName,
                                std::optional<std::string_view> inlineText) {
    debugTrace("CScriptedFrame::InitializeScriptedFrame\n");
    scriptName_ = scriptName;
    if (languageOf(scriptName) != Language::JavaScript ||
        !(heap_ = duk_create_heap(nullptr, nullptr, nullptr, this, fatalError))) {
        debugTrace("Failed to create scripting engine.\n");
        return false;
    }
    stateChange("State: Initialized.\n");
    if (inlineText) {
        scriptText_ = *inlineText;
        return true;
    }
    std::optional<std::string> text = readWholeFile(scriptName);
    if (!text) {
        debugTrace("Error opening script file.\n");
        return false;
    }
    scriptText_ = std::move(*text);
    return true;
}

void CScriptedFrame::run(CUserSession& user) {
    debugTrace("CScriptedFrame::RunScript\n");
    user_   = &user;
    object_ = std::make_unique<CTorvexObject>(user);
    debugTrace("CScriptedFrame::GetItemInfo\n");
    BindRequest bind{object_.get()};
    if (duk_safe_call(heap_, bindProtected, &bind, 0, 1) != DUK_EXEC_SUCCESS) {
        debugTrace("Error calling AddNamedItem\n");
        duk_pop(heap_);
        return;
    }
    duk_pop(heap_);

    duk_push_string(heap_, scriptName_.c_str()); // the file name errors refer to
    bool compiled =
        duk_pcompile_lstring_filename(heap_, 0, scriptText_.data(), scriptText_.size()) == 0;
    if (!compiled) {
        reportScriptError();
        duk_pop(heap_);
        debugTrace("Error calling ParseScriptText\n");
    }
    stateChange("State: Started.\n");
    stateChange("State: Connected.\n");
    if (!compiled) return;
    debugTrace("CScriptedFrame::OnEnterScript\n");
    bool failed = duk_pcall(heap_, 0) != DUK_EXEC_SUCCESS;
    // A script ended by the stop has nothing to report.
    if (failed && !interrupted_) reportScriptError();
    duk_pop(heap_);
    debugTrace("CScriptedFrame::OnLeaveScript\n");
    if (failed) debugTrace("Error calling SetScriptState\n");
}

bool CScriptedFrame::timedOut() {
    if (!user_) return false;
    const CTestSet& t = user_->testSet;
    if (!t.abortflag.load() || !t.abortseq) return false;
    if (!stopSeen_) {
        stopSeen_     = true;
        stopSeenTick_ = tickCount();
    }
    if (tickCount() - stopSeenTick_ < kStopGraceMs) return false;
    interrupted_ = true;
    return true;
}

// The error value is on the top of the stack; it stays there.
void CScriptedFrame::reportScriptError() {
    debugTrace("CScriptedFrame::OnScriptError\n");
    duk_dup_top(heap_);
    if (duk_safe_call(heap_, describeErrorProtected, nullptr, 1, 2) == DUK_EXEC_SUCCESS) {
        int line                = duk_get_int(heap_, -2);
        const char* description = duk_get_string(heap_, -1);
        std::string text        = cesu8ToUtf8(description ? description : "");
        text.resize(utf8PrefixLength(text, kMaxDescription));
        message("%s (%d,%d): %s\n", "Script Error:", line, 0, text.c_str());
    }
    duk_pop_2(heap_);
}

void CScriptedFrame::close() {
    debugTrace("CScriptedFrame::CloseScriptedFrame\n");
    if (!heap_) return;
    stateChange("State: Disconnected.\n");
    stateChange("State: Closed.\n");
    debugTrace("CScriptedFrame::OnScriptTerminate\n");
    duk_safe_call(heap_, unbindProtected, nullptr, 0, 1);
    duk_destroy_heap(heap_);
    heap_ = nullptr;
}

} // namespace torvex

#include "scripting/TorvexObject.h"

#include "api/CNumericLocale.h"
#include "api/DebugChannel.h"
#include "api/TestSet.h"
#include "http/RequestPerformer.h"
#include "http/WaitRules.h"
#include "run/Ticks.h"
#include "run/UserSession.h"
#include "script/ParamReader.h"
#include "script/SequenceArguments.h"
#include "script/UserLog.h"
#include "script/VariableExport.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace torvex {
namespace {

constexpr std::size_t kMaxOptionName = 63;
constexpr std::size_t kMaxOptionText = 511;

bool hasExtraParameter(const RequestDefinition& copy, std::string_view name) {
    return std::any_of(copy.extraparameters.begin(), copy.extraparameters.end(),
                       [&](const Parameter& p) { return p.name == name; });
}

// Fills a new request from "host[:port][/path]", "/path" or "": no host of its own unless
// one is given, the path from option uri when none is given.
void setTarget(RequestDefinition& copy, std::string_view uri, const CTestSet& t) {
    if (uri.empty() || uri.starts_with('/')) {
        copy.uri = uri.empty() ? std::string(t.uri.view()) : std::string(uri);
        return;
    }
    std::size_t slash     = uri.find('/');
    std::string_view host = uri.substr(0, slash);
    copy.uri              = slash == std::string_view::npos ? std::string(t.uri.view())
                                                            : std::string(uri.substr(slash));
    std::size_t colon     = host.find(':');
    copy.server           = std::string(host.substr(0, colon));
    if (colon != std::string_view::npos)
        copy.port = std::atoi(std::string(host.substr(colon + 1)).c_str());
}

} // namespace

CTorvexObject::CTorvexObject(CUserSession& user) : user_(user), t_(user.testSet) {
    debugTrace("CTorvexObject::CTorvexObject\n");
}

bool CTorvexObject::stopping() const {
    return t_.abortflag.load() && t_.abortseq;
}

int CTorvexObject::request(const char* name) {
    debugTrace("CTorvexObject::Request\n");
    RequestDefinition* copy = user_.workingCopy(name);
    // Once the run stops no request starts, as a sequence stops at its next entry.
    if (!copy || stopping()) return 0;
    std::uint32_t startTick = tickCount();
    std::int32_t start      = calendarNow();
    int outcome             = performRequest(user_.http, *copy);
    std::int32_t end        = calendarNow();
    user_.lastOutcome       = outcome;
    // A request cut short by the stop is not a result of the run.
    if (stopping()) return 0;
    pauseAfter(*copy, startTick);
    if (outcome >= 0) exportVariables(user_.http.script, *copy, user_.http.previousBody());
    user_.results.scriptResults.push_back({name, outcome, start, end});
    if (outcome >= 0)
        ++t_.made;
    else if (errorClassIndex(outcome) >= 0)
        ++t_.failed;
    return outcome >= 0 ? 1 : 0;
}

// The request's minimum delay only; with softdelay the time the request took counts towards it.
void CTorvexObject::pauseAfter(const RequestDefinition& copy, std::uint32_t startTick) {
    long long delay = copy.delaymin;
    if (delay <= 0) return;
    if (t_.softdelay) delay -= static_cast<std::uint32_t>(tickCount() - startTick);
    if (delay > 0) pause(static_cast<int>(delay), user_.http.waits);
}

void CTorvexObject::response() {
    debugTrace("CTorvexObject::Response\n");
    text_.assign(user_.http.previousBody().view());
}

int CTorvexObject::setParam(const char* requestName, const char* parameter, const char* value) {
    debugTrace("CTorvexObject::SetParam\n");
    RequestDefinition* copy = user_.workingCopy(requestName);
    if (!copy) return 0;
    if (value)
        copy->overrides.assign(parameter, value);
    else
        copy->overrides.erase(parameter);
    return 1;
}

int CTorvexObject::isAborting() const {
    debugTrace("CTorvexObject::IsAborting\n");
    return t_.abortflag.load() ? 1 : 0;
}

bool CTorvexObject::getOpt(const char* name) {
    debugTrace("CTorvexObject::GetOpt\n");
    if (std::strlen(name) > kMaxOptionName) return false;
    if (strcasecmp(name, "clid") == 0) {
        text_ = std::to_string(user_.index());
        return true;
    }
    const OptionRecord* option = t_.options.find(name);
    if (!option) return false;
    optionText(name, *option);
    return true;
}

void CTorvexObject::optionText(const char* name, const OptionRecord& option) {
    char number[64];
    switch (option.type) {
    case 'f': {
        CNumericLocale dot;
        std::snprintf(number, sizeof number, "%lf", *option.target.real);
        text_ = number;
        break;
    }
    case 'm':
        text_ = *option.target.integer == 1 ? "POST" : "GET";
        break;
    case 's':
        // Requests store their target in server and port while other users read them.
        text_ = std::strcmp(name, "server") == 0 ? t_.requestServer() : option.target.text;
        if (text_.size() > kMaxOptionText) text_.resize(kMaxOptionText);
        break;
    default:
        text_ = std::to_string(std::strcmp(name, "port") == 0 ? t_.requestPort()
                                                              : *option.target.integer);
        break;
    }
}

void CTorvexObject::logit(const char* text) {
    debugTrace("CTorvexObject::Logit\n");
    UserLog* log = user_.http.script.log;
    if (!log) return;
    log->write("--- notice from script ---\n");
    log->write(text);
    log->write("\n--- end of notice ---\n");
}

int CTorvexObject::addRequest(const char* name, const char* uri) {
    debugTrace("CTorvexObject::AddRequest\n");
    if (user_.workingCopy(name)) return 0;
    std::string_view target = uri;
    if (target.size() >= 7 && strncasecmp(uri, "http://", 7) == 0) target.remove_prefix(7);
    if (target.find("://") != std::string_view::npos) return 0;
    RequestDefinition copy;
    copy.name      = name;
    copy.port      = t_.requestPort();
    copy.method    = t_.method;
    copy.delaymin  = t_.delay;
    copy.keepalive = t_.keepalive;
    setTarget(copy, target, t_);
    user_.copies.insert(name, std::move(copy));
    return 1;
}

int CTorvexObject::setRequestOpt(const char* name, const char* options) {
    debugTrace("CTorvexObject::SetRequestOpt\n");
    RequestDefinition* copy = user_.workingCopy(name);
    if (!copy) return 0;
    applyArguments(*copy, options);
    return 1;
}

int CTorvexObject::addParam(const char* requestName, const char* parameter, const char* value) {
    debugTrace("CTorvexObject::AddParam\n");
    RequestDefinition* copy = user_.workingCopy(requestName);
    if (!copy || hasExtraParameter(*copy, parameter)) return 0;
    Parameter read;
    if (!ParamReader(*copy, nullptr).read(parameter, value, read)) return 0;
    copy->extraparameters.push_back(std::move(read));
    return 1;
}

void CTorvexObject::resetRequest(const char* name) {
    debugTrace("CTorvexObject::ResetRequest\n");
    if (RequestDefinition* copy = user_.workingCopy(name)) torvex::resetRequest(*copy);
}

} // namespace torvex

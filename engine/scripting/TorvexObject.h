#pragma once

#include <string>

namespace torvex {

class CUserSession;
class CTestSet;
struct RequestDefinition;
struct OptionRecord;

// What a script sees as the object "torvex": it drives one virtual user. Requests are always
// the user's own working copies; what a script changes in them lasts for the rest of the run.
// Called only on the user's thread. Text results go to `text()`, so that the script engine can
// take them without a C++ temporary alive across its calls.
class CTorvexObject {
public:
    explicit CTorvexObject(CUserSession& user);

    // Performs the named request, pauses, exports variables and records the outcome; 1 when the
    // outcome is not negative, 0 otherwise and for an unknown name.
    int request(const char* name);
    // text(): the previous response body; empty when there is none.
    void response();
    // With a value the parameter's override becomes it; without one the override is removed.
    int setParam(const char* requestName, const char* parameter, const char* value);
    int isAborting() const;
    // text(): the option's value; false when there is no such option.
    bool getOpt(const char* name);
    void logit(const char* text);
    int addRequest(const char* name, const char* uri);
    int setRequestOpt(const char* name, const char* options);
    int addParam(const char* requestName, const char* parameter, const char* value);
    void resetRequest(const char* name);

    std::string& text() { return text_; }

private:
    bool stopping() const;
    void pauseAfter(const RequestDefinition& copy, unsigned startTick);
    void optionText(const char* name, const OptionRecord& option);

    CUserSession& user_;
    CTestSet& t_;
    std::string text_;
};

} // namespace torvex

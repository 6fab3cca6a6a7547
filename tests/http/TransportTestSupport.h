#pragma once

#include "api/Options.h"
#include "api/TestSet.h"
#include "http/HttpSession.h"
#include "http/RequestPerformer.h"
#include "http/support/FixtureServer.h"
#include "script/ScriptParser.h"
#include "script/UserLog.h"
#include "script/WorkingCopy.h"
#include "support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace torvex::test {

// A user log kept in memory.
class StringLog : public UserLog {
public:
    void write(std::string_view text) override { text_ += text; }
    void flush() override { ++flushes_; }
    const std::string& text() const { return text_; }
    int flushes() const { return flushes_; }
    void clear() { text_.clear(); }

private:
    std::string text_;
    int flushes_ = 0;
};

// A test set loaded from script text and one virtual user with a log, as the run layer sets
// them up: user 0, a seeded generator, its counter slots and working copies made on first use.
class TransportTest : public ::testing::Test {
protected:
    // Reads script text (general options and request sections); the user is made afresh.
    void load(std::string_view script) {
        ASSERT_EQ(parseScript(testSet, script), 1) << script;
        session.reset();
        copies.clear();
    }
    void option(const char* name, const char* value) {
        ASSERT_EQ(setOption(testSet, name, value), 1) << name << "=" << value;
        session.reset();
    }
    HttpSession& user() {
        if (!session) {
            session = std::make_unique<HttpSession>(testSet);
            session->script.userIndex = 0;
            session->script.random.seed(0x5eed1234u);
            session->script.counters  = initialCounters(testSet, 0);
            session->script.log       = &log;
        }
        return *session;
    }
    RequestDefinition& copy(const char* name) {
        auto found = copies.find(name);
        if (found != copies.end()) return *found->second;
        const RequestDefinition* definition = testSet.definitions.find(name);
        EXPECT_NE(definition, nullptr) << name;
        auto made = std::make_unique<RequestDefinition>(makeWorkingCopy(*definition));
        return *copies.emplace(name, std::move(made)).first->second;
    }
    int perform(const char* name) { return performRequest(user(), copy(name)); }

    std::string requestText() { return std::string(user().request.view()); }
    std::string responseText() { return std::string(user().response.view()); }
    std::string previousBody() { return std::string(user().previousBody().view()); }

    CapturedOutput out;
    CTestSet testSet;
    StringLog log;
    std::unique_ptr<HttpSession> session;
    std::map<std::string, std::unique_ptr<RequestDefinition>> copies;
};

} // namespace torvex::test

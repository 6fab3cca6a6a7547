#pragma once

#include "api/TextBuffer.h"
#include "regex/Regex.h"
#include "script/Materialiser.h"
#include "script/ParamEvaluator.h"
#include "script/ParamReader.h"
#include "script/RequestDefinition.h"
#include "script/UserScriptState.h"
#include "support/CapturedOutput.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace torvex::test {

// An independent model of the per-user generator, so that tests can predict every number the
// engine draws instead of asking the engine twice.
struct ReferenceRandom {
    std::uint32_t state;
    int next(int n) {
        if (n <= 0) return 0;
        state = state * 522757251u - 477701841u;
        return static_cast<int>(((static_cast<std::int32_t>(state) >> 3) & 0x7fffffff) % n);
    }
};

constexpr std::uint32_t kSeed = 0x5eed1234u;

inline std::string dataPath(const std::string& name) {
    return std::string(TORVEX_SCRIPT_TEST_DATA) + "/" + name;
}

inline std::string readData(const std::string& name) {
    std::ifstream in(dataPath(name), std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), {}};
}

inline std::shared_ptr<const CRegex> compiled(std::string_view text) {
    auto expression = std::make_shared<CRegex>();
    EXPECT_TRUE(expression->compile(text)) << text;
    return expression;
}

// What a value yields for one user.
inline std::string yield(const std::vector<CParamPart>& parts, UserScriptState& user,
                         const char* response = nullptr, bool multipart = false) {
    TextBuffer out(64);
    appendPartsValue(out, parts, user, response, multipart);
    return std::string(out.view());
}

// The query or body one user builds from a working copy.
inline std::string bodyOf(UserScriptState& user, RequestDefinition& copy,
                          const char* response = nullptr) {
    materialise(user, copy, response);
    return std::string(user.body.view());
}

inline int countNamed(const ParameterList& list, std::string_view name) {
    int count = 0;
    for (const Parameter& p : list) count += p.name == name;
    return count;
}

// One definition whose parameters are read as the script loader reads them, and one user.
class ScriptFixture : public ::testing::Test {
protected:
    void SetUp() override { user.random.seed(kSeed); }

    // Reads a value; the user gets a counter for every slot taken.
    Parameter read(std::string_view name, std::string_view value) {
        Parameter p;
        EXPECT_TRUE(ParamReader(def, &slots).read(name, value, p)) << value;
        user.counters.resize(slots);
        return p;
    }
    void param(std::string_view name, std::string_view value) {
        EXPECT_TRUE(ParamReader(def, &slots).append(name, value)) << value;
        user.counters.resize(slots);
    }
    std::string run(const Parameter& p, const char* response = nullptr, bool multipart = false) {
        return yield(p.parts, user, response, multipart);
    }
    std::string body(RequestDefinition& copy, const char* response = nullptr) {
        return bodyOf(user, copy, response);
    }

    RequestDefinition def;
    int slots = 0;
    UserScriptState user;
    ReferenceRandom ref{kSeed};
    CapturedOutput out;
};

} // namespace torvex::test

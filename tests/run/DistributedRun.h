// Shared by the tests of runs spread over several test sets: a fixture server that refuses
// every "b" of user 3, parts run from option firstuser, their blocks exported and merged.

#pragma once

#include "torvexcore.h"

#include "http/support/FixtureServer.h"
#include "support/CapturedOutput.h"
#include "support/TestSetHandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <regex>
#include <string>
#include <tuple>
#include <vector>

namespace torvex::test {

constexpr int kParts        = 3;
constexpr int kUsersPerPart = 2;
constexpr int kUsers        = kParts * kUsersPerPart;

// The summary record SaveResults fills.
struct Summary {
    std::int32_t requestsPerSecond, msPerRequest;
    double serverBandwidth, userBandwidth;
    std::int32_t totalRequests, totalErrors;
};

// Options and sections that choose one of the three forms the results are kept in.
struct ResultsForm {
    const char* name;
    const char* options;
    const char* sections;
    const char* lastUser; // how the report shows the sixth user, index 5
};

const ResultsForm kForms[] = {
    {"detailed", "timestamp=1\n", "[TestSeq]\na\nb\n", "\n006/00003\t"},
    {"aggregate", "nodetails=1\n", "[TestSeq]\na\nb\n", "\n6\t6\t"},
    {"script", "script=$inline.js\n",
     "[script]\nRequest('a'); Request('b'); Request('a');\n"
     "[/script]\n",
     "--- Client 5 ---\n"},
};
// The detailed form's script with its test sequence in another order.
const ResultsForm kReordered = {"reordered", "timestamp=1\n", "[TestSeq]\nb\na\n", ""};

class DistributedRun : public ::testing::Test {
protected:
    DistributedRun() {
        // User 3 (counted from 0) is refused every "b"; everything else succeeds.
        server.setDefault([](ReplyChannel& reply, const RecordedRequest& r) {
            bool refused = r.target.find("who=u3") != std::string::npos;
            reply.send(httpResponse(refused ? 500 : 200, refused ? "no" : "page"));
        });
    }

    TestSetHandle load(const ResultsForm& form, const std::string& extra = "") {
        std::string text = "[General]\nserver=127.0.0.1\nport=" + std::to_string(server.port()) +
                           "\nround=0.01\nrequests=3\ndelaystart=0\nkeepalive=1\n"
                           "proxyemulation=1\n" +
                           form.options + extra + form.sections +
                           "[a]\n$uri=/a\nid=$clid(u)\nn=$Seq(s,100,10)\n"
                           "[b]\n$uri=/b\nwho=$clid(u)\n";
        TestSetHandle ts(CreateTestSet(0));
        EXPECT_EQ(ParseTest(ts.get(), "testlog", text.c_str()), 1) << text;
        return ts;
    }

    // A finished run of `clients` users, the first of them user `first`.
    TestSetHandle runPart(const ResultsForm& form, int clients, int first) {
        TestSetHandle ts = load(form, "firstuser=" + std::to_string(first) + "\n");
        EXPECT_EQ(ParseGeneralParam(ts.get(), "clients", std::to_string(clients).c_str()), 1);
        EXPECT_EQ(RunTest(ts.get()), 1);
        return ts;
    }

    // The $clid, $Seq and X-Forwarded-For values of the requests for /a since request `from`.
    std::vector<std::tuple<std::string, std::string, std::string>> seen(std::size_t from) const {
        static const std::regex query("id=(u[0-9]+)&n=(s[0-9]+)");
        std::vector<std::tuple<std::string, std::string, std::string>> values;
        std::vector<RecordedRequest> all = server.requests();
        for (std::size_t i = from; i < all.size(); ++i) {
            std::smatch m;
            if (!std::regex_search(all[i].target, m, query)) continue;
            values.emplace_back(m[1], m[2], all[i].header("X-Forwarded-For"));
        }
        std::sort(values.begin(), values.end());
        return values;
    }

    FixtureServer server;
    CapturedOutput out;
};

inline std::string exportOf(const TestSetHandle& ts) {
    char* data = nullptr;
    int size   = 0;
    EXPECT_EQ(ExportRunResults(ts.get(), &data, &size), 1);
    std::string block(data ? data : "", data ? static_cast<std::size_t>(size) : 0);
    FreeRunResults(data);
    return block;
}

inline int merge(const TestSetHandle& ts, const std::vector<std::string>& blocks) {
    std::vector<const char*> data;
    std::vector<int> sizes;
    for (const std::string& block : blocks) {
        data.push_back(block.data());
        sizes.push_back(static_cast<int>(block.size()));
    }
    return MergeRunResults(ts.get(), data.data(), sizes.data(), static_cast<int>(blocks.size()));
}

} // namespace torvex::test

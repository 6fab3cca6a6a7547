// The objective hints: paragraphs in order with CR LF CR LF between them and nowhere else, the
// paragraphs objectives share, and empty hints for unknown objectives.

#include "results/ObjectiveHints.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using torvex::GetObjectiveResultsText;

namespace {

const std::string kBreak = "\r\n\r\n";

std::vector<std::string> paragraphs(const std::string& text) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (auto at = text.find(kBreak); at != std::string::npos; at = text.find(kBreak, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + kBreak.size();
    }
    parts.push_back(text.substr(start));
    return parts;
}

} // namespace

TEST(ObjectiveHints, FullTextsOfStressAndRealUserObjectives) {
    EXPECT_EQ(GetObjectiveResultsText(3),
              "The most valuable result in testing web site/application stress capabilities is the "
              "percentage of errors under different user load. You should find the maximum number "
              "of users that can be served correctly by tested web site/application. To watch how "
              "this value changes during a test when number of users participating in a test is "
              "increasing select Errors graph from Batch Run Graphs.\r\n\r\n"
              "Also is a good idea to watch Overall performance graph to find the performance "
              "breakpoint.");
    EXPECT_EQ(GetObjectiveResultsText(5),
              "In real user experience/background testing you should run Torvex to generate "
              "typical expected load and try to browse pages of tested web site/application from "
              "another computer. It allows you to evaluate real user experience when tested web "
              "site/application is under the load.");
}

TEST(ObjectiveHints, EveryObjectiveHasItsParagraphsWithBreaksOnlyBetweenThem) {
    const std::size_t counts[] = {3, 4, 3, 2, 3, 1, 3};
    const char* firstWords[] = {"The most valuable result in testing web site/application capacity",
                                "The goal of this test",
                                "The most important performance characteristics",
                                "The most valuable result in testing web site/application stress",
                                "Reliability/endurance testing",
                                "In real user experience",
                                "In scalability/benchmarking testing"};
    for (int id = 0; id <= 6; ++id) {
        SCOPED_TRACE("objective " + std::to_string(id));
        const auto parts = paragraphs(GetObjectiveResultsText(id));
        ASSERT_EQ(parts.size(), counts[id]);
        EXPECT_EQ(parts.front().rfind(firstWords[id], 0), 0u);
        for (const std::string& part : parts) {
            EXPECT_EQ(part.find_first_of("\r\n"), std::string::npos) << part;
            EXPECT_EQ(part.back(), '.') << "a paragraph was cut: " << part;
        }
    }
}

TEST(ObjectiveHints, SharedParagraphsAreIdenticalAndSimilarOnesKeepTheirWording) {
    const auto capacity    = paragraphs(GetObjectiveResultsText(0));
    const auto performance = paragraphs(GetObjectiveResultsText(2));
    const auto scalability = paragraphs(GetObjectiveResultsText(6));
    EXPECT_EQ(capacity[1], performance[2]);
    EXPECT_EQ(performance[1], scalability[2]);
    EXPECT_EQ(performance[1].rfind("Number of hits per second is displayed on Batch Run Graphs > "
                                   "Overall performance. Average/Maximum",
                                   0),
              0u);
    EXPECT_NE(performance[0].find("how these values change"), std::string::npos);
    EXPECT_NE(scalability[1].find("how this values change"), std::string::npos);
    EXPECT_NE(capacity[2].find("how long the user waits"), std::string::npos);
}

TEST(ObjectiveHints, UnknownObjectivesHaveNoHint) {
    for (int id : {7, 8, -1, INT_MAX, INT_MIN})
        EXPECT_EQ(GetObjectiveResultsText(id), "") << "objective " << id;
}

#include "results/ObjectiveHints.h"

#include <initializer_list>
#include <string_view>

namespace torvex {
namespace {

constexpr std::string_view kParagraphBreak = "\r\n\r\n";

// The paragraphs of the hints; some objectives share one.
constexpr std::string_view kCapacityHitsPerSecond =
    "The most valuable result in testing web site/application capacity is the number of requests "
    "per second (hits/sec) that it can serve under different user load. You can watch how this "
    "value changes during a test when number of users participating in a test is increasing. "
    "Number of hits per second is displayed on Batch Run Graphs > Overall performance graph.";
constexpr std::string_view kBandwidthGraph =
    "Also please check Average bandwidth graph. It gives you an idea about the bandwidth of web "
    "server Internet connection that should be provided to maintain observed level of performance "
    "(hits/sec).";
constexpr std::string_view kProcessingTimeGraph =
    "Average request processing time graph tells you how long the user waits for complete download "
    "of HTML code of different pages requested during a test.";
constexpr std::string_view kStableLoadGoal =
    "The goal of this test is to find performance of tested web site/application under stable "
    "level of user load.";
constexpr std::string_view kReportAfterRun =
    "After completion of the test run test report will be displayed.";
constexpr std::string_view kBasicStatistics =
    "Basic statistic section of the report tells you how long user waits for complete download of "
    "html code of different pages requested during a test.";
constexpr std::string_view kSummaryTimes =
    "You can get the general idea about performance of tested web site/application you can get "
    "from the Summary times section of test report, specifically from Total average requests per "
    "second row.";
constexpr std::string_view kKeyCharacteristics =
    "The most important performance characteristics in testing web site/application under load are "
    "the number of requests per second (hits/sec) that it can serve and average/maximum time of "
    "downloading of tested pages. You can watch how these values change during a test when number "
    "of users participating in a test is increasing.";
constexpr std::string_view kHitsAndTimeGraphs =
    "Number of hits per second is displayed on Batch Run Graphs > Overall performance. "
    "Average/Maximum request processing time graphs tell you how long user waits for complete "
    "download of HTML code of different pages requested during a test.";
constexpr std::string_view kErrorPercentage =
    "The most valuable result in testing web site/application stress capabilities is the "
    "percentage of errors under different user load. You should find the maximum number of users "
    "that can be served correctly by tested web site/application. To watch how this value changes "
    "during a test when number of users participating in a test is increasing select Errors graph "
    "from Batch Run Graphs.";
constexpr std::string_view kPerformanceBreakpoint =
    "Also is a good idea to watch Overall performance graph to find the performance breakpoint.";
constexpr std::string_view kEnduranceGoal =
    "Reliability/endurance testing should verify ability of tested web site/application to "
    "maintain acceptable and stable level of performance over a long period of user load.";
constexpr std::string_view kPerformanceOverTime =
    "Average/Maximum request processing time and Overall performance graphs from Batch Run Graphs "
    "give you an idea about change of the tested web site/application performances over the time.";
constexpr std::string_view kErrorsGraph =
    "Also is a good idea to watch Errors graph to verify accuracy of performance characteristics.";
constexpr std::string_view kRealUserExperience =
    "In real user experience/background testing you should run Torvex to generate typical expected "
    "load and try to browse pages of tested web site/application from another computer. It allows "
    "you to evaluate real user experience when tested web site/application is under the load.";
constexpr std::string_view kScalabilityGoal =
    "In scalability/benchmarking testing you should repeat the same test for different "
    "software/hardware configuration to evaluate difference in performance characteristics. It "
    "helps you to find how scalable is tested web site/application or select the most suitable "
    "configuration.";
constexpr std::string_view kBenchmarkCharacteristics =
    "Most important performance characteristics are the number of requests per second (hits/sec) "
    "that tested web site/application can serve and average/maximum time of downloading of tested "
    "pages. You can watch how this values change during a test when number of users participating "
    "in a test is increasing.";

std::string joined(std::initializer_list<std::string_view> paragraphs) {
    std::string text;
    for (std::string_view paragraph : paragraphs) {
        if (!text.empty()) text += kParagraphBreak;
        text += paragraph;
    }
    return text;
}

} // namespace

std::string GetObjectiveResultsText(int objectiveId) {
    switch (objectiveId) {
    case 0: // Capacity
        return joined({kCapacityHitsPerSecond, kBandwidthGraph, kProcessingTimeGraph});
    case 1: // Overall Performance
        return joined({kStableLoadGoal, kReportAfterRun, kBasicStatistics, kSummaryTimes});
    case 2: // Performance Characteristics
        return joined({kKeyCharacteristics, kHitsAndTimeGraphs, kBandwidthGraph});
    case 3: // Stress Capabilities
        return joined({kErrorPercentage, kPerformanceBreakpoint});
    case 4: // Reliability/Endurance
        return joined({kEnduranceGoal, kPerformanceOverTime, kErrorsGraph});
    case 5: // Real User Experience/Background Testing
        return joined({kRealUserExperience});
    case 6: // Scalability/Benchmarking
        return joined({kScalabilityGoal, kBenchmarkCharacteristics, kHitsAndTimeGraphs});
    default:
        return {};
    }
}

} // namespace torvex

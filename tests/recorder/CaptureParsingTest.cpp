// The three small readers behind a capture: header lines, name/value pairs and value decoding.

#include "model/PercentDecoding.h"
#include "recorder/HeaderLines.h"
#include "recorder/PairScanner.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace torvex {
namespace {

using namespace std::string_literals;
using Pairs = std::vector<std::pair<std::string, std::string>>;

std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    HeaderLines reader(text);
    std::string_view line;
    while (reader.next(line) && lines.size() < 100) lines.emplace_back(line);
    return lines;
}

Pairs pairsOf(std::string_view data) {
    Pairs pairs;
    for (const CCapturedParam& pair : scanPairs(data)) pairs.emplace_back(pair.name, pair.value);
    return pairs;
}

using Lines = std::vector<std::string>;

TEST(HeaderLinesTest, EveryKindOfLineBreakEndsALine) {
    EXPECT_EQ(linesOf("A: 1\r\nB: 2"), (Lines{"A: 1", "B: 2"}));
    EXPECT_EQ(linesOf("A: 1\rB: 2"), (Lines{"A: 1", "B: 2"}));
    EXPECT_EQ(linesOf("A: 1\nB: 2"), (Lines{"A: 1", "B: 2"}));
    // LF then CR is two breaks, with an empty line between them.
    EXPECT_EQ(linesOf("A: 1\n\rB: 2"), (Lines{"A: 1", "", "B: 2"}));
}

TEST(HeaderLinesTest, TrailingBreakAddsNoLineButAnInnerEmptyLineCounts) {
    EXPECT_EQ(linesOf("A: 1\r\n"), (Lines{"A: 1"}));
    EXPECT_EQ(linesOf("A: 1\n"), (Lines{"A: 1"}));
    EXPECT_EQ(linesOf("A: 1\r"), (Lines{"A: 1"}));
    EXPECT_EQ(linesOf("A: 1\r\n\r\nB: 2\r\n"), (Lines{"A: 1", "", "B: 2"}));
    EXPECT_EQ(linesOf("\r\n"), (Lines{""}));
    EXPECT_EQ(linesOf(""), Lines{});
}

TEST(HeaderLinesTest, SpacesAndTabsAreTrimmedFromBothEnds) {
    EXPECT_EQ(linesOf(" \tReferer: http://h/ \t\r\n\t X: y"),
              (Lines{"Referer: http://h/", "X: y"}));
    EXPECT_EQ(linesOf("   "), (Lines{""}));
}

TEST(PairScannerTest, AmpersandAndEqualsSignStartPairsOfTheirOwn) {
    EXPECT_EQ(pairsOf("a=1&"), (Pairs{{"a", "1"}}));
    EXPECT_EQ(pairsOf("a=1&&b=2"), (Pairs{{"a", "1"}, {"", ""}, {"b", "2"}}));
    EXPECT_EQ(pairsOf("=5"), (Pairs{{"", "5"}}));
    EXPECT_EQ(pairsOf("&"), (Pairs{{"", ""}}));
    // Only the first '=' separates; the others belong to the value.
    EXPECT_EQ(pairsOf("a=b=c&d==e"), (Pairs{{"a", "b=c"}, {"d", "=e"}}));
}

TEST(PairScannerTest, CharactersBeforeANameAreSkippedButKeptInsideIt) {
    EXPECT_EQ(pairsOf(" {|}~\x01\t\x7fname=v"), (Pairs{{"name", "v"}}));
    EXPECT_EQ(pairsOf("a=1&\r\n b=2"), (Pairs{{"a", "1"}, {"b", "2"}}));
    EXPECT_EQ(pairsOf("\xc3\xa9x=1"), (Pairs{{"x", "1"}}));
    EXPECT_EQ(pairsOf("x\xc3\xa9 {=1 }~"), (Pairs{{"x\xc3\xa9 {", "1 }~"}}));
    // A NUL is data like any other byte: skipped before a name, kept inside one.
    EXPECT_EQ(pairsOf("\0a\0=1"s), (Pairs{{"a\0"s, "1"}}));
    EXPECT_EQ(pairsOf(" \t{}"), Pairs{});
}

TEST(PercentDecodingTest, PlusEscapesAndDoublePercent) {
    EXPECT_EQ(percentDecoded("%c3%A9"), "\xc3\xa9");
    EXPECT_EQ(percentDecoded("100%%"), "100%");
    EXPECT_EQ(percentDecoded("%%41"), "%41");
    EXPECT_EQ(percentDecoded("%2B+%2b"), "+ +");
}

TEST(PercentDecodingTest, HexValueStopsAtTheFirstNonDigitAndZeroVanishes) {
    EXPECT_EQ(percentDecoded("%4G"), "\x04");
    EXPECT_EQ(percentDecoded("a%00b"), "ab");
    EXPECT_EQ(percentDecoded("a%zzb"), "ab");
    // Both characters are consumed even when the first is not a digit.
    EXPECT_EQ(percentDecoded("%G41"), "1");
    EXPECT_EQ(percentDecoded("% 41"), "1");
}

TEST(PercentDecodingTest, TruncatedEscapeIsDroppedWithWhatFollows) {
    EXPECT_EQ(percentDecoded("50%"), "50");
    EXPECT_EQ(percentDecoded("5%4"), "5");
    EXPECT_EQ(percentDecoded("%"), "");
    EXPECT_EQ(percentDecoded("x%%%"), "x%");
}

} // namespace
} // namespace torvex

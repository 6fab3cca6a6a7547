#include "regex/Regex.h"

#include <gtest/gtest.h>

#include <string>

using torvex::CRegex;

namespace {

struct Failure {
    std::string text;
    int code;
    int position;
};

void expectFailures(std::initializer_list<Failure> cases) {
    for (const Failure& c : cases) {
        CRegex re;
        EXPECT_FALSE(re.compile(c.text)) << c.text;
        EXPECT_EQ(std::pair(re.errorCode(), re.errorPosition()), std::pair(c.code, c.position))
            << c.text;
        EXPECT_FALSE(re.compiled()) << c.text;
        int pairs[20];
        int n = 10;
        EXPECT_FALSE(re.match("aaaa", pairs, n)) << c.text;
    }
}

} // namespace

TEST(RegexErrors, FreshExpressionHasNothingCompiled) {
    CRegex re;
    EXPECT_EQ(re.errorCode(), torvex::kRegexNothingCompiled);
    EXPECT_FALSE(re.compiled());
    int pairs[20];
    int n = 10;
    EXPECT_FALSE(re.match("", pairs, n));
    EXPECT_FALSE(re.match("abc", pairs, n));
}

TEST(RegexErrors, ValidEdgeFormsCompile) {
    // clang-format off
    const char* const valid[] = {
        "//", "/a/oio", "/a/imsxo", "/a\\/b/", "/[]/", "/[^]/", "/[\\]]/", "/[\\xg\\p]/",
        "/\\p{2}/", "/(a)\\2/", "/\\1(a)/", "/\\1/", "/\\0/", "/a{1}/", "/a{1,1}/", "/a{2,}/",
        "/a{0}/", "/(?<=a.\\d[xy]\\n)b/", "/(?<!^a\\b)b/", "/(?<=\\x41)b/", "/\\Q(*\\E/", "/(?:)/",
        "/a|/", "/a*?/", "/(a)+?/", "/[a-]{2}/", "/\\x4/", "/}/", "/a}/", "/a$\\Z/", "/a\\O/"
    };
    // clang-format on
    for (const char* text : valid) {
        CRegex re;
        EXPECT_TRUE(re.compile(text))
            << text << ": code " << re.errorCode() << " at " << re.errorPosition();
        EXPECT_EQ(re.errorCode(), torvex::kRegexOk) << text;
        EXPECT_TRUE(re.compiled()) << text;
    }
}

TEST(RegexErrors, Syntax) {
    // clang-format off
    expectFailures({
        {"abc", 2, 0}, {"", 2, 0}, {" /a/", 2, 0}, {"/", 2, 0}, {"/abc", 2, 3}, {"/a\\/", 2, 3},
        {"/(?P<n>a)/", 2, 0}, {"/a(?i)b/", 2, 1}, {"/a(?#x)/", 2, 1}, {"/(?<a)/", 2, 0},
        {"/x(?>a)/", 2, 1}, {"/\\xg/", 2, 0}, {"/ab\\x/", 2, 2}, {"/\\p/", 2, 0}, {"/a\\pb/", 2, 1},
        {"/(?<=a*)b/", 2, 5}, {"/(?<=a?)b/", 2, 5}, {"/(?<!a+)b/", 2, 5}, {"/(?<=a{2})b/", 2, 5},
        {"/(?<=(a))b/", 2, 4}, {"/(?<=a|b)c/", 2, 5}, {"/(a)(?<=\\1)b/", 2, 7},
        {"/(?<=(?:a))b/", 2, 4}, {"/(?<=a(?=b))b/", 2, 5}
    });
    // clang-format on
}

TEST(RegexErrors, Unbalanced) {
    // clang-format off
    expectFailures({
        {"/a)/", 3, 1}, {"/)/", 3, 0}, {"/a|)/", 3, 2}, {"/(a/", 3, 0}, {"/(a(b)/", 3, 0},
        {"/a(b(c)/", 3, 1}, {"/(?:a/", 3, 0}, {"/[ab/", 3, 0}, {"/a[b\\]/", 3, 1}, {"/a{2/", 3, 1},
        {"/a{/", 3, 1}, {"/a{2,3/", 3, 1}, {"/a{x/", 3, 1}, {"/(a))/", 3, 3}, {"/[^/", 3, 0},
        {"/[/", 3, 0}
    });
    // clang-format on
}

TEST(RegexErrors, NestingDepth) {
    CRegex re;
    EXPECT_TRUE(re.compile("/" + std::string(255, '(') + "a" + std::string(255, ')') + "/"));
    EXPECT_EQ(re.captureCount(), 255);
    std::string tooDeep = "/" + std::string(256, '(') + "a" + std::string(256, ')') + "/";
    std::string plain;
    for (int k = 0; k < 256; ++k) plain += "(?:";
    plain = "/" + plain + "a" + std::string(256, ')') + "/";
    expectFailures({{tooDeep, 4, 255}, {plain, 4, 255 * 3}});
}

TEST(RegexErrors, BadFlagCountsTheWholeText) {
    // clang-format off
    expectFailures({
        {"/a/q", 5, 3}, {"/a/iq", 5, 4}, {"/a/I", 5, 3}, {"/ab/ ", 5, 4}, {"/a//", 5, 3},
        {"/a\\/b/mx-", 5, 8}
    });
    // clang-format on
}

TEST(RegexErrors, BackReferenceBeyondTheGroups) {
    expectFailures(
        {{"/(a)\\3/", 6, 3}, {"/\\2/", 6, 0}, {"/a\\12(b)/", 6, 1}, {"/(a)(b)x\\4/", 6, 7}});
}

TEST(RegexErrors, MalformedRepeatCount) {
    // clang-format off
    expectFailures({
        {"/a{x}/", 8, 1}, {"/a{}/", 8, 1}, {"/a{,2}/", 8, 1}, {"/a{3,2}/", 8, 1}, {"/a{2x}/", 8, 1},
        {"/x{2,1}/", 8, 1}, {"/ab{2,1}/", 8, 2}, {"/a{2,x}/", 8, 1}, {"/(a){1,0}/", 8, 3}
    });
    // clang-format on
}

TEST(RegexErrors, NothingToRepeat) {
    expectFailures(
        {{"/*a/", 9, 0},        {"/+/", 9, 0},      {"/?/", 9, 0},       {"/a|*b/", 9, 2},
         {"/(*a)/", 9, 1},      {"/(?:+a)/", 9, 3}, {"/^*/", 9, 1},      {"/a$+/", 9, 2},
         {"/\\A?/", 9, 2},      {"/\\Z*/", 9, 2},   {"/\\b+/", 9, 2},    {"/\\B{2}/", 9, 2},
         {"/a\\O*/", 9, 3},     {"/(?=a)*/", 9, 5}, {"/(?!a)+/", 9, 5},  {"/(?<=a)?/", 9, 6},
         {"/(?<!a){2}/", 9, 6}, {"/a**/", 9, 2},    {"/a*?\?/", 9, 3},   {"/a{2}{3}/", 9, 4},
         {"/a+*/", 9, 2},       {"/a?+/", 9, 2},    {"/a{2}?+/", 9, 5},  {"/{/", 9, 0},
         {"/{2}/", 9, 0},       {"/ */x", 9, 1},    {"/a\t* */x", 9, 4}, {"/(a|?)/", 9, 3}});
}

TEST(RegexErrors, FailedCompileLeavesNothingCompiled) {
    CRegex re;
    int pairs[20];
    int n = 10;
    ASSERT_TRUE(re.compile("/a/"));
    ASSERT_TRUE(re.compile("/b/")); // a recompile replaces the expression
    EXPECT_FALSE(re.match("a", pairs, n));
    EXPECT_TRUE(re.match("b", pairs, n));

    EXPECT_FALSE(re.compile("/(b/"));
    EXPECT_EQ(re.errorCode(), torvex::kRegexUnbalanced);
    EXPECT_FALSE(re.compiled());
    n = 10;
    EXPECT_FALSE(re.match("b", pairs, n));

    EXPECT_TRUE(re.compile("/(b)/"));
    EXPECT_EQ(re.errorCode(), torvex::kRegexOk);
    EXPECT_EQ(re.captureCount(), 1);
    n = 10;
    EXPECT_TRUE(re.match("ab", pairs, n));
    EXPECT_EQ(pairs[2], 1);
}

TEST(RegexErrors, CaptureVectorTooSmallForTheBackReferences) {
    CRegex re;
    int pairs[20];
    ASSERT_TRUE(re.compile("/(a)(b)\\2/"));
    int n = 1;
    EXPECT_FALSE(re.match("abb", pairs, n));
    EXPECT_EQ(re.errorCode(), torvex::kRegexCaptureVectorTooSmall);
    EXPECT_EQ(re.errorPosition(), 2);
    EXPECT_TRUE(re.compiled());
    n = 2;
    EXPECT_TRUE(re.match("xabb", pairs, n));
    EXPECT_EQ(n, 2);
    EXPECT_EQ(pairs[0], 1);
    EXPECT_EQ(pairs[1], 4);
    EXPECT_EQ(pairs[3], 2);

    // The highest reference counts, wherever it stands; a forward reference too.
    for (auto [text, needed] : {std::pair{"/(a)(b)(c)\\3\\1/", 3}, std::pair{"/\\1(a)/", 1},
                                std::pair{"/(a)\\1|(b)(c)\\3/", 3}}) {
        ASSERT_TRUE(re.compile(text)) << text;
        n = needed - 1;
        EXPECT_FALSE(re.match("abcca", pairs, n)) << text;
        EXPECT_EQ(re.errorCode(), torvex::kRegexCaptureVectorTooSmall) << text;
        EXPECT_EQ(re.errorPosition(), needed) << text;
    }
    ASSERT_TRUE(re.compile("/\\0|a/")); // \0 never asks for pairs
    n = 0;
    EXPECT_TRUE(re.match("a", pairs, n));
}

// Found by fuzzing: overlapping alternatives in a repeat backtrack exponentially in the subject's
// length. The match gives up with the out-of-memory code instead of holding the thread for
// hours, and the expression still matches an ordinary subject afterwards.
TEST(RegexErrors, ExponentialBacktrackingGivesUp) {
    const struct {
        const char* pattern;
        std::string subject;
    } cases[] = {
        {"/a(.|\\B.|c)*d$/i", "a" + std::string(40, 'c') + "dx"},
        {"/(x+x+)+y$/", std::string(40, 'x') + "yz"},
    };
    for (const auto& c : cases) {
        CRegex re;
        ASSERT_TRUE(re.compile(c.pattern)) << c.pattern;
        int pairs[20];
        int n = 10;
        EXPECT_FALSE(re.match(c.subject.c_str(), pairs, n)) << c.pattern;
        EXPECT_EQ(re.errorCode(), torvex::kRegexOutOfMemory) << c.pattern;
        n = 10;
        EXPECT_TRUE(re.match("xxabcd", pairs, n) || re.match("xxxy", pairs, n)) << c.pattern;
    }
}

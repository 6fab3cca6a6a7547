#include "regex/Regex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using torvex::CRegex;

namespace {

using Pairs = std::vector<std::pair<int, int>>;

// Compiles `text` (which must compile) and returns the pairs of the first match in `subject`, or
// nothing when there is no match. Pairs past the lowered count must stay untouched.
std::optional<Pairs> run(const std::string& text, const std::string& subject, int pairCount = 10) {
    CRegex re;
    if (!re.compile(text)) {
        ADD_FAILURE() << text << " does not compile: code " << re.errorCode() << " at "
                      << re.errorPosition();
        return std::nullopt;
    }
    int pairs[2 * 40];
    std::fill(std::begin(pairs), std::end(pairs), -7);
    int n        = pairCount;
    bool matched = re.match(subject.c_str(), pairs, n);
    EXPECT_EQ(n, std::min(pairCount, re.captureCount() + 1)) << text;
    for (int k = 2 * std::max(n, 0); k < 2 * 40; ++k) EXPECT_EQ(pairs[k], -7) << text << " " << k;
    if (!matched) return std::nullopt;
    Pairs out;
    for (int k = 0; k < n; ++k) out.emplace_back(pairs[2 * k], pairs[2 * k + 1]);
    return out;
}

// The whole match, or (-1, -1) when there is none.
std::pair<int, int> span(const std::string& text, const std::string& subject) {
    auto pairs = run(text, subject);
    return pairs ? pairs->front() : std::pair{-1, -1};
}

struct Case {
    const char* text;
    const char* subject;
    int start; // -1: no match
    int end;
};

// Every case must give the same result with the 'o' optimisation switched on.
void expectSpans(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        for (std::string text : {std::string(c.text), std::string(c.text) + "o"}) {
            EXPECT_EQ(span(text, c.subject), std::pair(c.start, c.end))
                << text << " on \"" << c.subject << "\"";
        }
    }
}

} // namespace

TEST(RegexLiterals, CharactersDotAndEscapes) {
    // clang-format off
    expectSpans({
        {"/abc/", "xxabcxx", 2, 5}, {"/abc/", "xxabxcx", -1, -1}, {"//", "abc", 0, 0},
        {"//", "", 0, 0}, {"/a/", "", -1, -1}, {"/a.c/", "abc", 0, 3}, {"/a.c/", "a\nc", -1, -1},
        {"/a.c/", "a\rc", -1, -1}, {"/a.c/s", "a\nc", 0, 3}, {"/a.c/s", "a\rc", 0, 3},
        {"/./", "\xff", 0, 1}, {"/\\e\\f/", "x\x1b\f", 1, 3}, {"/\\n\\r\\t/", "\n\r\t", 0, 3},
        {"/\\n/", "n", -1, -1}, {"/\\\\/", "a\\", 1, 2}, {"/a\\/b/", "a/b", 0, 3},
        {"/\\./", "ab.", 2, 3}, {"/\\[\\*/", "[*", 0, 2}, {"/\\k\\z\\-/", "kz-", 0, 3},
        {"/\\p{2}/", "pp", 0, 2}, {"/\\p{2}/", "p", -1, -1}
    });
    // clang-format on
}

TEST(RegexLiterals, HexEscapesTakeOneOrTwoDigits) {
    // clang-format off
    expectSpans({
        {"/A\\x41/", "AA", 0, 2}, {"/\\x4a/", "J", 0, 1}, {"/\\x4A/", "J", 0, 1},
        {"/\\x4/", "\x04", 0, 1}, {"/\\x41B/", "AB", 0, 2}, {"/\\x4g/", "\x04g", 0, 2},
        {"/\\xff/", "a\xff", 1, 2}, {"/\\xFe/", "\xfe", 0, 1}, {"/\\x80/", "\x7f", -1, -1},
        {"/\\x2a+/", "**", 0, 2}, {"/\\x5c/", "\\", 0, 1}
    });
    // clang-format on
}

TEST(RegexLiterals, QuoteTakesEverythingLiterally) {
    // clang-format off
    expectSpans({
        {"/\\Q.*\\E/", "a.*", 1, 3}, {"/\\Q.*\\E/", "ab", -1, -1},
        {"/a\\Q(b)|[\\E!/", "a(b)|[!", 0, 7}, {"/\\Qa b\\E/x", "a b", 0, 3},
        {"/\\Q\\d\\E/", "\\d", 0, 2}
    });
    // clang-format on
}

TEST(RegexLiterals, ExtendedFormIgnoresWhitespaceOutsideClassesAndEscapes) {
    // clang-format off
    expectSpans({
        {"/a b/x", "ab", 0, 2}, {"/a b/x", "a b", -1, -1}, {"/a\\ b/x", "a b", 0, 3},
        {"/[ ]/x", "a b", 1, 2}, {"/a +/x", "aaa", 0, 3}, {"/a\t\r\n b/x", "ab", 0, 2},
        {"/( a ) \\1/x", "aa", 0, 2}, {"/a b/", "a b", 0, 3}, {"/a{2, 3}/x", "aaa", 0, 3}
    });
    // clang-format on
}

TEST(RegexClasses, EscapeClassesUseTheCLocale) {
    // clang-format off
    expectSpans({
        {"/\\d+/", "ab129x", 2, 5}, {"/\\D/", "12x", 2, 3}, {"/\\w+/", "-a_9-", 1, 4},
        {"/\\W/", "a_-", 2, 3}, {"/\\l+/", "ABcdE", 2, 4}, {"/\\u+/", "abCDe", 2, 4},
        {"/\\i+/", "1aZ_", 1, 3}, {"/\\L/", "abC", 2, 3}, {"/\\U/", "ABc", 2, 3},
        {"/\\I/", "ab_", 2, 3}, {"/\\S/", " \tx", 2, 3}, {"/\\w/", "\xe9", -1, -1},
        {"/\\W/", "\xe9", 0, 1}, {"/\\i/", "\xc9", -1, -1}, {"/\\s/", "\xa0\x85", -1, -1},
        {"/\\d/", "\xb2", -1, -1}, {"/\\S/", "\xa0", 0, 1}
    });
    // clang-format on
    for (const char* space : {" ", "\t", "\n", "\v", "\f", "\r"}) {
        EXPECT_EQ(span("/\\s/", space), std::pair(0, 1)) << int(*space);
        EXPECT_EQ(span("/\\S/", space), std::pair(-1, -1)) << int(*space);
    }
}

TEST(RegexClasses, BracketedSetsRangesAndNegation) {
    // clang-format off
    expectSpans({
        {"/[abc]+/", "xcabd", 1, 4}, {"/[^abc]/", "abcd", 3, 4}, {"/[a-c]+/", "dbad", 1, 3},
        {"/[c-a]/", "abc-", -1, -1}, {"/[c-ax]/", "cax", 2, 3}, {"/[-a]+/", "x-a", 1, 3},
        {"/[a-]+/", "x-a", 1, 3}, {"/[a\\]]/", "]", 0, 1}, {"/[\\]]/", "x]", 1, 2},
        {"/[\\n]/", "\nn", 1, 2}, {"/[\\x41]+/", "Ax41", 1, 4}, {"/[\\t\\e\\b]+/", "\tteb", 1, 4},
        {"/[\\0]/", "a0", 1, 2}, {"/[\\/]/", "a/", 1, 2}, {"/[\\d_]+/", "x1_2", 1, 4},
        {"/[\\D]/", "1x", 1, 2}, {"/[\\s]/", "a\tb", 1, 2}, {"/[\\W\\d]+/", "a-1b", 1, 3},
        {"/[a^]/", "x^", 1, 2}, {"/[.]/", "ab", -1, -1}, {"/[^a]/", "a\n", 1, 2},
        {"/[^a]/", "a\xff", 1, 2}, {"/[\x80-\xff]/", "a\xc3", 1, 2}, {"/[\\w-]+/", "a-b!", 0, 3}
    });
    // clang-format on
}

TEST(RegexClasses, EmptyAndFullClasses) {
    // clang-format off
    expectSpans({
        {"/[]/", "abc]", -1, -1}, {"/a[]|b/", "ab", 1, 2}, {"/a[^]b/", "a\nb", 0, 3},
        {"/[^]/", "\r", 0, 1}, {"/a[\\s\\S]b/", "a\nb", 0, 3}, {"/[\\w\\W]+/", "\r\n\xff", 0, 3},
        {"/[^\\s\\S]/", "ab", -1, -1}
    });
    // clang-format on
}

TEST(RegexClasses, CaseInsensitiveClassesHoldBothCases) {
    // clang-format off
    expectSpans({
        {"/[a-c]+/i", "xBaC", 1, 4}, {"/[A-C]/i", "b", 0, 1}, {"/[^a]/i", "Ab", 1, 2},
        {"/[^A]/i", "aB", 1, 2}, {"/[Z-a]/i", "b", -1, -1}, {"/[Z-a]+/i", "zA_`[", 0, 5},
        {"/[\xe9]/i", "\xc9", -1, -1}, {"/[\xe9]/i", "\xe9", 0, 1}
    });
    // clang-format on
}

TEST(RegexAnchors, CaretAndDollar) {
    // clang-format off
    expectSpans({
        {"/^b/", "a\nb", -1, -1}, {"/^b/m", "a\nb", 2, 3}, {"/^b/m", "a\rb", 2, 3},
        {"/^a/", "ba", -1, -1}, {"/^/", "abc", 0, 0}, {"/a^b/", "ab", -1, -1},
        {"/a$/", "a\n", -1, -1}, {"/a$/", "ba", 1, 2}, {"/$/", "abc", 3, 3},
        {"/a$/m", "a\r\nb", 0, 3}, {"/a$/m", "a\nb", 0, 2}, {"/a$/m", "a\rb", 0, 2},
        {"/a$/m", "a\n\rb", 0, 2}, {"/a$/m", "a\n\nb", 0, 2}, {"/a$/m", "ba", 1, 2},
        {"/a$b/m", "a\nb", 0, 3}, {"/a$b/m", "a\r\nb", 0, 4}, {"/$/m", "ab\ncd", 2, 3},
        {"/^$/m", "a\n\nb", 2, 3}, {"/^$/m", "a\r\nb", 2, 3}, {"/^a/m", "b\na", 2, 3}
    });
    // clang-format on
}

TEST(RegexAnchors, SubjectStartAndEnd) {
    // clang-format off
    expectSpans({
        {"/\\Ab/", "ab", -1, -1}, {"/\\Ab/m", "a\nb", -1, -1}, {"/\\Aa/", "ab", 0, 1},
        {"/a\\Z/", "ba", 1, 2}, {"/a\\Z/", "a\n", -1, -1}, {"/a\\Z/m", "a\nb", -1, -1},
        {"/\\A\\Z/", "", 0, 0}
    });
    // clang-format on
}

TEST(RegexAnchors, WordBoundaries) {
    // clang-format off
    expectSpans({
        {"/\\bfoo\\b/", "a foo b", 2, 5}, {"/\\bfoo\\b/", "afoo", -1, -1}, {"/\\Bo/", "foo", 1, 2},
        {"/\\b/", "", -1, -1}, {"/\\B/", "", 0, 0}, {"/\\b/", "a", 0, 0}, {"/a\\b/", "ab a", 3, 4},
        {"/\\bb/", "a b", 2, 3}, {"/a\\b/", "a\xe9", 0, 1}, {"/_\\b/", "__", 1, 2},
        {"/\\B-/", "a- -", 3, 4}
    });
    // clang-format on
}

TEST(RegexRepeats, GreedyAndLazyCounts) {
    expectSpans(
        {{"/a*/", "aaa", 0, 3},      {"/a*/", "baa", 0, 0},        {"/a+/", "baa", 1, 3},
         {"/a?b/", "aab", 1, 3},     {"/a*?b/", "aaab", 0, 4},     {"/a+?/", "aaa", 0, 1},
         {"/a?\?/", "a", 0, 0},      {"/a{2}/", "aaa", 0, 2},      {"/a{2,}/", "aaaa", 0, 4},
         {"/a{2,3}/", "aaaa", 0, 3}, {"/a{2,3}?/", "aaaa", 0, 2},  {"/a{2,}?/", "aaaa", 0, 2},
         {"/x{3}/", "xx", -1, -1},   {"/a{1}b/", "ab", 0, 2},      {"/a{1,1}b/", "aab", 1, 3},
         {"/a.*b/", "axbxb", 0, 5},  {"/a.*?b/", "axbxb", 0, 3},   {"/a*ab/", "aaab", 0, 4},
         {"/.*/", "ab\ncd", 0, 2},   {"/[ab]{2}/", "xaba", 1, 3},  {"/\\d{2,3}?x/", "1234x", 1, 5},
         {"/.+c/", "abcbc", 0, 5},   {"/(?:ab)+/", "ababa", 0, 4}, {"/a{0,2}?b/", "aab", 0, 3}});
    std::string many(256, 'a');
    EXPECT_EQ(span("/a{256}/", many), std::pair(0, 256));
    EXPECT_EQ(span("/a{256}/", many.substr(1)), std::pair(-1, -1));
    EXPECT_EQ(span("/a{2,300}/", many), std::pair(0, 256));
}

TEST(RegexRepeats, EmptyIterationEndsTheRepeat) {
    // clang-format off
    expectSpans({
        {"/(a*)*b/", "aab", 0, 3}, {"/(a*)*b/", "aaac", -1, -1}, {"/(a|)*c/", "aac", 0, 3},
        {"/(?:a?)+$/", "aa", 0, 2}, {"/(a*)+x/", "aaaaaaaa", -1, -1}
    });
    // clang-format on
    // Exponential for a plain backtracker, but it has to end.
    EXPECT_EQ(span("/(a*)*b/", std::string(22, 'a')), std::pair(-1, -1));
    EXPECT_EQ(run("/(a*)*b/", std::string(25, 'a') + "b"), (Pairs{{0, 26}, {25, 25}}));
}

TEST(RegexGroupsAndCaptures, PairsForEveryGroup) {
    struct Expect {
        const char* text;
        const char* subject;
        Pairs pairs;
    };
    const Expect cases[] = {{"/a(b)?c/", "ac", {{0, 2}, {-1, -1}}},
                            {"/sid=(\\w+)/", "a=1&sid=AB12&x", {{4, 12}, {8, 12}}},
                            {"/(a)|(b)/", "b", {{0, 1}, {-1, -1}, {0, 1}}},
                            {"/((a)(b))/", "ab", {{0, 2}, {0, 2}, {0, 1}, {1, 2}}},
                            {"/(?:a)(b)/", "ab", {{0, 2}, {1, 2}}},
                            {"/(a|b)+/", "ab", {{0, 2}, {1, 2}}},
                            {"/(\\d)*/", "123", {{0, 3}, {2, 3}}},
                            {"/(ab){2}/", "abab", {{0, 4}, {2, 4}}},
                            {"/(a|b){2,3}/", "abab", {{0, 3}, {2, 3}}},
                            {"/(a+?)(a*)/", "aaa", {{0, 3}, {0, 1}, {1, 3}}},
                            {"/(a)?/", "b", {{0, 0}, {-1, -1}}},
                            {"/(a)*/", "", {{0, 0}, {-1, -1}}},
                            {"/(?:(a)b|ac)/", "ac", {{0, 2}, {-1, -1}}},
                            {"/(a|ab)(c|bcd)(d*)/", "abcd", {{0, 4}, {0, 1}, {1, 4}, {4, 4}}},
                            {"/(|a)b/", "ab", {{0, 2}, {0, 1}}},
                            {"/(?=(a))/", "ba", {{1, 1}, {1, 2}}},
                            {"/x(a|b|c)y/", "xcy", {{0, 3}, {1, 2}}},
                            // an abandoned iteration or failed look-ahead gives its captures back
                            {"/(?:(a)b)*a/", "aba", {{0, 3}, {0, 1}}},
                            {"/(?=(a)x)|a/", "ab", {{0, 1}, {-1, -1}}},
                            {"/(?!(a)b)a\\w/", "ab ac", {{3, 5}, {-1, -1}}}};
    for (const Expect& c : cases) EXPECT_EQ(run(c.text, c.subject), c.pairs) << c.text;
}

TEST(RegexGroupsAndCaptures, CaptureCountAndPairCountLowering) {
    CRegex re;
    ASSERT_TRUE(re.compile("/(a)(?:b)((c))(?=d)(?!e)/"));
    EXPECT_EQ(re.captureCount(), 3);
    EXPECT_EQ(run("/(a)(b)/", "ab", 1), (Pairs{{0, 2}})); // pair 1 is never written
    EXPECT_EQ(run("/(a)(b)/", "ab", 0), Pairs{});
    EXPECT_EQ(run("/a/", "ba", 10), (Pairs{{1, 2}}));

    int pairs[6] = {5, 5, 5, 5, 5, 5};
    int n        = 3;
    ASSERT_TRUE(re.compile("/(a)(b)/"));
    EXPECT_FALSE(re.match("xyz", pairs, n)); // a miss still resets the pairs
    EXPECT_EQ(n, 3);
    for (int v : pairs) EXPECT_EQ(v, -1);
}

TEST(RegexGroupsAndCaptures, DeepNestingMatches) {
    std::string text = "/" + std::string(255, '(') + "a" + std::string(255, ')') + "/";
    auto pairs       = run(text, "xa");
    ASSERT_TRUE(pairs);
    EXPECT_EQ(*pairs, Pairs(10, {1, 2}));
    std::string plain = "/" + std::string(100, '(') + "?:" + "b" + ")";
    for (int k = 1; k < 100; ++k) plain += "|x)";
    EXPECT_EQ(span(plain + "/", "ab"), std::pair(1, 2));
}

TEST(RegexBackReferences, ReferToTheLastCapture) {
    // clang-format off
    expectSpans({
        {"/(a)\\1/", "aa", 0, 2}, {"/(a)\\1/", "ab", -1, -1}, {"/(a)\\1/", "aA", -1, -1},
        {"/(a)\\1/i", "aA", 0, 2}, {"/(ab)\\1/i", "abAB", 0, 4}, {"/(a+)b\\1/", "aaabaa", 1, 6},
        {"/(a)?b\\1/", "b", -1, -1}, {"/(?:(a)|b)\\1/", "bb", -1, -1}, {"/\\1(a)/", "aa", -1, -1},
        {"/(a)\\2/", "aa", -1, -1}, {"/a\\0|b/", "ab", 1, 2}, {"/(a|b)\\1+/", "abbb", 1, 4},
        {"/(a*)x\\1/", "xa", 0, 1}, {"/(?:(a)|(b))+\\1/", "aba", 0, 3}
    });
    // clang-format on
    const char* ten = "/(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)\\10/";
    EXPECT_EQ(span(ten, "abcdefghijj"), std::pair(0, 11));
    EXPECT_EQ(span(ten, "abcdefghija0"), std::pair(-1, -1));
}

TEST(RegexLookAround, LookAhead) {
    // clang-format off
    expectSpans({
        {"/a(?=b)/", "ac ab", 3, 4}, {"/a(?!b)/", "abac", 2, 3}, {"/(?=.*c)a/", "abc", 0, 1},
        {"/(?!.*c)a/", "abc", -1, -1}, {"/(?=a|b)\\w+/", "-ba", 1, 3},
        {"/(?=(?<=a)b)b/", "ab", 1, 2}, {"/x(?!)/", "x", -1, -1}, {"/(?=)x/", "x", 0, 1}
    });
    // clang-format on
}

TEST(RegexLookAround, LookBehindOfFixedLength) {
    // clang-format off
    expectSpans({
        {"/(?<=a)b/", "ab", 1, 2}, {"/(?<=a)b/", "b", -1, -1}, {"/(?<!a)b/", "b", 0, 1},
        {"/(?<!a)b/", "xb", 1, 2}, {"/(?<!a)b/", "ab", -1, -1}, {"/(?<=ab)c/", "bc", -1, -1},
        {"/(?<!ab)c/", "bc", 1, 2}, {"/(?<!ab)c/", "c", 0, 1}, {"/(?<=a)/", "ba", 2, 2},
        {"/(?<=\\d.[xy])z/", "1-yz", 3, 4}, {"/(?<=\\d.[xy])z/", "1-zz", -1, -1},
        {"/(?<=a)b/i", "AB", 1, 2}, {"/(?<=\\x41\\n)b/", "A\nb", 2, 3}, {"/(?<=^a)b/", "ab", 1, 2},
        {"/(?<=^a)b/", "cab", -1, -1}, {"/(?<=\\ba)b/", "aab", -1, -1},
        {"/(?<=a\\b)-/", "a-", 1, 2}, {"/(?<=\\Qa.\\E)b/", "a.b", 2, 3}
    });
    // clang-format on
}

TEST(RegexCut, EndsTheAttemptAtThisStartPosition) {
    // clang-format off
    expectSpans({
        {"/a\\Ob|ac/", "ac", -1, -1}, {"/ab|ac/", "ac", 0, 2}, {"/a\\Ob|ac/", "acab", 2, 4},
        {"/a\\Ob|ac/", "aac", -1, -1}, {"/x\\Oy|a/", "a", 0, 1}, {"/a\\Ob/", "ab", 0, 2},
        {"/a*\\Oab/", "aaab", -1, -1}, {"/a*ab/", "aaab", 0, 4},
        {"/(?:a\\Ob|ac)|ad/", "ad", -1, -1}, {"/a\\O(b|bc)d/", "abcd", 0, 4},
        {"/(?=a\\Ob|a)a|ac/", "ac", 0, 2}, {"/(?!a\\Ob|a)|b/", "ac", 0, 0}
    });
    // clang-format on
}

TEST(RegexFlags, CaseInsensitiveAndCombinations) {
    // clang-format off
    expectSpans({
        {"/abc/i", "xABC", 1, 4}, {"/ABC/i", "abc", 0, 3}, {"/abc/", "ABC", -1, -1},
        {"/\\x41/i", "a", 0, 1}, {"/\\xe9/i", "\xc9", -1, -1}, {"/\\Qa\\E/i", "A", 0, 1},
        {"/^a.b$/msi", "x\nA\nB", 2, 5}, {"/a/oio", "ba", 1, 2}, {"/a/iimmss", "A", 0, 1},
        {"/a b/xox", "ab", 0, 2}
    });
    // clang-format on
}

TEST(RegexFlags, OptimisationChangesNoResult) {
    // expectSpans runs each case once more with 'o'; these defeat naive first-character and
    // required-last-character shortcuts.
    // clang-format off
    expectSpans({
        {"/a*$/", "xx", 2, 2}, {"/a?b/", "xb", 1, 2}, {"/ax|a/", "a", 0, 1},
        {"/(?:b|c)?a/", "ca", 0, 2}, {"/x*/", "abc", 0, 0}, {"/(?<=c)d?/", "cc", 1, 1},
        {"/\\bx/", "ax x", 3, 4}, {"/[^a]/", "aab", 2, 3}, {"/a|b/", "cb", 1, 2},
        {"/(a)\\1?c/", "ac", 0, 2}, {"/(?=b)/", "ab", 1, 1}, {"/a\\Z|b/", "bca", 0, 1},
        {"/$/m", "a\nb", 1, 2}, {"/^a/m", "xa\na", 3, 4}, {"/a.c|d/", "abxd", 3, 4},
        {"/a{0}b/", "b", 0, 1}, {"/(?:)/", "x", 0, 0}, {"/A/i", "xa", 1, 2}
    });
    // clang-format on
}

TEST(RegexSearch, FirstStartPositionThenPerlOrder) {
    // clang-format off
    expectSpans({
        {"/a|ab/", "ab", 0, 1}, {"/ab|a/", "ab", 0, 2}, {"/b+|a+b+/", "aabb", 0, 4},
        {"/a*/", "", 0, 0}, {"/^a|b/", "xb", 1, 2}, {"/^a|^b/", "xb", -1, -1},
        {"/\\Aa|\\Ab/", "b", 0, 1}, {"/\\Aa|\\Ab/", "xb", -1, -1}, {"/(?:^a)|b/", "cb", 1, 2},
        {"/a|/", "b", 0, 0}, {"/x|a/", "aaax", 0, 1}
    });
    // clang-format on
}

TEST(RegexSearch, SubjectEndsAtItsFirstNul) {
    const std::string subject("ab\0c", 4);
    EXPECT_EQ(span("/c/", subject), std::pair(-1, -1));
    EXPECT_EQ(span("/b$/", subject), std::pair(1, 2));
    EXPECT_EQ(span("/b\\Z/", subject), std::pair(1, 2));
    EXPECT_EQ(span("/[^a]+/", subject), std::pair(1, 2));
    EXPECT_EQ(span("/.*/s", subject), std::pair(0, 2));
    EXPECT_EQ(span("/\\x0/", std::string("a\0", 2)), std::pair(-1, -1));
}

TEST(RegexSearch, NullSubjectAndNullPairs) {
    CRegex re;
    ASSERT_TRUE(re.compile("/(a)?/"));
    int pairs[4] = {5, 5, 5, 5};
    int n        = 2;
    EXPECT_FALSE(re.match(nullptr, pairs, n));
    for (int v : pairs) EXPECT_EQ(v, -1);
    n = 2;
    EXPECT_TRUE(re.match("a", nullptr, n));
}

TEST(RegexSearch, LongSubjectsDoNotExhaustTheStack) {
    const std::string many(1 << 20, 'a');
    EXPECT_EQ(span("/(?:a)*$/", many), std::pair(0, 1 << 20));
    EXPECT_EQ(span("/(a|b)*c/", many + "c"), std::pair(0, (1 << 20) + 1));
    EXPECT_EQ(span("/(a*?)*?$/", many.substr(0, 1 << 16)), std::pair(0, 1 << 16));
    EXPECT_EQ(span("/(?:a|b)+?c/", many.substr(0, 1 << 16) + "c"), std::pair(0, (1 << 16) + 1));
    // The "anything" idiom over a body of several megabytes: one repeat, not one frame per byte.
    const std::string body = "<div>" + std::string(1 << 23, 'x') + "\n</div>";
    EXPECT_EQ(span("/<div>(?:.|\\n)*?<\\/div>/", body), std::pair(0, int(body.size())));
}

// A response body without the pattern's last character must not cost a full backtracking
// attempt at every start position.
TEST(RegexSearch, LongSubjectWithoutTheFinalCharacter) {
    EXPECT_EQ(span("/(a|b)*c/", std::string(1 << 20, 'a')), std::pair(-1, -1));
}

TEST(RegexSearch, OneExpressionMatchesFromManyThreads) {
    CRegex re;
    ASSERT_TRUE(re.compile("/(\\w+)=(\\d+)/o"));
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&re, &wrong, t] {
            std::string subject = std::string(t * 7, '-') + "key=" + std::to_string(1000 + t);
            for (int k = 0; k < 2000; ++k) {
                int pairs[6];
                int n = 3;
                if (!re.match(subject.c_str(), pairs, n) || pairs[0] != t * 7 ||
                    pairs[5] != t * 7 + 8)
                    ++wrong[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

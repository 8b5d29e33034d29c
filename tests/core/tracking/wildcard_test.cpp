// The wildcard rule of window-list entries and accessible names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tracking/wildcard.h"

namespace tarnwick {
namespace {

struct MatchCase {
    const wchar_t* text;
    const wchar_t* pattern;
    bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* os) {
    *os << ::testing::PrintToString(std::wstring(c.text)) << " against "
        << ::testing::PrintToString(std::wstring(c.pattern));
}

class MatchesPatternTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(MatchesPatternTest, MatchesWholeTextAgainstWholePattern) {
    const MatchCase& c = GetParam();
    EXPECT_EQ(MatchesPattern(c.text, c.pattern), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Literals, MatchesPatternTest,
    ::testing::Values(MatchCase{L"a.xls", L"a.xls", true}, MatchCase{L"a.xls", L"A.xls", false},  // by code
                      MatchCase{L"a.xls", L"a.xl", false}, MatchCase{L"a.xl", L"a.xls", false},     // whole text
                      MatchCase{L"", L"", true}, MatchCase{L"x", L"", false}, MatchCase{L"", L"x", false},
                      MatchCase{L"确定", L"确定", true}, MatchCase{L"确定 ", L"确定", false},
                      MatchCase{L"a]b!c-d", L"a]b!c-d", true}));

INSTANTIATE_TEST_SUITE_P(
    Wildcards, MatchesPatternTest,
    ::testing::Values(MatchCase{L"", L"*", true}, MatchCase{L"abc", L"*", true}, MatchCase{L"abc", L"a*", true},
                      MatchCase{L"abc", L"*c", true}, MatchCase{L"abc", L"a*b*c", true},
                      MatchCase{L"abc", L"a**c", true}, MatchCase{L"abcbc", L"a*bc", true},
                      MatchCase{L"abcbd", L"a*bc", false}, MatchCase{L"ab", L"a*b*c", false},
                      MatchCase{L"abc", L"a?c", true}, MatchCase{L"ac", L"a?c", false},
                      MatchCase{L"a表c", L"a?c", true}, MatchCase{L"a7", L"a#", true},
                      MatchCase{L"ax", L"a#", false}, MatchCase{L"a٣", L"a#", false}));  // ASCII digits only

INSTANTIATE_TEST_SUITE_P(
    WindowListEntries, MatchesPatternTest,
    ::testing::Values(MatchCase{L"&1 a.xls", L"&# a.xls", true}, MatchCase{L"&1 a.xls:1", L"&# a.xls", false},
                      MatchCase{L"&2 a.xls:2", L"&# a.xls:#*", true}, MatchCase{L"&2 a.xls:12", L"&# a.xls:#*", true},
                      MatchCase{L"&2 a.xls:", L"&# a.xls:#*", false}, MatchCase{L"&1 a", L"&# a", true},
                      MatchCase{L"&1 ab.xls", L"&# a", false}, MatchCase{L"a.xls:1", L"a.xls:#*", true}));

INSTANTIATE_TEST_SUITE_P(
    BracketLists, MatchesPatternTest,
    ::testing::Values(MatchCase{L"b", L"[abc]", true}, MatchCase{L"d", L"[abc]", false},
                      MatchCase{L"d", L"[!abc]", true}, MatchCase{L"a", L"[!abc]", false},
                      MatchCase{L"m", L"[a-z]", true}, MatchCase{L"M", L"[a-z]", false},
                      MatchCase{L"M", L"[a-zA-Z]", true}, MatchCase{L"5", L"[!0-9]", false},
                      MatchCase{L"-", L"[a-]", true}, MatchCase{L"-", L"[-a]", true}, MatchCase{L"!", L"[a!]", true},
                      MatchCase{L"*", L"[*]", true}, MatchCase{L"x", L"[*]", false}, MatchCase{L"[", L"[[]", true},
                      MatchCase{L"ab", L"a[]b", true},  // an empty list stands for nothing
                      MatchCase{L"abc", L"a[!x]*", true}));

INSTANTIATE_TEST_SUITE_P(
    MalformedListsMatchNothing, MatchesPatternTest,
    ::testing::Values(MatchCase{L"[a", L"[a", false}, MatchCase{L"a", L"[a", false}, MatchCase{L"x", L"*[", false},
                      MatchCase{L"m", L"[z-a]", false}));

TEST(MatchesPatternCost, HostilePatternsFinishQuickly) {
    SCOPED_TRACE("many stars against a long near-miss must not backtrack exponentially");
    const std::wstring text(5000, L'a');
    std::wstring pattern;
    for (int i = 0; i < 200; ++i) pattern += L"*a";
    pattern += L"b";
    EXPECT_FALSE(MatchesPattern(text, pattern));
    EXPECT_TRUE(MatchesPattern(text + L"b", pattern));
}

TEST(EscapePatternTest, EscapedNamesMatchThemselvesAndNothingElse) {
    struct Case {
        const wchar_t* name;
        const wchar_t* escaped;
        std::vector<const wchar_t*> others;  // must not match
    };
    const std::vector<Case> cases = {
        {L"Q#1.xls", L"Q[#]1.xls", {L"Q11.xls", L"Q21.xls"}},
        {L"a*.xls", L"a[*].xls", {L"ab.xls", L"a.xls"}},
        {L"what?.xls", L"what[?].xls", {L"whatx.xls"}},
        {L"[1].xls", L"[[]1].xls", {L"1.xls", L"[2].xls"}},
        {L"plain-名字!].xls", L"plain-名字!].xls", {}},
    };
    for (const Case& c : cases) {
        const std::wstring escaped = EscapePattern(c.name);
        EXPECT_EQ(escaped, c.escaped);
        EXPECT_TRUE(MatchesPattern(c.name, escaped));
        EXPECT_TRUE(MatchesPattern(std::wstring(L"&3 ") + c.name + L":2", L"&# " + escaped + L":#*"));
        for (const wchar_t* other : c.others) EXPECT_FALSE(MatchesPattern(other, escaped));
    }
}

}  // namespace
}  // namespace tarnwick

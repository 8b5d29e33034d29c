// Wildcard matching as window-list entries and accessible names need it.
//
// '*' is matched greedily with one remembered backtrack point (the last '*'
// seen), which is enough for a whole-text match and keeps the cost at
// O(text x pattern) whatever the pattern holds; there is no recursion.
//
// A malformed bracket list (no closing ']', or a range written high to low)
// makes the pattern match nothing, rather than raising as the classic rule
// does: every caller tests names under resume-next, where a raised error
// would count as a match.
#include "tracking/wildcard.h"

#include <cstddef>

namespace tarnwick {

namespace {

enum class Step { Matched, Mismatched, Malformed };

// The bracket list starting at pattern[open] ('['), tested against ch.
// On success `next` is the index after the closing ']'.
Step MatchList(std::wstring_view pattern, std::size_t open, wchar_t ch, std::size_t& next) {
    std::size_t i = open + 1;
    bool negate = false;
    if (i < pattern.size() && pattern[i] == L'!') {
        negate = true;
        ++i;
    }
    bool found = false;
    while (i < pattern.size() && pattern[i] != L']') {
        const wchar_t low = pattern[i];
        // "a-z" is a range; a '-' first or last in the list is itself.
        if (i + 2 < pattern.size() && pattern[i + 1] == L'-' && pattern[i + 2] != L']') {
            const wchar_t high = pattern[i + 2];
            if (high < low) return Step::Malformed;
            if (low <= ch && ch <= high) found = true;
            i += 3;
        } else {
            if (low == ch) found = true;
            ++i;
        }
    }
    if (i >= pattern.size()) return Step::Malformed;
    next = i + 1;
    return found != negate ? Step::Matched : Step::Mismatched;
}

// One pattern element other than '*' at pattern[p] against ch.
Step MatchOne(std::wstring_view pattern, std::size_t p, wchar_t ch, std::size_t& next) {
    switch (pattern[p]) {
    case L'?':
        next = p + 1;
        return Step::Matched;
    case L'#':
        next = p + 1;
        return (ch >= L'0' && ch <= L'9') ? Step::Matched : Step::Mismatched;
    case L'[':
        return MatchList(pattern, p, ch, next);
    default:
        next = p + 1;
        return pattern[p] == ch ? Step::Matched : Step::Mismatched;
    }
}

// "[]" stands for no character at all.
std::size_t SkipEmptyLists(std::wstring_view pattern, std::size_t p) {
    while (p + 1 < pattern.size() && pattern[p] == L'[' && pattern[p + 1] == L']') p += 2;
    return p;
}

}  // namespace

bool MatchesPattern(std::wstring_view text, std::wstring_view pattern) {
    constexpr std::size_t kNoStar = static_cast<std::size_t>(-1);
    std::size_t t = 0;
    std::size_t p = 0;
    std::size_t starP = kNoStar;  // pattern index just after the last '*'
    std::size_t starT = 0;        // text index that '*' was last tried to end at

    while (t < text.size()) {
        p = SkipEmptyLists(pattern, p);
        if (p < pattern.size()) {
            if (pattern[p] == L'*') {
                starP = ++p;
                starT = t;
                continue;
            }
            std::size_t next = 0;
            const Step result = MatchOne(pattern, p, text[t], next);
            if (result == Step::Malformed) return false;
            if (result == Step::Matched) {
                p = next;
                ++t;
                continue;
            }
        }
        if (starP == kNoStar) return false;
        // Let the last '*' swallow one more character and try again.
        p = starP;
        t = ++starT;
    }
    for (p = SkipEmptyLists(pattern, p); p < pattern.size() && pattern[p] == L'*';) {
        p = SkipEmptyLists(pattern, p + 1);
    }
    return p == pattern.size();
}

std::wstring EscapePattern(std::wstring_view text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (const wchar_t ch : text) {
        if (ch == L'#' || ch == L'*' || ch == L'?' || ch == L'[') {
            escaped += L'[';
            escaped += ch;
            escaped += L']';
        } else {
            escaped += ch;
        }
    }
    return escaped;
}

}  // namespace tarnwick

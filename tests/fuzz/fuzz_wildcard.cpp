// The wildcard matcher against an independent reference: the pattern is
// first cut into tokens, then matched by dynamic programming over (text
// position, token), so that the greedy backtracking of the real matcher is
// checked against a different algorithm.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tracking/wildcard.h"

namespace {

struct Token {
    enum Kind { Literal, Any, Digit, Star, List, Empty, Malformed } kind = Literal;
    wchar_t ch = 0;
    bool negate = false;
    std::vector<std::pair<wchar_t, wchar_t>> ranges;
};

std::vector<Token> Tokenize(const std::wstring& pattern) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < pattern.size()) {
        Token t;
        const wchar_t c = pattern[i];
        if (c == L'*') {
            t.kind = Token::Star;
            ++i;
        } else if (c == L'?') {
            t.kind = Token::Any;
            ++i;
        } else if (c == L'#') {
            t.kind = Token::Digit;
            ++i;
        } else if (c == L'[') {
            std::size_t j = i + 1;
            if (j < pattern.size() && pattern[j] == L']') {
                t.kind = Token::Empty;
                i = j + 1;
            } else {
                t.kind = Token::List;
                if (j < pattern.size() && pattern[j] == L'!') {
                    t.negate = true;
                    ++j;
                }
                while (j < pattern.size() && pattern[j] != L']') {
                    if (j + 2 < pattern.size() && pattern[j + 1] == L'-' && pattern[j + 2] != L']') {
                        if (pattern[j + 2] < pattern[j]) t.kind = Token::Malformed;
                        t.ranges.emplace_back(pattern[j], pattern[j + 2]);
                        j += 3;
                    } else {
                        t.ranges.emplace_back(pattern[j], pattern[j]);
                        ++j;
                    }
                }
                if (j >= pattern.size()) t.kind = Token::Malformed;
                i = j + 1;
            }
        } else {
            t.kind = Token::Literal;
            t.ch = c;
            ++i;
        }
        tokens.push_back(std::move(t));
    }
    return tokens;
}

bool MatchesOne(const Token& t, wchar_t ch) {
    switch (t.kind) {
    case Token::Literal: return t.ch == ch;
    case Token::Any: return true;
    case Token::Digit: return ch >= L'0' && ch <= L'9';
    case Token::List: {
        bool found = false;
        for (const auto& [lo, hi] : t.ranges) found = found || (lo <= ch && ch <= hi);
        return found != t.negate;
    }
    default: return false;
    }
}

bool ReferenceMatch(const std::wstring& text, const std::wstring& pattern) {
    const std::vector<Token> tokens = Tokenize(pattern);
    for (const Token& t : tokens) {
        if (t.kind == Token::Malformed) return false;
    }
    const std::size_t n = text.size();
    const std::size_t m = tokens.size();
    // can[i][k]: text[i..] matches tokens[k..]
    std::vector<std::vector<char>> can(n + 1, std::vector<char>(m + 1, 0));
    can[n][m] = 1;
    for (std::size_t i = n + 1; i-- > 0;) {
        for (std::size_t k = m; k-- > 0;) {
            const Token& t = tokens[k];
            bool ok = false;
            if (t.kind == Token::Star) {
                ok = can[i][k + 1] || (i < n && can[i + 1][k]);
            } else if (t.kind == Token::Empty) {
                ok = can[i][k + 1];
            } else {
                ok = i < n && MatchesOne(t, text[i]) && can[i + 1][k + 1];
            }
            can[i][k] = ok;
        }
    }
    return can[0][0];
}

// A small alphabet makes matches likely enough to be interesting.
std::wstring Decode(const uint8_t* data, std::size_t size) {
    static const wchar_t alphabet[] = L"ab1#*?[]!-:.9\u4e2dZ";
    std::wstring out;
    for (std::size_t i = 0; i < size; ++i) out += alphabet[data[i] % (sizeof(alphabet) / sizeof(wchar_t) - 1)];
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 1 || size > 200) return 0;
    const std::size_t split = data[0] % size;
    const std::wstring text = Decode(data + 1, split);
    const std::wstring pattern = Decode(data + 1 + split, size - 1 - split);
    if (tarnwick::MatchesPattern(text, pattern) != ReferenceMatch(text, pattern)) std::abort();
    // An escaped text matches itself and only texts equal to it.
    if (!tarnwick::MatchesPattern(text, tarnwick::EscapePattern(text))) std::abort();
    if (tarnwick::MatchesPattern(pattern, tarnwick::EscapePattern(text)) != (pattern == text)) std::abort();
    return 0;
}

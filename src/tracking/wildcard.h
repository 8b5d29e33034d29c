// The classic wildcard rule of window-list entries and accessible names.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

// Whole text against whole pattern, by character code: * any run, ? any one
// character, # one decimal digit, [list] / [!list] with ranges a-z.
bool MatchesPattern(std::wstring_view text, std::wstring_view pattern);

// The text as a pattern that matches only itself.
std::wstring EscapePattern(std::wstring_view text);

}  // namespace tarnwick

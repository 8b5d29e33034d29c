// Finding and pressing items of Excel's window-list dialog through MSAA.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "interop/accessibility.h"
#include "interop/platform_types.h"

namespace tarnwick {

inline constexpr uint32_t kSkipState = 0x00100084;  // focusable | hot-tracked | focused

struct AccessibleMatch {
    std::shared_ptr<acc::Accessible> Target;
    int32_t ChildId = acc::CHILDID_SELF;
    bool IsHotFocused = false;
};

// Chooses the occurrence-th list item matching `pattern` (or, when none
// does, `basePattern`: the name without extension) and presses "确定". When
// no item of that occurrence is listed it presses "取消": "确定" would
// switch to whatever entry is preselected.
void ChooseDialogItem(const std::wstring& pattern, int32_t occurrence, WindowHandle dialogWindow,
                      const std::wstring& basePattern = std::wstring());
// The depth-first search; with fewer matches under one object than
// occurrence + 1 it answers the last of them.
AccessibleMatch FindAccessible(const std::shared_ptr<acc::Accessible>& parent, const std::wstring& pattern,
                               int32_t occurrence, int32_t role);
// The same, but only the occurrence asked for counts as a match.
AccessibleMatch FindAccessibleOccurrence(const std::shared_ptr<acc::Accessible>& parent, const std::wstring& pattern,
                                         int32_t occurrence, int32_t role);

}  // namespace tarnwick

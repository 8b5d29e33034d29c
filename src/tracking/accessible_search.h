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

void ChooseDialogItem(const std::wstring& pattern, int32_t occurrence, WindowHandle dialogWindow);
AccessibleMatch FindAccessible(const std::shared_ptr<acc::Accessible>& parent, const std::wstring& pattern, int32_t occurrence, int32_t role);

}  // namespace tarnwick

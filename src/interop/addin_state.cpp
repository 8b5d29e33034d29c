#include "interop/addin_state.h"

namespace tarnwick {

namespace {
thread_local AddinState tState;
}

AddinState& State() { return tState; }

Platform& Plat() { return *tState.platform; }

void ResetAddinState() {
    Platform* platform = tState.platform;
    tState = AddinState{};
    tState.platform = platform;
}

bool IsEditWindowClass(const std::wstring& className) {
    return className == kEditClassInCell || className == kEditClassFormulaBar || className == kEditClassEditBox;
}

}  // namespace tarnwick

// Choosing an entry of Excel's window-list dialog through accessibility.
//
// FindAccessible's error rules: reading the child count and the children
// fails through to the caller; in the walk over the children a failed call
// leaves an error pending, and a child that then passes the test is skipped
// (which clears the error) instead of being taken. A nested search that
// returns normally leaves no error pending at this level; one that fails
// leaves its error pending here.
#include "tracking/accessible_search.h"

#include <memory>
#include <string>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "interop/platform.h"
#include "tracking/wildcard.h"

namespace tarnwick {

namespace {

constexpr const wchar_t* kOkButtonName = L"确定";

// The element's name and role; both are read, as the test reads both.
struct Test {
    bool holds = false;
    bool failed = false;
};

Test TestElement(acc::Accessible& owner, int32_t childId, const std::wstring& pattern, int32_t role) {
    Test test;
    try {
        const bool nameMatches = MatchesPattern(owner.accName(childId), pattern);
        const bool roleMatches = owner.accRole(childId) == role;
        test.holds = nameMatches && roleMatches;
    } catch (const HostError&) {
        test.failed = true;
    }
    return test;
}

// Excel's dialog is three levels deep. A tree that nests deeper than this
// (or refers back to itself) would recurse until the stack overflows inside
// the hook, which no handler can contain: below the bound, nothing is found.
constexpr int32_t kMaxSearchDepth = 64;

AccessibleMatch Search(const std::shared_ptr<acc::Accessible>& parent, const std::wstring& pattern,
                       int32_t occurrence, int32_t role, int32_t depth);

}  // namespace

void ChooseDialogItem(const std::wstring& pattern, int32_t occurrence, WindowHandle dialogWindow) {
    std::shared_ptr<acc::Accessible> dialog;
    assign(dialog, [&] { return Plat().AccessibleObjectFromWindow(dialogWindow, win::OBJID_WINDOW); });
    if (!dialog) return;

    // The list item, unless it is already the hot, focused one.
    AccessibleMatch item;
    assign(item, [&] { return FindAccessible(dialog, pattern, occurrence, acc::ROLE_SYSTEM_LISTITEM); });
    if (item.Target && !item.IsHotFocused) {
        step([&] { item.Target->accDoDefaultAction(item.ChildId); });
    }

    // "确定" is pressed whatever happened to the item.
    AccessibleMatch ok;
    assign(ok, [&] { return FindAccessible(dialog, kOkButtonName, 0, acc::ROLE_SYSTEM_PUSHBUTTON); });
    if (ok.Target) {
        step([&] { ok.Target->accDoDefaultAction(ok.ChildId); });
    }
}

AccessibleMatch FindAccessible(const std::shared_ptr<acc::Accessible>& parent, const std::wstring& pattern,
                               int32_t occurrence, int32_t role) {
    return Search(parent, pattern, occurrence, role, 0);
}

namespace {

AccessibleMatch Search(const std::shared_ptr<acc::Accessible>& parent, const std::wstring& pattern,
                       int32_t occurrence, int32_t role, int32_t depth) {
    AccessibleMatch result;
    if (!parent) throw HostError(hr::OBJECT_REQUIRED_);
    if (depth > kMaxSearchDepth) return result;
    if (parent->accChildCount() == 0) return result;
    const int32_t n = parent->accChildCount();
    acc::AccessibleChildrenResult children = Plat().AccessibleChildren(*parent, 0, n);
    if (children.hresult != 0) return AccessibleMatch{};

    AddinState& s = State();
    s.AccessibleMatchCounter = 0;
    bool errorPending = false;

    for (const acc::AccessibleChild& element : children.children) {
        std::shared_ptr<acc::Accessible> owner;
        int32_t childId = acc::CHILDID_SELF;
        if (element.kind == acc::AccessibleChild::Kind::Object && element.object) {
            owner = element.object;
        } else if (element.kind == acc::AccessibleChild::Kind::ChildId) {
            owner = parent;
            childId = element.childId;
        } else {
            // Neither an object nor a child id: its test cannot even be made.
            errorPending = false;
            continue;
        }

        const Test test = TestElement(*owner, childId, pattern, role);
        if (test.failed || (test.holds && errorPending)) {
            errorPending = false;
            continue;
        }

        if (test.holds) {
            result.Target = owner;
            result.ChildId = childId;
            // A state that cannot be read counts as the skip state.
            try {
                result.IsHotFocused = owner->accState(childId) == kSkipState;
            } catch (const HostError&) {
                result.IsHotFocused = true;
                errorPending = true;
            }
            if (s.AccessibleMatchCounter == occurrence) return result;
            ++s.AccessibleMatchCounter;
        } else if (element.kind == acc::AccessibleChild::Kind::Object) {
            // Only objects are searched further; the nested search replaces
            // the result, also with an empty one.
            try {
                result = Search(element.object, pattern, occurrence, role, depth + 1);
                errorPending = false;
            } catch (const HostError&) {
                errorPending = true;
            }
            if (result.Target) return result;
        }
    }
    return result;
}

}  // namespace

}  // namespace tarnwick

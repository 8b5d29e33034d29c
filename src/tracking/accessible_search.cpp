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
constexpr const wchar_t* kCancelButtonName = L"取消";

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

// Excel's dialog is three levels deep with a few dozen elements. A tree that
// nests deeper than this (or refers back to itself) would recurse until the
// stack overflows inside the hook, which no handler can contain; one that
// branches and refers back would keep Excel frozen in the hook: beyond
// either bound, nothing more is found.
constexpr int32_t kMaxSearchDepth = 64;
constexpr int32_t kMaxSearchNodes = 4096;

struct SearchRequest {
    const std::wstring& pattern;
    int32_t occurrence;
    int32_t role;
    bool exact;  // the last match below occurrence + 1 does not count
    int32_t nodesLeft = kMaxSearchNodes;
};

AccessibleMatch Search(const std::shared_ptr<acc::Accessible>& parent, SearchRequest& request, int32_t depth);

// Runs the default action of the match; false when there is none.
bool Press(const AccessibleMatch& match) {
    if (!match.Target) return false;
    step([&] { match.Target->accDoDefaultAction(match.ChildId); });
    return true;
}

AccessibleMatch FindButton(const std::shared_ptr<acc::Accessible>& dialog, const wchar_t* name) {
    AccessibleMatch button;
    assign(button, [&] { return FindAccessible(dialog, name, 0, acc::ROLE_SYSTEM_PUSHBUTTON); });
    return button;
}

}  // namespace

void ChooseDialogItem(const std::wstring& pattern, int32_t occurrence, WindowHandle dialogWindow,
                      const std::wstring& basePattern) {
    std::shared_ptr<acc::Accessible> dialog;
    assign(dialog, [&] { return Plat().AccessibleObjectFromWindow(dialogWindow, win::OBJID_WINDOW); });
    if (!dialog) return;

    // The list item of exactly that occurrence; the list drops extensions
    // where Windows hides them.
    AccessibleMatch item;
    for (const std::wstring* p : {&pattern, &basePattern}) {
        if (p->empty() || item.Target) continue;
        assign(item, [&] { return FindAccessibleOccurrence(dialog, *p, occurrence, acc::ROLE_SYSTEM_LISTITEM); });
    }
    if (!item.Target) {
        // Not listed: the dialog must switch to nothing.
        Press(FindButton(dialog, kCancelButtonName));
        return;
    }
    // Already the hot, focused one: choosing it again would toggle nothing.
    if (!item.IsHotFocused) Press(item);
    Press(FindButton(dialog, kOkButtonName));
}

AccessibleMatch FindAccessible(const std::shared_ptr<acc::Accessible>& parent, const std::wstring& pattern,
                               int32_t occurrence, int32_t role) {
    SearchRequest request{pattern, occurrence, role, false};
    return Search(parent, request, 0);
}

AccessibleMatch FindAccessibleOccurrence(const std::shared_ptr<acc::Accessible>& parent, const std::wstring& pattern,
                                         int32_t occurrence, int32_t role) {
    SearchRequest request{pattern, occurrence, role, true};
    return Search(parent, request, 0);
}

namespace {

AccessibleMatch Search(const std::shared_ptr<acc::Accessible>& parent, SearchRequest& request, int32_t depth) {
    const std::wstring& pattern = request.pattern;
    const int32_t occurrence = request.occurrence;
    const int32_t role = request.role;
    AccessibleMatch result;
    if (!parent) throw HostError(hr::OBJECT_REQUIRED_);
    if (depth > kMaxSearchDepth || request.nodesLeft <= 0) return result;
    if (parent->accChildCount() == 0) return result;
    const int32_t n = parent->accChildCount();
    acc::AccessibleChildrenResult children = Plat().AccessibleChildren(*parent, 0, n);
    if (children.hresult != 0) return AccessibleMatch{};

    AddinState& s = State();
    s.AccessibleMatchCounter = 0;
    bool errorPending = false;

    for (const acc::AccessibleChild& element : children.children) {
        if (--request.nodesLeft < 0) break;
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
                result = Search(element.object, request, depth + 1);
                errorPending = false;
            } catch (const HostError&) {
                errorPending = true;
            }
            if (result.Target) return result;
        }
    }
    // Fewer matches here than asked for: the last one is not the one asked for.
    if (request.exact) return AccessibleMatch{};
    return result;
}

}  // namespace

}  // namespace tarnwick

// A scriptable accessible object. Tests build trees with World::MakeAccessible
// and the builder members below, then attach them to windows; the window-list
// dialog of the simulated Excel is built from the same parts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "interop/accessibility.h"
#include "sim/link.h"

namespace tarnwick::sim {

class AccessibleSim : public acc::Accessible, public std::enable_shared_from_this<AccessibleSim> {
public:
    AccessibleSim(Link link, std::wstring name, int32_t role, uint32_t state);

    // --- builder (not counted as host calls)
    AccessibleSim& Add(std::shared_ptr<AccessibleSim> child);
    // Adds a simple element reached through this object by id (1, 2, ...); returns the id.
    int32_t AddChildId(std::wstring name, int32_t role, uint32_t state = 0);
    // An element that is neither an object nor a child id (a VARIANT of another type).
    AccessibleSim& AddOther();
    // Drops every element, e.g. to cut a cycle a test built on purpose.
    AccessibleSim& RemoveChildren();
    // Every call of member ("accChildCount", "accName", "accRole", "accState",
    // "accDoDefaultAction") on this object throws; childId -1 = for any child id.
    AccessibleSim& Fail(const std::string& member, int32_t childId = -1);
    // What AccessibleChildren answers for this parent: S_OK (default), S_FALSE or a failure.
    AccessibleSim& ChildrenResult(int32_t hresult);
    // accChildCount reports this instead of the real number (to test inconsistent servers).
    AccessibleSim& ReportedChildCount(int32_t count);
    // Runs on accDoDefaultAction(childId); childId 0 = the object itself.
    AccessibleSim& OnDefaultAction(std::function<void(int32_t childId)> action);

    void SetState(int32_t childId, uint32_t state);
    void SetName(int32_t childId, std::wstring name);

    // --- inspection
    std::wstring Name(int32_t childId = acc::CHILDID_SELF) const;
    uint32_t State(int32_t childId = acc::CHILDID_SELF) const;
    int32_t Role(int32_t childId = acc::CHILDID_SELF) const;
    int32_t DefaultActionCount(int32_t childId = acc::CHILDID_SELF) const;
    // The elements in order, as AccessibleChildren hands them out.
    const std::vector<acc::AccessibleChild>& Elements() const { return elements_; }
    int32_t ChildrenHResult() const { return childrenResult_; }

    // --- acc::Accessible
    int32_t accChildCount() override;
    std::wstring accName(int32_t childId) override;
    int32_t accRole(int32_t childId) override;
    uint32_t accState(int32_t childId) override;
    void accDoDefaultAction(int32_t childId) override;

private:
    struct Element {
        std::wstring name;
        int32_t role = 0;
        uint32_t state = 0;
        int32_t actions = 0;
    };
    // Checks the fault list and the child id; returns the element (index 0 = self).
    Element& Enter(const char* member, int32_t childId);
    const Element& Get(int32_t childId) const;

    Link link_;
    std::vector<Element> self_and_ids_;  // [0] = the object, [id] = child id
    std::vector<acc::AccessibleChild> elements_;
    std::set<std::pair<std::string, int32_t>> faults_;
    int32_t childrenResult_ = 0;
    int32_t reportedCount_ = -1;
    std::function<void(int32_t)> onDefaultAction_;
};

}  // namespace tarnwick::sim

#include "sim/accessible_sim.h"

#include <stdexcept>

#include "interop/host_error.h"

namespace tarnwick::sim {

AccessibleSim::AccessibleSim(Link link, std::wstring name, int32_t role, uint32_t state) : link_(std::move(link)) {
    self_and_ids_.push_back(Element{std::move(name), role, state, 0});
}

AccessibleSim& AccessibleSim::Add(std::shared_ptr<AccessibleSim> child) {
    acc::AccessibleChild c;
    c.kind = acc::AccessibleChild::Kind::Object;
    c.object = std::move(child);
    elements_.push_back(std::move(c));
    return *this;
}

int32_t AccessibleSim::AddChildId(std::wstring name, int32_t role, uint32_t state) {
    self_and_ids_.push_back(Element{std::move(name), role, state, 0});
    acc::AccessibleChild c;
    c.kind = acc::AccessibleChild::Kind::ChildId;
    c.childId = static_cast<int32_t>(self_and_ids_.size()) - 1;
    elements_.push_back(c);
    return c.childId;
}

AccessibleSim& AccessibleSim::AddOther() {
    elements_.push_back(acc::AccessibleChild{});
    return *this;
}

AccessibleSim& AccessibleSim::RemoveChildren() {
    elements_.clear();
    self_and_ids_.resize(1);
    return *this;
}

AccessibleSim& AccessibleSim::Fail(const std::string& member, int32_t childId) {
    faults_.insert({member, childId});
    return *this;
}

AccessibleSim& AccessibleSim::ChildrenResult(int32_t hresult) {
    childrenResult_ = hresult;
    return *this;
}

AccessibleSim& AccessibleSim::ReportedChildCount(int32_t count) {
    reportedCount_ = count;
    return *this;
}

AccessibleSim& AccessibleSim::OnDefaultAction(std::function<void(int32_t)> action) {
    onDefaultAction_ = std::move(action);
    return *this;
}

const AccessibleSim::Element& AccessibleSim::Get(int32_t childId) const {
    if (childId < 0 || childId >= static_cast<int32_t>(self_and_ids_.size()))
        throw std::logic_error("AccessibleSim: no such child id");
    return self_and_ids_[static_cast<size_t>(childId)];
}

void AccessibleSim::SetState(int32_t childId, uint32_t state) {
    const_cast<Element&>(Get(childId)).state = state;
}
void AccessibleSim::SetName(int32_t childId, std::wstring name) {
    const_cast<Element&>(Get(childId)).name = std::move(name);
}
std::wstring AccessibleSim::Name(int32_t childId) const {
    return Get(childId).name;
}
uint32_t AccessibleSim::State(int32_t childId) const {
    return Get(childId).state;
}
int32_t AccessibleSim::Role(int32_t childId) const {
    return Get(childId).role;
}
int32_t AccessibleSim::DefaultActionCount(int32_t childId) const {
    return Get(childId).actions;
}

AccessibleSim::Element& AccessibleSim::Enter(const char* member, int32_t childId) {
    // The counted name is "Accessible.<member>".
    Touch(link_, member);
    if (!faults_.empty()) {
        const std::string plain = member + sizeof("Accessible.") - 1;
        if (faults_.count({plain, childId}) != 0 || faults_.count({plain, -1}) != 0) throw HostError(hr::E_FAIL_);
    }
    if (childId < 0 || childId >= static_cast<int32_t>(self_and_ids_.size())) throw HostError(hr::E_INVALIDARG_);
    return self_and_ids_[static_cast<size_t>(childId)];
}

int32_t AccessibleSim::accChildCount() {
    Enter("Accessible.accChildCount", acc::CHILDID_SELF);
    return reportedCount_ >= 0 ? reportedCount_ : static_cast<int32_t>(elements_.size());
}

std::wstring AccessibleSim::accName(int32_t childId) {
    return Enter("Accessible.accName", childId).name;
}
int32_t AccessibleSim::accRole(int32_t childId) {
    return Enter("Accessible.accRole", childId).role;
}
uint32_t AccessibleSim::accState(int32_t childId) {
    return Enter("Accessible.accState", childId).state;
}

void AccessibleSim::accDoDefaultAction(int32_t childId) {
    ++Enter("Accessible.accDoDefaultAction", childId).actions;
    if (onDefaultAction_) {
        // Copy: the action may rebuild or drop this tree.
        auto action = onDefaultAction_;
        auto keepAlive = shared_from_this();
        action(childId);
    }
}

}  // namespace tarnwick::sim

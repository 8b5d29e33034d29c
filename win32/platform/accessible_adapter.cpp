#include "platform/accessible_adapter.h"

namespace tarnwick::win32 {
namespace {

VARIANT ChildVariant(int32_t childId) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = childId;
    return v;
}

// accRole and accState answer a VARIANT: a number normally, a string for
// custom roles, which no caller here can compare with a role constant.
int32_t NumberOf(const Variant& v) {
    if (v.vt() != VT_I4 && v.vt() != VT_UI4 && v.vt() != VT_I2 && v.vt() != VT_INT) ThrowHr(DISP_E_TYPEMISMATCH);
    return v.ToInt();
}

}  // namespace

AccessibleAdapter::AccessibleAdapter(ComPtr<IAccessible> object) : object_(std::move(object)) {
    if (!object_) ThrowHr(E_POINTER);
}

int32_t AccessibleAdapter::accChildCount() {
    long count = 0;
    CheckHr(object_->get_accChildCount(&count));
    return count;
}

std::wstring AccessibleAdapter::accName(int32_t childId) {
    Bstr name;
    HRESULT hr = object_->get_accName(ChildVariant(childId), name.put());
    CheckHr(hr);
    return name.str();  // S_FALSE: no name, an empty string
}

int32_t AccessibleAdapter::accRole(int32_t childId) {
    Variant role;
    CheckHr(object_->get_accRole(ChildVariant(childId), role.put()));
    return NumberOf(role);
}

uint32_t AccessibleAdapter::accState(int32_t childId) {
    Variant state;
    CheckHr(object_->get_accState(ChildVariant(childId), state.put()));
    return static_cast<uint32_t>(NumberOf(state));
}

void AccessibleAdapter::accDoDefaultAction(int32_t childId) {
    CheckHr(object_->accDoDefaultAction(ChildVariant(childId)));
}

}  // namespace tarnwick::win32

// acc::Accessible over a real IAccessible. Child ids travel as VT_I4
// VARIANTs; every failed call becomes HostError.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "support/ports.h"
#include "support/com.h"

namespace tarnwick::win32 {

class AccessibleAdapter final : public acc::Accessible {
public:
    explicit AccessibleAdapter(ComPtr<IAccessible> object);

    IAccessible* get() const { return object_.get(); }

    int32_t accChildCount() override;
    std::wstring accName(int32_t childId) override;
    int32_t accRole(int32_t childId) override;
    uint32_t accState(int32_t childId) override;
    void accDoDefaultAction(int32_t childId) override;

private:
    ComPtr<IAccessible> object_;
};

}  // namespace tarnwick::win32

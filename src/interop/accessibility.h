// Microsoft Active Accessibility as the dialog automation uses it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::acc {

inline constexpr int32_t CHILDID_SELF = 0;
inline constexpr int32_t ROLE_SYSTEM_LISTITEM = 34;
inline constexpr int32_t ROLE_SYSTEM_PAGETAB = 37;
inline constexpr int32_t ROLE_SYSTEM_PUSHBUTTON = 43;
inline constexpr int32_t ROLE_SYSTEM_PAGETABLIST = 60;
inline constexpr uint32_t STATE_SYSTEM_SELECTED = 0x2;
inline constexpr uint32_t STATE_SYSTEM_FOCUSED = 0x4;
inline constexpr uint32_t STATE_SYSTEM_HOTTRACKED = 0x80;
inline constexpr uint32_t STATE_SYSTEM_FOCUSABLE = 0x00100000;

// Every member may throw HostError.
class Accessible {
public:
    virtual ~Accessible() = default;
    virtual int32_t accChildCount() = 0;
    virtual std::wstring accName(int32_t childId) = 0;
    virtual int32_t accRole(int32_t childId) = 0;
    virtual uint32_t accState(int32_t childId) = 0;
    virtual void accDoDefaultAction(int32_t childId) = 0;
};

// One element of what AccessibleChildren returns: an object, a child id of
// the parent, or something else (a VARIANT of another type).
struct AccessibleChild {
    enum class Kind { Object, ChildId, Other };
    Kind kind = Kind::Other;
    std::shared_ptr<Accessible> object;  // Kind::Object
    int32_t childId = 0;                 // Kind::ChildId
};

struct AccessibleChildrenResult {
    int32_t hresult = 0;  // S_OK = 0, S_FALSE = 1, or a failure
    std::vector<AccessibleChild> children;
};

}  // namespace tarnwick::acc

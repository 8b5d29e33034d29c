// Host calls fail by throwing HostError; routines that keep going after a
// failed statement use step()/holds() instead of try/catch at every line.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <utility>

namespace tarnwick {

class HostError : public std::exception {
public:
    // An HRESULT from COM, or a Win32 error code from a platform call.
    explicit HostError(int32_t code) noexcept : code_(code) {}
    int32_t code() const noexcept { return code_; }
    const char* what() const noexcept override { return "host call failed"; }

private:
    int32_t code_;
};

// Commonly used failure codes (HRESULT values as signed 32-bit).
namespace hr {
inline constexpr int32_t E_FAIL_ = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t E_INVALIDARG_ = static_cast<int32_t>(0x80070057u);
inline constexpr int32_t E_POINTER_ = static_cast<int32_t>(0x80004003u);
inline constexpr int32_t DISP_E_BADINDEX_ = static_cast<int32_t>(0x8002000Bu);
inline constexpr int32_t DISP_E_MEMBERNOTFOUND_ = static_cast<int32_t>(0x80020003u);
inline constexpr int32_t OBJECT_REQUIRED_ = static_cast<int32_t>(0x800A01A8u);  // "object required"
}  // namespace hr

// A call on an empty reference fails like any host call: "object required".
template <class Pointer>
auto& Required(const Pointer& object) {
    if (!object) throw HostError(hr::OBJECT_REQUIRED_);
    return *object;
}

// Resume-next for one statement: a failed host call abandons the statement
// and execution goes on with the next one.
template <class F>
void step(F&& statement) {
    try {
        std::forward<F>(statement)();
    } catch (const HostError&) {
    }
}

// Resume-next for a condition: a test whose evaluation fails counts as true,
// so the guarded branch is entered.
template <class F>
bool holds(F&& condition) {
    try {
        return static_cast<bool>(std::forward<F>(condition)());
    } catch (const HostError&) {
        return true;
    }
}

// Resume-next for an assignment: `target` keeps its value when the read fails.
template <class T, class F>
void assign(T& target, F&& read) {
    try {
        target = std::forward<F>(read)();
    } catch (const HostError&) {
    }
}

}  // namespace tarnwick

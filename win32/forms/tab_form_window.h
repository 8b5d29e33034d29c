// The window of Form_Tab: a top-level window with a caption, created hidden
// as a form is, hosting Corvane.ocx and the image list of the tabs. The
// core's load handler restyles it into a child and re-parents it.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <ocidl.h>

#include <memory>
#include <string>

#include "support/ports.h"
#include "support/com.h"

namespace tarnwick::win32 {

// Design geometry of the tab control on the form, in twips.
inline constexpr int32_t kTabLeftTwips = -50;
inline constexpr int32_t kTabTopTwips = 0;
inline constexpr int32_t kTabWidthTwips = 4695;
inline constexpr int32_t kTabHeightTwips = 375;
inline constexpr wchar_t kTabControlProgId[] = L"Corvane.TabControl";
inline constexpr wchar_t kTabFormClass[] = L"TarnwickTabForm";

class TabEventSink;

class Win32TabFormWindow final : public TabFormWindow {
public:
    // The window comes up even when the control cannot be created:
    // TabSeclect() then throws with the creation failure.
    // controlModule: create the control straight from that file, without
    // its registration; empty: through COM by progId.
    Win32TabFormWindow(HINSTANCE module, TabFormEvents& events, const wchar_t* progId = kTabControlProgId,
                       const std::wstring& controlModule = {});
    ~Win32TabFormWindow() override;
    Win32TabFormWindow(const Win32TabFormWindow&) = delete;
    Win32TabFormWindow& operator=(const Win32TabFormWindow&) = delete;

    WindowHandle hWnd() override;
    int32_t Width() override;
    std::shared_ptr<tab::TabControl> TabSeclect() override;
    bool HasTabControl() override { return control_.get() != nullptr; }
    ImageListHandle ImageList1() override;
    void Show() override;

    // The control's IDispatch and why it is missing (tests).
    IDispatch* control() const { return control_.get(); }
    HRESULT controlError() const { return controlError_; }

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnSize();
    bool OnEraseBackground(HDC dc);
    void OnDestroy();

    void CreateControl(const wchar_t* progId, const std::wstring& controlModule);
    void CreateImageList();

    HINSTANCE module_;
    TabFormEvents& events_;
    HWND hwnd_ = nullptr;
    bool ready_ = false;  // resize events reach the core only once the form is built
    HRESULT controlError_ = E_FAIL;
    ComPtr<IDispatch> control_;
    ComPtr<IConnectionPoint> connectionPoint_;
    DWORD cookie_ = 0;
    ComPtr<TabEventSink> sink_;
    HIMAGELIST imageList_ = nullptr;
};

}  // namespace tarnwick::win32

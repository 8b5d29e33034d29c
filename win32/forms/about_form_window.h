// The window of frmAbout: a modal dialog of our own window class, laid out
// from the form's design in twips with the screen's real DPI, and owned by
// the window the core sets through GWL_HWNDPARENT.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "support/ports.h"

namespace tarnwick::win32 {

inline constexpr wchar_t kAboutFormClass[] = L"TarnwickAboutForm";

// Control ids; cmdOK is IDOK so that Enter reaches it as the default button.
enum AboutControlId : int {
    kIdCmdOK = IDOK,
    kIdFrame1 = 1001,
    kIdOption2,
    kIdOption1,
    kIdLabelblog,
    kIdLabel9,
    kIdLabel8,
    kIdLabel7,
    kIdLabel6,
    kIdLabel5,
    kIdLabel4,
    kIdLabel3,
    kIdLabel2,
    kIdFrame2,
    kIdChkCloseButtons,
    kIdChkUnsavedMarks,
};

// Texts shown by the dialog; the link text is the core's web address.
namespace about_text {
inline constexpr wchar_t kTitle[] = L"Tarnwick 工作簿标签栏";
inline constexpr wchar_t kCredit[] = L"Tarnwick 开发组 出品";
inline constexpr wchar_t kNote[] = L"每个工作簿一个标签：单击切换，右键打开菜单，双击关闭或新建工作簿。";
inline constexpr wchar_t kContact1[] = L"邮箱：team@tarnwick.example.com";
inline constexpr wchar_t kContact2[] = L"电话：010-5555 0100";
inline constexpr wchar_t kContact3[] = L"论坛：forum.tarnwick.example.com";
}  // namespace about_text

struct AboutWindowState;

class Win32AboutFormWindow final : public AboutFormWindow {
public:
    // The link shows `webAddress` (the core's kAboutWebAddress by default).
    Win32AboutFormWindow(HINSTANCE module, AboutFormEvents& events, const wchar_t* webAddress = nullptr);
    ~Win32AboutFormWindow() override;
    Win32AboutFormWindow(const Win32AboutFormWindow&) = delete;
    Win32AboutFormWindow& operator=(const Win32AboutFormWindow&) = delete;

    WindowHandle hWnd() override;
    bool OptionValue(AboutOption option) override;
    void OptionValue(AboutOption option, bool value) override;
    bool CheckValue(AboutCheck check) override;
    void CheckValue(AboutCheck check, bool value) override;
    void Enabled(AboutControl control, bool value) override;
    void ShowModal() override;
    void Destroy() override;

private:
    std::shared_ptr<AboutWindowState> state_;
};

}  // namespace tarnwick::win32

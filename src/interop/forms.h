// The windows of the add-in's two forms. The core's form objects (Form_Tab,
// frmAbout) live for the whole connection or command and own these windows
// only while the form is loaded; the platform creates them hidden, with a
// caption, as forms are created, and raises their events back into the core.
#pragma once

#include <cstdint>
#include <memory>

#include "interop/platform_types.h"
#include "interop/tab_control.h"

namespace tarnwick {

class TabFormEvents : public tab::TabControlEvents {
public:
    virtual void Form_Resize() = 0;
};

class TabFormWindow {
public:
    virtual ~TabFormWindow() = default;  // destroys the window if it still exists
    virtual WindowHandle hWnd() = 0;
    virtual int32_t Width() = 0;  // the form's outer width in twips
    // The embedded tab control; throws when the control could not be created.
    virtual std::shared_ptr<tab::TabControl> TabSeclect() = 0;
    // Whether the control was created with the window; never fails.
    virtual bool HasTabControl() = 0;
    virtual ImageListHandle ImageList1() = 0;  // 16 x 16 images, image 0 = workbook
    virtual void Show() = 0;                   // make visible, keeping the window's show state
};

enum class AboutOption { Option1, Option2 };  // Option1 "简洁风格" = "1", Option2 "豪华风格" = "0"
// Check boxes under the styles: chkCloseButtons "显示关闭按钮", chkUnsavedMarks "显示未保存标记".
enum class AboutCheck { chkCloseButtons, chkUnsavedMarks };
enum class AboutControl { Option1, Option2, cmdOK, chkCloseButtons, chkUnsavedMarks };

class AboutFormEvents {
public:
    virtual ~AboutFormEvents() = default;
    virtual void cmdOK_Click() = 0;  // also Enter and Esc
    virtual void Labelblog_Click() = 0;
    // Closing from the system menu unloads the form: the window calls this,
    // and the core then destroys the window.
    virtual void Form_CloseRequested() = 0;
};

class AboutFormWindow {
public:
    virtual ~AboutFormWindow() = default;
    virtual WindowHandle hWnd() = 0;
    virtual bool OptionValue(AboutOption option) = 0;
    virtual void OptionValue(AboutOption option, bool value) = 0;
    virtual bool CheckValue(AboutCheck check) = 0;
    virtual void CheckValue(AboutCheck check, bool value) = 0;
    virtual void Enabled(AboutControl control, bool value) = 0;
    // Shows the window and runs its modal loop; returns once Destroy() ran.
    virtual void ShowModal() = 0;
    virtual void Destroy() = 0;
};

}  // namespace tarnwick

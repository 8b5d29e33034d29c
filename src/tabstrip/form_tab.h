// Form_Tab: the form that carries the tab strip TabSeclect. The object lives
// for the whole connection; its window exists only while the form is loaded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "interop/excel.h"
#include "interop/forms.h"
#include "interop/tab_control.h"

namespace tarnwick {

class Form_Tab : public TabFormEvents {
public:
    Form_Tab() = default;
    Form_Tab(const Form_Tab&) = delete;
    Form_Tab& operator=(const Form_Tab&) = delete;
    ~Form_Tab() override;

    void SetExcelApp(const std::shared_ptr<excel::Application>& app);

    // Form vocabulary: Show loads the window when needed (running Form_Load),
    // then makes it visible; Unload runs Form_QueryUnload and destroys it.
    void Show();
    void Unload();
    bool IsLoaded() const { return window_ != nullptr; }
    WindowHandle hWnd();  // throws when not loaded
    std::shared_ptr<tab::TabControl> TabSeclect();  // throws when not loaded
    // Finds the "VodevIzuzod" bar's window (TabBarHostWindow) and puts the
    // loaded form into it; false while the bar has no window.
    bool DockIntoHostBar();

    // Tab list (a tab is called a menu here).
    void UpdateMenu(const std::wstring& name);
    void AddMenu(const std::wstring& name);
    void DelMenu(const std::wstring& name);
    void ActiveMenu(const std::wstring& name);  // passes its first failure on

    // Form events.
    void Form_Load();
    void Form_Resize() override;
    void Form_QueryUnload(bool& Cancel, int32_t UnloadMode);

    // Tab control events.
    void TabSeclect_BeforeItemClick(const std::shared_ptr<tab::TabItem>& Item, bool& Cancel) override;
    void TabSeclect_SelectedChanged(const std::shared_ptr<tab::TabItem>& Item) override;
    void TabSeclect_MouseUp(int16_t Button, int16_t Shift, float x, float y) override;

    // Read by tests and by the event handlers of the strip.
    const std::shared_ptr<excel::Application>& oHostApp() const { return oHostApp_; }

    // Members that survive unload and reload of the window.
    int32_t lDoubleClickTime = 0;
    int32_t lLastClickTick = 0;
    int32_t nLastButton = 0;
    std::wstring sLastClickCaption;
    std::wstring sLastItemCaption;

private:
    std::unique_ptr<TabFormWindow> CreateWindowWithControl();
    // Steps 1 to 5 of the rebuild, shared by Form_Load and UpdateMenu.
    void FillTabs(tab::TabControl& tabs);
    // While Excel edits text: the switch to tab c through the Window menu.
    // True when Excel has c active afterwards (or cannot tell).
    bool SwitchThroughWindowMenu(const std::shared_ptr<tab::TabItem>& Item, const std::wstring& c);

    std::shared_ptr<excel::Application> oHostApp_;
    std::unique_ptr<TabFormWindow> window_;
    // The last load found the host bar's window and put the form into it;
    // an undocked form stays hidden.
    bool docked_ = false;
};

// Marker recorded for a click on the empty part of the strip.
inline constexpr const wchar_t* kTabOtherMarker = L" TabOther";

}  // namespace tarnwick

// The simulated tab control of a tab form window: its state, the user's
// mouse on it, and inspection for tests. The core reaches it only through
// tab::TabControl objects handed out by the form window.
//
// Geometry, in pixels of the control (the unit of HitTest and MouseUp): tab i
// covers x in [100 i, 100 i + 100) and y in [0, 20).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interop/forms.h"
#include "interop/tab_control.h"
#include "sim/link.h"

namespace tarnwick::sim {

inline constexpr int32_t kTabWidthPx = 100;
inline constexpr int32_t kTabHeightPx = 20;

struct PaintManagerValues {
    bool ShowIcons = false;
    bool BoldSelected = false;
    bool HotTracking = false;
    bool DisableLunaColors = false;
    int32_t Appearance = 0;
    int32_t Color = 0;
    uint32_t ButtonSelected = 0;
    uint32_t ButtonNormal = 0;
};

struct TabItemModel {
    std::wstring caption;
    std::wstring toolTip;
    int32_t image = -1;
    bool unsaved = false;
    bool alive = true;  // false once removed: its port objects fail
};

class TabControlSim : public std::enable_shared_from_this<TabControlSim> {
public:
    TabControlSim(Link link, TabFormEvents& events);

    // --- the user's mouse (events go to the form's sink)
    // Left (1): BeforeItemClick, SelectedChanged when the selection changes
    // (unless cancelled), MouseUp(1, 0, x, y) at the tab's centre. Other buttons:
    // MouseUp only. The clock does not move.
    void ClickTab(int32_t index, int16_t button = 1);
    // MouseUp right of the last tab.
    void ClickEmpty(int16_t button = 1);
    // Two left clicks, the clock advanced by `interval` ms between them.
    void DoubleClickTab(int32_t index, uint32_t interval = 100);
    // Middle button: MouseUp(4, 0, x, y) at the tab's centre, nothing else.
    void MiddleClickTab(int32_t index) { ClickTab(index, 4); }
    // A click on the tab's close button: CloseButtonClick only. Throws
    // logic_error when the control shows no close buttons.
    void ClickCloseButton(int32_t index);
    // A choice from the list button's popup: what a left click raises,
    // without MouseUp.
    void ChooseFromList(int32_t index);

    // --- inspection
    std::vector<std::wstring> Captions() const;
    std::vector<std::wstring> ToolTips() const;
    std::vector<int32_t> Images() const;
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    int32_t SelectedIndex() const { return selected_; }  // -1 = none
    const PaintManagerValues& Paint() const { return paint_; }
    int32_t Appearance() const { return appearance_; }
    int32_t Left() const { return left_; }    // twips; design value -50
    int32_t Width() const { return width_; }  // twips; design value 4695
    ImageListHandle ImageList() const { return imageList_; }
    int32_t SetImageListCalls() const { return setImageListCalls_; }
    int32_t SelectedChangedRaised() const { return selectedChangedRaised_; }
    std::vector<bool> UnsavedFlags() const;
    bool ShowsCloseButtons() const { return showCloseButtons_; }
    bool ShowsUnsavedMarks() const { return showUnsavedMarks_; }
    bool Alive() const { return alive_; }

    // --- used by the port objects and the form window
    void Kill() { alive_ = false; }
    void CheckAlive() const;
    std::shared_ptr<tab::TabItem> ItemPort(int32_t index);  // throws DISP_E_BADINDEX
    void RemoveAll();
    void SetCount(int32_t count);
    std::shared_ptr<tab::TabItem> Insert(int32_t index, const std::wstring& caption, int32_t image);
    void Remove(int32_t index);
    int32_t IndexOf(const TabItemModel* item) const;  // -1 when removed
    void Select(int32_t index);                       // raises SelectedChanged when it changes
    void Deselect(int32_t index);
    int32_t HitIndex(int32_t x, int32_t y) const;

    // Design-time state, as the form's stored data gives it.
    PaintManagerValues paint_;
    int32_t appearance_ = 0;
    int32_t left_ = -50;
    int32_t width_ = 4695;
    ImageListHandle imageList_ = 0;
    int32_t setImageListCalls_ = 0;
    bool showCloseButtons_ = false;  // run-time options, off as the control starts
    bool showUnsavedMarks_ = false;

private:
    void MouseUp(int16_t button, int32_t x, int32_t y);
    void LeftClickEvents(int32_t index);  // BeforeItemClick, then SelectedChanged unless cancelled

    Link link_;
    TabFormEvents& events_;
    std::vector<std::shared_ptr<TabItemModel>> items_;
    int32_t selected_ = -1;
    int32_t selectedChangedRaised_ = 0;
    bool alive_ = true;
};

// The port object handed to the core.
std::shared_ptr<tab::TabControl> MakeTabControlPort(Link link, std::shared_ptr<TabControlSim> control);

}  // namespace tarnwick::sim

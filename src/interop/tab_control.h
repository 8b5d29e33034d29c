// The tab control TabSeclect as the strip uses it. Every member may throw
// HostError (an index out of range fails with DISP_E_BADINDEX).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "interop/platform_types.h"

namespace tarnwick::tab {

class TabItem {
public:
    virtual ~TabItem() = default;
    virtual std::wstring Caption() = 0;
    virtual void Caption(const std::wstring& value) = 0;
    virtual std::wstring ToolTip() = 0;
    virtual void ToolTip(const std::wstring& value) = 0;
    virtual int32_t Image() = 0;
    virtual void Image(int32_t value) = 0;
    virtual int32_t Index() = 0;
    virtual bool Selected() = 0;
    virtual void Selected(bool value) = 0;  // True raises SelectedChanged
    // The tab's workbook has unsaved changes: a mark beside the caption when
    // the control shows marks. Setting the value it has costs nothing.
    virtual bool Unsaved() = 0;
    virtual void Unsaved(bool value) = 0;
};

class ColorSet {
public:
    virtual ~ColorSet() = default;
    // Colours are 0x00BBGGRR.
    virtual uint32_t ButtonSelected() = 0;
    virtual void ButtonSelected(uint32_t value) = 0;
    virtual uint32_t ButtonNormal() = 0;
    virtual void ButtonNormal(uint32_t value) = 0;
};

class PaintManager {
public:
    virtual ~PaintManager() = default;
    virtual bool ShowIcons() = 0;
    virtual void ShowIcons(bool value) = 0;
    virtual bool BoldSelected() = 0;
    virtual void BoldSelected(bool value) = 0;
    virtual bool HotTracking() = 0;
    virtual void HotTracking(bool value) = 0;
    virtual bool DisableLunaColors() = 0;
    virtual void DisableLunaColors(bool value) = 0;
    virtual int32_t Appearance() = 0;
    virtual void Appearance(int32_t value) = 0;
    virtual int32_t Color() = 0;
    virtual void Color(int32_t value) = 0;
    virtual std::shared_ptr<tab::ColorSet> ColorSet() = 0;
};

class TabControl {
public:
    virtual ~TabControl() = default;
    virtual void RemoveAll() = 0;
    virtual void SetImageList(ImageListHandle imageList) = 0;
    virtual std::shared_ptr<tab::PaintManager> PaintManager() = 0;
    virtual int32_t ItemCount() = 0;
    virtual void ItemCount(int32_t count) = 0;                 // after RemoveAll: count empty items
    virtual std::shared_ptr<TabItem> Item(int32_t index) = 0;  // zero-based
    virtual std::shared_ptr<TabItem> InsertItem(int32_t Index, const std::wstring& Caption, int32_t Child,
                                                int32_t Image) = 0;
    virtual void RemoveItem(int32_t index) = 0;
    // x and y in the unit MouseUp delivers; nothing when no tab is there.
    virtual std::shared_ptr<TabItem> HitTest(int32_t x, int32_t y) = 0;
    virtual void SelectedItem(int32_t index) = 0;
    virtual int32_t Appearance() = 0;
    virtual void Appearance(int32_t value) = 0;
    // Off by default: a close button on the selected and the hot tab, and
    // the unsaved mark of items whose Unsaved is set.
    virtual void ShowCloseButtons(bool value) = 0;
    virtual void ShowUnsavedMarks(bool value) = 0;
    // Placement on the form, in twips.
    virtual int32_t Left() = 0;
    virtual void Left(int32_t twips) = 0;
    virtual int32_t Width() = 0;
    virtual void Width(int32_t twips) = 0;
};

// Events in the order the control raises them for a left click:
// BeforeItemClick, SelectedChanged (when the selection changes), MouseUp.
// A choice from the list button's popup raises the same minus MouseUp; a
// click on a close button raises CloseButtonClick alone.
class TabControlEvents {
public:
    virtual ~TabControlEvents() = default;
    virtual void TabSeclect_BeforeItemClick(const std::shared_ptr<TabItem>& Item, bool& Cancel) = 0;
    virtual void TabSeclect_SelectedChanged(const std::shared_ptr<TabItem>& Item) = 0;
    virtual void TabSeclect_MouseUp(int16_t Button, int16_t Shift, float x, float y) = 0;
    virtual void TabSeclect_CloseButtonClick(const std::shared_ptr<TabItem>& /*Item*/) {}
};

inline constexpr int32_t xtpTabAppearanceExcel = 7;
inline constexpr int32_t xtpTabColorOffice2003 = 4;

}  // namespace tarnwick::tab

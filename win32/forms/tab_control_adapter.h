// tab::TabControl and its parts over Corvane.ocx's IDispatch, called by
// DISPID (the control has no dual interface).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>

#include "support/ports.h"
#include "support/com.h"

namespace tarnwick::win32 {

namespace corvane_id {
inline constexpr DISPID kItem = 0;
inline constexpr DISPID kInsertItem = 1;
inline constexpr DISPID kPaintManager = 2;
inline constexpr DISPID kSetImageList = 3;
inline constexpr DISPID kRemoveItem = 4;
inline constexpr DISPID kRemoveAll = 6;
inline constexpr DISPID kItemCount = 7;
inline constexpr DISPID kHitTest = 9;
inline constexpr DISPID kSelectedItem = 40;
inline constexpr DISPID kAppearance = 41;
inline constexpr DISPID kShowCloseButtons = 42;
inline constexpr DISPID kShowUnsavedMarks = 43;
inline constexpr DISPID kAttachTo = 100;
inline constexpr DISPID kLeft = 101;
inline constexpr DISPID kTop = 102;
inline constexpr DISPID kWidth = 103;
inline constexpr DISPID kHeight = 104;
inline constexpr DISPID kHwnd = -515;

inline constexpr DISPID kPmAppearance = 1;
inline constexpr DISPID kPmColor = 2;
inline constexpr DISPID kPmBoldSelected = 5;
inline constexpr DISPID kPmHotTracking = 6;
inline constexpr DISPID kPmShowIcons = 7;
inline constexpr DISPID kPmDisableLunaColors = 8;
inline constexpr DISPID kPmColorSet = 19;

inline constexpr DISPID kCsButtonSelected = 6;
inline constexpr DISPID kCsButtonNormal = 7;

inline constexpr DISPID kItemCaption = 1;
inline constexpr DISPID kItemIndex = 2;
inline constexpr DISPID kItemSelected = 4;
inline constexpr DISPID kItemImage = 5;
inline constexpr DISPID kItemToolTip = 10;
inline constexpr DISPID kItemUnsaved = 11;

inline constexpr DISPID kEventBeforeItemClick = 1;
inline constexpr DISPID kEventSelectedChanged = 2;
inline constexpr DISPID kEventMouseUp = 3;
inline constexpr DISPID kEventCloseButtonClick = 5;
}  // namespace corvane_id

// Null when the dispatch pointer is null (the control answered Nothing).
std::shared_ptr<tab::TabItem> MakeTabItem(ComPtr<IDispatch> item);
std::shared_ptr<tab::TabControl> MakeTabControl(ComPtr<IDispatch> control);

}  // namespace tarnwick::win32

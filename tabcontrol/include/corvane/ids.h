// Published identity of Corvane.ocx: ProgIDs, GUIDs and dispatch ids. The
// add-in and its tests call the control late-bound, so these numbers are the
// contract; win32/corvane.idl states the same facts for the type library and
// a Windows test checks that the two agree.
//
// Portable: no <windows.h>. GUIDs are given as registry strings here; the
// Windows side turns them into GUID values in win32/guids.h.
#pragma once

#include <cstdint>

namespace corvane {

// The add-in creates the control by the version-independent ProgID; its
// CurVer names the versioned one.
inline constexpr wchar_t kProgId[] = L"Corvane.TabControl";
inline constexpr wchar_t kProgIdVersioned[] = L"Corvane.TabControl.1";
inline constexpr wchar_t kClassDisplayName[] = L"Corvane Tab Control";
inline constexpr wchar_t kModuleFileName[] = L"Corvane.ocx";

namespace guid_text {
inline constexpr wchar_t kLibId[] = L"{5A3673AE-8463-4790-970B-10423033C3C2}";
inline constexpr wchar_t kClsidTabControl[] = L"{07C96505-90BE-43ED-956A-C748BFE9A951}";
inline constexpr wchar_t kDiidTabControl[] = L"{D304E8CD-E442-49BC-A088-6A0ED31FD3FD}";
inline constexpr wchar_t kDiidTabControlEvents[] = L"{455D7109-D1AB-4E9A-B465-5A364731AA99}";
inline constexpr wchar_t kDiidTabControlItem[] = L"{AD5144DA-CE3B-48C1-9428-B5109319E01F}";
inline constexpr wchar_t kDiidPaintManager[] = L"{BB19EEF1-7DEA-46AF-A103-DEBCC7C5AC79}";
inline constexpr wchar_t kDiidColorSet[] = L"{B3A27007-9B0D-4157-8BF7-77C839EE68A8}";
}  // namespace guid_text

inline constexpr uint16_t kTypeLibMajor = 1;
inline constexpr uint16_t kTypeLibMinor = 0;

// Dispatch ids. The add-in calls these members by number.
namespace dispid {

namespace control {                 // dispinterface _DTabControl
inline constexpr int32_t Item = 0;  // Item(Index): DISPID_VALUE
inline constexpr int32_t InsertItem = 1;
inline constexpr int32_t PaintManager = 2;
inline constexpr int32_t SetImageList = 3;
inline constexpr int32_t RemoveItem = 4;
inline constexpr int32_t RemoveAll = 6;
inline constexpr int32_t ItemCount = 7;
inline constexpr int32_t HitTest = 9;
inline constexpr int32_t SelectedItem = 40;
inline constexpr int32_t Appearance = 41;
// Run-time options, off by default: a close button on the selected and the
// hot tab, and the unsaved mark of items whose Unsaved is set.
inline constexpr int32_t ShowCloseButtons = 42;
inline constexpr int32_t ShowUnsavedMarks = 43;
inline constexpr int32_t hWnd = -515;  // DISPID_HWND, the stock read-only property
// Hosting without an OLE site (what a form's extender would otherwise do):
// AttachTo(hWnd) makes the strip a child window of hWnd (0 detaches it);
// Left, Top, Width and Height place it there, in twips.
inline constexpr int32_t AttachTo = 100;
inline constexpr int32_t Left = 101;
inline constexpr int32_t Top = 102;
inline constexpr int32_t Width = 103;
inline constexpr int32_t Height = 104;
}  // namespace control

namespace item {  // dispinterface TabControlItem
inline constexpr int32_t Caption = 1;
inline constexpr int32_t Index = 2;
inline constexpr int32_t Selected = 4;
inline constexpr int32_t Image = 5;
inline constexpr int32_t ToolTip = 10;
inline constexpr int32_t Unsaved = 11;  // Boolean: the tab's document has unsaved changes
}  // namespace item

namespace paint_manager {  // dispinterface PaintManager
inline constexpr int32_t Appearance = 1;
inline constexpr int32_t Color = 2;
inline constexpr int32_t BoldSelected = 5;
inline constexpr int32_t HotTracking = 6;
inline constexpr int32_t ShowIcons = 7;
inline constexpr int32_t DisableLunaColors = 8;
inline constexpr int32_t ColorSet = 19;
}  // namespace paint_manager

namespace color_set {  // dispinterface ColorSet
inline constexpr int32_t ButtonSelected = 6;
inline constexpr int32_t ButtonNormal = 7;
}  // namespace color_set

// Source dispinterface _DTabControlEvents; the tab strip form's sink
// (win32/forms) switches on these numbers.
namespace events {
inline constexpr int32_t BeforeItemClick = 1;   // (Item As Object, Cancel As Boolean ByRef)
inline constexpr int32_t SelectedChanged = 2;   // (Item As Object)
inline constexpr int32_t MouseUp = 3;           // (Button%, Shift%, x!, y!), x and y in client pixels
inline constexpr int32_t MouseDown = 4;         // (Button%, Shift%, x!, y!)
inline constexpr int32_t CloseButtonClick = 5;  // (Item As Object), raised alone
}  // namespace events

}  // namespace dispid

// Appearance values (control Appearance and PaintManager.Appearance are one
// setting). Any value other than 7 is kept and read back as set, and drawn
// in the property-page style.
inline constexpr int32_t kAppearancePropertyPage2003 = 3;  // the design default
inline constexpr int32_t kAppearanceExcel = 7;

// PaintManager.Color values the add-in sets.
inline constexpr int32_t kColorDefault = 0;
inline constexpr int32_t kColorOffice2003 = 4;

// Button and Shift values of the mouse events (Visual Basic's constants).
inline constexpr int16_t kLeftButton = 1;
inline constexpr int16_t kRightButton = 2;
inline constexpr int16_t kMiddleButton = 4;
inline constexpr int16_t kShiftMask = 1;
inline constexpr int16_t kCtrlMask = 2;
inline constexpr int16_t kAltMask = 4;

}  // namespace corvane

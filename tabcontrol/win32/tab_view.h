// The strip's window: a custom-drawn child window that exists while the
// control is in-place active. It keeps the computed layout (recomputed only
// after a change), paints from it, hit-tests against it and feeds the mouse
// back to its host, the control.
//
// It never takes the keyboard focus: the strip sits in Excel's command-bar
// area, and Excel must keep the focus in the cell editor while a tab is
// clicked (the add-in tells an edit in progress by the focus). Its class has no
// CS_DBLCLKS: every press arrives as a button-down, and the container tells
// double clicks from successive MouseUp events.
//
// Lifetime: the control holds the only owning pointer; the window procedure
// and the accessibility objects hold the view only while they use it, since
// an event handler may deactivate the control from inside a message.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "corvane/tab_layout.h"
#include "corvane/tab_style.h"
#include "gdi_support.h"
#include "tab_view_host.h"

namespace corvane::win {

// The names of the strip's buttons, for tooltips and screen readers.
inline constexpr wchar_t kCloseButtonName[] = L"关闭";
inline constexpr wchar_t kListButtonName[] = L"所有工作簿";

class TabView : public std::enable_shared_from_this<TabView> {
public:
    // Creates the window as a visible child of parent; empty on failure.
    static std::shared_ptr<TabView> Create(TabViewHost& host, HWND parent, const RECT& position);
    ~TabView();
    TabView(const TabView&) = delete;
    TabView& operator=(const TabView&) = delete;

    HWND hwnd() const { return hwnd_; }
    bool Alive() const { return hwnd_ != nullptr && host_ != nullptr; }

    // The host is going away: forget it and destroy the window.
    void Detach();
    void Move(const RECT& position);
    void Show(bool visible);

    // Notifications from the host.
    void ModelChanged();                    // items added, removed or changed
    void StyleChanged();                    // paint settings or image list changed
    void SelectionChanged();                // bring the selected tab into view
    void MarkChanged(const ItemRef& item);  // its Unsaved flag changed

    // Hit-testing and geometry in client pixels (the unit of the mouse events).
    ItemRef HitTestItem(Point at);
    const TabLayout& Layout();

    // Accessibility.
    const TabModel* Model() const { return host_ ? &host_->ViewModel() : nullptr; }
    int32_t HotIndex() const { return hot_; }
    TabFeatures Features() const { return host_ ? host_->ViewFeatures() : TabFeatures{}; }
    std::optional<RECT> ItemScreenRect(int32_t index);  // none for a tab scrolled out of view
    // Close buttons: whether tab index has room for one, whether it is drawn
    // now (selected or under the pointer), and where it is on the screen.
    bool HasCloseButton(int32_t index);
    bool CloseButtonShown(int32_t index);
    bool CloseButtonHot(int32_t index) const { return closeHot_ == index; }
    bool CloseButtonPressed(int32_t index) const { return closePress_ == index && closeHot_ == index; }
    std::optional<RECT> CloseButtonScreenRect(int32_t index);
    // The list button, shown while the tabs overflow.
    bool HasListButton();
    bool ListOpen() const { return listOpen_; }
    std::optional<RECT> ListButtonScreenRect();
    // Performed from the message loop.
    void PostDefaultAction(const ItemRef& item);
    void PostCloseAction(const ItemRef& item);
    void PostListAction();
    void SelectFromAccessibility(const ItemRef& item);

    // Paints the whole client area into dc (WM_PAINT, WM_PRINTCLIENT).
    void PaintTo(HDC dc);

private:
    friend void RegisterTabViewClass();
    explicit TabView(TabViewHost& host);
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT msg, WPARAM wParam, LPARAM lParam);

    // Typed message handlers.
    void OnCreate();
    void OnNcDestroy();
    void OnPaint();
    void OnSize();
    void OnButtonDown(int16_t button, WPARAM keys, Point at);
    void OnButtonUp(int16_t button, WPARAM keys, Point at);
    void OnMouseMove(Point at);
    void OnMouseLeave();
    void OnCaptureChanged();
    LRESULT OnNotify(NMHDR* header);
    LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);
    void OnDefaultAction();
    void OnCloseAction();

    // Opens the popup list of every tab under the list button; a choice
    // scrolls to the tab and clicks it.
    void ShowTabList();
    void UpdatePointer(Point at);
    std::optional<RECT> ScreenRect(const Rect& client);

    void InvalidateLayout();
    void EnsureLayout();
    void RebuildTooltips();
    void RefreshStyle();
    void SetHot(int32_t index);

    TabViewHost* host_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    int32_t toolCount_ = 0;
    std::wstring tipText_;  // the text handed to the tooltip, kept alive here

    int32_t dpi_ = 96;
    TabStyle style_;
    TabMetrics metrics_;
    Font font_;
    Font boldFont_;

    std::vector<TabMeasure> measures_;
    TabLayout layout_;
    bool layoutValid_ = false;
    int32_t firstVisible_ = 0;

    int32_t hot_ = -1;         // the tab under the pointer, hot tracking or not
    int32_t closeHot_ = -1;    // the tab whose close button is under the pointer
    int32_t closePress_ = -1;  // the tab whose close button the left button went down on
    bool listOpen_ = false;
    bool trackingLeave_ = false;
    UINT buttonsDown_ = 0;   // Button bits of the presses under way
    bool navPress_ = false;  // the press began on a navigation, list or close button
    std::vector<std::weak_ptr<TabItemState>> pendingClicks_;
    std::vector<std::weak_ptr<TabItemState>> pendingCloses_;
};

// The system colours the classic palette is built from.
SystemColors CurrentSystemColors();

// Registers and unregisters the window class (module load and unload).
void RegisterTabViewClass();
void UnregisterTabViewClass();

}  // namespace corvane::win

// Real windows with Excel's class names: main window, dock areas, docked and
// floating command bars, the workbook area and the edit windows.
#include "host.h"

#include <algorithm>

namespace fakexl {

namespace {

LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* host = reinterpret_cast<Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
      case WM_SIZE:
        if (host && host->main == hwnd) host->Layout();
        return 0;
      case WM_SETFOCUS:
        // Excel keeps the keyboard in the cell being edited, else in the
        // active workbook's window.
        if (host && host->main == hwnd && host->opt.editingIsExcelState) {
          HWND to = host->editing && IsWindow(host->editWindow) ? host->editWindow : nullptr;
          if (!to) {
            if (WindowObject* w = host->ActiveWindow()) to = w->hwnd;
          }
          if (to) SetFocus(to);
          return 0;
        }
        break;
      case WM_CLOSE:
        // Excel's lifetime belongs to the test.
        if (host) host->Unexpected(L"WM_CLOSE sent to Excel's main window");
        return 0;
    }
  } catch (...) {
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  HINSTANCE inst = GetModuleHandleW(nullptr);
  const wchar_t* plain[] = {L"EXCEL2", L"MsoCommandBar", L"XLDESK", L"EXCEL7", L"EXCEL6", L"EXCEL<", L"EDTBX"};
  WNDCLASSW wc = {};
  wc.hInstance = inst;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpfnWndProc = MainProc;
  wc.lpszClassName = L"XLMAIN";
  RegisterClassW(&wc);
  wc.lpfnWndProc = DefWindowProcW;
  for (const wchar_t* name : plain) {
    wc.lpszClassName = name;
    RegisterClassW(&wc);
  }
}

int DockIndex(int position) {
  switch (position) {
    case kBarTop:
      return 0;
    case kBarBottom:
      return 1;
    case kBarLeft:
      return 2;
    case kBarRight:
      return 3;
  }
  return -1;
}

}  // namespace

// Hiding a mapped top-level window makes Wine's X11 driver wait up to two
// seconds for a window manager to confirm it, and Xvfb has none. Destroying
// it without the hide step (clearing WS_VISIBLE first) skips that wait.
void DestroyTopLevel(HWND hwnd) {
  if (!IsWindow(hwnd)) return;
  SetWindowLongW(hwnd, GWL_STYLE, GetWindowLongW(hwnd, GWL_STYLE) & ~WS_VISIBLE);
  DestroyWindow(hwnd);
}

void Host::CreateWindows() {
  RegisterClasses();
  HINSTANCE inst = GetModuleHandleW(nullptr);
  main = CreateWindowExW(0, L"XLMAIN", L"Microsoft Excel", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, opt.left, opt.top,
                         opt.width, opt.height, nullptr, nullptr, inst, this);
  const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  for (HWND& dock : docks) dock = CreateWindowExW(0, L"EXCEL2", L"", child, 0, 0, 0, 0, main, nullptr, inst, nullptr);
  formulaBar = CreateWindowExW(0, L"EXCEL6", L"", child, 0, 0, 0, 0, main, nullptr, inst, nullptr);
  desk = CreateWindowExW(0, L"XLDESK", L"", child, 0, 0, 0, 0, main, nullptr, inst, nullptr);
  // Child order = z-order: the add-in's FindWindowEx walk must meet the top
  // dock first, then bottom, left and right.
  for (HWND w : {docks[0], docks[1], docks[2], docks[3], formulaBar, desk}) {
    SetWindowPos(w, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  Layout();
}

void Host::Layout() {
  if (!main) return;
  RECT rc;
  GetClientRect(main, &rc);
  const int width = rc.right - rc.left, height = rc.bottom - rc.top;
  int count[4] = {};
  for (CommandBarObject* bar : bars) {
    int dock = DockIndex(bar->position);
    if (bar->hwnd && dock >= 0) {
      // Bars stack in rows (top, bottom) or columns (left, right).
      int offset = count[dock]++ * Sizes::kBarRow;
      bool across = dock < 2;
      MoveWindow(bar->hwnd, across ? 0 : offset, across ? offset : 0, across ? width : Sizes::kBarRow,
                 across ? Sizes::kBarRow : height, TRUE);
    }
  }
  const int top = count[0] * Sizes::kBarRow, bottom = count[1] * Sizes::kBarRow;
  const int left = count[2] * Sizes::kBarRow, right = count[3] * Sizes::kBarRow;
  const int middle = top + Sizes::kFormulaBar;
  const int inner = std::max(0, height - middle - bottom);
  MoveWindow(docks[0], 0, 0, width, top, TRUE);
  MoveWindow(docks[1], 0, height - bottom, width, bottom, TRUE);
  MoveWindow(docks[2], 0, middle, left, inner, TRUE);
  MoveWindow(docks[3], width - right, middle, right, inner, TRUE);
  MoveWindow(formulaBar, 0, top, width, Sizes::kFormulaBar, TRUE);
  MoveWindow(desk, left, middle, std::max(0, width - left - right), inner, TRUE);
  RECT deskRc;
  GetClientRect(desk, &deskRc);
  for (WorkbookObject* b : books) {
    for (WindowObject* w : b->windows) {
      if (w->hwnd) MoveWindow(w->hwnd, 0, 0, deskRc.right, deskRc.bottom, TRUE);
    }
  }
}

void Host::SyncBarWindow(CommandBarObject* bar) {
  bool inBars = std::find(bars.begin(), bars.end(), bar) != bars.end();
  bool want = inBars && bar->visible && bar->enabled && bar->position != kBarPopup;
  int dock = DockIndex(bar->position);
  HWND parent = dock >= 0 ? docks[dock] : nullptr;
  bool floating = bar->position == kBarFloating;
  if (bar->hwnd) {
    bool isPopup = (GetWindowLongW(bar->hwnd, GWL_STYLE) & WS_POPUP) != 0;
    bool placed = floating ? isPopup : !isPopup && GetAncestor(bar->hwnd, GA_PARENT) == parent;
    if (!want || !placed) {
      // Office destroys a bar's window when it is hidden, and builds a new
      // one when it comes back.
      if (isPopup) {
        DestroyTopLevel(bar->hwnd);
      } else {
        DestroyWindow(bar->hwnd);
      }
      bar->hwnd = nullptr;
    }
  }
  if (want && !bar->hwnd) {
    HINSTANCE inst = GetModuleHandleW(nullptr);
    if (floating) {
      bar->hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, L"MsoCommandBar", bar->name.c_str(), WS_POPUP | WS_CAPTION,
                                  100, 100, 200, Sizes::kBarRow * 2, main, nullptr, inst, nullptr);
      ShowWindow(bar->hwnd, SW_SHOWNOACTIVATE);
    } else {
      bar->hwnd = CreateWindowExW(0, L"MsoCommandBar", bar->name.c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0, parent,
                                  nullptr, inst, nullptr);
    }
  }
  Layout();
}

void Host::SyncWorkbookWindows() {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  for (WorkbookObject* b : books) {
    for (WindowObject* w : b->windows) {
      std::wstring caption = w->Caption();
      if (w->visible && !w->hwnd) {
        w->hwnd = CreateWindowExW(0, L"EXCEL7", caption.c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 0, 0, desk, nullptr,
                                  inst, nullptr);
      } else if (!w->visible && w->hwnd) {
        if (inCell && GetParent(inCell) == w->hwnd) inCell = nullptr;
        DestroyWindow(w->hwnd);
        w->hwnd = nullptr;
      } else if (w->hwnd) {
        wchar_t now[256] = {};
        GetWindowTextW(w->hwnd, now, 256);
        if (caption != now) SetWindowTextW(w->hwnd, caption.c_str());
      }
    }
  }
  // The active window is on top of the others in the workbook area.
  for (auto it = zorder.rbegin(); it != zorder.rend(); ++it) {
    if ((*it)->hwnd) SetWindowPos((*it)->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  UpdateCaption();
  RefreshWindowMenu();
  Layout();
}

void Host::UpdateCaption() {
  WindowObject* w = ActiveWindow();
  std::wstring caption = L"Microsoft Excel";
  if (w) caption += L" - " + w->Caption();
  SetWindowTextW(main, caption.c_str());
}

}  // namespace fakexl

// Excel's save prompt and Save As dialog as modal loops: time passes inside
// them with Excel's main window disabled and messages dispatched (the
// add-in's timer fires there), and what the add-in asks of Excel meanwhile
// is recorded.
#include <algorithm>

#include "host.h"

namespace fakexl {

void Host::RunModalPrompt(const std::wstring& kind, WorkbookObject* book) {
  if (opt.modalPromptMs == 0) return;
  ModalRecord rec;
  rec.kind = kind;
  rec.workbook = book->name;
  if (WorkbookObject* a = ActiveBook()) rec.activeBefore = a->name;
  ModalRecord* outer = currentModal;
  currentModal = &rec;

  // As MessageBox and the file dialog do: the owner is disabled first, then
  // the prompt, owned by it, is shown and activated.
  EnableWindow(main, FALSE);
  RECT frame;
  GetWindowRect(main, &frame);
  const wchar_t* title = kind == L"SaveAs" ? L"另存为" : L"Microsoft Excel";
  HWND prompt =
      CreateWindowExW(WS_EX_DLGMODALFRAME, L"#32770", title, WS_POPUP | WS_CAPTION | WS_SYSMENU, frame.left + 120,
                      frame.top + 120, 300, 140, main, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (prompt) ShowWindow(prompt, SW_SHOW);

  rec.mainDisabled = true;
  bool quit = false;
  WPARAM quitCode = 0;
  DWORD start = GetTickCount();
  bool scripted = false;
  while (!quit) {
    if (!scripted && modalScript) {
      scripted = true;
      modalScript(*owner, rec);
    }
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
        break;
      }
      if (msg.message == WM_TIMER && !msg.hwnd) ++rec.timerTicks;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    rec.mainDisabled = rec.mainDisabled && !IsWindowEnabled(main);
    DWORD elapsed = GetTickCount() - start;
    if (elapsed >= opt.modalPromptMs) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(opt.modalPromptMs - elapsed, 5), QS_ALLINPUT);
  }
  // A modal loop leaves on WM_QUIT and hands it on to the outer loop.
  if (quit) PostQuitMessage(static_cast<int>(quitCode));

  EnableWindow(main, TRUE);
  DestroyTopLevel(prompt);
  SetActiveWindow(main);
  if (WorkbookObject* a = ActiveBook()) rec.activeAfter = a->name;
  currentModal = outer;
  modalPrompts.push_back(std::move(rec));
}

}  // namespace fakexl

// Excel's busy states as the fake models them: a save prompt is a modal loop
// with the main window disabled, and cell editing is Excel's state, which a
// focus change does not end.
#include <gtest/gtest.h>
#include <oleacc.h>

#include "client.h"
#include "fake_excel.h"

using namespace client;
using fakexl::FakeExcel;

namespace {

struct Seen {
  FakeExcel* xl = nullptr;
  int ticks = 0;
  bool enabledInside = true;
  HRESULT activate = S_OK;
};
Seen* g_seen = nullptr;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (!g_seen || g_seen->ticks++ > 0) return;
  g_seen->enabledInside = IsWindowEnabled(g_seen->xl->MainWindow()) != FALSE;
  Disp book = Obj(Obj(g_seen->xl->Application(), L"Workbooks").get(), L"Item", {L"Book1"});
  g_seen->activate = Call(book.get(), L"Activate");
}

TEST(ModalPrompt, RunsAMessageLoopWithTheMainWindowDisabledAndRecordsCallsMadeInside) {
  fakexl::Options o;
  o.initialWorkbooks = 2;
  o.modalPromptMs = 300;
  FakeExcel xl(o);
  xl.SetDirty(L"Book2", true);
  xl.QueueSavePromptAnswer(fakexl::SaveAnswer::DontSave);
  Seen seen;
  seen.xl = &xl;
  g_seen = &seen;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, Tick);
  const DWORD start = GetTickCount();
  EXPECT_TRUE(xl.RunCommand(fakexl::kCmdClose));
  const DWORD took = GetTickCount() - start;
  KillTimer(nullptr, timer);
  g_seen = nullptr;

  EXPECT_GE(took, 280u);
  EXPECT_GT(seen.ticks, 5);
  EXPECT_FALSE(seen.enabledInside);
  EXPECT_TRUE(IsWindowEnabled(xl.MainWindow()));
  const auto prompts = xl.ModalPrompts();
  ASSERT_EQ(1u, prompts.size());
  EXPECT_EQ(L"SavePrompt", prompts[0].kind);
  EXPECT_EQ(L"Book2", prompts[0].workbook);
  EXPECT_TRUE(prompts[0].mainDisabled);
  EXPECT_GT(prompts[0].timerTicks, 5);
  EXPECT_EQ(std::vector<std::wstring>{L"Workbook.Activate"}, prompts[0].calls);
  // An activation behind the prompt does not change what the answer closes.
  EXPECT_EQ(L"Book2", prompts[0].activeBefore);
  EXPECT_EQ(L"Book1", prompts[0].activeAfter);
  ASSERT_EQ(1u, xl.Workbooks().size());
  EXPECT_EQ(L"Book1", xl.Workbooks()[0].name);
}

TEST(ExcelEditState, SurvivesAFocusChangeAndEndsWithExcelsOwnActions) {
  enum class End { Enter, WindowEntry, DialogOk };
  for (const End end : {End::Enter, End::WindowEntry, End::DialogOk}) {
    SCOPED_TRACE(static_cast<int>(end));
    fakexl::Options o;
    o.initialWorkbooks = 3;
    o.editingIsExcelState = true;
    o.windowMenuLimit = end == End::DialogOk ? 0 : 9;
    o.moreWindowsCaption = L"&More Windows...";
    FakeExcel xl(o);
    xl.FocusEditWindow(fakexl::EditWindow::InCell);
    xl.FocusWindow(xl.MainWindow());
    wchar_t cls[32] = {};
    GetClassNameW(GetFocus(), cls, 32);
    EXPECT_STREQ(L"EXCEL<", cls) << "Excel keeps the focus in its edit";
    xl.FocusWindow(xl.Workbooks()[2].windows[0].window);
    EXPECT_TRUE(xl.Editing());
    Disp book = Obj(Obj(xl.Application(), L"Workbooks").get(), L"Item", {L"Book1"});
    EXPECT_TRUE(FAILED(Call(book.get(), L"Activate")));
    EXPECT_FALSE(xl.RunCommand(fakexl::kCmdSave));
    EXPECT_EQ(std::vector<std::wstring>{L"refused:3"}, xl.Commands());

    Disp bars = Obj(xl.Application(), L"CommandBars");
    Disp controls = Obj(Obj(bars.get(), L"FindControl", {Arg::Missing(), Arg::I2(30009)}).get(), L"Controls");
    switch (end) {
      case End::Enter:
        xl.EndEdit();
        break;
      case End::WindowEntry:
        EXPECT_EQ(S_OK, Call(Obj(controls.get(), L"Item", {L"&1 Book1"}).get(), L"Execute"));
        break;
      case End::DialogOk:
        xl.SetActivateDialogScript([](HWND dialog) {
          Ptr<IAccessible> root;
          AccessibleObjectFromWindow(dialog, OBJID_WINDOW, IID_IAccessible, reinterpret_cast<void**>(root.out()));
          VARIANT ok;
          V_VT(&ok) = VT_I4;
          V_I4(&ok) = 2;  // the push button after the list
          Disp okButton;
          ASSERT_EQ(S_OK, root->get_accChild(ok, okButton.out()));
          Ptr<IAccessible> acc;
          okButton->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(acc.out()));
          V_I4(&ok) = CHILDID_SELF;
          EXPECT_EQ(S_OK, acc->accDoDefaultAction(ok));
        });
        EXPECT_EQ(S_OK, Call(Obj(controls.get(), L"Item", {L"&More Windows..."}).get(), L"Execute"));
        break;
    }
    EXPECT_FALSE(xl.Editing());
    GetClassNameW(GetFocus(), cls, 32);
    EXPECT_STREQ(L"EXCEL7", cls);
    EXPECT_TRUE(xl.RunCommand(fakexl::kCmdNew));
    EXPECT_TRUE(xl.UnexpectedCalls().empty());
  }
}

}  // namespace

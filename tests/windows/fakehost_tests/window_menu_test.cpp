// Excel's Window menu and its "其他窗口(&M)..." dialog, driven the way the
// add-in drives them: FindControl(30009).Controls, then from a WH_CBT hook
// through accessibility when the dialog is activated.
#include <gtest/gtest.h>

#include <oleacc.h>

#include "client.h"
#include "fake_excel.h"

using namespace client;
using fakexl::FakeExcel;

namespace {

Disp WindowMenuControls(FakeExcel& xl) {
  Disp bars = Obj(xl.Application(), L"CommandBars");
  Disp menu = Obj(bars.get(), L"FindControl", {Arg::Missing(), Arg::I2(30009)});
  return Obj(menu.get(), L"Controls");
}

std::vector<std::wstring> NumberedEntries(FakeExcel& xl) {
  std::vector<std::wstring> out;
  Disp controls = WindowMenuControls(xl);
  for (const Disp& c : Enumerate(controls.get())) {
    std::wstring caption = Str(c.get(), L"Caption");
    if (caption[0] == L'&' || caption == L"其他窗口(&M)...") out.push_back(caption);
  }
  return out;
}

fakexl::Options Opts(int books, int limit = 9, bool hideExt = false,
                     fakexl::WindowMenuOrder order = fakexl::WindowMenuOrder::Workbooks) {
  fakexl::Options o;
  o.initialWorkbooks = books;
  o.windowMenuLimit = limit;
  o.hideExtensions = hideExt;
  o.windowMenuOrder = order;
  o.dialogTimeoutMs = 1500;
  return o;
}

TEST(WindowMenu, ListsVisibleWindowsInOrder) {
  struct Case {
    const char* what;
    fakexl::Options options;
    std::function<void(FakeExcel&)> setup;
    std::vector<std::wstring> entries;
  };
  const std::vector<Case> cases = {
      {"plain", Opts(2), [](FakeExcel&) {}, {L"&1 Book1", L"&2 Book2"}},
      {"second window numbers both", Opts(1),
       [](FakeExcel& xl) {
         xl.OpenWorkbook(L"C:\\a.xls");
         xl.AddWindow(L"a.xls");
       },
       {L"&1 Book1", L"&2 a.xls:1", L"&3 a.xls:2"}},
      {"extensions hidden", Opts(0, 9, true), [](FakeExcel& xl) { xl.OpenWorkbook(L"C:\\a.xls"); }, {L"&1 a"}},
      {"hidden windows are left out", Opts(3), [](FakeExcel& xl) { xl.HideWorkbook(L"Book2"); },
       {L"&1 Book1", L"&2 Book3"}},
      {"limit forces the fallback", Opts(3, 1), [](FakeExcel&) {}, {L"&1 Book1", L"其他窗口(&M)..."}},
      {"reverse order", Opts(3, 9, false, fakexl::WindowMenuOrder::Reverse), [](FakeExcel&) {},
       {L"&1 Book3", L"&2 Book2", L"&3 Book1"}},
      {"alphabetical, look-alikes by their names", Opts(0, 9, true, fakexl::WindowMenuOrder::Alphabetical),
       [](FakeExcel& xl) {
         xl.OpenWorkbook(L"C:\\b.xls");
         xl.OpenWorkbook(L"C:\\a.xls");
         xl.OpenWorkbook(L"C:\\a.csv");
       },
       {L"&1 a", L"&2 a", L"&3 b"}},
      {"a literal ampersand shows doubled", Opts(0), [](FakeExcel& xl) { xl.OpenWorkbook(L"C:\\R&D.xls"); },
       {L"&1 R&&D.xls"}},
      {"ten windows overflow nine entries", Opts(10), [](FakeExcel&) {},
       {L"&1 Book1", L"&2 Book2", L"&3 Book3", L"&4 Book4", L"&5 Book5", L"&6 Book6", L"&7 Book7", L"&8 Book8",
        L"&9 Book9", L"其他窗口(&M)..."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeExcel xl(c.options);
    c.setup(xl);
    EXPECT_EQ(c.entries, NumberedEntries(xl));
  }
}

TEST(WindowMenu, ExecutingAnEntryActivatesItsWorkbook) {
  FakeExcel xl(Opts(3));
  Sink sink(fakexl::DIID_AppEvents);
  ASSERT_EQ(S_OK, sink.Connect(xl.Application()));
  Disp controls = WindowMenuControls(xl);
  Disp entry = Obj(controls.get(), L"Item", {L"&2 Book2"});
  ASSERT_EQ(S_OK, Call(entry.get(), L"Execute"));
  EXPECT_EQ(L"Book2", xl.ActiveWorkbook().value_or(L""));
  EXPECT_EQ((std::vector<std::wstring>{L"1569:Book3", L"1568:Book2"}), sink.calls);
  EXPECT_EQ(std::vector<std::wstring>{L"window:&2 Book2"}, xl.Commands());
  sink.Disconnect();
}

// The entries are a snapshot: the same objects until Excel's windows change,
// then replaced, and the old ones are gone.
TEST(WindowMenu, EntriesAreASnapshotUntilTheWindowsChange) {
  FakeExcel xl(Opts(0, 9, true, fakexl::WindowMenuOrder::Alphabetical));
  xl.OpenWorkbook(L"C:\\a.xls");
  xl.OpenWorkbook(L"C:\\a.csv");
  Disp first = Obj(WindowMenuControls(xl).get(), L"Item", {L"&1 a"});
  Disp again = Obj(WindowMenuControls(xl).get(), L"Item", {L"&1 a"});
  EXPECT_EQ(first.get(), again.get());
  ASSERT_EQ(S_OK, Call(first.get(), L"Execute"));
  EXPECT_EQ(L"a.csv", xl.ActiveWorkbook().value_or(L"")) << "a.csv sorts before a.xls";

  xl.OpenWorkbook(L"C:\\b.xls");
  EXPECT_NE(S_OK, Call(first.get(), L"Execute"));
  EXPECT_EQ(L"b.xls", xl.ActiveWorkbook().value_or(L""));
}

TEST(WindowMenu, EntryOfASecondWindowActivatesThatWindow) {
  FakeExcel xl(Opts(1));
  xl.OpenWorkbook(L"C:\\a.xls");
  xl.AddWindow(L"a.xls");
  xl.ActivateWorkbook(L"a.xls", 1);
  Disp entry = Obj(WindowMenuControls(xl).get(), L"Item", {L"&3 a.xls:2"});
  ASSERT_EQ(S_OK, Call(entry.get(), L"Execute"));
  HWND top = GetWindow(xl.DeskWindow(), GW_CHILD);
  wchar_t title[64] = {};
  GetWindowTextW(top, title, 64);
  EXPECT_STREQ(L"a.xls:2", title);
  EXPECT_EQ(L"a.xls", xl.ActiveWorkbook().value_or(L""));
}

// What the hook saw and did, for the assertions after Execute returns.
struct HookRun {
  std::wstring pattern;  // item to choose
  std::vector<std::wstring> titles, items;
  std::vector<long> roles, states;
  HHOOK hook = nullptr;
  bool choose = true;
  std::wstring button = L"确定";
};
HookRun* g_run = nullptr;

Ptr<IAccessible> AsAccessible(const VARIANT& v) {
  Ptr<IAccessible> acc;
  if (V_VT(&v) == VT_DISPATCH && V_DISPATCH(&v)) {
    V_DISPATCH(&v)->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(acc.out()));
  }
  return acc;
}

std::vector<VARIANT> Children(IAccessible* parent) {
  long count = 0;
  parent->get_accChildCount(&count);
  std::vector<VARIANT> kids(count);
  long got = 0;
  EXPECT_EQ(S_OK, AccessibleChildren(parent, 0, count, kids.data(), &got));
  kids.resize(got);
  return kids;
}

void DriveDialog(HWND dialog) {
  Ptr<IAccessible> root;
  ASSERT_EQ(S_OK, AccessibleObjectFromWindow(dialog, OBJID_WINDOW, IID_IAccessible,
                                             reinterpret_cast<void**>(root.out())));
  VARIANT self;
  V_VT(&self) = VT_I4;
  V_I4(&self) = CHILDID_SELF;
  VARIANT role;
  root->get_accRole(self, &role);
  g_run->roles.push_back(V_I4(&role));
  Ptr<IAccessible> ok;
  for (VARIANT& child : Children(root.get())) {
    Ptr<IAccessible> acc = AsAccessible(child);
    VariantClear(&child);
    ASSERT_TRUE(acc);
    acc->get_accRole(self, &role);
    g_run->roles.push_back(V_I4(&role));
    BSTR name = nullptr;
    acc->get_accName(self, &name);
    std::wstring n = name ? name : L"";
    SysFreeString(name);
    if (V_I4(&role) == ROLE_SYSTEM_PUSHBUTTON && n == g_run->button) ok = acc;
    if (V_I4(&role) != ROLE_SYSTEM_LIST) continue;
    for (VARIANT& item : Children(acc.get())) {
      ASSERT_EQ(VT_I4, V_VT(&item));
      acc->get_accName(item, &name);
      g_run->items.push_back(name);
      SysFreeString(name);
      VARIANT state;
      acc->get_accState(item, &state);
      g_run->states.push_back(V_I4(&state));
      acc->get_accRole(item, &role);
      EXPECT_EQ(ROLE_SYSTEM_LISTITEM, V_I4(&role));
      if (g_run->choose && g_run->items.back() == g_run->pattern) {
        EXPECT_EQ(S_OK, acc->accDoDefaultAction(item));
      }
    }
  }
  ASSERT_TRUE(ok);
  if (g_run->choose) {
    EXPECT_EQ(S_OK, ok->accDoDefaultAction(self));
  }
}

LRESULT CALLBACK CbtProc(int code, WPARAM wp, LPARAM lp) {
  if (code == HCBT_ACTIVATE && g_run) {
    wchar_t title[256] = {};
    GetWindowTextW(reinterpret_cast<HWND>(wp), title, 256);
    g_run->titles.push_back(title);
    if (g_run->titles.back() == L"激活" || g_run->titles.back() == L"活动文档") {
      DriveDialog(reinterpret_cast<HWND>(wp));
    }
  }
  return CallNextHookEx(g_run ? g_run->hook : nullptr, code, wp, lp);
}

struct HookGuard {
  explicit HookGuard(HookRun& run) {
    g_run = &run;
    run.hook = SetWindowsHookExW(WH_CBT, CbtProc, nullptr, GetCurrentThreadId());
  }
  ~HookGuard() {
    UnhookWindowsHookEx(g_run->hook);
    g_run = nullptr;
  }
};

HRESULT ExecuteMoreWindows(FakeExcel& xl) {
  Disp more = Obj(WindowMenuControls(xl).get(), L"Item", {L"其他窗口(&M)..."});
  return more ? Call(more.get(), L"Execute") : E_POINTER;
}

TEST(ActivateDialog, AHookChoosesAnItemThroughAccessibilityAndOkActivatesIt) {
  for (const wchar_t* title : {L"激活", L"活动文档"}) {
    SCOPED_TRACE(std::string(title == std::wstring(L"激活") ? "激活" : "活动文档"));
    FakeExcel xl(Opts(3, 1));
    xl.SetActivateDialogTitle(title);
    Sink sink(fakexl::DIID_AppEvents);
    ASSERT_EQ(S_OK, sink.Connect(xl.Application()));
    HookRun run;
    run.pattern = L"Book2";
    {
      HookGuard guard(run);
      ASSERT_EQ(S_OK, ExecuteMoreWindows(xl));
    }
    EXPECT_EQ(1, std::count(run.titles.begin(), run.titles.end(), title));
    EXPECT_EQ((std::vector<long>{ROLE_SYSTEM_DIALOG, ROLE_SYSTEM_LIST, ROLE_SYSTEM_PUSHBUTTON,
                                 ROLE_SYSTEM_PUSHBUTTON}),
              run.roles);
    EXPECT_EQ((std::vector<std::wstring>{L"Book1", L"Book2", L"Book3"}), run.items);
    const long plain = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_SELECTABLE;
    EXPECT_EQ((std::vector<long>{plain | STATE_SYSTEM_SELECTED | STATE_SYSTEM_FOCUSED, plain, plain}), run.states);
    EXPECT_EQ(L"Book2", xl.ActiveWorkbook().value_or(L""));
    EXPECT_EQ((std::vector<std::wstring>{L"1569:Book3", L"1568:Book2"}), sink.calls);
    EXPECT_TRUE(IsWindowEnabled(xl.MainWindow()));
    EXPECT_TRUE(xl.UnexpectedCalls().empty());
    sink.Disconnect();
  }
}

TEST(ActivateDialog, CancelKeepsTheActiveWorkbook) {
  FakeExcel xl(Opts(3, 0));
  HookRun run;
  run.pattern = L"Book1";
  run.button = L"取消";
  {
    HookGuard guard(run);
    ASSERT_EQ(S_OK, ExecuteMoreWindows(xl));
  }
  EXPECT_EQ(L"Book3", xl.ActiveWorkbook().value_or(L""));
  EXPECT_TRUE(xl.UnexpectedCalls().empty());
}

TEST(ActivateDialog, ItemStatesCanBeFixedByTheTest) {
  FakeExcel xl(Opts(2, 0));
  xl.SetActivateDialogItemState(1, 0x00100084);
  HookRun run;
  run.pattern = L"Book2";
  {
    HookGuard guard(run);
    ASSERT_EQ(S_OK, ExecuteMoreWindows(xl));
  }
  ASSERT_EQ(2u, run.states.size());
  EXPECT_EQ(0x00100084, run.states[1]);
}

TEST(ActivateDialog, AnUnansweredDialogIsCancelledAfterTheTimeout) {
  FakeExcel xl(Opts(2, 0));
  HookRun run;
  run.choose = false;
  {
    HookGuard guard(run);
    ASSERT_EQ(S_OK, ExecuteMoreWindows(xl));
  }
  EXPECT_EQ(L"Book2", xl.ActiveWorkbook().value_or(L""));
  EXPECT_EQ(1u, xl.UnexpectedCalls().size());
  EXPECT_EQ(nullptr, FindWindowW(L"bosa_sdm_XL9", nullptr));
}

TEST(ActivateDialog, AScriptCanAnswerWithoutAHook) {
  FakeExcel xl(Opts(3, 0));
  xl.SetActivateDialogScript([](HWND dialog) {
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), FindWindowW(L"XLMAIN", nullptr));
    PostMessageW(dialog, WM_CLOSE, 0, 0);
  });
  ASSERT_EQ(S_OK, ExecuteMoreWindows(xl));
  EXPECT_EQ(L"Book3", xl.ActiveWorkbook().value_or(L""));
  EXPECT_TRUE(xl.UnexpectedCalls().empty());
}

}  // namespace

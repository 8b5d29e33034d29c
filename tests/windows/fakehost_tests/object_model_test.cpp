// The Application / Workbooks / Windows side of the object model, its
// strictness about what a client asks, and the references it hands out.
#include <gtest/gtest.h>

#include "client.h"
#include "fake_excel.h"

using namespace client;
using fakexl::FakeExcel;

namespace {

fakexl::Options Books(int n) {
  fakexl::Options o;
  o.initialWorkbooks = n;
  return o;
}

TEST(Application, ReportsVersionWindowAndInstance) {
  struct Case {
    const wchar_t* version;
    bool fails;
  };
  for (const Case& c : {Case{L"9.0", false}, Case{L"10.0", false}, Case{L"12.0", false}, Case{L"11.0", true}}) {
    fakexl::Options o;
    o.version = c.version;
    o.versionFails = c.fails;
    FakeExcel xl(o);
    VARIANT r;
    VariantInit(&r);
    HRESULT hr = Invoke(xl.Application(), L"version", DISPATCH_PROPERTYGET, {}, &r);
    if (c.fails) {
      EXPECT_EQ(DISP_E_EXCEPTION, hr);
    } else {
      ASSERT_EQ(S_OK, hr);
      EXPECT_STREQ(c.version, V_BSTR(&r));
    }
    VariantClear(&r);
  }
  FakeExcel xl;
  IDispatch* app = xl.Application();
  HWND main = reinterpret_cast<HWND>(static_cast<LONG_PTR>(Long(app, L"Hwnd")));
  EXPECT_EQ(xl.MainWindow(), main);
  wchar_t cls[32];
  GetClassNameW(main, cls, 32);
  EXPECT_STREQ(L"XLMAIN", cls);
  EXPECT_EQ(reinterpret_cast<LONG_PTR>(GetModuleHandleW(nullptr)), Long(app, L"HINSTANCE"));
  EXPECT_TRUE(Bool(app, L"Visible"));
  ASSERT_EQ(S_OK, Put(app, L"Visible", Arg::Bool(false)));
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_EQ(app, Obj(app, L"Application").get());
  ASSERT_EQ(S_OK, Put(app, L"ScreenUpdating", Arg::Bool(false)));
  ASSERT_EQ(S_OK, Put(app, L"ScreenUpdating", Arg::I2(-1)));
  EXPECT_EQ((std::vector<bool>{false, true}), xl.ScreenUpdatingHistory());
}

TEST(Workbooks, EnumerateInOrderWithHiddenOnesAndIndexByName) {
  FakeExcel xl(Books(2));
  xl.OpenWorkbook(L"C:\\Data\\a.xls", true);
  Disp books = Obj(xl.Application(), L"Workbooks");
  std::vector<std::wstring> names;
  for (const Disp& b : Enumerate(books.get())) names.push_back(Str(b.get(), L"Name"));
  EXPECT_EQ((std::vector<std::wstring>{L"Book1", L"Book2", L"a.xls"}), names);
  EXPECT_EQ(3, Long(books.get(), L"Count"));

  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(S_OK, InvokeId(books.get(), DISPID_VALUE, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {L"A.XLS"}, &r));
  Disp hidden(V_DISPATCH(&r));
  EXPECT_EQ(L"C:\\Data\\a.xls", Str(hidden.get(), L"FullName"));
  Disp windows = Obj(hidden.get(), L"Windows");
  ASSERT_EQ(S_OK, InvokeId(windows.get(), 118, DISPATCH_PROPERTYGET, {}, &r));
  EXPECT_EQ(1, V_I4(&r));
  Disp window = Enumerate(windows.get()).at(0);
  ASSERT_EQ(S_OK, InvokeId(window.get(), 558, DISPATCH_PROPERTYGET, {}, &r));
  EXPECT_EQ(VARIANT_FALSE, V_BOOL(&r));

  EXCEPINFO ei = {};
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(books.get(), L"Item", DISPATCH_PROPERTYGET, {L"nope.xls"}, &r, &ei));
  EXPECT_EQ(static_cast<SCODE>(0x800A0009), ei.scode);
  SysFreeString(ei.bstrSource);
  SysFreeString(ei.bstrDescription);
  Disp never = Obj(books.get(), L"Item", {1});
  EXPECT_EQ(Str(never.get(), L"Name"), Str(never.get(), L"FullName"));
}

TEST(Workbooks, WindowVisibilityMovesTheRealWindowsAndTheActiveWorkbook) {
  FakeExcel xl(Books(2));
  Disp book = Obj(Obj(xl.Application(), L"Workbooks").get(), L"Item", {L"Book2"});
  Disp window = Obj(Obj(book.get(), L"Windows").get(), L"Item", {1});
  HWND excel7 = FindWindowExW(xl.DeskWindow(), nullptr, L"EXCEL7", L"Book2");
  ASSERT_NE(nullptr, excel7);
  ASSERT_EQ(S_OK, InvokeId(window.get(), 558, DISPATCH_PROPERTYPUT, {Arg::Bool(false)}, nullptr));
  EXPECT_FALSE(IsWindow(excel7));
  EXPECT_EQ(L"Book1", xl.ActiveWorkbook().value_or(L""));
  ASSERT_EQ(S_OK, Put(window.get(), L"Visible", Arg::Bool(true)));
  EXPECT_NE(nullptr, FindWindowExW(xl.DeskWindow(), nullptr, L"EXCEL7", L"Book2"));
  EXPECT_EQ(L"Book1", xl.ActiveWorkbook().value_or(L""));
  ASSERT_EQ(S_OK, Call(book.get(), L"Activate"));
  EXPECT_EQ(L"Book2", xl.ActiveWorkbook().value_or(L""));
  wchar_t caption[128];
  GetWindowTextW(xl.MainWindow(), caption, 128);
  EXPECT_STREQ(L"Microsoft Excel - Book2", caption);
}

TEST(Strictness, WrongCallsFailAndAreRecorded) {
  FakeExcel xl(Books(0));
  IDispatch* app = xl.Application();
  struct Case {
    const char* what;
    std::function<HRESULT()> call;
    HRESULT expected;
    bool recorded;  // shows up in UnexpectedCalls
  };
  VARIANT r;
  VariantInit(&r);
  const std::vector<Case> cases = {
      {"unknown name", [&] { HRESULT hr; IdOf(app, L"Workbookz", &hr); return hr; }, DISP_E_UNKNOWNNAME, true},
      {"unknown dispid", [&] { return InvokeId(app, 4711, DISPATCH_PROPERTYGET, {}, &r); }, DISP_E_MEMBERNOTFOUND,
       true},
      {"put on read-only", [&] { return Put(app, L"Hwnd", 5); }, DISP_E_MEMBERNOTFOUND, true},
      {"too many arguments", [&] { return Invoke(app, L"Version", DISPATCH_PROPERTYGET, {1, 2}, &r); },
       DISP_E_BADPARAMCOUNT, true},
      {"no active workbook", [&] { return Invoke(app, L"ActiveWorkbook", DISPATCH_PROPERTYGET, {}, &r); },
       DISP_E_EXCEPTION, false},
      {"type mismatch", [&] { return Put(app, L"ScreenUpdating", L"maybe"); }, DISP_E_TYPEMISMATCH, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    size_t before = xl.UnexpectedCalls().size();
    EXPECT_EQ(c.expected, c.call());
    EXPECT_EQ(c.recorded ? before + 1 : before, xl.UnexpectedCalls().size());
  }
}

TEST(Strictness, InjectedFailuresHitTheNamedMemberOrTheNextCalls) {
  FakeExcel xl(Books(1));
  IDispatch* app = xl.Application();
  Disp books = Obj(app, L"Workbooks");
  VARIANT r;
  VariantInit(&r);
  xl.FailMember(L"workbooks.item", DISP_E_EXCEPTION, 2);
  EXPECT_EQ(DISP_E_EXCEPTION, InvokeId(books.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {L"Book1"}, &r));
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(books.get(), L"Item", DISPATCH_PROPERTYGET, {L"Book1"}, &r));
  Disp book = Obj(books.get(), L"Item", {L"Book1"});  // both failures are used up
  xl.FailMember(L"Application.Visible", E_ACCESSDENIED);
  EXPECT_EQ(E_ACCESSDENIED, Invoke(app, L"Visible", DISPATCH_PROPERTYGET, {}, &r));
  EXPECT_EQ(E_ACCESSDENIED, Invoke(app, L"Visible", DISPATCH_PROPERTYGET, {}, &r));
  xl.ClearFailures();
  xl.FailNextCalls(2);
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(app, L"Version", DISPATCH_PROPERTYGET, {}, &r));
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(book.get(), L"Name", DISPATCH_PROPERTYGET, {}, &r));
  EXPECT_EQ(L"Book1", Str(book.get(), L"Name"));
  EXPECT_EQ(3, xl.MemberCalls(L"Workbooks.Item"));  // DISPID_VALUE counts as Item
  EXPECT_TRUE(xl.UnexpectedCalls().empty());
}

TEST(References, EveryReferenceHandedOutComesBack) {
  FakeExcel xl(Books(2));
  {
    Sink sink(fakexl::DIID_AppEvents);
    ASSERT_EQ(S_OK, sink.Connect(xl.Application()));
    xl.Application()->AddRef();  // as OnConnection keeps it
    Disp books = Obj(xl.Application(), L"Workbooks");
    std::vector<Disp> all = Enumerate(books.get());
    Disp windows = Obj(all[0].get(), L"Windows");
    std::vector<Disp> ws = Enumerate(windows.get());
    Disp bars = Obj(xl.Application(), L"CommandBars");
    Disp bar = Obj(bars.get(), L"Add", {L"TabBar", 5});
    Disp button = Obj(Obj(bar.get(), L"Controls").get(), L"Add", {1});
    Sink click(fakexl::DIID_CommandBarButtonEvents);
    ASSERT_EQ(S_OK, click.Connect(button.get()));
    xl.CreateWorkbook();  // hands the sink a Workbook during the events
    EXPECT_GT(xl.OutstandingReferences(), 0);
    click.Disconnect();
    sink.Disconnect();
    xl.Application()->Release();
  }
  EXPECT_EQ(0, xl.OutstandingReferences());
  EXPECT_TRUE(xl.LiveObjects().empty());
  xl.Application()->Release();  // one too many
  EXPECT_EQ(1u, xl.UnexpectedCalls().size());
}

TEST(References, ObjectsHeldPastTheHostAnswerDisconnected) {
  Disp book, books;
  {
    FakeExcel xl;
    books = Obj(xl.Application(), L"Workbooks");
    book = Obj(books.get(), L"Item", {1});
  }
  VARIANT r;
  VariantInit(&r);
  EXPECT_EQ(RPC_E_DISCONNECTED, Invoke(book.get(), L"Name", DISPATCH_PROPERTYGET, {}, &r));
  EXPECT_EQ(RPC_E_DISCONNECTED, InvokeId(books.get(), 118, DISPATCH_PROPERTYGET, {}, &r));
  book.reset();  // a late release must not touch the dead host
  books.reset();
}

// While an edit window has the focus, Excel refuses its puts and methods;
// reads and Office's command bars still work.
TEST(EditWindows, ExcelRefusesWritesAndMethodsWhileEditing) {
  for (const bool refusal : {true, false}) {
    SCOPED_TRACE(refusal ? "refusal on" : "refusal off");
    fakexl::Options o;
    o.initialWorkbooks = 2;
    o.editModeRefusal = refusal;
    FakeExcel xl(o);
    xl.FocusEditWindow(fakexl::EditWindow::FormulaBar);
    Disp book = Obj(Obj(xl.Application(), L"Workbooks").get(), L"Item", {L"Book1"});
    EXPECT_EQ(L"Book1", Str(book.get(), L"Name"));
    const HRESULT activate = Call(book.get(), L"Activate");
    EXPECT_EQ(refusal, FAILED(activate));
    EXPECT_EQ(refusal ? L"Book2" : L"Book1", xl.ActiveWorkbook().value_or(L""));
    Disp bars = Obj(xl.Application(), L"CommandBars");
    Disp entry = Obj(Obj(Obj(bars.get(), L"FindControl", {Arg::Missing(), Arg::I2(30009)}).get(), L"Controls").get(),
                     L"Item", {L"&2 Book2"});
    EXPECT_EQ(S_OK, Call(entry.get(), L"Execute"));
    EXPECT_EQ(L"Book2", xl.ActiveWorkbook().value_or(L""));
  }
}

TEST(EditWindows, FocusReachesEachEditClass) {
  FakeExcel xl;
  struct Case {
    std::function<HWND()> focus;
    const wchar_t* cls;
  };
  HWND box1 = xl.CreateEditBox();
  HWND box2 = xl.CreateEditBox(xl.DeskWindow());
  const std::vector<Case> cases = {
      {[&] { return xl.FocusEditWindow(fakexl::EditWindow::FormulaBar); }, L"EXCEL6"},
      {[&] { return xl.FocusEditWindow(fakexl::EditWindow::InCell); }, L"EXCEL<"},
      {[&] { xl.FocusWindow(box1); return box1; }, L"EDTBX"},
      {[&] { xl.FocusWindow(box2); return box2; }, L"EDTBX"},
  };
  for (const Case& c : cases) {
    HWND w = c.focus();
    EXPECT_EQ(w, GetFocus());
    wchar_t cls[32];
    GetClassNameW(w, cls, 32);
    EXPECT_STREQ(c.cls, cls);
  }
  EXPECT_EQ(xl.DeskWindow(), GetParent(box2));
}

}  // namespace

// Application events and built-in workbook commands, seen by a client that
// subscribes through the connection point and runs the commands through
// CommandBars.FindControl(Id).Execute.
#include <gtest/gtest.h>

#include <olectl.h>

#include <algorithm>

#include "client.h"
#include "fake_excel.h"

using namespace client;
using fakexl::FakeExcel;
using fakexl::SaveAnswer;

namespace {

HRESULT Execute(FakeExcel& xl, int id) {
  Disp bars = Obj(xl.Application(), L"CommandBars");
  Disp control = Obj(bars.get(), L"FindControl", {Arg::Missing(), Arg::I2(static_cast<short>(id))});
  if (!control) return E_POINTER;
  return Call(control.get(), L"Execute");
}

std::vector<std::wstring> Names(FakeExcel& xl) {
  std::vector<std::wstring> out;
  for (const auto& b : xl.Workbooks()) out.push_back(b.name);
  return out;
}

struct Scenario {
  const char* what;
  std::function<void(FakeExcel&)> act;
  std::vector<std::wstring> expected;  // as the sink saw them
};

TEST(AppEvents, ArriveInExcelsOrderForEachCommand) {
  const std::wstring open = L"1567:", activate = L"1568:", deactivate = L"1569:", beforeClose = L"1570:",
                     created = L"1565:";
  const std::vector<Scenario> scenarios = {
      {"new through control 2520", [](FakeExcel& xl) { EXPECT_EQ(S_OK, Execute(xl, 2520)); },
       {created + L"Book2", deactivate + L"Book1", activate + L"Book2"}},
      {"open a file", [](FakeExcel& xl) { xl.OpenWorkbook(L"C:\\Data\\a.xls"); },
       {open + L"a.xls", deactivate + L"Book1", activate + L"a.xls"}},
      {"open hidden", [](FakeExcel& xl) { xl.OpenWorkbook(L"C:\\Data\\h.xls", true); }, {open + L"h.xls"}},
      {"close the only workbook", [](FakeExcel& xl) { EXPECT_EQ(S_OK, Execute(xl, 106)); },
       {beforeClose + L"Book1", deactivate + L"Book1"}},
      {"close the active of two",
       [](FakeExcel& xl) {
         xl.CreateWorkbook();
         xl.ActivateWorkbook(L"Book1");
         xl.ClearEvents();
         EXPECT_EQ(S_OK, Execute(xl, 106));
       },
       {beforeClose + L"Book1", deactivate + L"Book1", activate + L"Book2"}},
      {"user switches workbooks",
       [](FakeExcel& xl) {
         xl.OpenWorkbook(L"C:\\b.xls");
         xl.ActivateWorkbook(L"Book1");
       },
       {open + L"b.xls", deactivate + L"Book1", activate + L"b.xls", deactivate + L"b.xls", activate + L"Book1"}},
      {"hiding the active window activates the next",
       [](FakeExcel& xl) {
         xl.OpenWorkbook(L"C:\\b.xls");
         xl.HideWorkbook(L"b.xls");
       },
       {open + L"b.xls", deactivate + L"Book1", activate + L"b.xls", deactivate + L"b.xls", activate + L"Book1"}},
  };
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.what);
    FakeExcel xl;
    Sink sink(fakexl::DIID_AppEvents);
    ASSERT_EQ(S_OK, sink.Connect(xl.Application()));
    s.act(xl);
    // Events raised before ClearEvents are not part of the expectation.
    std::vector<std::wstring> tail(sink.calls.end() - std::min(sink.calls.size(), s.expected.size()),
                                   sink.calls.end());
    EXPECT_EQ(s.expected, tail);
    EXPECT_EQ(S_OK, sink.Disconnect());
    EXPECT_EQ(0u, sink.refs);
    EXPECT_TRUE(xl.UnexpectedCalls().empty());
  }
}

// A sink that activates the new workbook from NewWorkbook or WorkbookOpen,
// as the add-in's strip does, still sees exactly one activation of it.
TEST(AppEvents, ANewOrOpenedWorkbookIsActivatedOnce) {
  for (const bool open : {false, true}) {
    SCOPED_TRACE(open ? "opened" : "new");
    FakeExcel xl;
    Sink sink(fakexl::DIID_AppEvents);
    ASSERT_EQ(S_OK, sink.Connect(xl.Application()));
    const std::wstring name = open ? L"a.xls" : L"Book2";
    sink.onCall = [&] {
      if (sink.calls.size() != 1) return;
      Disp book = Obj(Obj(xl.Application(), L"Workbooks").get(), L"Item", {name});
      Call(book.get(), L"Activate");
    };
    if (open) {
      xl.OpenWorkbook(L"C:\\Data\\a.xls");
    } else {
      xl.CreateWorkbook();
    }
    EXPECT_EQ(1, std::count(sink.calls.begin(), sink.calls.end(), L"1568:" + name));
    EXPECT_EQ(name, xl.ActiveWorkbook().value_or(L""));
    EXPECT_EQ(S_OK, sink.Disconnect());
  }
}

TEST(AppEvents, NewWorkbooksCountUpFromTheBooksCreated) {
  FakeExcel xl;
  xl.CreateWorkbook();                  // Book2
  EXPECT_TRUE(xl.CloseWorkbook(L"Book2"));
  ASSERT_EQ(S_OK, Execute(xl, 2520));
  EXPECT_EQ((std::vector<std::wstring>{L"Book1", L"Book3"}), Names(xl));
  EXPECT_EQ(L"Book3", xl.ActiveWorkbook().value_or(L""));
}

TEST(AppEvents, CancelSetByASinkKeepsTheWorkbookOpen) {
  FakeExcel xl;
  Sink sink(fakexl::DIID_AppEvents);
  ASSERT_EQ(S_OK, sink.Connect(xl.Application()));
  sink.setByRefFlag = true;
  EXPECT_EQ(S_OK, Execute(xl, 106));
  EXPECT_EQ((std::vector<std::wstring>{L"Book1"}), Names(xl));
  sink.setByRefFlag = false;
  EXPECT_EQ(S_OK, Execute(xl, 106));
  EXPECT_TRUE(Names(xl).empty());
  EXPECT_FALSE(xl.ActiveWorkbook());
  sink.Disconnect();
}

TEST(AppEvents, AFailingSinkIsRecordedAndIgnored) {
  FakeExcel xl;
  Sink sink(fakexl::DIID_AppEvents);
  ASSERT_EQ(S_OK, sink.Connect(xl.Application()));
  sink.answer = E_FAIL;
  EXPECT_EQ(S_OK, Execute(xl, 106));
  EXPECT_TRUE(Names(xl).empty());
  ASSERT_EQ(2u, xl.SinkFailures().size());
  EXPECT_EQ(L"WorkbookBeforeClose(Book1) -> 0x80004005", xl.SinkFailures()[0]);
  sink.Disconnect();
}

TEST(AppEvents, SinkWithoutTheEventInterfaceCannotConnect) {
  FakeExcel xl;
  Sink wrong(fakexl::DIID_CommandBarButtonEvents);
  Ptr<IConnectionPointContainer> container;
  ASSERT_EQ(S_OK, xl.Application()->QueryInterface(IID_IConnectionPointContainer,
                                                   reinterpret_cast<void**>(container.out())));
  Ptr<IConnectionPoint> point;
  ASSERT_EQ(S_OK, container->FindConnectionPoint(fakexl::DIID_AppEvents, point.out()));
  DWORD cookie = 1;
  EXPECT_EQ(CONNECT_E_CANNOTCONNECT, point->Advise(static_cast<IDispatch*>(&wrong), &cookie));
  EXPECT_EQ(0u, cookie);
  EXPECT_EQ(CONNECT_E_NOCONNECTION, point->Unadvise(42));
  EXPECT_EQ(0u, wrong.refs);
}

struct CloseCase {
  const char* what;
  std::optional<SaveAnswer> prompt;
  std::optional<std::wstring> saveAs;
  bool closes;
  std::wstring renamed;  // name before closing, after any save-as
};

TEST(BuiltInCommands, CloseOfADirtyWorkbookFollowsThePromptAnswer) {
  const std::vector<CloseCase> cases = {
      {"don't save", SaveAnswer::DontSave, std::nullopt, true, L""},
      {"cancel", SaveAnswer::Cancel, std::nullopt, false, L"Book1"},
      {"save through save-as", SaveAnswer::Save, L"C:\\Data\\x.xls", true, L""},
      {"save, save-as cancelled", SaveAnswer::Save, std::nullopt, false, L"Book1"},
  };
  for (const CloseCase& c : cases) {
    SCOPED_TRACE(c.what);
    FakeExcel xl;
    xl.SetDirty(L"Book1", true);
    xl.QueueSavePromptAnswer(*c.prompt);
    xl.QueueSaveAsAnswer(c.saveAs);
    EXPECT_EQ(S_OK, Execute(xl, 106));
    EXPECT_EQ(c.closes, xl.Workbooks().empty());
    if (!c.closes) {
      EXPECT_EQ(c.renamed, xl.Workbooks()[0].name);
    }
    EXPECT_EQ(std::vector<std::wstring>{L"106"}, xl.Commands());
    EXPECT_TRUE(xl.UnexpectedCalls().empty());
  }
}

TEST(BuiltInCommands, SaveOfANeverSavedWorkbookRenamesItThroughSaveAs) {
  FakeExcel xl;
  xl.QueueSaveAsAnswer(L"C:\\Data\\a.xls");
  ASSERT_EQ(S_OK, Execute(xl, 3));
  Disp book = Obj(xl.Application(), L"ActiveWorkbook");
  EXPECT_EQ(L"a.xls", Str(book.get(), L"Name"));
  EXPECT_EQ(L"C:\\Data\\a.xls", Str(book.get(), L"FullName"));
  // Saved once, a second save asks nothing.
  ASSERT_EQ(S_OK, Execute(xl, 3));
  xl.QueueSaveAsAnswer(L"D:\\b.xls");
  ASSERT_EQ(S_OK, Execute(xl, 748));
  EXPECT_EQ(L"D:\\b.xls", Str(book.get(), L"FullName"));
  xl.QueueSaveAsAnswer(std::nullopt);
  ASSERT_EQ(S_OK, Execute(xl, 748));
  EXPECT_EQ(L"b.xls", Str(book.get(), L"Name"));
  EXPECT_EQ((std::vector<std::wstring>{L"3", L"3", L"748", L"748"}), xl.Commands());
  EXPECT_TRUE(xl.UnexpectedCalls().empty());
}

TEST(BuiltInCommands, UnansweredPromptIsCancelledAndReported) {
  FakeExcel xl;
  ASSERT_EQ(S_OK, Execute(xl, 3));
  EXPECT_EQ(L"Book1", xl.Workbooks()[0].name);
  EXPECT_EQ(1u, xl.UnexpectedCalls().size());
}

TEST(BuiltInCommands, CommandsOnNoWorkbookFailButNewWorks) {
  FakeExcel xl([] {
    fakexl::Options o;
    o.initialWorkbooks = 0;
    return o;
  }());
  for (int id : {106, 3, 748}) EXPECT_EQ(DISP_E_EXCEPTION, Execute(xl, id)) << id;
  EXPECT_EQ(S_OK, Execute(xl, 2520));
  EXPECT_EQ(L"Book1", xl.ActiveWorkbook().value_or(L""));
}

}  // namespace

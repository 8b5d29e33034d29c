// Command bars through IDispatch: popups built the way the add-in builds
// them, the tag-shared Click, ShowPopup, and the docked bar's real window.
#include <gtest/gtest.h>

#include "client.h"
#include "fake_excel.h"

using namespace client;
using fakexl::FakeExcel;

namespace {

Disp AddPopup(FakeExcel& xl, const wchar_t* name) {
  Disp bars = Obj(xl.Application(), L"CommandBars");
  return Obj(bars.get(), L"Add", {name, Arg(5), Arg::Missing(), Arg::Bool(true)});
}

Disp AddButton(IDispatch* bar, const wchar_t* caption, const wchar_t* tag, const wchar_t* parameter) {
  Disp controls = Obj(bar, L"Controls");
  Disp button = Obj(controls.get(), L"Add", {Arg::Missing(), Arg::Missing(), Arg::Missing(), Arg::Missing(),
                                              Arg::Missing()});
  EXPECT_EQ(S_OK, Put(button.get(), L"Caption", caption));
  EXPECT_EQ(S_OK, Put(button.get(), L"Tag", tag));
  EXPECT_EQ(S_OK, Put(button.get(), L"Parameter", parameter));
  return button;
}

TEST(CommandBars, ClickIsRaisedOnEverySubscribedButtonSharingTheTag) {
  FakeExcel xl;
  Disp bar = AddPopup(xl, L"TabBar");
  Disp close = AddButton(bar.get(), L"关闭工作簿(&C)", L"Tarnwick", L"Close");
  Disp save = AddButton(bar.get(), L"保存工作簿(&S)", L"Tarnwick", L"Save");
  Disp other = AddButton(bar.get(), L"Other", L"Elsewhere", L"X");
  Disp bar2 = AddPopup(xl, L"TabBarII");
  Disp newBook = AddButton(bar2.get(), L"新建空白工作簿(&N)", L"Tarnwick", L"New");

  Sink onClose(fakexl::DIID_CommandBarButtonEvents), onOther(fakexl::DIID_CommandBarButtonEvents);
  ASSERT_EQ(S_OK, onClose.Connect(close.get()));
  ASSERT_EQ(S_OK, onOther.Connect(other.get()));
  EXPECT_EQ(2, xl.ButtonEventSinks());

  ASSERT_TRUE(xl.ClickControl(L"TabBarII", L"新建空白工作簿(&N)"));
  ASSERT_EQ(S_OK, Call(save.get(), L"Execute"));
  EXPECT_EQ((std::vector<std::wstring>{L"1:新建空白工作簿(&N)", L"1:保存工作簿(&S)"}), onClose.calls);
  // Ctrl is the clicked control itself, not the subscribed one.
  ASSERT_EQ(2u, onClose.objects.size());
  EXPECT_EQ(newBook.get(), onClose.objects[0]);
  EXPECT_EQ(save.get(), onClose.objects[1]);
  EXPECT_TRUE(onOther.calls.empty());

  EXPECT_EQ(S_OK, onClose.Disconnect());
  EXPECT_EQ(S_OK, onOther.Disconnect());
  EXPECT_EQ(0u, onClose.refs);
  EXPECT_EQ(0, xl.ButtonEventSinks());
}

TEST(CommandBars, ShowPopupRecordsTheEntriesAndRunsTheScript) {
  FakeExcel xl;
  Disp bar = AddPopup(xl, L"TabBar");
  Disp a = AddButton(bar.get(), L"A", L"T", L"Close");
  Disp b = AddButton(bar.get(), L"B", L"T", L"Save");
  ASSERT_EQ(S_OK, Put(b.get(), L"Enabled", Arg::Bool(false)));
  Sink sink(fakexl::DIID_CommandBarButtonEvents);
  ASSERT_EQ(S_OK, sink.Connect(a.get()));
  xl.SetPopupScript([](FakeExcel& host, const fakexl::PopupRecord&) {
    EXPECT_FALSE(host.ClickControl(L"TabBar", L"B"));  // disabled entries cannot be clicked
    EXPECT_TRUE(host.ClickControl(L"TabBar", L"A"));
  });
  ASSERT_EQ(S_OK, Call(bar.get(), L"ShowPopup"));
  const std::vector<fakexl::PopupRecord> popups = xl.Popups();
  ASSERT_EQ(1u, popups.size());
  const fakexl::PopupRecord& popup = popups[0];
  EXPECT_EQ(L"TabBar", popup.bar);
  ASSERT_EQ(2u, popup.controls.size());
  EXPECT_EQ(L"A", popup.controls[0].caption);
  EXPECT_TRUE(popup.controls[0].enabled);
  EXPECT_FALSE(popup.controls[1].enabled);
  EXPECT_EQ(std::vector<std::wstring>{L"1:A"}, sink.calls);
  sink.Disconnect();
}

TEST(CommandBars, ControlsAddAppendsAndItemFindsByPositionAndCaption) {
  FakeExcel xl;
  Disp bar = AddPopup(xl, L"P");
  AddButton(bar.get(), L"one", L"", L"");
  AddButton(bar.get(), L"two", L"", L"");
  Disp controls = Obj(bar.get(), L"Controls");
  EXPECT_EQ(2, Long(controls.get(), L"Count"));
  EXPECT_EQ(L"two", Str(Obj(controls.get(), L"Item", {2}).get(), L"Caption"));
  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(S_OK, InvokeId(controls.get(), DISPID_VALUE, DISPATCH_PROPERTYGET, {L"one"}, &r));
  Disp byCaption(V_DISPATCH(&r));
  EXPECT_EQ(1, Long(byCaption.get(), L"Index"));
  EXPECT_EQ(1, Long(byCaption.get(), L"Type"));
  EXPECT_EQ(1, Long(byCaption.get(), L"Id"));  // every custom button reports Id 1
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(controls.get(), L"Item", DISPATCH_PROPERTYGET, {3}, &r));
  std::vector<std::wstring> captions;
  for (const Disp& c : Enumerate(controls.get())) captions.push_back(Str(c.get(), L"Caption"));
  EXPECT_EQ((std::vector<std::wstring>{L"one", L"two"}), captions);
}

TEST(CommandBars, FindControlMatchesBuiltInIdsAndCustomTags) {
  FakeExcel xl;
  Disp bar = AddPopup(xl, L"P");
  AddButton(bar.get(), L"mine", L"Tarnwick", L"");
  Disp bars = Obj(xl.Application(), L"CommandBars");
  struct Case {
    std::vector<Arg> args;
    std::wstring caption;  // empty: Nothing
  };
  const std::vector<Case> cases = {
      {{Arg::Missing(), Arg::I2(106)}, L"关闭(&C)"},
      {{Arg::Missing(), Arg(3), Arg::Missing(), Arg::Missing()}, L"保存(&S)"},
      {{Arg::Missing(), Arg(30009)}, L"窗口(&W)"},
      {{Arg::Missing(), Arg::Missing(), Arg(L"Tarnwick")}, L"mine"},
      {{Arg::Missing(), Arg(4242)}, L""},
  };
  for (const Case& c : cases) {
    VARIANT r;
    VariantInit(&r);
    ASSERT_EQ(S_OK, Invoke(bars.get(), L"FindControl", DISPATCH_METHOD, c.args, &r));
    ASSERT_EQ(VT_DISPATCH, V_VT(&r));
    Disp found(V_DISPATCH(&r));
    EXPECT_EQ(c.caption, found ? Str(found.get(), L"Caption") : L"");
  }
}

TEST(CommandBars, NamedArgumentsAndByRefValuesAreAccepted) {
  FakeExcel xl;
  Disp bars = Obj(xl.Application(), L"CommandBars");
  // FindControl(Id:=106) with the argument named, and the value by reference.
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"FindControl"), const_cast<LPOLESTR>(L"Id")};
  DISPID ids[2];
  ASSERT_EQ(S_OK, bars->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids));
  VARIANT target;
  VariantInit(&target);
  V_VT(&target) = VT_I2;
  V_I2(&target) = 106;
  VARIANT arg;
  V_VT(&arg) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&arg) = &target;
  DISPPARAMS dp = {&arg, &ids[1], 1, 1};
  VARIANT r;
  VariantInit(&r);
  ASSERT_EQ(S_OK, bars->Invoke(ids[0], IID_NULL, 0, DISPATCH_METHOD, &dp, &r, nullptr, nullptr));
  Disp found(V_DISPATCH(&r));
  ASSERT_TRUE(found);
  EXPECT_EQ(106, Long(found.get(), L"Id"));
}

TEST(CommandBars, PopupsAndDuplicatesAreRefusedWhereOfficeRefusesThem) {
  FakeExcel xl;
  Disp bar = AddPopup(xl, L"TabBar");
  Disp bars = Obj(xl.Application(), L"CommandBars");
  VARIANT r;
  VariantInit(&r);
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(bars.get(), L"Add", DISPATCH_METHOD, {L"tabbar"}, &r));
  EXPECT_EQ(DISP_E_EXCEPTION, Put(bar.get(), L"Position", 1));
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(bars.get(), L"Item", DISPATCH_PROPERTYGET, {L"Nope"}, &r));
  Disp menu = Obj(bars.get(), L"Item", {L"Worksheet Menu Bar"});
  EXPECT_EQ(DISP_E_EXCEPTION, Call(menu.get(), L"Delete"));
  EXPECT_EQ(DISP_E_EXCEPTION, Call(menu.get(), L"ShowPopup"));
  EXPECT_EQ(S_OK, Call(bar.get(), L"Delete"));
  EXPECT_EQ(DISP_E_EXCEPTION, Invoke(bar.get(), L"Name", DISPATCH_PROPERTYGET, {}, &r));
  EXPECT_FALSE(xl.Bar(L"TabBar"));
}

TEST(CommandBarWindows, ATopBarGetsAFullRowInTheTopDockAndFollowsItsBar) {
  FakeExcel xl;
  HWND dock = FindWindowExW(xl.MainWindow(), nullptr, L"EXCEL2", nullptr);
  ASSERT_EQ(xl.DockWindow(fakexl::Dock::Top), dock);

  Disp bars = Obj(xl.Application(), L"CommandBars");
  Disp bar = Obj(bars.get(), L"Add", {L"VodevIzuzod", Arg::Missing(), Arg::Missing(), Arg::Bool(true)});
  EXPECT_EQ(fakexl::kBarFloating, Long(bar.get(), L"Position"));
  EXPECT_EQ(nullptr, FindWindowExW(dock, nullptr, L"MsoCommandBar", L"VodevIzuzod"));
  ASSERT_EQ(S_OK, Put(bar.get(), L"Position", 1));
  ASSERT_EQ(S_OK, Put(bar.get(), L"Visible", Arg::Bool(true)));
  ASSERT_EQ(S_OK, Put(bar.get(), L"Protection", 31));

  HWND first = FindWindowExW(dock, nullptr, L"MsoCommandBar", L"VodevIzuzod");
  ASSERT_NE(nullptr, first);
  RECT main, rc;
  GetClientRect(xl.MainWindow(), &main);
  GetWindowRect(first, &rc);
  EXPECT_EQ(main.right, rc.right - rc.left);
  EXPECT_EQ(26, rc.bottom - rc.top);

  xl.ResizeMainWindow(640, 480);
  GetClientRect(xl.MainWindow(), &main);
  GetWindowRect(first, &rc);
  EXPECT_EQ(main.right, rc.right - rc.left);

  xl.HideBar(L"VodevIzuzod");
  EXPECT_FALSE(IsWindow(first));
  EXPECT_FALSE(Bool(bar.get(), L"Visible"));
  xl.ShowBar(L"VodevIzuzod");
  HWND second = xl.BarWindow(L"VodevIzuzod");
  EXPECT_NE(nullptr, second);
  EXPECT_EQ(dock, GetParent(second));
  EXPECT_EQ(S_OK, Call(bar.get(), L"Delete"));
  EXPECT_FALSE(IsWindow(second));
}

}  // namespace

// The simulated Excel: event order, built-in commands, the Window menu and
// its window-list dialog, command bars, references and injected faults.
#include <gtest/gtest.h>

#include "interop/host_error.h"
#include "sim/world.h"

namespace tarnwick::sim {
namespace {

using Names = std::vector<std::wstring>;

// Records the application events as "Event(name)".
class EventLog : public excel::AppEventSink {
public:
    void NewWorkbook(const std::shared_ptr<excel::Workbook>& Wb) override {
        log.push_back(L"New(" + Wb->Name() + L")");
    }
    void WorkbookOpen(const std::shared_ptr<excel::Workbook>& Wb) override {
        log.push_back(L"Open(" + Wb->Name() + L")");
    }
    void WorkbookActivate(const std::shared_ptr<excel::Workbook>& Wb) override {
        log.push_back(L"Activate(" + Wb->Name() + L")");
    }
    void WorkbookBeforeClose(const std::shared_ptr<excel::Workbook>& Wb, bool& Cancel) override {
        log.push_back(L"BeforeClose(" + Wb->Name() + L")");
        Cancel = cancelClose;
        if (throwOnClose) throw HostError(hr::E_FAIL_);
    }
    Names log;
    bool cancelClose = false;
    bool throwOnClose = false;
};

struct Connected {
    World world;
    std::shared_ptr<excel::Application> app = world.Application();
    EventLog events;
    std::unique_ptr<excel::Subscription> subscription = app->SubscribeEvents(events);
};

void Execute(excel::Application& app, int32_t id) {
    app.CommandBars()->FindControl({}, id)->Execute();
}

TEST(SimExcel, WorkbookActionsRaiseEventsInExcelsOrder) {
    Connected c;
    c.world.OpenWorkbook(L"C:\\data\\a.xls");
    c.world.NewWorkbook();
    c.world.ActivateByUser(L"a.xls");
    c.world.ActivateByUser(L"a.xls");  // already active: nothing
    EXPECT_EQ(c.events.log,
              (Names{L"Open(a.xls)", L"Activate(a.xls)", L"New(Book1)", L"Activate(Book1)", L"Activate(a.xls)"}));
    EXPECT_EQ(c.app->Workbooks()->Item(L"a.xls")->FullName(), L"C:\\data\\a.xls");
    EXPECT_EQ(c.app->Workbooks()->Item(L"Book1")->FullName(), L"Book1");
}

TEST(SimExcel, HiddenWorkbookIsEnumeratedButNeverActivated) {
    Connected c;
    c.world.AddHiddenWorkbook(L"C:\\addins\\PERSONAL.XLS");
    EXPECT_TRUE(c.events.log.empty());
    EXPECT_THROW(c.app->ActiveWorkbook(), HostError);
    auto books = c.app->Workbooks()->Enumerate();
    auto first = books->Next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->Name(), L"PERSONAL.XLS");
    EXPECT_FALSE(first->Windows()->Enumerate()->Next()->Visible());
    EXPECT_EQ(books->Next(), nullptr);
}

TEST(SimExcel, CloseCommandFollowsTheUsersAnswers) {
    struct Case {
        const char* name;
        bool dirty;
        SaveAnswer answer;
        bool cancelInEvent;
        bool closed;
    };
    const Case cases[] = {
        {"clean", false, SaveAnswer::Cancel, false, true},
        {"cancelled by the event", false, SaveAnswer::DontSave, true, false},
        {"dirty, don't save", true, SaveAnswer::DontSave, false, true},
        {"dirty, cancel at the prompt", true, SaveAnswer::Cancel, false, false},
        {"dirty, save", true, SaveAnswer::Save, false, true},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Connected c;
        c.world.OpenWorkbook(L"C:\\a.xls");
        c.world.OpenWorkbook(L"C:\\b.xls");
        c.world.SetDirty(L"b.xls", k.dirty);
        c.world.SetSaveAnswer(k.answer);
        c.events.cancelClose = k.cancelInEvent;
        c.events.log.clear();
        Execute(*c.app, excel::ids::Close);
        EXPECT_EQ(c.world.WorkbookNames().size(), k.closed ? 1u : 2u);
        EXPECT_EQ(c.world.SavePrompts().size(), k.dirty && !k.cancelInEvent ? 1u : 0u);
        Names expected{L"BeforeClose(b.xls)"};
        if (k.closed) expected.push_back(L"Activate(a.xls)");
        EXPECT_EQ(c.events.log, expected);
        EXPECT_EQ(c.world.ActiveWorkbookName(), k.closed ? L"a.xls" : L"b.xls");
    }
}

TEST(SimExcel, ClosingGoesBackToTheMostRecentlyActiveWorkbook) {
    Connected c;
    for (auto name : {L"a.xls", L"b.xls", L"c.xls"}) c.world.OpenWorkbook(name);
    c.world.ActivateByUser(L"a.xls");
    c.world.ActivateByUser(L"c.xls");
    Execute(*c.app, excel::ids::Close);
    EXPECT_EQ(c.world.ActiveWorkbookName(), L"a.xls");
}

TEST(SimExcel, ClosingTheLastWorkbookLeavesNoneActiveAndKillsItsObjects) {
    Connected c;
    c.world.OpenWorkbook(L"C:\\a.xls");
    auto book = c.app->ActiveWorkbook();
    Execute(*c.app, excel::ids::Close);
    EXPECT_THROW(c.app->ActiveWorkbook(), HostError);
    EXPECT_THROW(book->Name(), HostError);
    EXPECT_THROW(Execute(*c.app, excel::ids::Close), HostError);  // nothing to close
}

TEST(SimExcel, ASinkThatThrowsInBeforeCloseDoesNotStopTheClose) {
    Connected c;
    c.world.OpenWorkbook(L"C:\\a.xls");
    c.events.throwOnClose = true;
    EXPECT_TRUE(c.world.CloseByUser(L"a.xls"));
    EXPECT_FALSE(c.world.LastEventError().empty());
    EXPECT_TRUE(c.world.EscapedExceptions().empty());
}

TEST(SimExcel, SaveOfANeverSavedWorkbookAsksForANameAndRenames) {
    Connected c;
    c.world.NewWorkbook();
    Execute(*c.app, excel::ids::Save);  // empty queue: the dialog is cancelled
    EXPECT_EQ(c.world.WorkbookNames(), Names{L"Book1"});
    c.world.QueueSaveAsName(L"D:\\out\\report.xls");
    Execute(*c.app, excel::ids::Save);
    EXPECT_EQ(c.world.WorkbookNames(), Names{L"report.xls"});
    EXPECT_EQ(c.world.FullNameOf(L"report.xls"), L"D:\\out\\report.xls");
    Execute(*c.app, excel::ids::Save);  // saved before: no dialog
    EXPECT_EQ(c.world.SaveAsDialogs(), (Names{L"Book1", L"Book1"}));
    EXPECT_EQ(c.world.SavedWorkbooks(), (Names{L"report.xls", L"report.xls"}));
}

TEST(SimExcel, NewCommandCreatesNumberedBooks) {
    Connected c;
    Execute(*c.app, excel::ids::NewWorkbook);
    Execute(*c.app, excel::ids::NewWorkbook);
    EXPECT_EQ(c.events.log, (Names{L"New(Book1)", L"Activate(Book1)", L"New(Book2)", L"Activate(Book2)"}));
    EXPECT_EQ(c.world.ExecutedCommands(), (Names{L"New(Book1)", L"New(Book2)"}));
}

TEST(SimExcel, WindowMenuListsVisibleWindowsAndSwitches) {
    Connected c;
    c.world.OpenWorkbook(L"C:\\a.xls");
    c.world.AddWindow(L"a.xls");
    c.world.OpenWorkbook(L"C:\\b.csv");
    c.world.AddHiddenWorkbook(L"C:\\hidden.xla");
    Names entries;
    auto menu = c.app->CommandBars()->FindControl({}, excel::ids::WindowMenu);
    auto it = menu->Controls()->Enumerate();
    while (auto e = it->Next()) entries.push_back(e->Caption());
    EXPECT_EQ(Names(entries.end() - 3, entries.end()), (Names{L"&1 a.xls:1", L"&2 a.xls:2", L"&3 b.csv"}));
    menu->Controls()->Item(L"&2 a.xls:2")->Execute();
    EXPECT_EQ(c.world.ActiveWorkbookName(), L"a.xls");

    c.world.SetShowExtensions(false);
    c.world.SetWindowMenuLimit(2);
    auto captions = c.world.WindowMenuCaptions();
    EXPECT_EQ(Names(captions.end() - 3, captions.end()), (Names{L"&1 a:1", L"&2 a:2", L"其他窗口(&M)..."}));
}

// A hook that answers the window-list dialog as the add-in does: choose the
// item named `pick`, then press 确定.
struct DialogDriver {
    static inline World* world = nullptr;
    static inline std::wstring pick;
    static inline int activations = 0;
    static std::intptr_t Proc(int32_t code, std::uintptr_t wParam, std::intptr_t lParam) {
        Platform& p = world->platform();
        if (code == win::HCBT_ACTIVATE && p.GetWindowTextA(wParam) == L"激活") {
            ++activations;
            auto root = p.AccessibleObjectFromWindow(wParam, win::OBJID_WINDOW);
            auto top = p.AccessibleChildren(*root, 0, root->accChildCount());
            auto& list = *top.children[0].object;
            auto items = p.AccessibleChildren(list, 0, list.accChildCount());
            for (const auto& item : items.children)
                if (list.accName(item.childId) == pick) list.accDoDefaultAction(item.childId);
            if (!pick.empty()) top.children[1].object->accDoDefaultAction(acc::CHILDID_SELF);
        }
        return p.CallNextHookEx(0, code, wParam, lParam);
    }
};

TEST(SimExcel, MoreWindowsOpensADialogThatTheHookCanAnswer) {
    Connected c;
    for (auto name : {L"a.xls", L"b.xls", L"c.xls"}) c.world.OpenWorkbook(name);
    c.world.SetWindowMenuLimit(2);
    DialogDriver::world = &c.world;
    DialogDriver::pick = L"a.xls";
    DialogDriver::activations = 0;
    c.world.platform().SetWindowsHookExA(win::WH_CBT, &DialogDriver::Proc, c.world.ExcelInstance(),
                                         c.world.ExcelThreadId());
    auto menu = c.app->CommandBars()->FindControl({}, excel::ids::WindowMenu);
    c.events.log.clear();
    menu->Controls()->Item(L"其他窗口(&M)...")->Execute();

    EXPECT_EQ(DialogDriver::activations, 1);
    ASSERT_EQ(c.world.WindowListDialogs().size(), 1u);
    const auto& dialog = c.world.WindowListDialogs()[0];
    EXPECT_EQ(dialog.items, (Names{L"a.xls", L"b.xls", L"c.xls"}));
    EXPECT_TRUE(dialog.confirmed);
    EXPECT_EQ(dialog.activated, L"a.xls");
    EXPECT_FALSE(c.world.IsWindow(dialog.hwnd));
    EXPECT_EQ(c.events.log, Names{L"Activate(a.xls)"});
    EXPECT_TRUE(c.world.EscapedExceptions().empty());
}

TEST(SimExcel, AnUnansweredDialogStaysOpenUntilTheUserCloses) {
    Connected c;
    for (auto name : {L"a.xls", L"b.xls"}) c.world.OpenWorkbook(name);
    c.world.SetWindowMenuLimit(1);
    DialogDriver::world = &c.world;
    DialogDriver::pick.clear();
    c.world.platform().SetWindowsHookExA(win::WH_CBT, &DialogDriver::Proc, 0, c.world.ExcelThreadId());
    c.app->CommandBars()->FindControl({}, excel::ids::WindowMenu)->Controls()->Item(L"其他窗口(&M)...")->Execute();
    const WindowHandle dialog = c.world.OpenWindowListDialog();
    ASSERT_NE(dialog, 0u);
    EXPECT_EQ(c.world.ActiveWindow(), dialog);
    c.world.CloseWindowListDialog(false);
    EXPECT_EQ(c.world.OpenWindowListDialog(), 0u);
    EXPECT_EQ(c.world.ActiveWorkbookName(), L"b.xls");
}

// Counts clicks per subscribed button.
struct ClickLog : excel::ButtonClickSink {
    void Click(const std::shared_ptr<excel::CommandBarControl>& Ctrl, bool&) override {
        clicked.push_back(Ctrl->Caption());
    }
    Names clicked;
};

TEST(SimExcel, AClickReachesEverySubscribedButtonWithTheSameTag) {
    Connected c;
    auto bars = c.app->CommandBars();
    auto one = bars->Add(L"One", excel::msoBarPopup, false, true);
    auto two = bars->Add(L"Two", excel::msoBarPopup, false, true);
    EXPECT_THROW(bars->Add(L"one"), HostError);  // names are unique, whatever their case
    auto a = one->Controls()->Add(excel::msoControlButton);
    auto b = two->Controls()->Add(excel::msoControlButton);
    auto other = two->Controls()->Add(excel::msoControlButton);
    a->Caption(L"关闭");
    a->Tag(L"T");
    b->Caption(L"关闭");
    b->Tag(L"T");
    other->Caption(L"新建");
    other->Tag(L"U");
    ClickLog sinkA, sinkB, sinkOther;
    auto subA = a->SubscribeClick(sinkA);
    auto subB = b->SubscribeClick(sinkB);
    auto subOther = other->SubscribeClick(sinkOther);
    EXPECT_TRUE(c.world.ClickControl(L"Two", L"关闭"));
    EXPECT_EQ(sinkA.clicked, Names{L"关闭"});
    EXPECT_EQ(sinkB.clicked, Names{L"关闭"});
    EXPECT_TRUE(sinkOther.clicked.empty());
    subA.reset();
    EXPECT_TRUE(c.world.ClickControl(L"One", L"关闭"));
    EXPECT_EQ(sinkA.clicked.size(), 1u);
    EXPECT_EQ(sinkB.clicked.size(), 2u);
}

TEST(SimExcel, AVisibleTopBarGetsAWindowInTheTopDockAndLosesItWhenDeleted) {
    Connected c;
    auto bar = c.app->CommandBars()->Add(L"VodevIzuzod", {}, {}, true);
    EXPECT_EQ(c.world.FindBar(L"VodevIzuzod")->window, 0u);  // created hidden
    bar->Position(excel::msoBarTop);
    bar->Visible(true);
    const WindowHandle window = c.world.FindBar(L"VodevIzuzod")->window;
    ASSERT_NE(window, 0u);
    Platform& p = c.world.platform();
    EXPECT_EQ(p.GetParent(window), c.world.DockWindow(excel::msoBarTop));
    EXPECT_EQ(p.FindWindowExA(c.world.DockWindow(excel::msoBarTop), 0, L"MsoCommandBar", L"VodevIzuzod"), window);
    bar->Delete();
    EXPECT_FALSE(c.world.IsWindow(window));
    EXPECT_THROW(bar->Name(), HostError);
    EXPECT_THROW(c.app->CommandBars()->Item(L"VodevIzuzod"), HostError);
}

TEST(SimExcel, ShowPopupRecordsTheEntriesAndRunsTheScript) {
    Connected c;
    auto bar = c.app->CommandBars()->Add(L"TabBar", excel::msoBarPopup, false, true);
    auto entry = bar->Controls()->Add(excel::msoControlButton);
    entry->Caption(L"保存(&S)");
    entry->Enabled(false);
    std::wstring shown;
    c.world.OnPopup([&](const std::wstring& name) { shown = name; });
    bar->ShowPopup();
    EXPECT_EQ(shown, L"TabBar");
    ASSERT_EQ(c.world.PopupsShown().size(), 1u);
    EXPECT_EQ(c.world.PopupsShown()[0].entries, (std::vector<std::pair<std::wstring, bool>>{{L"保存(&S)", false}}));
    bar->Visible(true);
    EXPECT_EQ(c.world.FindBar(L"TabBar")->window, 0u);  // a popup has no window of its own
}

TEST(SimExcel, EveryPortObjectIsCountedAsAHostReference) {
    World world;
    EXPECT_EQ(world.LiveHostReferences(), 0);
    {
        auto app = world.Application();
        world.OpenWorkbook(L"C:\\a.xls");
        auto windows = app->Workbooks()->Item(L"a.xls")->Windows();
        EXPECT_EQ(world.LiveHostReferences(), 2);  // the application and the Windows collection
    }
    EXPECT_EQ(world.LiveHostReferences(), 0);
}

TEST(SimExcel, CallsAreCountedAndCanBeMadeToFail) {
    World world;
    auto app = world.Application();
    world.EnableCallLog(true);
    app->Visible();
    app->Version();
    EXPECT_EQ(world.CallCount("Application.Visible"), 1);
    EXPECT_EQ(world.CallLog(), (std::vector<std::string>{"Application.Visible", "Application.Version"}));

    world.FailCall("Application.Version");
    EXPECT_THROW(app->Version(), HostError);
    EXPECT_THROW(app->Version(), HostError);
    EXPECT_NO_THROW(app->Visible());
    world.ClearFaults();
    EXPECT_NO_THROW(app->Version());

    world.FailNthCall(2);
    EXPECT_NO_THROW(app->Visible());
    EXPECT_THROW(world.platform().GetTickCount(), HostError);
    EXPECT_STREQ(world.LastFaultMember(), "Platform.GetTickCount");
    EXPECT_NO_THROW(world.platform().GetTickCount());  // once only
    EXPECT_EQ(world.InjectedFaults(), 3);
}

}  // namespace
}  // namespace tarnwick::sim

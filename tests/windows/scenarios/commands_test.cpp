// The popup menus in Office, their entries run through a right click on the
// strip, double clicks on a tab and on the empty strip, the close buttons,
// the middle button, the unsaved mark, and the about dialog.
#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"

namespace scen {
namespace {

class Commands : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(RegisterAddin(), 0u); }


    static std::vector<std::wstring> OpenNames(const fakexl::FakeExcel& x) {
        std::vector<std::wstring> names;
        for (const auto& b : x.Workbooks()) names.push_back(b.name);
        return names;
    }
};

TEST_F(Commands, BothPopupsExistInOfficeWithTheirEntries) {
    Session s({.initialWorkbooks = 1});
    ASSERT_TRUE(s.WaitForStrip({L"Book1"}));
    const std::pair<const wchar_t*, std::vector<std::wstring>> menus[] = {
        {L"TabBar",
         {L"关闭工作簿(&C)", L"保存工作簿(&S)", L"保存所有工作簿(&Y)", L"另存为(&A)", L"关闭其它工作簿(&O)",
          L"关闭所有工作簿(&L)", L"打开所在文件夹(&Y)", L"关于此切换插件(&Y)"}},
        {L"TabBarII", {L"新建空白工作簿(&N)", L"保存所有工作簿(&Y)", L"关闭所有工作簿(&L)", L"关于此切换插件(&Y)"}},
    };
    for (const auto& [name, captions] : menus) {
        auto bar = s.excel.Bar(name);
        ASSERT_TRUE(bar) << "no popup bar";
        EXPECT_EQ(bar->position, fakexl::kBarPopup);
        std::vector<std::wstring> got;
        for (const auto& c : bar->controls) {
            got.push_back(c.caption);
            EXPECT_EQ(c.tag, L"Tarnwick");
        }
        EXPECT_EQ(got, captions);
    }
    SCOPED_TRACE("a reconnection replaces them");
    ASSERT_EQ(s.Disconnect(), S_OK);
    ASSERT_EQ(s.Connect(), S_OK);
    ASSERT_TRUE(s.WaitForStrip({L"Book1"}));
    for (const auto& [name, captions] : menus) {
        int found = 0;
        for (const auto& bar : s.excel.Bars()) found += bar.name == name;
        EXPECT_EQ(found, 1);
        EXPECT_EQ(s.excel.Bar(name)->controls.size(), captions.size());
    }
    EXPECT_EQ(s.excel.ButtonEventSinks(), 1);
}

TEST_F(Commands, ARightClickOpensTheMenuOfTheTabOrOfTheStripWithTheRightEntriesGreyed) {
    struct Case {
        const char* what;
        int books;
        bool openFromDisk;  // the clicked workbook has a folder
        bool onTab;
        std::wstring bar;
        std::vector<bool> enabled;
    };
    const Case cases[] = {
        {"one never-saved workbook", 1, false, true, L"TabBar", {true, true, false, true, false, false, false, true}},
        {"two workbooks, one from disk", 1, true, true, L"TabBar", {true, true, true, true, true, true, true, true}},
        {"the empty strip", 2, false, false, L"TabBarII", {true, true, true, true}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s({.initialWorkbooks = c.books});
        std::wstring target = L"Book1";
        if (c.openFromDisk) {
            s.excel.OpenWorkbook(L"C:\\data\\sales.xls");
            target = L"sales.xls";
        }
        s.excel.ActivateWorkbook(L"Book1");
        ASSERT_TRUE(s.excel.PumpUntil([&] { return !s.Tabs().empty(); }, 5000));
        s.excel.ClearEvents();
        if (c.onTab) {
            s.ClickTab(target, Button::Right);
        } else {
            s.Click(s.EmptyStripPoint(), Button::Right);
        }
        const auto popups = s.excel.Popups();
        ASSERT_EQ(popups.size(), 1u);
        EXPECT_EQ(popups[0].bar, c.bar);
        std::vector<bool> enabled;
        for (const auto& control : popups[0].controls) enabled.push_back(control.enabled);
        EXPECT_EQ(enabled, c.enabled);
        if (c.onTab) {
            EXPECT_EQ(s.excel.ActiveWorkbook(), target) << "the right-clicked tab is not selected";
        }
    }
}

TEST_F(Commands, EntriesRunTheirCommands) {
    using Books = std::vector<std::wstring>;
    struct Case {
        const char* what;
        std::wstring target, entry;  // target empty: the empty strip
        std::function<void(fakexl::FakeExcel&)> prepare;
        std::function<void(const fakexl::FakeExcel&)> check;
        std::vector<std::wstring> commands;
    };
    auto openBooks = [](Books want) {
        return [want](const fakexl::FakeExcel& x) { EXPECT_EQ(OpenNames(x), want); };
    };
    const Case cases[] = {
        {"close", L"Book2", L"关闭工作簿(&C)", nullptr, openBooks({L"Book1", L"Book3"}), {L"106"}},
        // A never-saved workbook is saved through Excel's save-as prompt.
        {"save", L"Book2", L"保存工作簿(&S)",
         [](auto& x) { x.QueueSaveAsAnswer(std::wstring(L"C:\\data\\saved.xls")); },
         openBooks({L"Book1", L"saved.xls", L"Book3"}), {L"3"}},
        {"save as", L"Book2", L"另存为(&A)",
         [](auto& x) { x.QueueSaveAsAnswer(std::wstring(L"C:\\data\\plan b.xls")); },
         openBooks({L"Book1", L"plan b.xls", L"Book3"}), {L"748"}},
        {"save all, every workbook never saved", L"", L"保存所有工作簿(&Y)",
         [](auto& x) {
             for (int i = 0; i < 3; ++i) x.SetDirty(L"Book" + std::to_wstring(i + 1), true);
             x.SetDefaultSaveAsAnswer(std::nullopt);
             for (const wchar_t* path : {L"C:\\d\\s1.xls", L"C:\\d\\s2.xls", L"C:\\d\\s3.xls"}) {
                 x.QueueSaveAsAnswer(std::wstring(path));
             }
         },
         [](const fakexl::FakeExcel& x) {
             const auto books = x.Workbooks();
             EXPECT_EQ(books.size(), 3u);
             for (const auto& b : books) {
                 EXPECT_FALSE(b.dirty);
                 EXPECT_EQ(b.name.rfind(L"Book", 0), std::wstring::npos) << "left unsaved";
             }
         },
         {}},
        {"close others, one of them changed and not saved", L"Book2", L"关闭其它工作簿(&O)",
         [](auto& x) {
             x.SetDirty(L"Book3", true);
             x.QueueSavePromptAnswer(fakexl::SaveAnswer::DontSave);
         },
         openBooks({L"Book2"}), {}},
        {"close all", L"Book2", L"关闭所有工作簿(&L)", nullptr, openBooks({}), {}},
        {"new", L"", L"新建空白工作簿(&N)", nullptr, openBooks({L"Book1", L"Book2", L"Book3", L"Book4"}), {L"2520"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s({.initialWorkbooks = 3});
        ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}));
        if (c.prepare) c.prepare(s.excel);
        ChooseFromPopup(s, c.target, c.entry);
        c.check(s.excel);
        const auto commands = s.excel.Commands();
        for (const auto& command : c.commands) {
            EXPECT_NE(std::find(commands.begin(), commands.end(), command), commands.end()) << "command not run";
        }
        if (s.excel.Workbooks().empty()) {
            EXPECT_TRUE(s.WaitForNoStrip());
        } else {
            const auto active = s.excel.ActiveWorkbook();
            ASSERT_TRUE(active);
            EXPECT_TRUE(s.WaitForStrip(OpenNames(s.excel), *active));
        }
        EXPECT_TRUE(s.excel.ScreenUpdating());
        EXPECT_TRUE(s.excel.SinkFailures().empty());
        EXPECT_TRUE(s.excel.UnexpectedCalls().empty());
    }
}

TEST_F(Commands, DoubleClicksCloseATabsWorkbookOrCreateOne) {
    enum Step { Left, Right, Pause };  // Pause: longer than the double-click time
    struct Case {
        const char* what;
        bool onTab;  // Book2's tab, or the empty strip
        std::vector<Step> steps;
        std::vector<std::wstring> books;
    };
    const Case cases[] = {
        {"double click on a tab", true, {Left, Left}, {L"Book1", L"Book3"}},
        {"double click on the empty strip", false, {Left, Left}, {L"Book1", L"Book2", L"Book3", L"Book4"}},
        {"slow clicks on a tab", true, {Left, Pause, Left}, {L"Book1", L"Book2", L"Book3"}},
        {"slow clicks on the empty strip", false, {Left, Pause, Left}, {L"Book1", L"Book2", L"Book3"}},
        {"a right click between", true, {Left, Right, Left}, {L"Book1", L"Book2", L"Book3"}},
        {"a third quick click only arms", false, {Left, Left, Left}, {L"Book1", L"Book2", L"Book3", L"Book4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s({.initialWorkbooks = 3});
        s.excel.ActivateWorkbook(L"Book3");
        ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, L"Book3"));
        POINT at = s.EmptyStripPoint();
        if (c.onTab) {
            for (const Tab& t : s.Tabs()) {
                if (t.name == L"Book2") at = POINT{(t.screen.left + t.screen.right) / 2, (t.screen.top + t.screen.bottom) / 2};
            }
        }
        for (Step step : c.steps) {
            if (step == Pause) {
                s.Pump(::GetDoubleClickTime() + 150);
            } else {
                s.Click(at, step == Left ? Button::Left : Button::Right);
            }
        }
        EXPECT_EQ(OpenNames(s.excel), c.books);
        if (c.onTab && c.books.size() == 3) {
            EXPECT_EQ(s.excel.ActiveWorkbook(), L"Book2");
        }
        const auto active = s.excel.ActiveWorkbook();
        ASSERT_TRUE(active);
        EXPECT_TRUE(s.WaitForStrip(c.books, *active));
    }
}

// A tab's accessible object while it has a close button (its child 1).
ComPtr<IAccessible> TabObject(HWND strip, int index) {
    ComPtr<IAccessible> list;
    ::AccessibleObjectFromWindow(strip, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, list.put_void());
    if (!list) return nullptr;
    VARIANT child;
    ::VariantInit(&child);
    V_VT(&child) = VT_I4;
    V_I4(&child) = index + 1;
    ComPtr<IDispatch> object;
    if (list->get_accChild(child, object.put()) != S_OK || !object) return nullptr;
    return object.TryAs<IAccessible>(IID_IAccessible);
}

POINT CloseButtonOf(IAccessible& tab) {
    VARIANT button;
    ::VariantInit(&button);
    V_VT(&button) = VT_I4;
    V_I4(&button) = 1;
    long x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(tab.accLocation(&x, &y, &w, &h, button), S_OK);
    return POINT{x + w / 2, y + h / 2};
}

TEST_F(Commands, TheCloseButtonAndTheMiddleButtonCloseTheirTabsWorkbookOnce) {
    enum How { CloseButton, Middle, MiddleOnEmptyStrip };
    const struct Case {
        const char* what;
        How how;
        int tab;  // Book1, Book2, Book3 with Book3 active
        std::vector<std::wstring> books;
    } cases[] = {
        {"close button of the selected tab", CloseButton, 2, {L"Book1", L"Book2"}},
        {"close button of another tab, under the pointer", CloseButton, 0, {L"Book2", L"Book3"}},
        {"middle click on a tab", Middle, 1, {L"Book1", L"Book3"}},
        {"middle click on the empty strip", MiddleOnEmptyStrip, 0, {L"Book1", L"Book2", L"Book3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Session s({.initialWorkbooks = 3});
        s.excel.ActivateWorkbook(L"Book3");
        ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2", L"Book3"}, L"Book3"));
        s.excel.ClearEvents();
        const std::vector<Tab> tabs = s.Tabs();
        const RECT& r = tabs[c.tab].screen;
        const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        if (c.how == CloseButton) {
            ComPtr<IAccessible> tab = TabObject(s.TabWindow(), c.tab);
            ASSERT_TRUE(tab) << "the tab has a close button";
            s.Click(CloseButtonOf(*tab.get()));
        } else {
            s.Click(c.how == Middle ? centre : s.EmptyStripPoint(), Button::Middle);
        }
        s.Pump(200);
        EXPECT_EQ(OpenNames(s.excel), c.books);
        const auto commands = s.excel.Commands();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), L"106"), c.books.size() == 3 ? 0 : 1);
        const auto active = s.excel.ActiveWorkbook();
        ASSERT_TRUE(active);
        EXPECT_TRUE(s.WaitForStrip(c.books, *active));
        EXPECT_TRUE(s.excel.UnexpectedCalls().empty());
    }
}

TEST_F(Commands, ATabShowsItsWorkbooksUnsavedChangesToScreenReaders) {
    Session s({.initialWorkbooks = 2});
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}, L"Book2"));
    ComPtr<IAccessible> list;
    ::AccessibleObjectFromWindow(s.TabWindow(), static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, list.put_void());
    ASSERT_TRUE(list);
    const auto valueOf = [&](long child) {
        VARIANT id;
        ::VariantInit(&id);
        V_VT(&id) = VT_I4;
        V_I4(&id) = child;
        BSTR value = nullptr;
        list->get_accValue(id, &value);
        std::wstring text = value ? value : L"";
        ::SysFreeString(value);
        return text;
    };
    EXPECT_EQ(valueOf(1), L"");
    s.excel.SetDirty(L"Book1", true);
    s.Pump(700);  // one poll is due every 500 ms
    EXPECT_EQ(valueOf(1), L"未保存");
    EXPECT_EQ(valueOf(2), L"");
    s.excel.SetDirty(L"Book1", false);
    s.Pump(700);
    EXPECT_EQ(valueOf(1), L"");
}

// What the about dialog showed, read from inside its modal loop.
struct AboutSeen {
    HWND dialog = nullptr, owner = nullptr;
    std::wstring title;
    bool chineseText = false;
    std::wstring font;
    BYTE charset = 0;
    int option = 0;  // the option button to press
};
AboutSeen g_about;

void CALLBACK AnswerAbout(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = nullptr;
    for (HWND w : ThreadWindows()) {
        if (ClassOf(w) == kAboutClass && ::IsWindowVisible(w)) dialog = w;
    }
    if (!dialog) return;
    ::KillTimer(nullptr, timer);
    g_about.dialog = dialog;
    g_about.owner = ::GetWindow(dialog, GW_OWNER);
    g_about.title = TextOf(dialog);
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring text = TextOf(child);
        g_about.chineseText |= std::any_of(text.begin(), text.end(), [](wchar_t ch) { return ch >= 0x4E00 && ch <= 0x9FFF; });
    }
    if (HWND ok = ::GetDlgItem(dialog, IDOK)) {
        LOGFONTW font{};
        if (HFONT f = reinterpret_cast<HFONT>(::SendMessageW(ok, WM_GETFONT, 0, 0));
            f && ::GetObjectW(f, sizeof font, &font)) {
            g_about.font = font.lfFaceName;
            g_about.charset = font.lfCharSet;
        }
        if (HWND option = ::GetDlgItem(dialog, g_about.option)) ::SendMessageW(option, BM_CLICK, 0, 0);
        ::PostMessageW(ok, BM_CLICK, 0, 0);
    }
}

TEST_F(Commands, TheAboutDialogIsOwnedByExcelAndStoresTheChosenStyle) {
    // Option2 (id 1002) is the deluxe style "0", Option1 (id 1003) the simple style "1".
    struct Case {
        std::wstring from, to;
        int option;
    };
    Session s({.initialWorkbooks = 2});
    WriteSetting(L"Theme", L"0");
    ASSERT_EQ(s.Disconnect(), S_OK);
    ASSERT_EQ(s.Connect(), S_OK);
    ASSERT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}));
    auto tabLeft = [&] {
        RECT tab{}, form{};
        ::GetWindowRect(s.TabWindow(), &tab);
        ::GetWindowRect(s.Form(), &form);
        return tab.left - form.left;
    };
    for (const Case& c : {Case{L"0", L"1", 1003}, Case{L"1", L"0", 1002}}) {
        SCOPED_TRACE(testing::Message() << "to style " << char(c.to[0]));
        const LONG leftBefore = tabLeft();
        const HWND formBefore = s.Form();
        g_about = AboutSeen{};
        g_about.option = c.option;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, AnswerAbout);
        ChooseFromPopup(s, L"", L"关于此切换插件(&Y)");
        ::KillTimer(nullptr, timer);

        ASSERT_TRUE(g_about.dialog) << "no about dialog seen";
        EXPECT_EQ(g_about.owner, s.excel.MainWindow());
        EXPECT_NE(g_about.title.find(L"关于"), std::wstring::npos);
        EXPECT_TRUE(g_about.chineseText);
        EXPECT_EQ(g_about.font, L"微软雅黑");
        EXPECT_EQ(g_about.charset, GB2312_CHARSET);
        EXPECT_FALSE(::IsWindow(g_about.dialog));
        EXPECT_EQ(ReadSetting(L"Theme"), c.to);

        SCOPED_TRACE("the strip is docked again in the other style");
        EXPECT_TRUE(s.WaitForStrip({L"Book1", L"Book2"}));
        EXPECT_FALSE(::IsWindow(formBefore));
        EXPECT_NE(tabLeft(), leftBefore);
    }
}

}  // namespace
}  // namespace scen

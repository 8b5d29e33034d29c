// Workbook names a user can really have: pattern characters, very long
// names, Chinese and characters beyond the ANSI code page, names that differ
// from a tab only in letter case, folders with blanks and commas.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hostile_excel.h"

namespace tarnwick::hostile {
namespace {

using Names = std::vector<std::wstring>;

const std::wstring kFolder = L"C:\\data\\";

std::wstring BaseName(const std::wstring& name) {
    const auto dot = name.rfind(L'.');
    return dot == std::wstring::npos ? name : name.substr(0, dot);
}

// A name that a pattern-reading of `target` would also match, opened first
// so that it is listed before the target.
struct LookAlike {
    const wchar_t* decoy;
    const wchar_t* target;
};
const LookAlike kLookAlikes[] = {
    {L"Q11.xls", L"Q#1.xls"},     {L"aXb.xls", L"a*b.xls"}, {L"whatX.xls", L"what?.xls"},
    {L"x.xls", L"[x].xls"},       {L"y.xls", L"[!x].xls"},  {L"b.xls", L"[x.xls"},
    {L"2024.xls", L"20[0-9]4.xls"},
};

TEST(HostileNames, PatternCharactersPickTheirOwnWindowMenuEntry) {
    for (const LookAlike& names : kLookAlikes) {
        for (const bool extensions : {true, false}) {
            SCOPED_TRACE(Utf8(names.target) + (extensions ? " (extensions shown)" : " (extensions hidden)"));
            HostileExcel excel({kFolder + names.decoy, kFolder + names.target, kFolder + L"z.xls"});
            sim::World& world = excel.world;
            world.SetShowExtensions(extensions);
            excel.Connect();
            excel.Settle();
            excel.EditInFormulaBar();

            excel.Entry("click", [&] { world.ClickTab(1); });
            const std::wstring caption = extensions ? names.target : BaseName(names.target);
            EXPECT_EQ(WindowSwitchCommands(world), Names{L"WindowMenu(&2 " + caption + L")"});
            EXPECT_EQ(world.ActiveWorkbookName(), names.target);
            excel.Settle();
            EXPECT_EQ(world.SelectedTab(), 1);
            excel.ExpectAtRest("after the click");
        }
    }
}

TEST(HostileNames, PatternCharactersPickTheirOwnWindowListItem) {
    for (const LookAlike& names : kLookAlikes) {
        SCOPED_TRACE(Utf8(names.target));
        HostileExcel excel({kFolder + names.decoy, kFolder + names.target, kFolder + L"z.xls"});
        sim::World& world = excel.world;
        world.SetWindowMenuLimit(0);
        excel.Connect();
        excel.Settle();
        excel.EditInFormulaBar();

        excel.Entry("click", [&] { world.ClickTab(1); });
        ASSERT_EQ(world.WindowListDialogs().size(), 1u);
        EXPECT_TRUE(world.WindowListDialogs()[0].confirmed);
        EXPECT_EQ(world.WindowListDialogs()[0].activated, names.target);
        excel.Settle();
        excel.ExpectAtRest("after the dialog");
    }
}

// Names Excel shows as they are: long, Chinese, beyond the Basic Multilingual
// Plane, with combining marks. None may be cut, altered or confused with its
// neighbour, on the strip, in its tooltip, in the switch while editing or in
// the folder command.
TEST(HostileNames, UnusualNamesSurviveTheStripTheSwitchAndTheFolderCommand) {
    const std::wstring longStem(296, L'n');
    const std::wstring longChinese(300, L'\x9884');  // 预 x 300
    struct Case {
        const char* label;
        std::wstring first;   // file names; the second differs from the first late
        std::wstring second;
    };
    const Case cases[] = {
        {"300 characters, differing in the last before the extension", longStem + L"1.xls", longStem + L"2.xls"},
        {"301 Chinese characters without extension", longChinese + L"甲", longChinese + L"乙"},
        {"Chinese", L"预算 2024年.xls", L"预算 2025年.xls"},
        {"beyond the BMP", L"\U00020000\U0001D11E.xls", L"\U00020001\U0001D11E.xls"},
        {"combining marks", L"Cafe\u0301.xls", L"Caf\u00E9.xls"},
        {"dots and blanks", L"a.b c..xls", L"a.b c.xls"},
    };
    for (const Case& c : cases) {
        for (const int32_t limit : {9, 0}) {
            SCOPED_TRACE(std::string(c.label) + (limit == 0 ? " (through the dialog)" : " (through the menu)"));
            const std::wstring folder = L"D:\\项目 资料, 新\\";
            HostileExcel excel({folder + c.first, folder + c.second, kFolder + L"z.xls"});
            sim::World& world = excel.world;
            world.SetWindowMenuLimit(limit);
            excel.Connect();
            excel.Settle();
            ASSERT_EQ(world.TabCaptions(), (Names{c.first, c.second, L"z.xls"}));
            EXPECT_EQ(world.TabToolTips(), (Names{folder + c.first, folder + c.second, kFolder + L"z.xls"}));

            excel.EditInFormulaBar();
            excel.Entry("click first", [&] { world.ClickTab(0); });
            EXPECT_EQ(world.ActiveWorkbookName(), c.first);
            excel.Settle();
            excel.EditInFormulaBar();
            excel.Entry("click second", [&] { world.ClickTab(1); });
            EXPECT_EQ(world.ActiveWorkbookName(), c.second);

            // A stable strip: the tick finds nothing to repair.
            excel.Settle();
            world.ResetCallCounts();
            excel.Settle(20);
            EXPECT_EQ(world.CallCount("TabControl.RemoveAll"), 0) << "the strip keeps being rebuilt";
            EXPECT_EQ(world.SelectedTab(), 1);

            excel.Entry("open folder", [&] { world.ClickControl(L"TabBar", L"打开所在文件夹(&Y)"); });
            ASSERT_EQ(world.ProcessStarts().size(), 1u);
            EXPECT_NE(world.ProcessStarts()[0].commandLine.find(L"/select,\"" + folder + c.second + L"\""),
                      std::wstring::npos);
            excel.ExpectAtRest("after the commands");
        }
    }
}

// The command line as the started program's C runtime splits it: blanks
// separate arguments outside double quotes, which themselves vanish.
Names SplitCommandLine(const std::wstring& line) {
    Names args;
    std::wstring current;
    bool quoted = false;
    bool any = false;
    for (const wchar_t ch : line) {
        if (ch == L'"') {
            quoted = !quoted;
            any = true;
        } else if ((ch == L' ' || ch == L'\t') && !quoted) {
            if (any) args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += ch;
            any = true;
        }
    }
    if (any) args.push_back(current);
    return args;
}

TEST(HostileNames, FolderCommandKeepsAPathWithBlanksAndCommasOneArgument) {
    const wchar_t* const paths[] = {
        L"C:\\My Documents\\a b.xls",
        L"C:\\data, 2024\\x,y.xls",
        L"C:\\R&D; old (copy)\\^%PATH%!.xls",
        L"\\\\server\\share name\\预算, 二.xls",
        L"C:\\  two  blanks  \\ lead.xls",
    };
    for (const wchar_t* path : paths) {
        SCOPED_TRACE(Utf8(path));
        HostileExcel excel({path});
        sim::World& world = excel.world;
        world.SetSystemWindowsDirectory(L"C:\\WINNT");
        excel.Connect();
        excel.Entry("open folder", [&] { world.ClickControl(L"TabBar", L"打开所在文件夹(&Y)"); });
        ASSERT_EQ(world.ProcessStarts().size(), 1u);
        const sim::ProcessStart& start = world.ProcessStarts()[0];
        const std::wstring explorer = L"C:\\WINNT\\explorer.exe";
        EXPECT_EQ(start.application, explorer);
        EXPECT_EQ(SplitCommandLine(start.commandLine), (Names{explorer, L"/select," + std::wstring(path)}))
            << Utf8(start.commandLine);
    }
}

// Excel keeps one workbook per name whatever the letter case, but a save
// under the same name in other letters renames it, and a tab can still carry
// the old spelling: tabs compare exactly, Excel's lookups do not.
TEST(HostileNames, NamesDifferingOnlyInCaseAreDifferentTabs) {
    HostileExcel excel({kFolder + L"Book.xls", kFolder + L"other.xls"});
    sim::World& world = excel.world;
    excel.Connect();
    excel.Settle();
    Form_Tab& form = *State().TabStripForm;

    SCOPED_TRACE("a rebuild for another spelling selects nothing");
    excel.Entry("UpdateMenu", [&] { form.UpdateMenu(L"book.xls"); });
    EXPECT_EQ(world.SelectedTab(), -1);
    excel.Entry("UpdateMenu", [&] { form.UpdateMenu(L"Book.xls"); });
    EXPECT_EQ(world.SelectedTab(), 0);

    SCOPED_TRACE("another spelling gets a tab of its own, the next tick rebuilds it away");
    excel.Entry("AddMenu", [&] { form.AddMenu(L"BOOK.xls"); });
    EXPECT_EQ(world.TabCaptions(), (Names{L"Book.xls", L"other.xls", L"BOOK.xls"}));
    EXPECT_EQ(world.TabToolTips()[2], kFolder + L"Book.xls");
    excel.Settle();
    EXPECT_EQ(world.TabCaptions(), (Names{L"Book.xls", L"other.xls"}));

    SCOPED_TRACE("saved as book.xls: the tab follows the new spelling and stays put");
    world.ActivateByUser(L"Book.xls");
    excel.Settle();
    world.RenameWorkbook(L"Book.xls", kFolder + L"book.xls");
    excel.Settle();
    EXPECT_EQ(world.TabCaptions(), (Names{L"book.xls", L"other.xls"}));
    EXPECT_EQ(world.SelectedTab(), 0);
    world.ResetCallCounts();
    excel.Settle(10);
    EXPECT_EQ(world.CallCount("TabControl.RemoveAll"), 0);
    EXPECT_EQ(world.CallCount("Workbook.Activate"), 0);

    SCOPED_TRACE("clicking each tab activates its own workbook");
    excel.Entry("click other", [&] { world.ClickTab(1); });
    EXPECT_EQ(world.ActiveWorkbookName(), L"other.xls");
    excel.Entry("click book", [&] { world.ClickTab(0); });
    EXPECT_EQ(world.ActiveWorkbookName(), L"book.xls");
    excel.Settle();
    excel.ExpectAtRest("end");
}

}  // namespace
}  // namespace tarnwick::hostile

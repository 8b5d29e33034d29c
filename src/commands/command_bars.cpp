// The two popup menus. Every entry carries the same Tag, so Office raises the
// click of the one subscribed button for all twelve; the handler tells them
// apart by Parameter.
#include "commands/command_bars.h"

#include <array>

#include "interop/addin_state.h"
#include "interop/host_error.h"

namespace tarnwick {
namespace {

struct MenuEntry {
    const wchar_t* caption;
    const wchar_t* parameter;
};

// Part of the public contract: the tab's right-click handler addresses
// "TabBar" entries by position (3, 5, 6, 7), so the order is fixed.
constexpr std::array<MenuEntry, 8> kTabBarEntries{{
    {L"关闭工作簿(&C)", cmd::Close},
    {L"保存工作簿(&S)", cmd::Save},
    {L"保存所有工作簿(&Y)", cmd::SaveAll},
    {L"另存为(&A)", cmd::SaveAs},
    {L"关闭其它工作簿(&O)", cmd::CloseOther},
    {L"关闭所有工作簿(&L)", cmd::CloseAll},
    {L"打开所在文件夹(&Y)", cmd::OpenDir},
    {L"关于此切换插件(&Y)", cmd::About},
}};

constexpr std::array<MenuEntry, 4> kTabBarIIEntries{{
    {L"新建空白工作簿(&N)", cmd::New},
    {L"保存所有工作簿(&Y)", cmd::SaveAll},
    {L"关闭所有工作簿(&L)", cmd::CloseAll},
    {L"关于此切换插件(&Y)", cmd::About},
}};

// Deletes a leftover bar of this name (the host kept running since an earlier
// connection), adds a fresh temporary popup and fills it. Returns the bar in
// `bar` and leaves the last button actually created in `oBtn` (untouched
// when none was).
template <std::size_t N>
void BuildPopup(const wchar_t* name, const std::array<MenuEntry, N>& entries, std::shared_ptr<excel::CommandBar>& bar,
                std::shared_ptr<excel::CommandBarControl>& oBtn) {
    step([&] { Required(Required(Required(State().ExcelApp).CommandBars()).Item(name)).Delete(); });
    step([&] {
        bar = Required(Required(State().ExcelApp).CommandBars())
                  .Add(std::wstring(name), excel::msoBarPopup, std::nullopt, true);
    });
    for (const MenuEntry& entry : entries) {
        std::shared_ptr<excel::CommandBarControl> button;
        step([&] { button = Required(Required(bar).Controls()).Add(); });
        step([&] { Required(button).Caption(entry.caption); });
        step([&] { Required(button).Tag(kButtonTag); });
        step([&] { Required(button).Parameter(entry.parameter); });
        // One failed add must not leave every entry without a subscription.
        if (button) oBtn = button;
    }
    step([&] { Required(bar).Enabled(true); });
    step([&] { Required(bar).Visible(true); });
}

}  // namespace

void CreateCommandBars(WorkbookCommands& handler) {
    std::shared_ptr<excel::CommandBarControl> oBtn;
    BuildPopup(kTabBar, kTabBarEntries, State().TabBarPopup, oBtn);
    BuildPopup(kTabBarII, kTabBarIIEntries, State().TabBarIIPopup, oBtn);
    // Office raises this one button's click for every entry with its Tag.
    step([&] { handler.SetButton(oBtn); });
}

}  // namespace tarnwick

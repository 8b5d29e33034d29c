// The tab list: one tab per workbook with a visible window, captioned with
// the workbook's Name (the tab's only key, compared exactly), its FullName as
// tooltip, in the order of Excel's Workbooks collection.
#include <memory>
#include <string>

#include "interop/addin_state.h"
#include "interop/host_error.h"
#include "tabstrip/form_tab.h"
#include "tracking/excel_windows.h"
#include "tracking/unsaved_marks.h"

namespace tarnwick {

namespace {

constexpr int32_t kWorkbookImage = 0;
constexpr int32_t kNoChild = -1;

}  // namespace

void Form_Tab::FillTabs(tab::TabControl& tabs) {
    step([&] { tabs.RemoveAll(); });
    step([&] { Required(tabs.PaintManager()).ShowIcons(true); });
    step([&] { tabs.SetImageList(Required(window_).ImageList1()); });
    step([&] { tabs.ItemCount(CountVisibleWorkbooks()); });

    std::unique_ptr<excel::Enumerator<excel::Workbook>> workbooks;
    assign(workbooks, [&] { return Required(Required(oHostApp_).Workbooks()).Enumerate(); });
    if (!workbooks) return;
    int32_t i = 0;
    for (;;) {
        std::shared_ptr<excel::Workbook> wb;
        try {
            wb = workbooks->Next();
        } catch (const HostError&) {
            break;
        }
        if (!wb) break;
        if (holds([&] { return IsWorkbookVisible(wb->Name()); })) {
            step([&] { Required(tabs.Item(i)).Caption(wb->Name()); });
            step([&] { Required(tabs.Item(i)).ToolTip(wb->FullName()); });
            step([&] { Required(tabs.Item(i)).Image(kWorkbookImage); });
            // New tabs start unmarked; the poll would mark them again only
            // on its next round.
            step([&] {
                const std::shared_ptr<tab::TabItem> item = tabs.Item(i);
                if (KnownUnsaved(Required(item).Caption())) item->Unsaved(true);
            });
            ++i;
        }
    }
}

void Form_Tab::UpdateMenu(const std::wstring& name) {
    std::shared_ptr<tab::TabControl> tabs;
    assign(tabs, [&] { return TabSeclect(); });
    step([&] { FillTabs(Required(tabs)); });

    int32_t itemCount = 0;
    assign(itemCount, [&] { return Required(tabs).ItemCount(); });
    for (int32_t i = 0; i < itemCount; ++i) {
        if (name.empty()) {
            if (holds([&] {
                    return Required(Required(oHostApp_).ActiveWorkbook()).Name() == Required(tabs->Item(i)).Caption();
                })) {
                step([&] { Required(tabs->Item(i)).Selected(true); });
            }
        } else {
            if (holds([&] { return name == Required(tabs->Item(i)).Caption(); })) {
                step([&] { Required(tabs->Item(i)).Selected(true); });
            }
        }
    }
}

void Form_Tab::AddMenu(const std::wstring& name) {
    std::shared_ptr<tab::TabControl> tabs;
    assign(tabs, [&] { return TabSeclect(); });

    int32_t itemCount = 0;
    assign(itemCount, [&] { return Required(tabs).ItemCount(); });
    for (int32_t i = 0; i < itemCount; ++i) {
        if (holds([&] { return name == Required(tabs->Item(i)).Caption(); })) return;
    }

    std::shared_ptr<tab::TabItem> item;
    assign(item, [&] { return Required(tabs).InsertItem(Required(tabs).ItemCount(), name, kNoChild, kWorkbookImage); });
    step([&] { Required(item).ToolTip(Required(Required(Required(oHostApp_).Workbooks()).Item(name)).FullName()); });
    step([&] { Required(item).Selected(true); });
}

void Form_Tab::DelMenu(const std::wstring& name) {
    std::shared_ptr<tab::TabControl> tabs;
    assign(tabs, [&] { return TabSeclect(); });

    // Walked from the end, so that a removal does not move the next
    // candidate under the index just checked: every tab of that name goes.
    int32_t itemCount = 0;
    assign(itemCount, [&] { return Required(tabs).ItemCount(); });
    for (int32_t i = itemCount - 1; i >= 0; --i) {
        bool matches = false;
        assign(matches, [&] { return name == Required(tabs->Item(i)).Caption(); });
        if (matches) step([&] { tabs->RemoveItem(i); });
    }
}

void Form_Tab::ActiveMenu(const std::wstring& name) {
    const std::shared_ptr<tab::TabControl> tabs = TabSeclect();
    const int32_t itemCount = Required(tabs).ItemCount();
    for (int32_t i = 0; i < itemCount; ++i) {
        if (name == Required(tabs->Item(i)).Caption()) Required(tabs->Item(i)).Selected(true);
    }
}

}  // namespace tarnwick

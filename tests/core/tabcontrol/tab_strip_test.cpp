// Event order of Corvane.ocx, checked against a strict recording sink: every
// event is written down, and a test states the whole sequence it expects.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "corvane/tab_strip.h"
#include "corvane/ids.h"

namespace corvane {
namespace {

class RecordingEvents : public TabStripEvents {
public:
    std::vector<std::wstring> log;
    bool cancelClicks = false;
    std::function<void(const ItemRef&)> onBeforeItemClick;
    std::function<void(const ItemRef&)> onSelectedChanged;

    void MouseDown(int16_t button, int16_t, float x, float y) override {
        log.push_back(L"MouseDown " + std::to_wstring(button) + L" " + Coord(x) + L"," + Coord(y));
    }
    void BeforeItemClick(const ItemRef& item, bool& cancel) override {
        log.push_back(L"BeforeItemClick " + item->caption);
        if (onBeforeItemClick) onBeforeItemClick(item);
        cancel = cancelClicks;
    }
    void SelectedChanged(const ItemRef& item) override {
        log.push_back(L"SelectedChanged " + item->caption);
        if (onSelectedChanged) onSelectedChanged(item);
    }
    void CloseButtonClick(const ItemRef& item) override { log.push_back(L"CloseButtonClick " + item->caption); }
    void MouseUp(int16_t button, int16_t, float x, float y) override {
        log.push_back(L"MouseUp " + std::to_wstring(button) + L" " + Coord(x) + L"," + Coord(y));
    }

private:
    static std::wstring Coord(float v) { return std::to_wstring(static_cast<int>(v)); }
};

using Log = std::vector<std::wstring>;

struct World {
    RecordingEvents events;
    TabStrip strip{events};
    explicit World(std::initializer_list<const wchar_t*> captions) {
        for (const wchar_t* c : captions) strip.Model().Insert(strip.Model().Count(), c, 0);
    }
    ItemRef Tab(int32_t i) { return strip.Model().At(i); }
};

TEST(TabStrip, LeftClickOnAnotherTabRaisesBeforeItemClickThenSelectedChangedThenMouseUp) {
    World w{L"Book1", L"Book2"};
    w.strip.Select(w.Tab(0));
    w.events.log.clear();

    SCOPED_TRACE("press and release the left button on Book2");
    w.strip.ButtonDown(kLeftButton, 0, 70, 10, w.Tab(1));
    w.strip.ButtonUp(kLeftButton, 0, 70, 10);

    EXPECT_EQ(w.events.log,
              (Log{L"MouseDown 1 70,10", L"BeforeItemClick Book2", L"SelectedChanged Book2", L"MouseUp 1 70,10"}));
    EXPECT_EQ(w.strip.Model().SelectedIndex(), 1);
}

TEST(TabStrip, LeftClickOnTheSelectedTabRaisesNoSelectedChanged) {
    World w{L"Book1", L"Book2"};
    w.strip.Select(w.Tab(1));
    w.events.log.clear();
    w.strip.ButtonDown(kLeftButton, 0, 70, 10, w.Tab(1));
    w.strip.ButtonUp(kLeftButton, 0, 70, 10);
    EXPECT_EQ(w.events.log, (Log{L"MouseDown 1 70,10", L"BeforeItemClick Book2", L"MouseUp 1 70,10"}));
}

TEST(TabStrip, RightClickOnATabOnlyReportsTheButtons) {
    World w{L"Book1", L"Book2"};
    w.strip.ButtonDown(kRightButton, 0, 70, 10, w.Tab(1));
    w.strip.ButtonUp(kRightButton, 0, 70, 10);
    EXPECT_EQ(w.events.log, (Log{L"MouseDown 2 70,10", L"MouseUp 2 70,10"}));
    EXPECT_EQ(w.strip.Model().Selected(), nullptr);
}

TEST(TabStrip, ClickOnTheEmptyPartOnlyReportsTheButtons) {
    World w{L"Book1"};
    w.strip.ButtonDown(kLeftButton, 0, 300, 10, nullptr);
    w.strip.ButtonUp(kLeftButton, 0, 300, 10);
    EXPECT_EQ(w.events.log, (Log{L"MouseDown 1 300,10", L"MouseUp 1 300,10"}));
}

TEST(TabStrip, ACancelledClickSelectsNothing) {
    World w{L"Book1", L"Book2"};
    w.events.cancelClicks = true;
    w.strip.ClickItem(w.Tab(1));
    EXPECT_EQ(w.events.log, (Log{L"BeforeItemClick Book2"}));
    EXPECT_EQ(w.strip.Model().Selected(), nullptr);
}

TEST(TabStrip, SelectRaisesSelectedChangedOnlyWhenTheSelectionChanges) {
    World w{L"Book1", L"Book2"};
    EXPECT_TRUE(w.strip.Select(w.Tab(1)));
    EXPECT_TRUE(w.strip.Select(w.Tab(1)));
    EXPECT_EQ(w.events.log, (Log{L"SelectedChanged Book2"}));
}

TEST(TabStrip, SelectRefusesAnItemThatLeftTheList) {
    World w{L"Book1", L"Book2"};
    ItemRef gone = w.Tab(0);
    w.strip.Model().Remove(0);
    EXPECT_FALSE(w.strip.Select(gone));
    EXPECT_TRUE(w.events.log.empty());
}

TEST(TabStrip, AHandlerThatRebuildsTheListInsideBeforeItemClickStopsTheSelection) {
    World w{L"Book1", L"Book2"};
    w.events.onBeforeItemClick = [&](const ItemRef&) {
        w.strip.Model().Clear();
        w.strip.Model().Resize(2);
    };
    w.strip.ButtonDown(kLeftButton, 0, 70, 10, w.Tab(1));
    EXPECT_EQ(w.events.log, (Log{L"MouseDown 1 70,10", L"BeforeItemClick Book2"}));
    EXPECT_EQ(w.strip.Model().Selected(), nullptr);
}

TEST(TabStrip, AHandlerMaySelectAnotherTabFromInsideSelectedChanged) {
    // Excel's WorkbookActivate can re-enter the strip and select a tab.
    World w{L"Book1", L"Book2", L"Book3"};
    bool once = false;
    w.events.onSelectedChanged = [&](const ItemRef& item) {
        if (item->caption == L"Book2" && !once) {
            once = true;
            w.strip.Select(w.Tab(2));
        }
    };
    w.strip.ClickItem(w.Tab(1));
    EXPECT_EQ(w.events.log, (Log{L"BeforeItemClick Book2", L"SelectedChanged Book2", L"SelectedChanged Book3"}));
    EXPECT_EQ(w.strip.Model().SelectedIndex(), 2);
}

TEST(TabStrip, ItemPassedToAnEventSurvivesAClearByTheHandler) {
    World w{L"Book1", L"Book2"};
    std::wstring seenAfterClear;
    w.events.onSelectedChanged = [&](const ItemRef& item) {
        w.strip.Model().Clear();
        seenAfterClear = item->caption;
    };
    w.strip.Select(w.Tab(1));
    EXPECT_EQ(seenAfterClear, L"Book2");
}

TEST(TabStrip, ACloseButtonClickRaisesOnlyCloseButtonClickAndNothingForARemovedTab) {
    World w{L"Book1", L"Book2"};
    w.strip.Select(w.Tab(0));
    w.events.log.clear();
    const ItemRef book2 = w.Tab(1);
    w.strip.ClickCloseButton(book2);
    w.strip.Model().Remove(1);
    w.strip.ClickCloseButton(book2);
    EXPECT_EQ(w.events.log, (Log{L"CloseButtonClick Book2"}));
    EXPECT_EQ(w.strip.Model().SelectedIndex(), 0);
}

}  // namespace
}  // namespace corvane

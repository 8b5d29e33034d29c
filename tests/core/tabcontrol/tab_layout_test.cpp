// Layout and hit-testing of the strip: a pure function of the measures.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "corvane/tab_layout.h"
#include "corvane/tab_style.h"

namespace corvane {

// Lets GoogleTest print rectangles in failure messages.
void PrintTo(const Rect& r, std::ostream* os) {
    *os << "[" << r.left << "," << r.top << " - " << r.right << "," << r.bottom << ")";
}

namespace {

TabMetrics SimpleMetrics() {
    TabMetrics m;
    m.stripLeft = 2;
    m.tabTop = 3;
    m.textPadding = 6;
    m.iconSize = 16;
    m.iconGap = 3;
    m.slant = 0;
    m.overlap = 0;
    m.tabGap = 0;
    m.minTabWidth = 20;
    m.maxTabWidth = 200;
    m.navButtonWidth = 16;
    return m;
}

TabMetrics ExcelMetrics() {
    TabMetrics m = SimpleMetrics();
    m.slant = 8;
    m.overlap = 8;
    return m;
}

std::vector<TabMeasure> Tabs(std::initializer_list<int32_t> textWidths, bool icons = false) {
    std::vector<TabMeasure> v;
    for (int32_t w : textWidths) v.push_back(TabMeasure{w, icons});
    return v;
}

TEST(TabLayout, WidthIsPaddingIconAndTextClampedToTheLimits) {
    const TabMetrics m = SimpleMetrics();
    EXPECT_EQ(TabWidth(TabMeasure{40, false}, m), 6 + 40 + 6);
    EXPECT_EQ(TabWidth(TabMeasure{40, true}, m), 6 + 16 + 3 + 40 + 6);
    EXPECT_EQ(TabWidth(TabMeasure{0, false}, m), 20) << "an empty caption still gives a clickable tab";
    EXPECT_EQ(TabWidth(TabMeasure{1000, false}, m), 200);
    EXPECT_EQ(TabWidth(TabMeasure{40, false}, ExcelMetrics()), 8 + 6 + 40 + 6 + 8);
}

TEST(TabLayout, TabsStandSideBySideOnTheBaselineFromTheLeftMargin) {
    const auto tabs = Tabs({40, 60});
    const TabLayout l = ComputeTabLayout(tabs, SimpleMetrics(), Size{500, 25}, 0);
    ASSERT_EQ(l.tabs.size(), 2u);
    EXPECT_FALSE(l.overflow);
    EXPECT_EQ(l.tabs[0].bounds, (Rect{2, 3, 54, 25}));
    EXPECT_EQ(l.tabs[1].bounds, (Rect{54, 3, 126, 25}));
    EXPECT_TRUE(l.tabs[0].visible);
    EXPECT_TRUE(l.tabs[0].icon.Empty());
    EXPECT_EQ(l.tabs[0].text, (Rect{8, 3, 48, 25}));
}

TEST(TabLayout, TheIconSitsBeforeTheTextCentredVertically) {
    const auto tabs = Tabs({40}, true);
    const TabLayout l = ComputeTabLayout(tabs, SimpleMetrics(), Size{500, 25}, 0);
    EXPECT_EQ(l.tabs[0].icon, (Rect{8, 6, 24, 22})) << "centred in the tab's 22 pixels below tabTop";
    EXPECT_EQ(l.tabs[0].text.left, 27);
}

TEST(TabLayout, ExcelTabsOverlapAndTheirHitAreasSplitTheOverlap) {
    const auto tabs = Tabs({40, 40, 40});
    const TabLayout l = ComputeTabLayout(tabs, ExcelMetrics(), Size{500, 25}, 0);
    EXPECT_EQ(l.tabs[1].bounds.left, l.tabs[0].bounds.right - 8);
    for (size_t i = 0; i + 1 < l.tabs.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(l.tabs[i].hitArea.right, l.tabs[i + 1].hitArea.left) << "no gap and no overlap between hit areas";
    }
    EXPECT_EQ(l.tabs[0].hitArea.left, l.tabs[0].bounds.left);
    EXPECT_EQ(l.tabs[2].hitArea.right, l.tabs[2].bounds.right);
}

TEST(TabLayout, EveryPointOfTheTabRowHitsExactlyTheTabWhoseAreaHoldsIt) {
    const auto tabs = Tabs({30, 55, 10, 70});
    for (const TabMetrics& m : {SimpleMetrics(), ExcelMetrics()}) {
        const TabLayout l = ComputeTabLayout(tabs, m, Size{500, 25}, 0);
        for (int32_t x = 0; x < 500; ++x) {
            const HitResult hit = HitTestLayout(l, Point{x, 12});
            int32_t holders = 0;
            for (const TabBox& b : l.tabs) holders += b.hitArea.Contains(Point{x, 12}) ? 1 : 0;
            ASSERT_LE(holders, 1) << "x=" << x;
            if (hit.kind == HitKind::Tab) {
                ASSERT_TRUE(l.tabs[static_cast<size_t>(hit.index)].hitArea.Contains(Point{x, 12})) << "x=" << x;
            } else {
                ASSERT_EQ(holders, 0) << "x=" << x;
            }
        }
    }
}

TEST(TabLayout, PointsAboveTheTabsAndRightOfTheLastTabHitNothing) {
    const auto tabs = Tabs({40});
    const TabLayout l = ComputeTabLayout(tabs, SimpleMetrics(), Size{500, 25}, 0);
    EXPECT_EQ(HitTestLayout(l, Point{10, 1}).kind, HitKind::Nothing);
    EXPECT_EQ(HitTestLayout(l, Point{300, 12}).kind, HitKind::Nothing);
    EXPECT_EQ(HitTestLayout(l, Point{-1, 12}).kind, HitKind::Nothing);
    EXPECT_EQ(HitTestLayout(l, Point{10, 12}), (HitResult{HitKind::Tab, 0}));
}

TEST(TabLayout, NoTabsGivesAnEmptyRow) {
    const TabLayout l = ComputeTabLayout({}, SimpleMetrics(), Size{500, 25}, 3);
    EXPECT_TRUE(l.tabs.empty());
    EXPECT_FALSE(l.overflow);
    EXPECT_EQ(l.firstVisible, 0);
    EXPECT_EQ(HitTestLayout(l, Point{10, 12}).kind, HitKind::Nothing);
}

TEST(TabLayout, TabsThatDoNotFitBringNavigationButtonsAtTheRightEnd) {
    const auto tabs = Tabs({88, 88, 88, 88});  // 100 pixels each
    const TabLayout l = ComputeTabLayout(tabs, SimpleMetrics(), Size{250, 25}, 0);
    ASSERT_TRUE(l.overflow);
    EXPECT_EQ(l.tabArea.right, 250 - 32);
    EXPECT_EQ(l.navPrev, (Rect{218, 3, 234, 25}));
    EXPECT_EQ(l.navNext, (Rect{234, 3, 250, 25}));
    EXPECT_FALSE(l.canScrollPrev);
    EXPECT_TRUE(l.canScrollNext);
    EXPECT_TRUE(l.tabs[2].visible) << "partly shown";
    EXPECT_EQ(l.tabs[2].hitArea.right, 218) << "clipped to the tab area";
    EXPECT_FALSE(l.tabs[3].visible);
    EXPECT_TRUE(l.tabs[3].hitArea.Empty());
    EXPECT_EQ(HitTestLayout(l, Point{220, 12}).kind, HitKind::NavPrev);
    EXPECT_EQ(HitTestLayout(l, Point{240, 12}).kind, HitKind::NavNext);
}

TEST(TabLayout, ScrollingHidesTheTabsBeforeTheFirstVisible) {
    const auto tabs = Tabs({88, 88, 88, 88});
    const TabLayout l = ComputeTabLayout(tabs, SimpleMetrics(), Size{250, 25}, 2);
    EXPECT_EQ(l.firstVisible, 2);
    EXPECT_FALSE(l.tabs[0].visible);
    EXPECT_TRUE(l.tabs[0].hitArea.Empty());
    EXPECT_EQ(l.tabs[2].bounds.left, 2);
    EXPECT_TRUE(l.canScrollPrev);
    EXPECT_FALSE(l.canScrollNext) << "tabs 2 and 3 fit";
}

TEST(TabLayout, FirstVisibleIsClampedToWhatIsWorthScrollingTo) {
    const auto tabs = Tabs({88, 88, 88, 88});
    EXPECT_EQ(ComputeTabLayout(tabs, SimpleMetrics(), Size{250, 25}, 9).firstVisible, 2);
    EXPECT_EQ(ComputeTabLayout(tabs, SimpleMetrics(), Size{250, 25}, -3).firstVisible, 0);
    EXPECT_EQ(ComputeTabLayout(tabs, SimpleMetrics(), Size{1000, 25}, 2).firstVisible, 0)
        << "no scrolling when everything fits";
}

TEST(TabLayout, ScrollToShowMovesTheLeastNeeded) {
    const auto tabs = Tabs({88, 88, 88, 88, 88});
    const TabMetrics m = SimpleMetrics();
    const Size client{250, 25};
    EXPECT_EQ(ScrollToShow(tabs, m, client, 0, 1), 0) << "already wholly visible";
    EXPECT_EQ(ScrollToShow(tabs, m, client, 0, 2), 1);
    EXPECT_EQ(ScrollToShow(tabs, m, client, 0, 4), 3);
    EXPECT_EQ(ScrollToShow(tabs, m, client, 3, 1), 1) << "scrolls back to a tab on the left";
    EXPECT_EQ(ScrollToShow(tabs, m, client, 2, -1), 2);
    EXPECT_EQ(ScrollToShow(tabs, m, Size{2000, 25}, 2, 4), 0);
}

TEST(TabLayout, ATabWiderThanTheAreaIsShownFirst) {
    const auto tabs = Tabs({10, 500, 10});
    TabMetrics m = SimpleMetrics();
    m.maxTabWidth = 1000;
    EXPECT_EQ(ScrollToShow(tabs, m, Size{250, 25}, 0, 1), 1);
}

TEST(TabLayout, ScrollToShowResultAlwaysShowsTheTabInTheLayout) {
    const auto tabs = Tabs({50, 120, 20, 90, 60, 200, 10, 75});
    for (const TabMetrics& m : {SimpleMetrics(), ExcelMetrics()}) {
        for (int32_t start = 0; start < 8; ++start) {
            for (int32_t index = 0; index < 8; ++index) {
                SCOPED_TRACE(testing::Message() << "start " << start << " index " << index);
                const int32_t first = ScrollToShow(tabs, m, Size{300, 25}, start, index);
                const TabLayout l = ComputeTabLayout(tabs, m, Size{300, 25}, first);
                EXPECT_EQ(l.firstVisible, first);
                EXPECT_TRUE(l.tabs[static_cast<size_t>(index)].visible);
                EXPECT_LE(l.tabs[static_cast<size_t>(index)].bounds.right, l.tabArea.right);
            }
        }
    }
}

TEST(TabLayout, ZeroSizedClientLaysOutWithoutCrashing) {
    const auto tabs = Tabs({40, 40});
    const TabLayout l = ComputeTabLayout(tabs, SimpleMetrics(), Size{0, 0}, 0);
    EXPECT_TRUE(l.overflow);
    EXPECT_EQ(HitTestLayout(l, Point{0, 0}).kind, HitKind::Nothing);
}

TEST(TabLayout, MetricsScaleWithTheScreenDpi) {
    const TabMetrics at96 = MetricsFor(TabShape::Excel, 96);
    const TabMetrics at144 = MetricsFor(TabShape::Excel, 144);
    EXPECT_EQ(at144.slant, at96.slant * 3 / 2);
    EXPECT_EQ(at144.navButtonWidth, 24);
    EXPECT_EQ(MetricsFor(TabShape::PropertyPage, 0).iconSize, 16) << "an unreadable DPI counts as 96";
    EXPECT_EQ(MetricsFor(TabShape::PropertyPage, 96).overlap, 0);
}

// Close buttons, unsaved marks and the list button in the metrics the
// control really uses: both shapes, at 96 and 144 DPI.
struct LookAtDpi {
    TabShape shape;
    int32_t dpi;
};
constexpr LookAtDpi kLooks[] = {
    {TabShape::PropertyPage, 96}, {TabShape::PropertyPage, 144}, {TabShape::Excel, 96}, {TabShape::Excel, 144}};

int32_t AtDpi(int32_t pixels, int32_t dpi) {
    return (pixels * dpi + 48) / 96;
}

TEST(TabLayout, CloseButtonSitsAtTheRightEndInRoomEveryTabReserves) {
    for (const LookAtDpi& look : kLooks) {
        SCOPED_TRACE(testing::Message() << "shape " << static_cast<int>(look.shape) << " dpi " << look.dpi);
        const TabMetrics plain = MetricsFor(look.shape, look.dpi);
        const TabMetrics m = MetricsFor(look.shape, look.dpi, TabFeatures{true, true});
        std::vector<TabMeasure> tabs{
            {AtDpi(60, look.dpi), false, false}, {AtDpi(60, look.dpi), true, true}, {0, false, false}};
        const TabLayout l = ComputeTabLayout(tabs, m, Size{2000, AtDpi(25, look.dpi)}, 0);
        EXPECT_EQ(TabWidth(tabs[0], m), TabWidth(tabs[0], plain) + m.closeGap + m.closeButton)
            << "the room is there whether the button shows or not";
        EXPECT_GE(m.closeButton, AtDpi(12, look.dpi));
        EXPECT_GE(m.mark, AtDpi(5, look.dpi)) << "readable";

        for (size_t i : {0u, 1u}) {
            const TabBox& b = l.tabs[i];
            ASSERT_FALSE(b.close.Empty()) << i;
            EXPECT_EQ(b.close.Width(), m.closeButton);
            EXPECT_EQ(b.close.Height(), m.closeButton);
            EXPECT_EQ(b.close.right, b.bounds.right - m.slant - m.textPadding);
            EXPECT_LE(b.bounds.top, b.close.top);
            EXPECT_LE(b.close.bottom, b.bounds.bottom);
            EXPECT_LE(b.text.right + m.closeGap, b.close.left);
            const Point centre{(b.close.left + b.close.right) / 2, (b.close.top + b.close.bottom) / 2};
            EXPECT_EQ(HitTestLayout(l, centre), (HitResult{HitKind::CloseButton, static_cast<int32_t>(i)}));
            const Point onText{b.text.left + 1, centre.y};
            EXPECT_EQ(HitTestLayout(l, onText), (HitResult{HitKind::Tab, static_cast<int32_t>(i)}));
        }
        EXPECT_TRUE(l.tabs[0].mark.Empty()) << "not marked";
        const TabBox& marked = l.tabs[1];
        ASSERT_FALSE(marked.mark.Empty());
        EXPECT_EQ(marked.mark.Width(), m.mark);
        EXPECT_LE(marked.text.right + m.markGap, marked.mark.left) << "the mark follows the caption";
        EXPECT_LE(marked.mark.right + m.closeGap, marked.close.left);
        EXPECT_EQ(marked.text.Width(), l.tabs[0].text.Width()) << "the caption keeps its room";

        EXPECT_TRUE(l.tabs[2].close.Empty()) << "too narrow for a button beside its caption";
        const Rect& empty = l.tabs[2].hitArea;
        EXPECT_EQ(HitTestLayout(l, Point{empty.right - m.slant - 2, AtDpi(14, look.dpi)}).kind, HitKind::Tab);
    }
}

TEST(TabLayout, OverflowPutsTheListButtonBeforeTheNavigationButtons) {
    for (const LookAtDpi& look : kLooks) {
        SCOPED_TRACE(testing::Message() << "shape " << static_cast<int>(look.shape) << " dpi " << look.dpi);
        const TabMetrics m = MetricsFor(look.shape, look.dpi, TabFeatures{true, false});
        const auto tabs = Tabs({AtDpi(88, look.dpi), AtDpi(88, look.dpi), AtDpi(88, look.dpi), AtDpi(88, look.dpi)});
        const Size client{AtDpi(250, look.dpi), AtDpi(25, look.dpi)};
        const TabLayout l = ComputeTabLayout(tabs, m, client, 0);
        ASSERT_TRUE(l.overflow);
        EXPECT_EQ(l.listButton.Width(), AtDpi(16, look.dpi));
        EXPECT_EQ(l.listButton.left, l.tabArea.right);
        EXPECT_EQ(l.listButton.right, l.navPrev.left);
        EXPECT_EQ(l.navNext.right, client.width);
        const int32_t y = AtDpi(14, look.dpi);
        EXPECT_EQ(HitTestLayout(l, Point{l.listButton.left, y}).kind, HitKind::ListButton);
        EXPECT_EQ(HitTestLayout(l, Point{l.listButton.right - 1, y}).kind, HitKind::ListButton);
        EXPECT_EQ(HitTestLayout(l, Point{l.tabArea.right - 1, y}).kind, HitKind::Tab);
        // A close button cut by the end of the tab area is not hit where it is hidden.
        for (const TabBox& b : l.tabs) {
            if (b.close.left < l.tabArea.right && b.close.right > l.tabArea.right) {
                EXPECT_EQ(HitTestLayout(l, Point{l.tabArea.right, b.close.top + 1}).kind, HitKind::ListButton);
            }
        }
    }
    const TabLayout fits = ComputeTabLayout(Tabs({40}), MetricsFor(TabShape::Excel, 96), Size{500, 25}, 0);
    EXPECT_TRUE(fits.listButton.Empty()) << "no list while every tab shows";
}

}  // namespace
}  // namespace corvane

// How the paint manager settings of the add-in's three looks come out.
#include <gtest/gtest.h>

#include "corvane/tab_style.h"

namespace corvane {
namespace {

SystemColors Classic() {
    return SystemColors{};
}

TEST(TabStyle, DesignDefaultIsThePropertyPageShapeInOffice2003Colours) {
    const TabStyle s = ResolveTabStyle(PaintSettings{}, Classic());
    EXPECT_EQ(s.shape, TabShape::PropertyPage);
    EXPECT_TRUE(s.luna);
    EXPECT_TRUE(s.showIcons);
    EXPECT_NE(s.palette.strip.top, s.palette.strip.bottom) << "a gradient";
}

TEST(TabStyle, Excel2002BranchDrawsExcelTabsInSystemColours) {
    PaintSettings p;
    p.appearance = kAppearanceExcel;
    p.disableLunaColors = true;
    p.boldSelected = true;
    p.hotTracking = true;
    const SystemColors sys = Classic();
    const TabStyle s = ResolveTabStyle(p, sys);
    EXPECT_EQ(s.shape, TabShape::Excel);
    EXPECT_FALSE(s.luna);
    EXPECT_EQ(s.palette.tabSelected, (Fill{sys.window, sys.window}));
    EXPECT_EQ(s.palette.tabNormal, (Fill{sys.face, sys.face}));
    EXPECT_EQ(s.palette.text, sys.windowText);
    EXPECT_TRUE(s.boldSelected);
    EXPECT_TRUE(s.hotTracking);
}

TEST(TabStyle, SimpleStyleBranchUsesTheColorSetOverrides) {
    PaintSettings p;
    p.appearance = kAppearanceExcel;
    p.color = kColorOffice2003;
    p.buttonSelected = Rgb(255, 255, 255);
    p.buttonNormal = Rgb(205, 205, 205);
    p.disableLunaColors = false;
    const TabStyle s = ResolveTabStyle(p, Classic());
    EXPECT_EQ(s.shape, TabShape::Excel);
    EXPECT_TRUE(s.luna);
    EXPECT_EQ(s.palette.tabSelected, (Fill{0xFFFFFF, 0xFFFFFF}));
    EXPECT_EQ(s.palette.tabNormal, (Fill{0xCDCDCD, 0xCDCDCD}));
}

TEST(TabStyle, DisableLunaColorsTurnsOffice2003ColoursIntoSystemColours) {
    PaintSettings p;
    p.disableLunaColors = true;
    SystemColors sys;
    sys.face = Rgb(1, 2, 3);
    const TabStyle s = ResolveTabStyle(p, sys);
    EXPECT_FALSE(s.luna);
    EXPECT_EQ(s.palette.strip, (Fill{sys.face, sys.face}));
}

TEST(TabStyle, OnlyTheDeluxeLookHasTheAccentAndInnerHighlight) {
    PaintSettings excel2003;
    excel2003.appearance = kAppearanceExcel;
    excel2003.color = kColorOffice2003;
    PaintSettings excel2002;
    excel2002.appearance = kAppearanceExcel;
    excel2002.disableLunaColors = true;
    PaintSettings classicPages;
    classicPages.disableLunaColors = true;
    const struct {
        const char* name;
        PaintSettings settings;
        bool deluxe;
    } cases[] = {
        {"design default", PaintSettings{}, true},
        {"Excel tabs, Office 2003 colours", excel2003, false},
        {"Excel 2002", excel2002, false},
        {"property pages in system colours", classicPages, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Palette p = ResolveTabStyle(c.settings, Classic()).palette;
        EXPECT_EQ(p.selectedAccent.has_value(), c.deluxe);
        EXPECT_EQ(p.innerHighlight.has_value(), c.deluxe);
    }
}

TEST(TabStyle, UnknownAppearanceValuesDrawAsPropertyPages) {
    EXPECT_EQ(ShapeFor(0), TabShape::PropertyPage);
    EXPECT_EQ(ShapeFor(42), TabShape::PropertyPage);
    EXPECT_EQ(ShapeFor(kAppearanceExcel), TabShape::Excel);
}

TEST(TabStyle, ColorsAreBgrAndBlendIsLinear) {
    EXPECT_EQ(Rgb(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(Blend(0x000000, 0xFFFFFF, 0), 0x000000u);
    EXPECT_EQ(Blend(0x000000, 0xFFFFFF, 255), 0xFFFFFFu);
    EXPECT_EQ(Blend(Rgb(0, 100, 200), Rgb(200, 100, 0), 128), Rgb(100, 100, 100));
}

}  // namespace
}  // namespace corvane

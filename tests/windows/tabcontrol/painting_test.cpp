// What the strip draws in the three looks the add-in picks, read back pixel by
// pixel from a rendering into a 32-bit bitmap (WM_PRINTCLIENT).
#include <cstdlib>

#include "corvane/ids.h"
#include "host.h"

namespace tabtest {
namespace {

namespace ctl = corvane::dispid::control;
namespace pm = corvane::dispid::paint_manager;
namespace cs = corvane::dispid::color_set;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, top-down
    COLORREF At(int x, int y) const {
        const uint32_t p = pixels[static_cast<size_t>(y * width + x)];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }
};

Picture Render(HWND strip) {
    RECT client{};
    GetClientRect(strip, &client);
    Picture picture;
    picture.width = client.right;
    picture.height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = -picture.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageW(strip, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    GdiFlush();
    const auto* p = static_cast<const uint32_t*>(bits);
    picture.pixels.assign(p, p + picture.width * picture.height);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return picture;
}

std::string Hex(COLORREF c) {
    return HresultText(static_cast<HRESULT>(c));
}

// A point inside tab index below its caption: the tab's own fill.
POINT FillPoint(HWND strip, int32_t index) {
    POINT p = TabCentre(strip, index);
    RECT client{};
    GetClientRect(strip, &client);
    p.y = client.bottom - 3;
    return p;
}

struct Styled {
    std::unique_ptr<HostedControl> host;
    HWND strip = nullptr;
    ComPtr<IDispatch> manager;
};

// Book1 selected, Book2 not, in a strip 25 pixels high as on the form.
Styled TwoTabs() {
    Styled s;
    s.host = HostControl(RECT{0, 0, 300, 25});
    s.strip = s.host->Strip();
    AddTabs(s.host->control.get(), {L"Book1", L"Book2"});
    EXPECT_EQ(Put(s.host->control.get(), ctl::SelectedItem, int32_t{0}), S_OK);
    s.manager = GetObject(s.host->control.get(), ctl::PaintManager);
    return s;
}

TEST(TabControlPainting, SimpleStyleDrawsTheSelectedTabWhiteAndTheOthersGrey) {
    // The add-in's Office 2003 theme on Excel 2003.
    Styled s = TwoTabs();
    ASSERT_EQ(Put(s.manager.get(), pm::Appearance, corvane::kAppearanceExcel), S_OK);
    ASSERT_EQ(Put(s.manager.get(), pm::Color, corvane::kColorOffice2003), S_OK);
    ComPtr<IDispatch> colors = GetObject(s.manager.get(), pm::ColorSet);
    ASSERT_EQ(Put(colors.get(), cs::ButtonSelected, static_cast<int32_t>(RGB(255, 255, 255))), S_OK);
    ASSERT_EQ(Put(colors.get(), cs::ButtonNormal, static_cast<int32_t>(RGB(205, 205, 205))), S_OK);
    ASSERT_EQ(Put(s.manager.get(), pm::DisableLunaColors, false), S_OK);

    const Picture picture = Render(s.strip);
    const POINT selected = FillPoint(s.strip, 0);
    const POINT normal = FillPoint(s.strip, 1);
    EXPECT_EQ(picture.At(selected.x, selected.y), RGB(255, 255, 255)) << Hex(picture.At(selected.x, selected.y));
    EXPECT_EQ(picture.At(normal.x, normal.y), RGB(205, 205, 205)) << Hex(picture.At(normal.x, normal.y));
    const int baseline = picture.height - 1;
    EXPECT_EQ(picture.At(selected.x, baseline), RGB(255, 255, 255)) << "the selected tab opens downwards";
    EXPECT_NE(picture.At(normal.x, baseline), RGB(205, 205, 205)) << "the others stand on the baseline";
}

TEST(TabControlPainting, Excel2002StyleDrawsInSystemColours) {
    Styled s = TwoTabs();
    ASSERT_EQ(Put(s.host->control.get(), ctl::Appearance, corvane::kAppearanceExcel), S_OK);
    ASSERT_EQ(Put(s.manager.get(), pm::DisableLunaColors, true), S_OK);
    const Picture picture = Render(s.strip);
    const POINT selected = FillPoint(s.strip, 0);
    const POINT normal = FillPoint(s.strip, 1);
    EXPECT_EQ(picture.At(selected.x, selected.y), GetSysColor(COLOR_WINDOW));
    EXPECT_EQ(picture.At(normal.x, normal.y), GetSysColor(COLOR_BTNFACE));
}

TEST(TabControlPainting, DeluxeStyleShadesTheStripInOffice2003Blue) {
    Styled s = TwoTabs();
    ASSERT_EQ(Put(s.manager.get(), pm::DisableLunaColors, false), S_OK);
    const Picture picture = Render(s.strip);
    const COLORREF top = picture.At(picture.width - 5, 0);
    const COLORREF bottom = picture.At(picture.width - 5, picture.height - 2);
    EXPECT_NE(top, bottom) << "a vertical gradient";
    EXPECT_GT(GetBValue(top), GetRValue(top)) << "blue: " << Hex(top);
}

int Distance(COLORREF a, COLORREF b) {
    return std::abs(GetRValue(a) - GetRValue(b)) + std::abs(GetGValue(a) - GetGValue(b)) +
           std::abs(GetBValue(a) - GetBValue(b));
}

// The hot tab must stand out clearly in every look, also where the system's
// face colour is nearly white.
TEST(TabControlPainting, HotTrackingColoursTheTabUnderThePointerVisibly) {
    const struct {
        const char* look;
        bool excelTabs;
        bool systemColours;
    } looks[] = {{"deluxe", false, false}, {"Excel tabs", true, false}, {"Excel 2002", true, true}};
    for (const auto& look : looks) {
        SCOPED_TRACE(look.look);
        Styled s = TwoTabs();
        const int32_t appearance = look.excelTabs ? corvane::kAppearanceExcel : corvane::kAppearancePropertyPage2003;
        ASSERT_EQ(Put(s.manager.get(), pm::Appearance, appearance), S_OK);
        ASSERT_EQ(Put(s.manager.get(), pm::DisableLunaColors, look.systemColours), S_OK);
        ASSERT_EQ(Put(s.manager.get(), pm::HotTracking, true), S_OK);
        const POINT normal = FillPoint(s.strip, 1);
        const COLORREF before = Render(s.strip).At(normal.x, normal.y);
        SendMessageW(s.strip, WM_MOUSEMOVE, 0, MAKELPARAM(normal.x, normal.y));
        const COLORREF hot = Render(s.strip).At(normal.x, normal.y);
        EXPECT_GE(Distance(before, hot), 30) << Hex(before) << " vs hot " << Hex(hot);
        SendMessageW(s.strip, WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(Render(s.strip).At(normal.x, normal.y), before);
    }
}

TEST(TabControlPainting, DeluxeLookMarksOnlyTheSelectedTabWithAWarmBand) {
    Styled s = TwoTabs();
    const Picture picture = Render(s.strip);
    const auto band = [&](int32_t index) {
        const POINT centre = TabCentre(s.strip, index);
        return picture.At(centre.x, 5);  // just below the tab's top edge
    };
    EXPECT_GT(GetRValue(band(0)), GetBValue(band(0)) + 60) << "selected: " << Hex(band(0));
    EXPECT_GE(GetBValue(band(1)), GetRValue(band(1))) << "other: " << Hex(band(1));
}

}  // namespace
}  // namespace tabtest

#include "corvane/tab_style.h"

#include <algorithm>

namespace corvane {
namespace {

// Office 2003 "Luna" blue, the tones of its command bars and tabs.
constexpr Fill kLunaStrip{Rgb(221, 236, 254), Rgb(158, 190, 245)};
constexpr Fill kLunaNormal{Rgb(243, 248, 255), Rgb(196, 218, 250)};
constexpr Fill kLunaSelected{Rgb(255, 255, 255), Rgb(252, 253, 255)};
constexpr Fill kLunaHot{Rgb(255, 244, 204), Rgb(255, 214, 154)};
constexpr uint32_t kLunaBorder = Rgb(59, 97, 156);
constexpr uint32_t kLunaText = Rgb(0, 0, 0);
constexpr uint32_t kLunaArrow = Rgb(0, 45, 150);
constexpr uint32_t kLunaArrowDisabled = Rgb(141, 178, 227);
// The deluxe look's own touches on the Luna palette.
constexpr Fill kDeluxeAccent{Rgb(255, 200, 80), Rgb(236, 144, 24)};
constexpr uint32_t kDeluxeHighlight = Rgb(255, 255, 255);

constexpr uint32_t kHotTint = 40;  // of 255

// The unsaved mark and the close button on Luna tabs.
constexpr uint32_t kLunaMark = Rgb(214, 88, 0);
constexpr uint32_t kLunaCloseGlyph = Rgb(70, 90, 130);
constexpr uint32_t kCloseHotPlate = Rgb(200, 60, 50);
constexpr uint32_t kClosePressedPlate = Rgb(150, 30, 25);
constexpr uint32_t kCloseActiveGlyph = Rgb(255, 255, 255);
constexpr uint32_t kPressedShade = 80;  // of 255, the pressed plate in system colours

// Sizes at 96 DPI.
constexpr int32_t kCloseButton = 14;
constexpr int32_t kCloseGap = 3;
constexpr int32_t kMark = 6;
constexpr int32_t kMarkGap = 4;
constexpr int32_t kListButtonWidth = 16;

constexpr Fill Flat(uint32_t c) {
    return Fill{c, c};
}

int32_t Scale(int32_t value, int32_t dpi) {
    return (value * dpi + 48) / 96;
}

}  // namespace

uint32_t Blend(uint32_t a, uint32_t b, uint32_t weight) {
    weight = std::min<uint32_t>(weight, 255);
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF;
        const uint32_t cb = (b >> shift) & 0xFF;
        out |= ((ca * (255 - weight) + cb * weight + 127) / 255) << shift;
    }
    return out;
}

TabShape ShapeFor(int32_t appearance) {
    return appearance == kAppearanceExcel ? TabShape::Excel : TabShape::PropertyPage;
}

TabStyle ResolveTabStyle(const PaintSettings& settings, const SystemColors& system) {
    TabStyle style;
    style.shape = ShapeFor(settings.appearance);
    style.showIcons = settings.showIcons;
    style.boldSelected = settings.boldSelected;
    style.hotTracking = settings.hotTracking;

    // Office 2003 colours come with the 2003 property-page appearance or the
    // Office 2003 colour set; DisableLunaColors falls back to system colours
    // (the look of Excel 2002).
    const bool officeColors = settings.appearance == kAppearancePropertyPage2003 || settings.color == kColorOffice2003;
    style.luna = officeColors && !settings.disableLunaColors;

    Palette& p = style.palette;
    if (style.luna) {
        p.strip = kLunaStrip;
        p.tabNormal = kLunaNormal;
        p.tabSelected = kLunaSelected;
        p.tabHot = kLunaHot;
        p.border = kLunaBorder;
        p.baseline = kLunaBorder;
        p.text = kLunaText;
        p.selectedText = kLunaText;
        p.navArrow = kLunaArrow;
        p.navArrowDisabled = kLunaArrowDisabled;
        p.mark = kLunaMark;
        p.closeGlyph = kLunaCloseGlyph;
        p.closeActiveGlyph = kCloseActiveGlyph;
        p.closeHot = kCloseHotPlate;
        p.closePressed = kClosePressedPlate;
    } else {
        p.strip = Flat(system.face);
        p.tabNormal = Flat(system.face);
        p.tabSelected = Flat(system.window);
        // A tint of the selection colour: a blend of face and window is
        // invisible where the face is nearly white, and COLOR_HOTLIGHT is
        // grey on some systems.
        p.tabHot = Flat(Blend(system.face, system.selection, kHotTint));
        p.border = system.shadow;
        p.baseline = system.darkShadow;
        p.text = system.windowText;
        p.selectedText = system.windowText;
        p.navArrow = system.windowText;
        p.navArrowDisabled = system.grayText;
        p.mark = system.selection;
        p.closeGlyph = system.windowText;
        p.closeActiveGlyph = system.selectionText;
        p.closeHot = system.selection;
        p.closePressed = Blend(system.selection, system.windowText, kPressedShade);
    }
    // The deluxe look is the default one: upright tabs in Luna colours.
    if (style.luna && style.shape == TabShape::PropertyPage) {
        p.selectedAccent = kDeluxeAccent;
        p.innerHighlight = kDeluxeHighlight;
    }
    if (settings.buttonSelected) p.tabSelected = Flat(*settings.buttonSelected);
    if (settings.buttonNormal) {
        p.tabNormal = Flat(*settings.buttonNormal);
        if (!style.luna) p.tabHot = Flat(Blend(*settings.buttonNormal, p.tabSelected.top, 128));
    }
    return style;
}

TabMetrics MetricsFor(TabShape shape, int32_t dpi, TabFeatures features) {
    if (dpi <= 0) dpi = 96;
    TabMetrics m;
    m.stripLeft = Scale(2, dpi);
    m.tabTop = Scale(3, dpi);
    m.textPadding = Scale(6, dpi);
    m.iconSize = Scale(16, dpi);
    m.iconGap = Scale(3, dpi);
    m.minTabWidth = Scale(24, dpi);
    m.maxTabWidth = Scale(260, dpi);
    m.navButtonWidth = Scale(16, dpi);
    m.corner = Scale(2, dpi);
    m.accentHeight = Scale(3, dpi);
    m.listButtonWidth = Scale(kListButtonWidth, dpi);
    if (features.closeButtons) {
        m.closeButton = Scale(kCloseButton, dpi);
        m.closeGap = Scale(kCloseGap, dpi);
    }
    if (features.unsavedMarks) {
        m.mark = Scale(kMark, dpi);
        m.markGap = Scale(kMarkGap, dpi);
    }
    if (shape == TabShape::Excel) {
        m.slant = Scale(8, dpi);
        m.overlap = m.slant;
        m.tabGap = 0;
        m.textPadding = Scale(4, dpi);
    } else {
        m.slant = 0;
        m.overlap = 0;
        m.tabGap = Scale(1, dpi);
    }
    return m;
}

}  // namespace corvane

// What the paint manager's settings mean for drawing: the tab shape, the
// colours and the metrics. Pure; the window supplies the system colours and
// the DPI scale, so the result can be checked natively.
//
// Colours are COLORREF values, 0x00BBGGRR.
#pragma once

#include <cstdint>
#include <optional>

#include "corvane/ids.h"
#include "corvane/tab_layout.h"

namespace corvane {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r | (g << 8) | (b << 16);
}

// The paint manager's state, with the control's design-time defaults.
struct PaintSettings {
    int32_t appearance = kAppearancePropertyPage2003;
    int32_t color = kColorDefault;
    bool showIcons = true;
    bool boldSelected = false;
    bool hotTracking = false;
    bool disableLunaColors = false;
    std::optional<uint32_t> buttonSelected;  // ColorSet overrides; empty = the palette's own
    std::optional<uint32_t> buttonNormal;
    friend bool operator==(const PaintSettings&, const PaintSettings&) = default;
};

// The few system colours the classic palette is made of (GetSysColor).
struct SystemColors {
    uint32_t face = Rgb(212, 208, 200);           // COLOR_BTNFACE
    uint32_t window = Rgb(255, 255, 255);         // COLOR_WINDOW
    uint32_t windowText = Rgb(0, 0, 0);           // COLOR_WINDOWTEXT
    uint32_t shadow = Rgb(128, 128, 128);         // COLOR_BTNSHADOW
    uint32_t darkShadow = Rgb(64, 64, 64);        // COLOR_3DDKSHADOW
    uint32_t highlight = Rgb(255, 255, 255);      // COLOR_BTNHIGHLIGHT
    uint32_t grayText = Rgb(128, 128, 128);       // COLOR_GRAYTEXT
    uint32_t selection = Rgb(10, 36, 106);        // COLOR_HIGHLIGHT
    uint32_t selectionText = Rgb(255, 255, 255);  // COLOR_HIGHLIGHTTEXT
};

enum class TabShape {
    PropertyPage,  // upright tabs with cut top corners and a small gap
    Excel,         // trapezoids whose slanted edges overlap, like Excel's sheet tabs
};

// Each fill is a vertical gradient from top to bottom (equal ends = flat).
struct Fill {
    uint32_t top = 0;
    uint32_t bottom = 0;
    friend bool operator==(const Fill&, const Fill&) = default;
};

struct Palette {
    Fill strip;  // the empty part of the strip
    Fill tabNormal;
    Fill tabSelected;
    Fill tabHot;  // a normal tab under the pointer, with hot tracking on
    uint32_t border = 0;
    uint32_t baseline = 0;
    uint32_t text = 0;
    uint32_t selectedText = 0;
    uint32_t navArrow = 0;
    uint32_t navArrowDisabled = 0;
    // Deluxe touches: a band across the top of the selected tab and a light
    // inner edge on the others. Empty when the look has none.
    std::optional<Fill> selectedAccent;
    std::optional<uint32_t> innerHighlight;
    uint32_t mark = 0;  // the unsaved mark
    // The close button: a glyph on the tab, and a plate under it while the
    // pointer is over it (hot) or it is held down (pressed).
    uint32_t closeGlyph = 0;
    uint32_t closeActiveGlyph = 0;  // on the hot or pressed plate
    uint32_t closeHot = 0;
    uint32_t closePressed = 0;
    friend bool operator==(const Palette&, const Palette&) = default;
};

struct TabStyle {
    TabShape shape = TabShape::PropertyPage;
    Palette palette;
    bool luna = false;  // Office 2003 blue colours rather than system colours
    bool showIcons = true;
    bool boldSelected = false;
    bool hotTracking = false;
};

TabShape ShapeFor(int32_t appearance);
TabStyle ResolveTabStyle(const PaintSettings& settings, const SystemColors& system);

// The control's run-time options that take room in the tabs.
struct TabFeatures {
    bool closeButtons = false;
    bool unsavedMarks = false;
};

// Metrics of a shape at 96 DPI, scaled by dpi / 96 and rounded.
TabMetrics MetricsFor(TabShape shape, int32_t dpi, TabFeatures features = {});

// Linear blend: weight 0 gives a, 255 gives b.
uint32_t Blend(uint32_t a, uint32_t b, uint32_t weight);

}  // namespace corvane

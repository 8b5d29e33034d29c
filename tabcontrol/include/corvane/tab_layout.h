// Layout of the strip as a pure function of (item measures, metrics, client
// size, scroll position). Painting and hit-testing only read its result.
//
// The strip is one row of tabs standing on a baseline at the bottom of the
// client area, left to right from metrics.stripLeft. In the Excel shape the
// slanted edges of neighbours overlap by metrics.overlap pixels; hit areas
// split every overlap in the middle, so they never overlap and leave no gap.
// When the tabs do not fit, two navigation buttons take the right end and the
// row scrolls by whole tabs (firstVisible).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "corvane/geometry.h"

namespace corvane {

// Device pixels, already scaled to the screen's DPI.
struct TabMetrics {
    int32_t stripLeft = 2;    // gap before the first tab
    int32_t tabTop = 3;       // gap above the tabs
    int32_t textPadding = 6;  // between a tab's edge (after any slant) and its content
    int32_t iconSize = 16;
    int32_t iconGap = 3;  // between icon and text
    int32_t slant = 0;    // horizontal run of each slanted edge (Excel shape)
    int32_t overlap = 0;  // how far a tab reaches under its right neighbour
    int32_t tabGap = 0;   // free space between neighbours (property-page shape)
    int32_t minTabWidth = 24;
    int32_t maxTabWidth = 260;  // longer captions are cut with an ellipsis
    int32_t navButtonWidth = 16;
    int32_t corner = 2;  // the cut top corners of property-page tabs
    int32_t accentHeight = 3;  // the deluxe band over the selected tab
};

struct TabMeasure {
    int32_t textWidth = 0;  // caption width in the widest font the tab can be drawn in
    bool hasIcon = false;
};

struct TabBox {
    Rect bounds;   // the whole tab shape, slants included
    Rect hitArea;  // clipped to the tab area; empty when not visible
    Rect icon;     // empty when the tab shows no icon
    Rect text;
    bool visible = false;  // at least partly inside the tab area
};

struct TabLayout {
    std::vector<TabBox> tabs;  // one per item, in item order
    Size client;
    Rect tabArea;              // the part of the client area that shows tabs
    int32_t firstVisible = 0;  // first tab drawn at stripLeft
    bool overflow = false;     // navigation buttons shown
    Rect navPrev;
    Rect navNext;
    bool canScrollPrev = false;
    bool canScrollNext = false;
};

int32_t TabWidth(const TabMeasure& measure, const TabMetrics& metrics);

// firstVisible is clamped to the valid range for this input.
TabLayout ComputeTabLayout(std::span<const TabMeasure> tabs, const TabMetrics& metrics, Size client,
                           int32_t firstVisible);

// The firstVisible that brings tab index wholly into view with the least
// scrolling from firstVisible (or shows it first when it is wider than the
// tab area). Returns firstVisible clamped when index is out of range.
int32_t ScrollToShow(std::span<const TabMeasure> tabs, const TabMetrics& metrics, Size client, int32_t firstVisible,
                     int32_t index);

enum class HitKind { Nothing, Tab, NavPrev, NavNext };

struct HitResult {
    HitKind kind = HitKind::Nothing;
    int32_t index = -1;  // the tab for HitKind::Tab
    friend bool operator==(const HitResult&, const HitResult&) = default;
};

HitResult HitTestLayout(const TabLayout& layout, Point point);

}  // namespace corvane

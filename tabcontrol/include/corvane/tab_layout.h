// Layout of the strip as a pure function of (item measures, metrics, client
// size, scroll position). Painting and hit-testing only read its result.
//
// The strip is one row of tabs standing on a baseline at the bottom of the
// client area, left to right from metrics.stripLeft. In the Excel shape the
// slanted edges of neighbours overlap by metrics.overlap pixels; hit areas
// split every overlap in the middle, so they never overlap and leave no gap.
// When the tabs do not fit, the right end holds a list button and two
// navigation buttons, in that order, and the row scrolls by whole tabs
// (firstVisible).
//
// Close buttons and unsaved marks take room in every tab when they are on
// (closeButton or mark non-zero), so that a tab does not change its width
// when the pointer brings its close button up; the painter decides which
// tabs show one.
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
    int32_t corner = 2;           // the cut top corners of property-page tabs
    int32_t accentHeight = 3;     // the deluxe band over the selected tab
    int32_t listButtonWidth = 0;  // 0: no list button when the tabs overflow
    int32_t closeButton = 0;      // side of the square close button; 0: no close buttons
    int32_t closeGap = 0;         // between the caption and the close button
    int32_t mark = 0;             // diameter of the unsaved mark; 0: no marks
    int32_t markGap = 0;          // between the caption and the mark
};

struct TabMeasure {
    int32_t textWidth = 0;  // caption width in the widest font the tab can be drawn in
    bool hasIcon = false;
    bool marked = false;  // shows the unsaved mark (when metrics.mark is non-zero)
};

struct TabBox {
    Rect bounds;   // the whole tab shape, slants included
    Rect hitArea;  // clipped to the tab area; empty when not visible
    Rect icon;     // empty when the tab shows no icon
    Rect text;
    Rect mark;             // empty when the tab shows no unsaved mark
    Rect close;            // empty when the tab has no close button (off, or too narrow)
    bool visible = false;  // at least partly inside the tab area
};

struct TabLayout {
    std::vector<TabBox> tabs;  // one per item, in item order
    Size client;
    Rect tabArea;              // the part of the client area that shows tabs
    int32_t firstVisible = 0;  // first tab drawn at stripLeft
    bool overflow = false;     // list and navigation buttons shown
    Rect listButton;
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

enum class HitKind { Nothing, Tab, CloseButton, ListButton, NavPrev, NavNext };

struct HitResult {
    HitKind kind = HitKind::Nothing;
    int32_t index = -1;  // the tab for HitKind::Tab and HitKind::CloseButton
    friend bool operator==(const HitResult&, const HitResult&) = default;
};

// A point on a tab's close button gives CloseButton: the tab under the
// pointer always shows its button.
HitResult HitTestLayout(const TabLayout& layout, Point point);

}  // namespace corvane

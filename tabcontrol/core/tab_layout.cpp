#include "corvane/tab_layout.h"

#include <algorithm>

namespace corvane {
namespace {

// Left edge of tab i when tab `first` starts at stripLeft: each tab advances
// the next one by its width, less the overlap, plus the gap.
int32_t Advance(const TabMeasure& m, const TabMetrics& metrics) {
    return TabWidth(m, metrics) - metrics.overlap + metrics.tabGap;
}

// Right edge of the last tab when the row starts with tab `first`.
int32_t RowRight(std::span<const TabMeasure> tabs, const TabMetrics& metrics, int32_t first) {
    int32_t x = metrics.stripLeft;
    int32_t right = x;
    for (size_t i = static_cast<size_t>(first); i < tabs.size(); ++i) {
        right = x + TabWidth(tabs[i], metrics);
        x += Advance(tabs[i], metrics);
    }
    return right;
}

bool Overflows(std::span<const TabMeasure> tabs, const TabMetrics& metrics, Size client) {
    return RowRight(tabs, metrics, 0) > client.width;
}

Rect TabAreaFor(const TabMetrics& metrics, Size client, bool overflow) {
    int32_t right = client.width;
    if (overflow) right = std::max(0, client.width - 2 * metrics.navButtonWidth - metrics.listButtonWidth);
    return Rect{0, 0, right, client.height};
}

// The largest firstVisible worth scrolling to: the smallest first whose row
// fits the tab area (the last tab alone when nothing smaller fits).
int32_t MaxFirstVisible(std::span<const TabMeasure> tabs, const TabMetrics& metrics, const Rect& area) {
    const auto n = static_cast<int32_t>(tabs.size());
    for (int32_t first = 0; first < n; ++first) {
        if (RowRight(tabs, metrics, first) <= area.right) return first;
    }
    return std::max(0, n - 1);
}

}  // namespace

int32_t TabWidth(const TabMeasure& measure, const TabMetrics& metrics) {
    int32_t content = measure.textWidth;
    if (measure.hasIcon) content += metrics.iconSize + (measure.textWidth > 0 ? metrics.iconGap : 0);
    if (measure.marked && metrics.mark > 0) content += metrics.markGap + metrics.mark;
    if (metrics.closeButton > 0) content += metrics.closeGap + metrics.closeButton;
    const int32_t width = 2 * (metrics.slant + metrics.textPadding) + content;
    return std::clamp(width, metrics.minTabWidth, std::max(metrics.minTabWidth, metrics.maxTabWidth));
}

TabLayout ComputeTabLayout(std::span<const TabMeasure> tabs, const TabMetrics& metrics, Size client,
                           int32_t firstVisible) {
    TabLayout layout;
    layout.client = client;
    layout.overflow = Overflows(tabs, metrics, client);
    layout.tabArea = TabAreaFor(metrics, client, layout.overflow);
    layout.firstVisible =
        layout.overflow ? std::clamp(firstVisible, 0, MaxFirstVisible(tabs, metrics, layout.tabArea)) : 0;
    layout.tabs.resize(tabs.size());

    const int32_t top = std::min(metrics.tabTop, client.height);
    const auto n = static_cast<int32_t>(tabs.size());
    int32_t x = metrics.stripLeft;
    for (int32_t i = layout.firstVisible; i < n; ++i) {
        const TabMeasure& m = tabs[static_cast<size_t>(i)];
        TabBox& box = layout.tabs[static_cast<size_t>(i)];
        const int32_t width = TabWidth(m, metrics);
        box.bounds = Rect{x, top, x + width, client.height};

        // Split each overlap with a neighbour in the middle; the first
        // visible and the last tab keep their outer edges.
        Rect hit = box.bounds;
        if (i > layout.firstVisible) hit.left += metrics.overlap - metrics.overlap / 2;
        if (i + 1 < n) hit.right -= metrics.overlap / 2;
        box.hitArea = Intersect(hit, layout.tabArea);
        box.visible = !Intersect(box.bounds, layout.tabArea).Empty();

        const int32_t innerLeft = box.bounds.left + metrics.slant + metrics.textPadding;
        int32_t innerRight = box.bounds.right - metrics.slant - metrics.textPadding;
        if (metrics.closeButton > 0) {
            // Shown only where a caption's worth of room is left beside it.
            innerRight -= metrics.closeGap + metrics.closeButton;
            if (innerRight - innerLeft >= metrics.closeButton) {
                const int32_t closeLeft = innerRight + metrics.closeGap;
                const int32_t closeTop = top + (box.bounds.Height() - metrics.closeButton) / 2;
                box.close = Rect{closeLeft, closeTop, closeLeft + metrics.closeButton, closeTop + metrics.closeButton};
            }
        }
        if (m.marked && metrics.mark > 0) {
            innerRight -= metrics.markGap + metrics.mark;
            const int32_t markLeft = std::max(innerLeft, innerRight + metrics.markGap);
            const int32_t markTop = top + (box.bounds.Height() - metrics.mark) / 2;
            box.mark = Rect{markLeft, markTop, markLeft + metrics.mark, markTop + metrics.mark};
        }
        int32_t textLeft = innerLeft;
        if (m.hasIcon) {
            const int32_t iconTop = top + (box.bounds.Height() - metrics.iconSize) / 2;
            box.icon = Rect{innerLeft, iconTop, innerLeft + metrics.iconSize, iconTop + metrics.iconSize};
            textLeft = box.icon.right + metrics.iconGap;
        }
        box.text = Rect{textLeft, top, std::max(textLeft, innerRight), client.height};
        x += Advance(m, metrics);
    }

    if (layout.overflow) {
        const int32_t w = metrics.navButtonWidth;
        layout.listButton =
            Rect{layout.tabArea.right, top, layout.tabArea.right + metrics.listButtonWidth, client.height};
        layout.navPrev = Rect{layout.listButton.right, top, layout.listButton.right + w, client.height};
        layout.navNext = Rect{layout.navPrev.right, top, layout.navPrev.right + w, client.height};
        layout.canScrollPrev = layout.firstVisible > 0;
        layout.canScrollNext = RowRight(tabs, metrics, layout.firstVisible) > layout.tabArea.right;
    }
    return layout;
}

int32_t ScrollToShow(std::span<const TabMeasure> tabs, const TabMetrics& metrics, Size client, int32_t firstVisible,
                     int32_t index) {
    const bool overflow = Overflows(tabs, metrics, client);
    if (!overflow) return 0;
    const Rect area = TabAreaFor(metrics, client, overflow);
    const int32_t maxFirst = MaxFirstVisible(tabs, metrics, area);
    int32_t first = std::clamp(firstVisible, 0, maxFirst);
    const auto n = static_cast<int32_t>(tabs.size());
    if (index < 0 || index >= n) return first;
    if (index < first) return index;

    // Scroll right by whole tabs until tab index ends inside the area.
    while (first < index) {
        int32_t x = metrics.stripLeft;
        for (int32_t i = first; i < index; ++i) x += Advance(tabs[static_cast<size_t>(i)], metrics);
        if (x + TabWidth(tabs[static_cast<size_t>(index)], metrics) <= area.right) break;
        ++first;
    }
    return first;
}

HitResult HitTestLayout(const TabLayout& layout, Point point) {
    if (layout.overflow) {
        if (layout.listButton.Contains(point)) return {HitKind::ListButton, -1};
        if (layout.navPrev.Contains(point)) return {HitKind::NavPrev, -1};
        if (layout.navNext.Contains(point)) return {HitKind::NavNext, -1};
    }
    for (size_t i = 0; i < layout.tabs.size(); ++i) {
        const TabBox& box = layout.tabs[i];
        if (!box.hitArea.Contains(point)) continue;
        const bool onClose = box.close.Contains(point) && layout.tabArea.Contains(point);
        return {onClose ? HitKind::CloseButton : HitKind::Tab, static_cast<int32_t>(i)};
    }
    return {};
}

}  // namespace corvane

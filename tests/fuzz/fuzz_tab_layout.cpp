// The tab layout over arbitrary caption widths, icons, client sizes and
// scroll positions: no crash or undefined behaviour, one box per tab, hit
// areas that never overlap, and the hit test finding each visible tab.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "corvane/tab_layout.h"

using namespace corvane;

namespace {

int32_t Read(const uint8_t*& p, const uint8_t* end, int32_t modulo, int32_t offset = 0) {
    uint32_t v = 0;
    for (int i = 0; i < 3 && p < end; ++i) v = (v << 8) | *p++;
    return static_cast<int32_t>(v % static_cast<uint32_t>(modulo)) + offset;
}

bool Empty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Overlap(const Rect& a, const Rect& b) {
    return !Empty(a) && !Empty(b) && a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    TabMetrics metrics;
    metrics.slant = Read(p, end, 20);
    metrics.overlap = Read(p, end, 20);
    metrics.tabGap = Read(p, end, 8);
    const Size client{Read(p, end, 5000, -100), Read(p, end, 200, -10)};
    const int32_t firstVisible = Read(p, end, 400, -50);
    std::vector<TabMeasure> tabs;
    while (p < end && tabs.size() < 300) {
        TabMeasure m;
        m.hasIcon = (*p & 1) != 0;
        m.textWidth = Read(p, end, 100000);
        tabs.push_back(m);
    }

    const TabLayout layout = ComputeTabLayout(tabs, metrics, client, firstVisible);
    if (layout.tabs.size() != tabs.size()) std::abort();
    for (std::size_t i = 0; i < layout.tabs.size(); ++i) {
        const Rect& hit = layout.tabs[i].hitArea;
        for (std::size_t j = i + 1; j < layout.tabs.size(); ++j) {
            if (Overlap(hit, layout.tabs[j].hitArea)) std::abort();
        }
        if (!Empty(hit)) {
            const Point centre{hit.left + (hit.right - hit.left) / 2, hit.top + (hit.bottom - hit.top) / 2};
            const HitResult r = HitTestLayout(layout, centre);
            if (r.kind != HitKind::Tab || r.index != static_cast<int32_t>(i)) std::abort();
        }
    }
    (void)ScrollToShow(tabs, metrics, client, firstVisible, static_cast<int32_t>(tabs.size()) - 1);
    return 0;
}

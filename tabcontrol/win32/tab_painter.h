// Drawing of the strip from a computed layout. Reads only: the layout, the
// style and the items decide every pixel.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "corvane/tab_layout.h"
#include "corvane/tab_model.h"
#include "corvane/tab_style.h"

namespace corvane::win {

struct PaintRequest {
    const TabLayout& layout;
    const TabMetrics& metrics;
    const TabStyle& style;
    const TabModel& model;
    HFONT font;         // may be null: the stock GUI font is used
    HFONT boldFont;     // for the selected tab when style.boldSelected
    HIMAGELIST images;  // null when icons are off or no list is attached
    int32_t hot;        // the tab under the pointer, -1 for none
};

void PaintTabStrip(HDC dc, const PaintRequest& request);

}  // namespace corvane::win

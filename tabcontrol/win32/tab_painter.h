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
    int32_t hot;        // the tab drawn hot, -1 for none
    int32_t pointer;    // the tab under the pointer (its close button shows), -1 for none
    int32_t closeHot;   // the tab whose close button is under the pointer
    bool closePressed;  // ... and held down
    bool listOpen;      // the list button's popup is open
};

void PaintTabStrip(HDC dc, const PaintRequest& request);

}  // namespace corvane::win

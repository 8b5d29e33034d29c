#include "tab_painter.h"

#include <algorithm>
#include <vector>

#include "gdi_support.h"

namespace corvane::win {
namespace {

// A solid fill without creating a brush.
void FillSolid(HDC dc, const RECT& r, COLORREF color) {
    SetBkColor(dc, color);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

void FillGradient(HDC dc, const RECT& r, const Fill& fill) {
    const int height = r.bottom - r.top;
    if (fill.top == fill.bottom || height <= 1) {
        FillSolid(dc, r, fill.top);
        return;
    }
    for (int y = 0; y < height; ++y) {
        const auto weight = static_cast<uint32_t>(y * 255 / (height - 1));
        FillSolid(dc, RECT{r.left, r.top + y, r.right, r.top + y + 1}, Blend(fill.top, fill.bottom, weight));
    }
}

// The outline of a tab standing on the baseline, open at the bottom.
std::vector<POINT> TabOutline(const Rect& b, TabShape shape, const TabMetrics& m) {
    const LONG slant = m.slant;
    const LONG corner = m.corner;
    const LONG bottom = b.bottom - 1;
    const LONG right = b.right - 1;
    if (shape == TabShape::Excel) {
        return {{b.left, bottom}, {b.left + slant, b.top}, {right - slant, b.top}, {right, bottom}};
    }
    return {{b.left, bottom},        {b.left, b.top + corner}, {b.left + corner, b.top},
            {right - corner, b.top}, {right, b.top + corner},  {right, bottom}};
}

// The accent band over the selected tab's top edge, inside the cut
// corners, and a light inner edge that lifts the other tabs off the strip.
void PaintDeluxeTouches(HDC dc, const Rect& b, const TabMetrics& m, const Palette& p, bool selected) {
    const LONG c = m.corner;
    if (selected && p.selectedAccent) {
        FillSolid(dc, RECT{b.left + c, b.top, b.right - c, b.top + 1}, p.selectedAccent->bottom);
        FillGradient(dc, RECT{b.left + 1, b.top + 1, b.right - 1, b.top + m.accentHeight}, *p.selectedAccent);
    } else if (!selected && p.innerHighlight) {
        FillSolid(dc, RECT{b.left + c, b.top + 1, b.right - c, b.top + 2}, *p.innerHighlight);
        FillSolid(dc, RECT{b.left + 1, b.top + c, b.left + 2, b.bottom - 1}, *p.innerHighlight);
    }
}

// A filled dot beside the caption.
void PaintMark(HDC dc, const Rect& mark, COLORREF color) {
    if (mark.Empty()) return;
    SelectScope pen(dc, GetStockObject(DC_PEN));
    SelectScope brush(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, color);
    SetDCBrushColor(dc, color);
    Ellipse(dc, mark.left, mark.top, mark.right, mark.bottom);
}

// An x in the button's square, on a plate while hot or pressed. The stroke
// grows with the DPI so that the glyph stays readable.
void PaintCloseButton(HDC dc, const Rect& button, const Palette& p, bool hot, bool pressed) {
    if (hot || pressed)
        FillSolid(dc, RECT{button.left, button.top, button.right, button.bottom},
                  pressed ? p.closePressed : p.closeHot);
    const LONG inset = std::max<LONG>(3, button.Width() * 2 / 7);
    const LONG stroke = std::max<LONG>(1, button.Width() / 9);
    Pen pen(CreatePen(PS_SOLID, stroke, (hot || pressed) ? p.closeActiveGlyph : p.closeGlyph));
    if (!pen) return;
    SelectScope select(dc, pen.get());
    const LONG l = button.left + inset;
    const LONG t = button.top + inset;
    const LONG r = button.right - inset;
    const LONG b = button.bottom - inset;
    MoveToEx(dc, l, t, nullptr);
    LineTo(dc, r, b);
    MoveToEx(dc, r - 1, t, nullptr);
    LineTo(dc, l - 1, b);
}

const Fill& TabFill(const PaintRequest& r, int32_t index, bool selected) {
    const Palette& p = r.style.palette;
    if (selected) return p.tabSelected;
    if (index == r.hot) return p.tabHot;
    return p.tabNormal;
}

void PaintTab(HDC dc, const PaintRequest& r, int32_t index, bool selected) {
    const TabBox& box = r.layout.tabs[static_cast<size_t>(index)];
    const TabItemState& item = *r.model.Items()[static_cast<size_t>(index)];
    const Palette& p = r.style.palette;
    std::vector<POINT> outline = TabOutline(box.bounds, r.style.shape, r.metrics);

    // Body: the gradient clipped to the tab's shape, bottom row included, so
    // the selected tab opens into the area below the strip.
    {
        std::vector<POINT> body = outline;
        body.back().x += 1;  // polygon regions leave out their right edge
        body.push_back(POINT{body.back().x, box.bounds.bottom});
        body.push_back(POINT{box.bounds.left, box.bounds.bottom});
        Region shape(CreatePolygonRgn(body.data(), static_cast<int>(body.size()), WINDING));
        SavedDc saved(dc);
        if (shape) ExtSelectClipRgn(dc, shape.get(), RGN_AND);
        const RECT bounds{box.bounds.left, box.bounds.top, box.bounds.right, box.bounds.bottom};
        FillGradient(dc, bounds, TabFill(r, index, selected));
    }

    {
        SelectScope pen(dc, GetStockObject(DC_PEN));
        SetDCPenColor(dc, p.border);
        Polyline(dc, outline.data(), static_cast<int>(outline.size()));
    }
    PaintDeluxeTouches(dc, box.bounds, r.metrics, p, selected);

    const HFONT font = (selected && r.style.boldSelected && r.boldFont) ? r.boldFont : r.font;
    SelectScope selectFont(dc, font ? static_cast<HGDIOBJ>(font) : GetStockObject(DEFAULT_GUI_FONT));

    // Tabs are measured in the bold font, so a caption drawn regular is
    // narrower than its box: the icon and caption are centred as one group
    // rather than leaving a gap between them.
    LONG shift = 0;
    LONG captionRight = box.text.left;
    const bool hasCaption = !item.caption.empty() && !box.text.Empty();
    if (hasCaption) {
        SIZE extent{};
        GetTextExtentPoint32W(dc, item.caption.c_str(), static_cast<int>(item.caption.size()), &extent);
        shift = std::max<LONG>(0, (box.text.Width() - extent.cx) / 2);
        captionRight = std::min<LONG>(box.text.right, box.text.left + shift + extent.cx);
    }

    if (r.images && !box.icon.Empty() && item.image >= 0) {
        int w = 0;
        int h = 0;
        ImageList_GetIconSize(r.images, &w, &h);
        const int y = box.icon.top + (box.icon.Height() - h) / 2;
        ImageList_Draw(r.images, item.image, dc, box.icon.left + shift, y, ILD_TRANSPARENT);
    }

    if (hasCaption) {
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, selected ? p.selectedText : p.text);
        RECT text{box.text.left + shift, box.text.top, box.text.right, box.text.bottom};
        DrawTextW(dc, item.caption.c_str(), static_cast<int>(item.caption.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    if (item.unsaved && !box.mark.Empty()) {
        // Right after the caption as drawn, which may be narrower than its room.
        Rect mark = box.mark;
        const LONG left = std::min<LONG>(mark.left, captionRight + r.metrics.markGap);
        mark.right -= mark.left - left;
        mark.left = left;
        PaintMark(dc, mark, p.mark);
    }
    if (!box.close.Empty() && (selected || index == r.pointer)) {
        const bool hot = index == r.closeHot;
        PaintCloseButton(dc, box.close, p, hot, hot && r.closePressed);
    }
}

void PaintBaseline(HDC dc, const PaintRequest& r) {
    const LONG y = r.layout.client.height - 1;
    SelectScope pen(dc, GetStockObject(DC_PEN));
    SetDCPenColor(dc, r.style.palette.baseline);
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, r.layout.client.width, y);
}

// A small triangle pointing down under a bar: the list of every tab.
void PaintListButton(HDC dc, const PaintRequest& r, const Rect& button) {
    const Palette& p = r.style.palette;
    FillGradient(dc, RECT{button.left, button.top, button.right, button.bottom}, r.listOpen ? p.tabHot : p.strip);
    const LONG size = std::max<LONG>(2, std::min(button.Width(), button.Height()) / 4);
    const LONG cx = button.left + button.Width() / 2;
    const LONG cy = button.top + button.Height() / 2 + size / 2;
    POINT tri[3] = {{cx - size, cy - size / 2}, {cx + size, cy - size / 2}, {cx, cy + size / 2}};
    SelectScope pen(dc, GetStockObject(DC_PEN));
    SelectScope brush(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, p.navArrow);
    SetDCBrushColor(dc, p.navArrow);
    Polygon(dc, tri, 3);
    const LONG bar = std::max<LONG>(1, size / 3);
    FillSolid(dc, RECT{cx - size, cy - size / 2 - 2 * bar - 1, cx + size + 1, cy - size / 2 - bar - 1}, p.navArrow);
}

// A small triangle pointing left or right in the middle of the button.
void PaintNavButton(HDC dc, const PaintRequest& r, const Rect& button, bool pointsLeft, bool enabled) {
    const Palette& p = r.style.palette;
    FillGradient(dc, RECT{button.left, button.top, button.right, button.bottom}, p.strip);
    const LONG size = std::max<LONG>(2, std::min(button.Width(), button.Height()) / 4);
    const LONG cx = button.left + button.Width() / 2;
    const LONG cy = button.top + button.Height() / 2;
    POINT tri[3];
    if (pointsLeft) {
        tri[0] = {cx - size / 2, cy};
        tri[1] = {cx + size / 2, cy - size};
        tri[2] = {cx + size / 2, cy + size};
    } else {
        tri[0] = {cx + size / 2, cy};
        tri[1] = {cx - size / 2, cy - size};
        tri[2] = {cx - size / 2, cy + size};
    }
    const COLORREF color = enabled ? p.navArrow : p.navArrowDisabled;
    SelectScope pen(dc, GetStockObject(DC_PEN));
    SelectScope brush(dc, GetStockObject(DC_BRUSH));
    SetDCPenColor(dc, color);
    SetDCBrushColor(dc, color);
    Polygon(dc, tri, 3);
}

}  // namespace

void PaintTabStrip(HDC dc, const PaintRequest& r) {
    const TabLayout& layout = r.layout;
    FillGradient(dc, RECT{0, 0, layout.client.width, layout.client.height}, r.style.palette.strip);

    const int32_t selected = r.model.SelectedIndex();
    const auto count = static_cast<int32_t>(std::min(layout.tabs.size(), r.model.Items().size()));
    {
        SavedDc saved(dc);
        IntersectClipRect(dc, layout.tabArea.left, layout.tabArea.top, layout.tabArea.right, layout.tabArea.bottom);
        // Right to left, so that each tab lies over its right neighbour's
        // slant; the selected tab last, over the baseline and both neighbours.
        for (int32_t i = count - 1; i >= 0; --i) {
            if (i != selected && layout.tabs[static_cast<size_t>(i)].visible) PaintTab(dc, r, i, false);
        }
        PaintBaseline(dc, r);
        if (selected >= 0 && selected < count && layout.tabs[static_cast<size_t>(selected)].visible) {
            PaintTab(dc, r, selected, true);
        }
    }
    if (layout.overflow) {
        if (!layout.listButton.Empty()) PaintListButton(dc, r, layout.listButton);
        PaintNavButton(dc, r, layout.navPrev, true, layout.canScrollPrev);
        PaintNavButton(dc, r, layout.navNext, false, layout.canScrollNext);
    }
}

}  // namespace corvane::win

// The tab list: items with stable identity, and at most one selected item.
// Portable; the COM layer wraps it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace corvane {

inline constexpr int32_t kNoImage = -1;

// One tab. The COM item objects hold a shared reference, so an item removed
// from the list stays readable (its Index is then -1).
struct TabItemState {
    std::wstring caption;
    std::wstring toolTip;
    int32_t image = kNoImage;
    bool unsaved = false;  // the container's say; drawn as a mark when the control shows marks
};

// A caption as the text of a menu item: '&' doubled, so that it shows
// literally instead of underlining the next letter.
std::wstring MenuText(const std::wstring& caption);

using ItemRef = std::shared_ptr<TabItemState>;

class TabModel {
public:
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    const std::vector<ItemRef>& Items() const { return items_; }

    // Empty when index is out of range.
    ItemRef At(int32_t index) const;
    // -1 when the item is not (or no longer) in the list.
    int32_t IndexOf(const TabItemState* item) const;
    bool Contains(const TabItemState* item) const { return IndexOf(item) >= 0; }

    // Inserts before position index, clamped to [0, Count()].
    ItemRef Insert(int32_t index, std::wstring caption, int32_t image);
    // Later items move down by one. Removing the selected item leaves no
    // selection. False when index is out of range.
    bool Remove(int32_t index);
    void Clear();
    // Appends empty items or drops trailing ones; count < 0 is clamped to 0.
    void Resize(int32_t count);

    const ItemRef& Selected() const { return selected_; }
    int32_t SelectedIndex() const { return IndexOf(selected_.get()); }
    // True when the selection changed. An item outside the list is refused
    // (false, selection unchanged).
    bool SetSelected(const ItemRef& item);

private:
    std::vector<ItemRef> items_;
    ItemRef selected_;
};

}  // namespace corvane

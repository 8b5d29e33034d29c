#include "corvane/tab_model.h"

#include <algorithm>
#include <utility>

namespace corvane {

ItemRef TabModel::At(int32_t index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)];
}

int32_t TabModel::IndexOf(const TabItemState* item) const {
    if (item == nullptr) return -1;
    auto it = std::find_if(items_.begin(), items_.end(), [item](const ItemRef& p) { return p.get() == item; });
    return it == items_.end() ? -1 : static_cast<int32_t>(it - items_.begin());
}

ItemRef TabModel::Insert(int32_t index, std::wstring caption, int32_t image) {
    index = std::clamp(index, 0, Count());
    auto item = std::make_shared<TabItemState>();
    item->caption = std::move(caption);
    item->image = image;
    items_.insert(items_.begin() + index, item);
    return item;
}

bool TabModel::Remove(int32_t index) {
    if (index < 0 || index >= Count()) return false;
    if (items_[static_cast<size_t>(index)] == selected_) selected_.reset();
    items_.erase(items_.begin() + index);
    return true;
}

void TabModel::Clear() {
    items_.clear();
    selected_.reset();
}

void TabModel::Resize(int32_t count) {
    count = std::max(count, 0);
    while (Count() > count) Remove(Count() - 1);
    while (Count() < count) items_.push_back(std::make_shared<TabItemState>());
}

std::wstring MenuText(const std::wstring& caption) {
    std::wstring text;
    text.reserve(caption.size());
    for (const wchar_t c : caption) {
        if (c == L'&') text += L'&';
        text += c;
    }
    return text;
}

bool TabModel::SetSelected(const ItemRef& item) {
    if (!item || !Contains(item.get())) return false;
    if (item == selected_) return false;
    selected_ = item;
    return true;
}

}  // namespace corvane

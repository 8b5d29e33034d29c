#include "sim/tab_control_sim.h"

#include <stdexcept>

#include "interop/host_error.h"
#include "sim/world.h"

namespace tarnwick::sim {

namespace {

constexpr int32_t kControlGone = static_cast<int32_t>(0x800A01A8u);  // object required

template <class F>
void Raise(const Link& link, const char* where, F&& call) {
    try {
        call();
    } catch (const std::exception& e) {
        if (link->world != nullptr) link->world->RecordEscaped(std::string(where) + ": " + e.what());
    } catch (...) {
        if (link->world != nullptr) link->world->RecordEscaped(std::string(where) + ": unknown exception");
    }
}

class TabItemPort : public tab::TabItem {
public:
    TabItemPort(Link link, std::shared_ptr<TabControlSim> control, std::shared_ptr<TabItemModel> item)
        : link_(std::move(link)), control_(std::move(control)), item_(std::move(item)) {}

    std::wstring Caption() override { return Enter("TabItem.Caption").caption; }
    void Caption(const std::wstring& value) override { Enter("TabItem.Caption").caption = value; }
    std::wstring ToolTip() override { return Enter("TabItem.ToolTip").toolTip; }
    void ToolTip(const std::wstring& value) override { Enter("TabItem.ToolTip").toolTip = value; }
    int32_t Image() override { return Enter("TabItem.Image").image; }
    void Image(int32_t value) override { Enter("TabItem.Image").image = value; }
    bool Unsaved() override { return Enter("TabItem.Unsaved").unsaved; }
    void Unsaved(bool value) override { Enter("TabItem.Unsaved").unsaved = value; }
    int32_t Index() override {
        Enter("TabItem.Index");
        return control_->IndexOf(item_.get());
    }
    bool Selected() override {
        Enter("TabItem.Selected");
        return control_->SelectedIndex() == control_->IndexOf(item_.get());
    }
    void Selected(bool value) override {
        Enter("TabItem.Selected");
        const int32_t index = control_->IndexOf(item_.get());
        if (value)
            control_->Select(index);
        else
            control_->Deselect(index);
    }

private:
    TabItemModel& Enter(const char* member) {
        Touch(link_, member);
        control_->CheckAlive();
        if (!item_->alive) throw HostError(kControlGone);
        return *item_;
    }

    Link link_;
    std::shared_ptr<TabControlSim> control_;
    std::shared_ptr<TabItemModel> item_;
};

class ColorSetPort : public tab::ColorSet {
public:
    ColorSetPort(Link link, std::shared_ptr<TabControlSim> control) : link_(std::move(link)), c_(std::move(control)) {}
    uint32_t ButtonSelected() override { return Enter("ColorSet.ButtonSelected").ButtonSelected; }
    void ButtonSelected(uint32_t value) override { Enter("ColorSet.ButtonSelected").ButtonSelected = value; }
    uint32_t ButtonNormal() override { return Enter("ColorSet.ButtonNormal").ButtonNormal; }
    void ButtonNormal(uint32_t value) override { Enter("ColorSet.ButtonNormal").ButtonNormal = value; }

private:
    PaintManagerValues& Enter(const char* member) {
        Touch(link_, member);
        c_->CheckAlive();
        return c_->paint_;
    }
    Link link_;
    std::shared_ptr<TabControlSim> c_;
};

class PaintManagerPort : public tab::PaintManager {
public:
    PaintManagerPort(Link link, std::shared_ptr<TabControlSim> control)
        : link_(std::move(link)), c_(std::move(control)) {}
    bool ShowIcons() override { return Enter("PaintManager.ShowIcons").ShowIcons; }
    void ShowIcons(bool value) override { Enter("PaintManager.ShowIcons").ShowIcons = value; }
    bool BoldSelected() override { return Enter("PaintManager.BoldSelected").BoldSelected; }
    void BoldSelected(bool value) override { Enter("PaintManager.BoldSelected").BoldSelected = value; }
    bool HotTracking() override { return Enter("PaintManager.HotTracking").HotTracking; }
    void HotTracking(bool value) override { Enter("PaintManager.HotTracking").HotTracking = value; }
    bool DisableLunaColors() override { return Enter("PaintManager.DisableLunaColors").DisableLunaColors; }
    void DisableLunaColors(bool value) override { Enter("PaintManager.DisableLunaColors").DisableLunaColors = value; }
    int32_t Appearance() override { return Enter("PaintManager.Appearance").Appearance; }
    void Appearance(int32_t value) override { Enter("PaintManager.Appearance").Appearance = value; }
    int32_t Color() override { return Enter("PaintManager.Color").Color; }
    void Color(int32_t value) override { Enter("PaintManager.Color").Color = value; }
    std::shared_ptr<tab::ColorSet> ColorSet() override {
        Enter("PaintManager.ColorSet");
        return std::make_shared<ColorSetPort>(link_, c_);
    }

private:
    PaintManagerValues& Enter(const char* member) {
        Touch(link_, member);
        c_->CheckAlive();
        return c_->paint_;
    }
    Link link_;
    std::shared_ptr<TabControlSim> c_;
};

class TabControlPort : public tab::TabControl {
public:
    TabControlPort(Link link, std::shared_ptr<TabControlSim> control)
        : link_(std::move(link)), c_(std::move(control)) {}

    void RemoveAll() override { Enter("TabControl.RemoveAll").RemoveAll(); }
    void SetImageList(ImageListHandle imageList) override {
        TabControlSim& c = Enter("TabControl.SetImageList");
        c.imageList_ = imageList;
        ++c.setImageListCalls_;
    }
    std::shared_ptr<tab::PaintManager> PaintManager() override {
        Enter("TabControl.PaintManager");
        return std::make_shared<PaintManagerPort>(link_, c_);
    }
    int32_t ItemCount() override { return Enter("TabControl.ItemCount").Count(); }
    void ItemCount(int32_t count) override { Enter("TabControl.ItemCount").SetCount(count); }
    std::shared_ptr<tab::TabItem> Item(int32_t index) override { return Enter("TabControl.Item").ItemPort(index); }
    std::shared_ptr<tab::TabItem> InsertItem(int32_t Index, const std::wstring& Caption, int32_t /*Child*/,
                                             int32_t Image) override {
        return Enter("TabControl.InsertItem").Insert(Index, Caption, Image);
    }
    void RemoveItem(int32_t index) override { Enter("TabControl.RemoveItem").Remove(index); }
    std::shared_ptr<tab::TabItem> HitTest(int32_t x, int32_t y) override {
        TabControlSim& c = Enter("TabControl.HitTest");
        const int32_t index = c.HitIndex(x, y);
        return index < 0 ? nullptr : c.ItemPort(index);
    }
    void SelectedItem(int32_t index) override {
        TabControlSim& c = Enter("TabControl.SelectedItem");
        if (index < 0 || index >= c.Count()) throw HostError(hr::DISP_E_BADINDEX_);
        c.Select(index);
    }
    int32_t Appearance() override { return Enter("TabControl.Appearance").appearance_; }
    void Appearance(int32_t value) override { Enter("TabControl.Appearance").appearance_ = value; }
    void ShowCloseButtons(bool value) override { Enter("TabControl.ShowCloseButtons").showCloseButtons_ = value; }
    void ShowUnsavedMarks(bool value) override { Enter("TabControl.ShowUnsavedMarks").showUnsavedMarks_ = value; }
    int32_t Left() override { return Enter("TabControl.Left").left_; }
    void Left(int32_t twips) override { Enter("TabControl.Left").left_ = twips; }
    int32_t Width() override { return Enter("TabControl.Width").width_; }
    void Width(int32_t twips) override {
        TabControlSim& c = Enter("TabControl.Width");
        // A negative width is an invalid property value for a control.
        if (twips < 0) throw HostError(hr::E_INVALIDARG_);
        c.width_ = twips;
    }

private:
    TabControlSim& Enter(const char* member) {
        Touch(link_, member);
        c_->CheckAlive();
        return *c_;
    }
    Link link_;
    std::shared_ptr<TabControlSim> c_;
};

}  // namespace

std::shared_ptr<tab::TabControl> MakeTabControlPort(Link link, std::shared_ptr<TabControlSim> control) {
    return std::make_shared<TabControlPort>(std::move(link), std::move(control));
}

TabControlSim::TabControlSim(Link link, TabFormEvents& events) : link_(std::move(link)), events_(events) {
    // The two placeholder items of the design data.
    items_.push_back(std::make_shared<TabItemModel>(TabItemModel{L"Tab1", L"", 0, true}));
    items_.push_back(std::make_shared<TabItemModel>(TabItemModel{L"Tab2", L"", 0, true}));
    selected_ = 0;
}

void TabControlSim::CheckAlive() const {
    if (!alive_) throw HostError(kControlGone);
}

std::shared_ptr<tab::TabItem> TabControlSim::ItemPort(int32_t index) {
    if (index < 0 || index >= Count()) throw HostError(hr::DISP_E_BADINDEX_);
    return std::make_shared<TabItemPort>(link_, shared_from_this(), items_[static_cast<size_t>(index)]);
}

void TabControlSim::RemoveAll() {
    for (auto& item : items_) item->alive = false;
    items_.clear();
    selected_ = -1;
}

void TabControlSim::SetCount(int32_t count) {
    if (count < 0) throw HostError(hr::E_INVALIDARG_);
    while (Count() > count) {
        items_.back()->alive = false;
        items_.pop_back();
    }
    while (Count() < count) items_.push_back(std::make_shared<TabItemModel>());
    if (selected_ >= count) selected_ = -1;
}

std::shared_ptr<tab::TabItem> TabControlSim::Insert(int32_t index, const std::wstring& caption, int32_t image) {
    if (index < 0 || index > Count()) index = Count();
    auto item = std::make_shared<TabItemModel>(TabItemModel{caption, L"", image, true});
    items_.insert(items_.begin() + index, item);
    if (selected_ >= index) ++selected_;
    return std::make_shared<TabItemPort>(link_, shared_from_this(), item);
}

void TabControlSim::Remove(int32_t index) {
    if (index < 0 || index >= Count()) throw HostError(hr::DISP_E_BADINDEX_);
    items_[static_cast<size_t>(index)]->alive = false;
    items_.erase(items_.begin() + index);
    // The selection stays on the same position (the neighbour moves in), without an event.
    if (selected_ > index || selected_ >= Count()) --selected_;
    if (Count() == 0) selected_ = -1;
}

int32_t TabControlSim::IndexOf(const TabItemModel* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == item) return static_cast<int32_t>(i);
    return -1;
}

void TabControlSim::Select(int32_t index) {
    if (index < 0 || index >= Count()) throw HostError(hr::DISP_E_BADINDEX_);
    if (index == selected_) return;
    selected_ = index;
    ++selectedChangedRaised_;
    auto item = ItemPort(index);
    Raise(link_, "SelectedChanged", [&] { events_.TabSeclect_SelectedChanged(item); });
}

void TabControlSim::Deselect(int32_t index) {
    // Clearing the selected item's flag leaves no tab selected; no event.
    if (index == selected_) selected_ = -1;
}

int32_t TabControlSim::HitIndex(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || y >= kTabHeightPx) return -1;
    const int32_t index = x / kTabWidthPx;
    return index < Count() ? index : -1;
}

void TabControlSim::MouseUp(int16_t button, int32_t x, int32_t y) {
    if (!alive_) return;
    Raise(link_, "MouseUp",
          [&] { events_.TabSeclect_MouseUp(button, 0, static_cast<float>(x), static_cast<float>(y)); });
}

void TabControlSim::ClickTab(int32_t index, int16_t button) {
    if (!alive_) throw std::logic_error("ClickTab: the control is gone");
    if (index < 0 || index >= Count()) throw std::logic_error("ClickTab: no such tab");
    const int32_t x = index * kTabWidthPx + kTabWidthPx / 2;
    const int32_t y = kTabHeightPx / 2;
    if (button == 1) LeftClickEvents(index);
    MouseUp(button, x, y);
}

void TabControlSim::LeftClickEvents(int32_t index) {
    auto item = ItemPort(index);
    auto model = items_[static_cast<size_t>(index)];
    bool cancel = false;
    Raise(link_, "BeforeItemClick", [&] { events_.TabSeclect_BeforeItemClick(item, cancel); });
    // The handler may have rebuilt the strip: select the clicked item where it is now.
    if (!cancel && alive_) {
        const int32_t now = IndexOf(model.get());
        if (now >= 0) Select(now);
    }
}

void TabControlSim::ClickCloseButton(int32_t index) {
    if (!alive_) throw std::logic_error("ClickCloseButton: the control is gone");
    if (!showCloseButtons_) throw std::logic_error("ClickCloseButton: the control shows no close buttons");
    if (index < 0 || index >= Count()) throw std::logic_error("ClickCloseButton: no such tab");
    auto item = ItemPort(index);
    Raise(link_, "CloseButtonClick", [&] { events_.TabSeclect_CloseButtonClick(item); });
}

void TabControlSim::ChooseFromList(int32_t index) {
    if (!alive_) throw std::logic_error("ChooseFromList: the control is gone");
    if (index < 0 || index >= Count()) throw std::logic_error("ChooseFromList: no such tab");
    LeftClickEvents(index);
}

void TabControlSim::ClickEmpty(int16_t button) {
    if (!alive_) throw std::logic_error("ClickEmpty: the control is gone");
    MouseUp(button, Count() * kTabWidthPx + kTabWidthPx / 2, kTabHeightPx / 2);
}

void TabControlSim::DoubleClickTab(int32_t index, uint32_t interval) {
    ClickTab(index, 1);
    if (link_->world != nullptr) link_->world->Advance(interval);
    if (alive_ && index < Count()) ClickTab(index, 1);
}

std::vector<std::wstring> TabControlSim::Captions() const {
    std::vector<std::wstring> out;
    for (const auto& item : items_) out.push_back(item->caption);
    return out;
}

std::vector<std::wstring> TabControlSim::ToolTips() const {
    std::vector<std::wstring> out;
    for (const auto& item : items_) out.push_back(item->toolTip);
    return out;
}

std::vector<bool> TabControlSim::UnsavedFlags() const {
    std::vector<bool> out;
    for (const auto& item : items_) out.push_back(item->unsaved);
    return out;
}

std::vector<int32_t> TabControlSim::Images() const {
    std::vector<int32_t> out;
    for (const auto& item : items_) out.push_back(item->image);
    return out;
}

}  // namespace tarnwick::sim

#include "forms/tab_control_adapter.h"

#include "support/dispatch.h"

namespace tarnwick::win32 {
namespace {

using namespace corvane_id;

constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kPut = DISPATCH_PROPERTYPUT;
constexpr WORD kCall = DISPATCH_METHOD;

// Shared plumbing of the four adapters: one IDispatch and typed calls.
class DispObject {
protected:
    explicit DispObject(ComPtr<IDispatch> object) : object_(std::move(object)) {
        if (!object_) ThrowHr(E_POINTER);
    }
    int32_t GetInt(DISPID id) { return InvokeId(object_.get(), id, kGet).ToInt(); }
    bool GetBool(DISPID id) { return InvokeId(object_.get(), id, kGet).ToBool(); }
    std::wstring GetString(DISPID id) { return InvokeId(object_.get(), id, kGet).ToString(); }
    ComPtr<IDispatch> GetObject(DISPID id) { return InvokeId(object_.get(), id, kGet).ToDispatch(); }
    void Put(DISPID id, const Arg& value) { InvokeId(object_.get(), id, kPut, {value}); }

    ComPtr<IDispatch> object_;
};

class DispTabItem final : public tab::TabItem, DispObject {
public:
    explicit DispTabItem(ComPtr<IDispatch> item) : DispObject(std::move(item)) {}
    std::wstring Caption() override { return GetString(kItemCaption); }
    void Caption(const std::wstring& value) override { Put(kItemCaption, value); }
    std::wstring ToolTip() override { return GetString(kItemToolTip); }
    void ToolTip(const std::wstring& value) override { Put(kItemToolTip, value); }
    int32_t Image() override { return GetInt(kItemImage); }
    void Image(int32_t value) override { Put(kItemImage, value); }
    int32_t Index() override { return GetInt(kItemIndex); }
    bool Selected() override { return GetBool(kItemSelected); }
    void Selected(bool value) override { Put(kItemSelected, value); }
    bool Unsaved() override { return GetBool(kItemUnsaved); }
    void Unsaved(bool value) override { Put(kItemUnsaved, value); }
};

// Colours are OLE_COLOR: 0x00BBGGRR, passed as a signed 32-bit value.
class DispColorSet final : public tab::ColorSet, DispObject {
public:
    explicit DispColorSet(ComPtr<IDispatch> set) : DispObject(std::move(set)) {}
    uint32_t ButtonSelected() override { return static_cast<uint32_t>(GetInt(kCsButtonSelected)); }
    void ButtonSelected(uint32_t value) override { Put(kCsButtonSelected, static_cast<int32_t>(value)); }
    uint32_t ButtonNormal() override { return static_cast<uint32_t>(GetInt(kCsButtonNormal)); }
    void ButtonNormal(uint32_t value) override { Put(kCsButtonNormal, static_cast<int32_t>(value)); }
};

class DispPaintManager final : public tab::PaintManager, DispObject {
public:
    explicit DispPaintManager(ComPtr<IDispatch> pm) : DispObject(std::move(pm)) {}
    bool ShowIcons() override { return GetBool(kPmShowIcons); }
    void ShowIcons(bool value) override { Put(kPmShowIcons, value); }
    bool BoldSelected() override { return GetBool(kPmBoldSelected); }
    void BoldSelected(bool value) override { Put(kPmBoldSelected, value); }
    bool HotTracking() override { return GetBool(kPmHotTracking); }
    void HotTracking(bool value) override { Put(kPmHotTracking, value); }
    bool DisableLunaColors() override { return GetBool(kPmDisableLunaColors); }
    void DisableLunaColors(bool value) override { Put(kPmDisableLunaColors, value); }
    int32_t Appearance() override { return GetInt(kPmAppearance); }
    void Appearance(int32_t value) override { Put(kPmAppearance, value); }
    int32_t Color() override { return GetInt(kPmColor); }
    void Color(int32_t value) override { Put(kPmColor, value); }
    std::shared_ptr<tab::ColorSet> ColorSet() override {
        ComPtr<IDispatch> set = GetObject(kPmColorSet);
        if (!set) throw HostError(hr::OBJECT_REQUIRED_);
        return std::make_shared<DispColorSet>(std::move(set));
    }
};

class DispTabControl final : public tab::TabControl, DispObject {
public:
    explicit DispTabControl(ComPtr<IDispatch> control) : DispObject(std::move(control)) {}
    void RemoveAll() override { InvokeId(object_.get(), kRemoveAll, kCall); }
    // HIMAGELIST travels as a 32-bit integer, as the control's type library has it.
    void SetImageList(ImageListHandle imageList) override {
        InvokeId(object_.get(), kSetImageList, kCall, {static_cast<int32_t>(imageList)});
    }
    std::shared_ptr<tab::PaintManager> PaintManager() override {
        ComPtr<IDispatch> pm = GetObject(kPaintManager);
        if (!pm) throw HostError(hr::OBJECT_REQUIRED_);
        return std::make_shared<DispPaintManager>(std::move(pm));
    }
    int32_t ItemCount() override { return GetInt(kItemCount); }
    void ItemCount(int32_t count) override { Put(kItemCount, count); }
    std::shared_ptr<tab::TabItem> Item(int32_t index) override {
        auto item = MakeTabItem(InvokeId(object_.get(), kItem, kGet | kCall, {index}).ToDispatch());
        if (!item) throw HostError(hr::OBJECT_REQUIRED_);
        return item;
    }
    std::shared_ptr<tab::TabItem> InsertItem(int32_t Index, const std::wstring& Caption, int32_t Child,
                                             int32_t Image) override {
        return MakeTabItem(InvokeId(object_.get(), kInsertItem, kCall, {Index, Caption, Child, Image}).ToDispatch());
    }
    void RemoveItem(int32_t index) override { InvokeId(object_.get(), kRemoveItem, kCall, {index}); }
    std::shared_ptr<tab::TabItem> HitTest(int32_t x, int32_t y) override {
        return MakeTabItem(InvokeId(object_.get(), kHitTest, kCall, {x, y}).ToDispatch());
    }
    void SelectedItem(int32_t index) override { Put(kSelectedItem, index); }
    int32_t Appearance() override { return GetInt(kAppearance); }
    void Appearance(int32_t value) override { Put(kAppearance, value); }
    void ShowCloseButtons(bool value) override { Put(kShowCloseButtons, value); }
    void ShowUnsavedMarks(bool value) override { Put(kShowUnsavedMarks, value); }
    int32_t Left() override { return GetInt(kLeft); }
    void Left(int32_t twips) override { Put(kLeft, twips); }
    int32_t Width() override { return GetInt(kWidth); }
    void Width(int32_t twips) override { Put(kWidth, twips); }
};

}  // namespace

std::shared_ptr<tab::TabItem> MakeTabItem(ComPtr<IDispatch> item) {
    if (!item) return nullptr;
    return std::make_shared<DispTabItem>(std::move(item));
}

std::shared_ptr<tab::TabControl> MakeTabControl(ComPtr<IDispatch> control) {
    return std::make_shared<DispTabControl>(std::move(control));
}

}  // namespace tarnwick::win32

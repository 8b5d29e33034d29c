// The dispatch interface of Corvane.ocx as the add-in calls it, and its
// hosting handshake, driven late-bound through IDispatch like the add-in.
#include <windows.h>

#include <commctrl.h>

#include "corvane/ids.h"
#include "host.h"

namespace tabtest {
namespace {

namespace ctl = corvane::dispid::control;
namespace item_id = corvane::dispid::item;
namespace pm = corvane::dispid::paint_manager;
namespace cs = corvane::dispid::color_set;

TEST(TabControlHosting, InPlaceActivationFollowsTheSiteHandshakeAndMakesAChildOfTheForm) {
    auto host = HostControl(RECT{0, 0, 400, 25});
    ASSERT_TRUE(host->ole);
    EXPECT_EQ(host->site->calls,
              (std::vector<std::string>{"CanInPlaceActivate", "OnInPlaceActivate", "GetWindowContext", "ShowObject"}));
    const HWND strip = host->Strip();
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(GetParent(strip), host->form);
    wchar_t cls[64] = L"";
    GetClassNameW(strip, cls, 64);
    EXPECT_STREQ(cls, L"CorvaneTabStrip");
    EXPECT_TRUE(IsWindowVisible(strip));
    RECT client{};
    GetClientRect(strip, &client);
    EXPECT_EQ(client.right, 400);
    EXPECT_EQ(client.bottom, 25);
    EXPECT_EQ(GetLong(host->control.get(), ctl::hWnd), static_cast<int32_t>(reinterpret_cast<LONG_PTR>(strip)));
}

TEST(TabControlHosting, SetObjectRectsMovesTheWindow) {
    auto host = HostControl(RECT{0, 0, 400, 25});
    ComPtr<IOleInPlaceObject> inPlace;
    ASSERT_EQ(host->ole.As(IID_IOleInPlaceObject, inPlace), S_OK);
    const RECT moved{-5, 0, 300, 25};  // Form_Tab places TabSeclect slightly left of its origin
    EXPECT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
    RECT r{};
    GetWindowRect(host->Strip(), &r);
    MapWindowPoints(nullptr, host->form, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, -5);
    EXPECT_EQ(r.right, 300);
}

TEST(TabControlHosting, CloseDestroysTheWindowAndReleasesTheSinkAndTheSite) {
    auto host = HostControl();
    const HWND strip = host->Strip();
    ASSERT_TRUE(IsWindow(strip));
    host->Close();
    EXPECT_FALSE(IsWindow(strip));
    EXPECT_EQ(host->site->calls.back(), "OnInPlaceDeactivate");
    host->events->AddRef();
    EXPECT_EQ(host->events->Release(), 1u) << "only the test holds the sink";
    host->site->AddRef();
    EXPECT_EQ(host->site->Release(), 1u) << "only the test holds the site";
}

TEST(TabControlHosting, ActivatesWithoutASiteFromTheParentAndRectangleGivenToDoVerb) {
    auto host = HostControl();  // for its form window
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    ComPtr<IOleObject> bare;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, bare.put_void()), S_OK);
    const RECT where{0, 30, 300, 55};
    ASSERT_EQ(bare->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, host->form, &where), S_OK);
    ComPtr<IOleWindow> window;
    ASSERT_EQ(bare.As(IID_IOleWindow, window), S_OK);
    HWND strip = nullptr;
    ASSERT_EQ(window->GetWindow(&strip), S_OK);
    EXPECT_EQ(GetParent(strip), host->form);
    EXPECT_EQ(bare->Close(OLECLOSE_NOSAVE), S_OK);
    EXPECT_FALSE(IsWindow(strip));
}

TEST(TabControlHosting, DllCanUnloadNowOnlyWhenNoObjectIsLeft) {
    auto host = HostControl();
    const HMODULE module = GetModuleHandleW(L"Corvane.ocx");
    ASSERT_NE(module, nullptr);
    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload = reinterpret_cast<CanUnload>(GetProcAddress(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE);
    host.reset();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST(TabControlApi, ItemCountAfterRemoveAllCreatesThatManyEmptyItems) {
    auto host = HostControl();
    IDispatch* c = host->control.get();
    AddTabs(c, {L"placeholder 1", L"placeholder 2"});
    ASSERT_EQ(Call(c, ctl::RemoveAll), S_OK);
    EXPECT_EQ(GetLong(c, ctl::ItemCount), 0);
    ASSERT_EQ(Put(c, ctl::ItemCount, int32_t{3}), S_OK);
    EXPECT_EQ(GetLong(c, ctl::ItemCount), 3);
    for (int32_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ComPtr<IDispatch> item = ItemAt(c, i);
        EXPECT_EQ(Caption(item.get()), L"");
        EXPECT_EQ(GetLong(item.get(), item_id::Index), i);
        EXPECT_FALSE(GetBool(item.get(), item_id::Selected));
    }
    Variant none;
    EXPECT_EQ(Get(c, ctl::Item, none.get(), int32_t{3}), DISP_E_BADINDEX);
    EXPECT_EQ(Get(c, ctl::Item, none.get(), int32_t{-1}), DISP_E_BADINDEX);
    EXPECT_EQ(Put(c, ctl::ItemCount, int32_t{-1}), E_INVALIDARG);
}

TEST(TabControlApi, ItemTakesIndicesOfAnyIntegerTypeAndIsTheDefaultMember) {
    auto host = HostControl();
    AddTabs(host->control.get(), {L"Book1", L"Book2"});
    Variant item;
    ASSERT_EQ(Get(host->control.get(), DISPID_VALUE, item.get(), int16_t{1}), S_OK);
    ASSERT_EQ(V_VT(item.get()), VT_DISPATCH);
    EXPECT_EQ(Caption(V_DISPATCH(item.get())), L"Book2");
}

TEST(TabControlApi, InsertItemReturnsTheNewItemAndRemoveItemMovesLaterItemsDown) {
    auto host = HostControl();
    IDispatch* c = host->control.get();
    AddTabs(c, {L"a", L"c"});
    Variant b;
    ASSERT_EQ(InvokeArgs(c, ctl::InsertItem, DISPATCH_METHOD, b.get(), int32_t{1}, L"b", int32_t{-1}, int32_t{0}),
              S_OK);
    ASSERT_EQ(V_VT(b.get()), VT_DISPATCH);
    EXPECT_EQ(Caption(V_DISPATCH(b.get())), L"b");
    EXPECT_EQ(GetLong(V_DISPATCH(b.get()), item_id::Index), 1);
    EXPECT_EQ(GetLong(V_DISPATCH(b.get()), item_id::Image), 0);

    ASSERT_EQ(Call(c, ctl::RemoveItem, int32_t{0}), S_OK);
    EXPECT_EQ(GetLong(V_DISPATCH(b.get()), item_id::Index), 0);
    EXPECT_EQ(Caption(ItemAt(c, 1).get()), L"c");
    EXPECT_EQ(Call(c, ctl::RemoveItem, int32_t{2}), DISP_E_BADINDEX) << "beyond the shrunken list";
}

TEST(TabControlApi, InsertItemWithoutTheOptionalArgumentsGivesATabWithoutImage) {
    auto host = HostControl();
    Variant item;
    ASSERT_EQ(InvokeArgs(host->control.get(), ctl::InsertItem, DISPATCH_METHOD, item.get(), int32_t{0}, L"x"), S_OK);
    EXPECT_EQ(GetLong(V_DISPATCH(item.get()), item_id::Image), -1);
}

TEST(TabControlApi, ATabIsOneObjectForAsLongAsItIsHeld) {
    auto host = HostControl();
    AddTabs(host->control.get(), {L"Book1"});
    ComPtr<IDispatch> first = ItemAt(host->control.get(), 0);
    ComPtr<IDispatch> second = ItemAt(host->control.get(), 0);
    ComPtr<IUnknown> u1;
    ComPtr<IUnknown> u2;
    first.As(IID_IUnknown, u1);
    second.As(IID_IUnknown, u2);
    EXPECT_EQ(u1.get(), u2.get());
}

TEST(TabControlApi, ItemPropertiesReadBackWhatWasSet) {
    auto host = HostControl();
    AddTabs(host->control.get(), {L"Book1"});
    ComPtr<IDispatch> item = ItemAt(host->control.get(), 0);
    ASSERT_EQ(Put(item.get(), item_id::Caption, L"预算.xls"), S_OK);
    ASSERT_EQ(Put(item.get(), item_id::ToolTip, L"C:\\报表\\预算.xls"), S_OK);
    ASSERT_EQ(Put(item.get(), item_id::Image, int32_t{0}), S_OK);
    EXPECT_EQ(GetString(item.get(), item_id::Caption), L"预算.xls");
    EXPECT_EQ(GetString(item.get(), item_id::ToolTip), L"C:\\报表\\预算.xls");
    EXPECT_EQ(GetLong(item.get(), item_id::Image), 0);
    EXPECT_EQ(Put(item.get(), item_id::Index, int32_t{3}), DISP_E_MEMBERNOTFOUND) << "Index is read-only";
}

TEST(TabControlApi, ARemovedTabHasIndexMinusOneAndCannotBeSelected) {
    auto host = HostControl();
    AddTabs(host->control.get(), {L"Book1", L"Book2"});
    ComPtr<IDispatch> item = ItemAt(host->control.get(), 0);
    ASSERT_EQ(Call(host->control.get(), ctl::RemoveAll), S_OK);
    EXPECT_EQ(GetLong(item.get(), item_id::Index), -1);
    EXPECT_EQ(GetString(item.get(), item_id::Caption), L"Book1");
    EXPECT_EQ(Put(item.get(), item_id::Selected, true), DISP_E_BADINDEX);
    EXPECT_TRUE(host->events->log.empty());
}

// The add-in reads every tab on each timer tick and lets go of the objects
// at once; the control must hand back the same object, not a new one.
TEST(TabControlApi, ItemAnswersTheSameObjectForATabUntilTheTabIsRemoved) {
    auto host = HostControl();
    IDispatch* c = host->control.get();
    AddTabs(c, {L"Book1", L"Book2", L"Book3"});
    const auto identity = [&](int32_t index) {
        ComPtr<IDispatch> item = ItemAt(c, index);
        return static_cast<const void*>(item.get());  // released here; the control keeps it
    };
    const void* second = identity(1);
    const void* third = identity(2);
    EXPECT_EQ(identity(1), second) << "asked again after the caller let go";
    const POINT centre = TabCentre(host->Strip(), 1);
    Variant hit;
    ASSERT_EQ(InvokeArgs(c, ctl::HitTest, DISPATCH_METHOD, hit.get(), int32_t{centre.x}, int32_t{centre.y}), S_OK);
    ASSERT_EQ(V_VT(hit.get()), VT_DISPATCH);
    EXPECT_EQ(static_cast<const void*>(V_DISPATCH(hit.get())), second) << "HitTest answers the tab's object too";

    ASSERT_EQ(Call(c, ctl::RemoveItem, int32_t{0}), S_OK);
    EXPECT_EQ(identity(0), second) << "moving down keeps the object";
    EXPECT_EQ(identity(1), third);
    ComPtr<IDispatch> dropped = ItemAt(c, 1);  // held, so its address cannot be reused
    ASSERT_EQ(Put(c, ctl::ItemCount, int32_t{1}), S_OK);
    ASSERT_EQ(Put(c, ctl::ItemCount, int32_t{2}), S_OK);
    EXPECT_NE(identity(1), static_cast<const void*>(dropped.get())) << "a new tab gets its own object";
    EXPECT_EQ(GetLong(dropped.get(), item_id::Index), -1);
}

TEST(TabControlApi, AnItemHeldPastTheControlStaysReadableAndLetsTheModuleUnload) {
    auto host = HostControl();
    AddTabs(host->control.get(), {L"预算2024.xls"});
    ASSERT_EQ(Put(host->control.get(), ctl::SelectedItem, int32_t{0}), S_OK);
    ComPtr<IDispatch> item = ItemAt(host->control.get(), 0);
    host.reset();

    EXPECT_EQ(GetString(item.get(), item_id::Caption), L"预算2024.xls");
    EXPECT_EQ(Put(item.get(), item_id::Caption, L"Book9"), S_OK);
    EXPECT_EQ(GetLong(item.get(), item_id::Index), -1);
    EXPECT_FALSE(GetBool(item.get(), item_id::Selected));
    EXPECT_EQ(Put(item.get(), item_id::Selected, true), DISP_E_BADINDEX);

    using CanUnload = HRESULT(STDAPICALLTYPE*)();
    auto canUnload =
        reinterpret_cast<CanUnload>(GetProcAddress(GetModuleHandleW(L"Corvane.ocx"), "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), S_FALSE) << "the item is still held";
    item.reset();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST(TabControlApi, SelectedItemReadsAndSetsTheSelectionByIndex) {
    auto host = HostControl();
    IDispatch* c = host->control.get();
    AddTabs(c, {L"Book1", L"Book2"});
    EXPECT_EQ(GetLong(c, ctl::SelectedItem), -1);
    ASSERT_EQ(Put(c, ctl::SelectedItem, int32_t{1}), S_OK);
    EXPECT_EQ(GetLong(c, ctl::SelectedItem), 1);
    EXPECT_TRUE(GetBool(ItemAt(c, 1).get(), item_id::Selected));
    EXPECT_EQ(Put(c, ctl::SelectedItem, int32_t{2}), DISP_E_BADINDEX);
    EXPECT_EQ(GetLong(c, ctl::SelectedItem), 1);
}

TEST(TabControlApi, SelectedFalseLeavesTheSelection) {
    auto host = HostControl();
    AddTabs(host->control.get(), {L"Book1"});
    ComPtr<IDispatch> item = ItemAt(host->control.get(), 0);
    ASSERT_EQ(Put(item.get(), item_id::Selected, true), S_OK);
    ASSERT_EQ(Put(item.get(), item_id::Selected, false), S_OK);
    EXPECT_TRUE(GetBool(item.get(), item_id::Selected));
}

TEST(TabControlApi, ControlAppearanceAndPaintManagerAppearanceAreOneSetting) {
    auto host = HostControl();
    IDispatch* c = host->control.get();
    ComPtr<IDispatch> manager = GetObject(c, ctl::PaintManager);
    ASSERT_TRUE(manager);
    EXPECT_EQ(GetLong(c, ctl::Appearance), corvane::kAppearancePropertyPage2003) << "design default";
    ASSERT_EQ(Put(c, ctl::Appearance, corvane::kAppearanceExcel), S_OK);
    EXPECT_EQ(GetLong(manager.get(), pm::Appearance), corvane::kAppearanceExcel);
    ASSERT_EQ(Put(manager.get(), pm::Appearance, int32_t{0}), S_OK);
    EXPECT_EQ(GetLong(c, ctl::Appearance), 0);
}

TEST(TabControlApi, PaintManagerSettingsReadBackWhatWasSet) {
    auto host = HostControl();
    ComPtr<IDispatch> manager = GetObject(host->control.get(), ctl::PaintManager);
    ASSERT_TRUE(manager);
    for (DISPID flag : {pm::ShowIcons, pm::BoldSelected, pm::HotTracking, pm::DisableLunaColors}) {
        SCOPED_TRACE(flag);
        ASSERT_EQ(Put(manager.get(), flag, true), S_OK);
        EXPECT_TRUE(GetBool(manager.get(), flag));
        ASSERT_EQ(Put(manager.get(), flag, false), S_OK);
        EXPECT_FALSE(GetBool(manager.get(), flag));
    }
    ASSERT_EQ(Put(manager.get(), pm::Color, corvane::kColorOffice2003), S_OK);
    EXPECT_EQ(GetLong(manager.get(), pm::Color), corvane::kColorOffice2003);
}

TEST(TabControlApi, ColorSetOverridesReadBackAndMinusOneRestoresTheStyleColour) {
    auto host = HostControl();
    ComPtr<IDispatch> manager = GetObject(host->control.get(), ctl::PaintManager);
    ComPtr<IDispatch> colors = GetObject(manager.get(), pm::ColorSet);
    ASSERT_TRUE(colors);
    ASSERT_EQ(Put(colors.get(), cs::ButtonSelected, int32_t{0xFFFFFF}), S_OK);
    ASSERT_EQ(Put(colors.get(), cs::ButtonNormal, int32_t{0xCDCDCD}), S_OK);
    EXPECT_EQ(GetLong(colors.get(), cs::ButtonSelected), 0xFFFFFF);
    EXPECT_EQ(GetLong(colors.get(), cs::ButtonNormal), 0xCDCDCD);
    ASSERT_EQ(Put(colors.get(), cs::ButtonNormal, int32_t{-1}), S_OK);
    EXPECT_NE(GetLong(colors.get(), cs::ButtonNormal), -1);
    EXPECT_NE(GetLong(colors.get(), cs::ButtonNormal), 0xCDCDCD);
    ASSERT_EQ(Put(colors.get(), cs::ButtonNormal, static_cast<int32_t>(0x80000000 | COLOR_WINDOW)), S_OK);
    EXPECT_EQ(static_cast<uint32_t>(GetLong(colors.get(), cs::ButtonNormal)), GetSysColor(COLOR_WINDOW))
        << "system colours are translated";
}

TEST(TabControlApi, NamesAreLookedUpCaseInsensitivelyAndUnknownOnesFail) {
    auto host = HostControl();
    wchar_t name[] = L"itemcount";
    LPOLESTR names[] = {name};
    DISPID id = 0;
    ASSERT_EQ(host->control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    EXPECT_EQ(id, ctl::ItemCount);
    wchar_t unknown[] = L"Navigate";
    names[0] = unknown;
    EXPECT_EQ(host->control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);
    EXPECT_EQ(Call(host->control.get(), 12345), DISP_E_MEMBERNOTFOUND);
}

TEST(TabControlApi, BadArgumentsFailWithTheDispatchErrors) {
    auto host = HostControl();
    AddTabs(host->control.get(), {L"Book1"});
    Variant out;
    EXPECT_EQ(Get(host->control.get(), ctl::Item, out.get()), DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(Get(host->control.get(), ctl::Item, out.get(), L"not a number"), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Call(host->control.get(), ctl::RemoveAll, int32_t{1}), DISP_E_BADPARAMCOUNT);
}

TEST(TabControlApi, SetImageListAcceptsAHandleAndGivesTheTabsRoomForTheIcon) {
    auto host = HostControl();
    IDispatch* c = host->control.get();
    AddTabs(c, {L"Book1"});
    ASSERT_EQ(Put(ItemAt(c, 0).get(), item_id::Image, int32_t{0}), S_OK);
    const auto width = [&] {
        PumpMessages();
        ComPtr<IAccessible> acc;
        AccessibleObjectFromWindow(host->Strip(), static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, acc.put_void());
        VARIANT child;
        V_VT(&child) = VT_I4;
        V_I4(&child) = 1;
        long x = 0, y = 0, w = 0, h = 0;
        if (acc) acc->accLocation(&x, &y, &w, &h, child);
        return w;
    };
    const long plain = width();
    HIMAGELIST images = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 1, 0);
    ASSERT_NE(images, nullptr);
    ImageList_AddIcon(images, LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION)));
    ASSERT_EQ(Call(c, ctl::SetImageList, static_cast<int32_t>(reinterpret_cast<INT_PTR>(images))), S_OK);
    EXPECT_GE(width(), plain + 16);
    VARIANT nothing;
    VariantInit(&nothing);
    ASSERT_EQ(Call(c, ctl::SetImageList, nothing), S_OK);
    EXPECT_EQ(width(), plain);
    ImageList_Destroy(images);
}

TEST(TabControlApi, HitTestOfAnInactiveControlFindsNothing) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    ComPtr<IDispatch> control;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.put_void()), S_OK);
    AddTabs(control.get(), {L"Book1"});
    Variant hit;
    ASSERT_EQ(InvokeArgs(control.get(), ctl::HitTest, DISPATCH_METHOD, hit.get(), int32_t{5}, int32_t{10}), S_OK);
    EXPECT_EQ(V_VT(hit.get()), VT_DISPATCH);
    EXPECT_EQ(V_DISPATCH(hit.get()), nullptr);
}

}  // namespace
}  // namespace tabtest

namespace tabtest {
namespace {

namespace ctl = corvane::dispid::control;

int TwipsToPixels(int twips, int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return MulDiv(twips, dpi, 1440);
}

TEST(TabControlAttach, AttachToMakesTheStripAChildAtItsPlacementInTwips) {
    auto host = HostControl();  // for its form window
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    ComPtr<IDispatch> control;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.put_void()), S_OK);
    EXPECT_EQ(GetLong(control.get(), ctl::Width), 4695) << "the design width of TabSeclect";
    EXPECT_EQ(GetLong(control.get(), ctl::Height), 375);
    EXPECT_EQ(GetLong(control.get(), ctl::hWnd), 0) << "no window before it is attached";

    ASSERT_EQ(Call(control.get(), ctl::AttachTo, static_cast<int32_t>(reinterpret_cast<INT_PTR>(host->form))), S_OK);
    ASSERT_EQ(Put(control.get(), ctl::Left, int32_t{-50}), S_OK);
    ASSERT_EQ(Put(control.get(), ctl::Top, int32_t{0}), S_OK);
    ASSERT_EQ(Put(control.get(), ctl::Width, int32_t{4695}), S_OK);
    EXPECT_EQ(GetLong(control.get(), ctl::Left), -50) << "twips read back as set";

    const auto strip = reinterpret_cast<HWND>(static_cast<INT_PTR>(GetLong(control.get(), ctl::hWnd)));
    ASSERT_TRUE(IsWindow(strip));
    EXPECT_EQ(GetParent(strip), host->form);
    RECT r{};
    GetWindowRect(strip, &r);
    MapWindowPoints(nullptr, host->form, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, TwipsToPixels(-50, LOGPIXELSX));
    EXPECT_EQ(r.right - r.left, TwipsToPixels(4695, LOGPIXELSX));
    EXPECT_EQ(r.bottom - r.top, TwipsToPixels(375, LOGPIXELSY));

    ASSERT_EQ(Put(control.get(), ctl::Width, int32_t{3000}), S_OK);
    GetWindowRect(strip, &r);
    EXPECT_EQ(r.right - r.left, TwipsToPixels(3000, LOGPIXELSX)) << "the form's resize handler narrows it";
    EXPECT_EQ(Put(control.get(), ctl::Width, int32_t{-1}), E_INVALIDARG);

    ASSERT_EQ(Call(control.get(), ctl::AttachTo, int32_t{0}), S_OK);
    EXPECT_FALSE(IsWindow(strip));
    EXPECT_EQ(GetLong(control.get(), ctl::hWnd), 0);
}

TEST(TabControlAttach, TheControlOutlivesItsParentWindowAndAttachesAgain) {
    // The add-in unloads the form (its window goes) and shows it again.
    auto host = HostControl();
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    ComPtr<IDispatch> control;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.put_void()), S_OK);
    AddTabs(control.get(), {L"Book1"});
    HWND first = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 30, host->form, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_EQ(Call(control.get(), ctl::AttachTo, static_cast<int32_t>(reinterpret_cast<INT_PTR>(first))), S_OK);
    DestroyWindow(first);
    EXPECT_EQ(GetLong(control.get(), ctl::hWnd), 0);

    HWND second = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 30, host->form, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    ASSERT_EQ(Call(control.get(), ctl::AttachTo, static_cast<int32_t>(reinterpret_cast<INT_PTR>(second))), S_OK);
    const auto strip = reinterpret_cast<HWND>(static_cast<INT_PTR>(GetLong(control.get(), ctl::hWnd)));
    ASSERT_TRUE(IsWindow(strip));
    EXPECT_EQ(GetParent(strip), second);
    EXPECT_EQ(GetLong(control.get(), ctl::ItemCount), 1) << "the tabs stay with the object";
    DestroyWindow(second);
}

TEST(TabControlAttach, OleActivationAgainAfterTheParentWindowWasDestroyed) {
    auto host = HostControl();
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 30, host->form, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    ComPtr<IOleObject> ole;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, ole.put_void()), S_OK);
    const RECT where{0, 0, 200, 25};
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, parent, &where), S_OK);
    DestroyWindow(parent);
    ASSERT_EQ(ole->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, host->form, &where), S_OK);
    ComPtr<IOleWindow> window;
    ASSERT_EQ(ole.As(IID_IOleWindow, window), S_OK);
    HWND strip = nullptr;
    ASSERT_EQ(window->GetWindow(&strip), S_OK);
    EXPECT_EQ(GetParent(strip), host->form);
    ole->Close(OLECLOSE_NOSAVE);
}

}  // namespace
}  // namespace tabtest

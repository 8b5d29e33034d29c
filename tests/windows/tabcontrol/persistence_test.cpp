// The design-time settings survive IPersistStreamInit Save and Load.
#include "corvane/ids.h"
#include "host.h"

namespace tabtest {
namespace {

namespace ctl = corvane::dispid::control;
namespace pm = corvane::dispid::paint_manager;
namespace cs = corvane::dispid::color_set;

ComPtr<IDispatch> NewControl() {
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    ComPtr<IDispatch> control;
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, control.put_void()), S_OK);
    ComPtr<IPersistStreamInit> persist;
    if (control && SUCCEEDED(control.As(IID_IPersistStreamInit, persist))) persist->InitNew();
    return control;
}

TEST(TabControlPersistence, InitNewGivesTheDesignDefaults) {
    ComPtr<IDispatch> control = NewControl();
    ASSERT_TRUE(control);
    ComPtr<IDispatch> manager = GetObject(control.get(), ctl::PaintManager);
    EXPECT_EQ(GetLong(manager.get(), pm::Appearance), corvane::kAppearancePropertyPage2003);
    EXPECT_EQ(GetLong(manager.get(), pm::Color), corvane::kColorDefault);
    EXPECT_TRUE(GetBool(manager.get(), pm::ShowIcons));
    EXPECT_FALSE(GetBool(manager.get(), pm::BoldSelected));
    EXPECT_FALSE(GetBool(manager.get(), pm::HotTracking));
    EXPECT_FALSE(GetBool(manager.get(), pm::DisableLunaColors));
    EXPECT_EQ(GetLong(control.get(), ctl::ItemCount), 0);
}

TEST(TabControlPersistence, SaveAndLoadKeepThePaintManagerSettingsAndTheExtent) {
    ComPtr<IDispatch> original = NewControl();
    ASSERT_TRUE(original);
    ComPtr<IDispatch> manager = GetObject(original.get(), ctl::PaintManager);
    Put(manager.get(), pm::Appearance, corvane::kAppearanceExcel);
    Put(manager.get(), pm::Color, corvane::kColorOffice2003);
    Put(manager.get(), pm::BoldSelected, true);
    Put(manager.get(), pm::ShowIcons, false);
    ComPtr<IDispatch> colors = GetObject(manager.get(), pm::ColorSet);
    Put(colors.get(), cs::ButtonSelected, static_cast<int32_t>(RGB(1, 2, 3)));
    ComPtr<IOleObject> ole;
    ASSERT_EQ(original.As(IID_IOleObject, ole), S_OK);
    SIZEL extent{9000, 700};
    ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &extent), S_OK);

    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(original.As(IID_IPersistStreamInit, persist), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    ASSERT_EQ(persist->Save(stream.get(), TRUE), S_OK);
    EXPECT_EQ(persist->IsDirty(), S_FALSE);

    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(corvane::kProgId, &clsid), S_OK);
    ComPtr<IPersistStreamInit> loaded;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IPersistStreamInit, loaded.put_void()), S_OK);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(loaded->Load(stream.get()), S_OK);

    ComPtr<IDispatch> copy;
    ASSERT_EQ(loaded.As(IID_IDispatch, copy), S_OK);
    ComPtr<IDispatch> copyManager = GetObject(copy.get(), ctl::PaintManager);
    EXPECT_EQ(GetLong(copyManager.get(), pm::Appearance), corvane::kAppearanceExcel);
    EXPECT_EQ(GetLong(copyManager.get(), pm::Color), corvane::kColorOffice2003);
    EXPECT_TRUE(GetBool(copyManager.get(), pm::BoldSelected));
    EXPECT_FALSE(GetBool(copyManager.get(), pm::ShowIcons));
    ComPtr<IDispatch> copyColors = GetObject(copyManager.get(), pm::ColorSet);
    EXPECT_EQ(GetLong(copyColors.get(), cs::ButtonSelected), static_cast<int32_t>(RGB(1, 2, 3)));
    ComPtr<IOleObject> copyOle;
    ASSERT_EQ(copy.As(IID_IOleObject, copyOle), S_OK);
    SIZEL copyExtent{};
    ASSERT_EQ(copyOle->GetExtent(DVASPECT_CONTENT, &copyExtent), S_OK);
    EXPECT_EQ(copyExtent.cx, 9000);
    EXPECT_EQ(copyExtent.cy, 700);
}

TEST(TabControlPersistence, LoadRefusesAStreamOfAnotherFormat) {
    ComPtr<IDispatch> control = NewControl();
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(control.As(IID_IPersistStreamInit, persist), S_OK);
    ComPtr<IStream> stream;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, stream.put()), S_OK);
    const char junk[64] = "not a Corvane stream";
    stream->Write(junk, sizeof(junk), nullptr);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    EXPECT_TRUE(FAILED(persist->Load(stream.get())));
}

}  // namespace
}  // namespace tabtest

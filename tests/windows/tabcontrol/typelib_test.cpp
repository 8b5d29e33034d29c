// The type library inside Corvane.ocx agrees with the hand-written dispatch
// tables and with corvane/ids.h; the class tells containers its events.
#include "corvane/ids.h"
#include "guids.h"
#include "host.h"

namespace tabtest {
namespace {

namespace ctl = corvane::dispid::control;
namespace pm = corvane::dispid::paint_manager;
namespace ev = corvane::dispid::events;

ComPtr<ITypeLib> ModuleTypeLib() {
    ComPtr<ITypeLib> lib;
    const HRESULT hr = LoadTypeLibEx(OcxPath().c_str(), REGKIND_NONE, lib.put());
    EXPECT_EQ(hr, S_OK) << HresultText(hr);
    return lib;
}

// Every function of a dispinterface, by name, must map to its memid through
// the object's own GetIDsOfNames.
void ExpectNamesAgree(ITypeLib* lib, const GUID& diid, IDispatch* object) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(diid, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    EXPECT_GT(functions, 0);
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
        BSTR name = nullptr;
        UINT count = 0;
        info->GetNames(func->memid, &name, 1, &count);
        LPOLESTR names[] = {name};
        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK) << Narrow(name);
        EXPECT_EQ(id, func->memid) << Narrow(name);
        SysFreeString(name);
        info->ReleaseFuncDesc(func);
    }
}

TEST(TabControlTypeLib, EveryMemberInTheLibraryHasTheDispidTheObjectAnswers) {
    ComPtr<ITypeLib> lib = ModuleTypeLib();
    ASSERT_TRUE(lib);
    auto host = HostControl();
    AddTabs(host->control.get(), {L"Book1"});
    ComPtr<IDispatch> item = ItemAt(host->control.get(), 0);
    ComPtr<IDispatch> manager = GetObject(host->control.get(), ctl::PaintManager);
    ComPtr<IDispatch> colors = GetObject(manager.get(), pm::ColorSet);
    {
        SCOPED_TRACE("_DTabControl");
        ExpectNamesAgree(lib.get(), corvane::win::kDiidTabControl, host->control.get());
    }
    {
        SCOPED_TRACE("TabControlItem");
        ExpectNamesAgree(lib.get(), corvane::win::kDiidTabControlItem, item.get());
    }
    {
        SCOPED_TRACE("PaintManager");
        ExpectNamesAgree(lib.get(), corvane::win::kDiidPaintManager, manager.get());
    }
    {
        SCOPED_TRACE("ColorSet");
        ExpectNamesAgree(lib.get(), corvane::win::kDiidColorSet, colors.get());
    }
}

TEST(TabControlTypeLib, GuidsAgreeBetweenHeaderLibraryAndRegistryText) {
    ComPtr<ITypeLib> lib = ModuleTypeLib();
    ASSERT_TRUE(lib);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, corvane::win::kLibId));
    EXPECT_EQ(attr->wMajorVerNum, corvane::kTypeLibMajor);
    lib->ReleaseTLibAttr(attr);
    const std::pair<const wchar_t*, const GUID*> pairs[] = {
        {corvane::guid_text::kLibId, &corvane::win::kLibId},
        {corvane::guid_text::kClsidTabControl, &corvane::win::kClsidTabControl},
        {corvane::guid_text::kDiidTabControl, &corvane::win::kDiidTabControl},
        {corvane::guid_text::kDiidTabControlEvents, &corvane::win::kDiidTabControlEvents},
        {corvane::guid_text::kDiidTabControlItem, &corvane::win::kDiidTabControlItem},
        {corvane::guid_text::kDiidPaintManager, &corvane::win::kDiidPaintManager},
        {corvane::guid_text::kDiidColorSet, &corvane::win::kDiidColorSet},
    };
    for (const auto& [text, value] : pairs) {
        SCOPED_TRACE(Narrow(text));
        GUID parsed{};
        ASSERT_EQ(CLSIDFromString(const_cast<LPOLESTR>(text), &parsed), S_OK);
        EXPECT_TRUE(IsEqualGUID(parsed, *value));
        if (value != &corvane::win::kLibId) {
            ComPtr<ITypeInfo> info;
            EXPECT_EQ(lib->GetTypeInfoOfGuid(*value, info.put()), S_OK);
        }
    }
}

TEST(TabControlTypeLib, EventParametersHaveAutomationTypes) {
    ComPtr<ITypeLib> lib = ModuleTypeLib();
    ASSERT_TRUE(lib);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(lib->GetTypeInfoOfGuid(corvane::win::kDiidTabControlEvents, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    int seen = 0;
    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* f = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &f), S_OK);
        SCOPED_TRACE(f->memid);
        if (f->memid == ev::BeforeItemClick) {
            ++seen;
            ASSERT_EQ(f->cParams, 2);
            EXPECT_EQ(f->lprgelemdescParam[0].tdesc.vt, VT_DISPATCH);
            ASSERT_EQ(f->lprgelemdescParam[1].tdesc.vt, VT_PTR);
            EXPECT_EQ(f->lprgelemdescParam[1].tdesc.lptdesc->vt, VT_BOOL) << "Cancel As Boolean";
        } else if (f->memid == ev::MouseUp || f->memid == ev::MouseDown) {
            ++seen;
            ASSERT_EQ(f->cParams, 4);
            EXPECT_EQ(f->lprgelemdescParam[0].tdesc.vt, VT_I2);
            EXPECT_EQ(f->lprgelemdescParam[1].tdesc.vt, VT_I2);
            EXPECT_EQ(f->lprgelemdescParam[2].tdesc.vt, VT_R4);
            EXPECT_EQ(f->lprgelemdescParam[3].tdesc.vt, VT_R4);
        } else if (f->memid == ev::SelectedChanged || f->memid == ev::CloseButtonClick) {
            ++seen;
            ASSERT_EQ(f->cParams, 1);
            EXPECT_EQ(f->lprgelemdescParam[0].tdesc.vt, VT_DISPATCH);
        }
        info->ReleaseFuncDesc(f);
    }
    EXPECT_EQ(seen, 5);
}

TEST(TabControlTypeLib, TheClassNamesItsEventInterfaceAndItsOnlyConnectionPoint) {
    auto host = HostControl();
    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(host->ole.As(IID_IProvideClassInfo2, classInfo), S_OK);
    GUID source{};
    ASSERT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source), S_OK);
    EXPECT_TRUE(IsEqualGUID(source, corvane::win::kDiidTabControlEvents));
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(IsEqualGUID(attr->guid, corvane::win::kClsidTabControl));
    coclass->ReleaseTypeAttr(attr);

    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(host->ole.As(IID_IConnectionPointContainer, container), S_OK);
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(points.put()), S_OK);
    IConnectionPoint* fetched[2] = {};
    ULONG count = 0;
    EXPECT_EQ(points->Next(2, fetched, &count), S_FALSE);
    ASSERT_EQ(count, 1u);
    IID iid{};
    fetched[0]->GetConnectionInterface(&iid);
    EXPECT_TRUE(IsEqualIID(iid, corvane::win::kDiidTabControlEvents));
    fetched[0]->Release();
    ComPtr<IConnectionPoint> none;
    EXPECT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, none.put()), CONNECT_E_NOCONNECTION);
}

}  // namespace
}  // namespace tabtest

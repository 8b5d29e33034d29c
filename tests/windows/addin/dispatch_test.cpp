// The dispatch helper and the Excel adapters straight against the fake
// host, without the DLL.
#include <gtest/gtest.h>

#include <algorithm>

#include "excel/excel_objects.h"
#include "fake_excel.h"
#include "support/dispatch.h"

namespace {

using namespace tarnwick;
using namespace tarnwick::win32;

class Adapters : public testing::Test {
protected:
    void SetUp() override {
        ClearDispIdCache();
        ResetNameLookupCount();
    }
    fakexl::FakeExcel excel_{{.initialWorkbooks = 3}};
};

TEST_F(Adapters, AfterTheFirstCallAMemberCostsOneInvokeForEveryObjectOfItsType) {
    auto books = WrapApplication(excel_.Application())->Workbooks();
    auto first = books->Item(L"Book1");
    auto second = books->Item(L"Book2");
    excel_.ResetCallCounts();
    ResetNameLookupCount();

    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(first->Name(), L"Book1");
        EXPECT_EQ(second->Name(), L"Book2");
    }
    EXPECT_EQ(NameLookupCount(), 1);
    EXPECT_EQ(excel_.GetIDsOfNamesCount(), 1);
    EXPECT_EQ(excel_.InvokeCount(), 10);
}

TEST_F(Adapters, WindowVisibleAndWindowsCountGoByTheirFixedDispIds) {
    auto windows = WrapApplication(excel_.Application())->ActiveWorkbook()->Windows();
    excel_.ResetCallCounts();
    EXPECT_EQ(windows->Count(), 1);
    auto each = windows->Enumerate();
    auto window = each->Next();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->Visible());
    EXPECT_FALSE(each->Next());
    EXPECT_EQ(excel_.GetIDsOfNamesCount(), 0);
    EXPECT_EQ(excel_.MemberCalls(L"Window.Visible"), 1);
    EXPECT_EQ(excel_.MemberCalls(L"Windows.Count"), 1);
}

TEST_F(Adapters, EnumerationWalksTheCollectionInOrderAndEndsWithNothing) {
    auto each = WrapApplication(excel_.Application())->Workbooks()->Enumerate();
    std::vector<std::wstring> names;
    while (auto book = each->Next()) names.push_back(book->Name());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Book1", L"Book2", L"Book3"}));
}

TEST_F(Adapters, ArgumentsKeepTheirOrderAndOmittedOnesGoAsMissing) {
    auto bars = WrapApplication(excel_.Application())->CommandBars();
    auto popup = bars->Add(L"Mine", excel::msoBarPopup, std::nullopt, true);
    ASSERT_TRUE(popup);
    auto mine = excel_.Bar(L"Mine");
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine->position, fakexl::kBarPopup);
    EXPECT_TRUE(mine->temporary);

    auto button = popup->Controls()->Add(excel::msoControlButton, std::nullopt, std::nullopt, std::nullopt, true);
    button->Caption(L"关闭(&C)");
    button->Tag(L"Close");
    EXPECT_EQ(button->Caption(), L"关闭(&C)");
    EXPECT_EQ(popup->Controls()->Count(), 1);

    EXPECT_TRUE(bars->Add());  // every argument omitted
    EXPECT_FALSE(bars->FindControl(std::nullopt, 99999)) << "no match is Nothing, not a failure";
    EXPECT_TRUE(bars->FindControl(std::nullopt, excel::ids::Close));
    EXPECT_TRUE(excel_.UnexpectedCalls().empty());
}

TEST_F(Adapters, PropertyPutsArriveInOrder) {
    auto app = WrapApplication(excel_.Application());
    app->ScreenUpdating(false);
    app->ScreenUpdating(true);
    EXPECT_EQ(excel_.ScreenUpdatingHistory(), (std::vector<bool>{false, true}));
}

TEST_F(Adapters, FailedCallsThrowHostErrorWithTheHostsCode) {
    auto app = WrapApplication(excel_.Application());
    excel_.FailMember(L"Application.Version", E_ACCESSDENIED);
    try {
        app->Version();
        ADD_FAILURE() << "no error";
    } catch (const HostError& e) {
        EXPECT_EQ(e.code(), static_cast<int32_t>(E_ACCESSDENIED));
    }
    excel_.ClearFailures();
    EXPECT_EQ(app->Version(), L"11.0");
    EXPECT_THROW(app->Workbooks()->Item(L"NoSuchBook"), HostError);
    EXPECT_THROW(Invoke(nullptr, L"Name", DISPATCH_PROPERTYGET), HostError);
}

TEST_F(Adapters, WrappersReleaseTheirReferences) {
    {
        auto app = WrapApplication(excel_.Application());
        int stage = 0;
        try {
        auto each = app->Workbooks()->Enumerate();
        stage = 1;
        while (auto book = each->Next()) {
            stage++;
            book->Windows()->Count();
        }
        stage = 10;
        app->CommandBars()->Item(L"Worksheet Menu Bar");
        } catch (const HostError& e) { ADD_FAILURE() << stage << " " << std::hex << e.code(); for (auto& u : excel_.UnexpectedCalls()) ADD_FAILURE() << std::string(u.begin(), u.end()); }
        EXPECT_GT(excel_.OutstandingReferences(), 0);
    }
    EXPECT_EQ(excel_.OutstandingReferences(), 0);
}

struct RecordingAppSink : excel::AppEventSink {
    std::vector<std::wstring> calls;
    bool failBeforeClose = false;
    void NewWorkbook(const std::shared_ptr<excel::Workbook>& wb) override { calls.push_back(L"New:" + wb->Name()); }
    void WorkbookOpen(const std::shared_ptr<excel::Workbook>& wb) override { calls.push_back(L"Open:" + wb->Name()); }
    void WorkbookActivate(const std::shared_ptr<excel::Workbook>& wb) override {
        calls.push_back(L"Activate:" + wb->Name());
    }
    void WorkbookBeforeClose(const std::shared_ptr<excel::Workbook>& wb, bool&) override {
        calls.push_back(L"BeforeClose:" + wb->Name());
        if (failBeforeClose) throw HostError(hr::OBJECT_REQUIRED_);
    }
};

TEST_F(Adapters, AppEventsReachTheSinkUntilTheSubscriptionIsDropped) {
    RecordingAppSink sink;
    auto subscription = WrapApplication(excel_.Application())->SubscribeEvents(sink);
    EXPECT_EQ(excel_.AppEventSinks(), 1);

    const std::wstring created = excel_.CreateWorkbook();
    excel_.ActivateWorkbook(L"Book1");
    excel_.CloseWorkbook(L"Book2");
    EXPECT_NE(std::find(sink.calls.begin(), sink.calls.end(), L"New:" + created), sink.calls.end());
    EXPECT_NE(std::find(sink.calls.begin(), sink.calls.end(), L"Activate:Book1"), sink.calls.end());
    EXPECT_NE(std::find(sink.calls.begin(), sink.calls.end(), L"BeforeClose:Book2"), sink.calls.end());
    EXPECT_TRUE(excel_.SinkFailures().empty());

    SCOPED_TRACE("a throwing before-close handler fails the event call; the others never do");
    sink.failBeforeClose = true;
    excel_.CloseWorkbook(L"Book3");
    EXPECT_EQ(excel_.SinkFailures().size(), 1u);

    subscription.reset();
    EXPECT_EQ(excel_.AppEventSinks(), 0);
    sink.calls.clear();
    excel_.CreateWorkbook();
    EXPECT_TRUE(sink.calls.empty());
    EXPECT_EQ(excel_.OutstandingReferences(), 0);
}

struct RecordingClickSink : excel::ButtonClickSink {
    std::vector<std::wstring> clicked;
    void Click(const std::shared_ptr<excel::CommandBarControl>& ctrl, bool&) override {
        clicked.push_back(ctrl->Caption());
    }
};

TEST_F(Adapters, ButtonClicksArriveWithTheClickedControlForEveryButtonSharingItsTag) {
    auto bars = WrapApplication(excel_.Application())->CommandBars();
    auto popup = bars->Add(L"Menu", excel::msoBarPopup, std::nullopt, true);
    auto first = popup->Controls()->Add(excel::msoControlButton);
    auto second = popup->Controls()->Add(excel::msoControlButton);
    first->Caption(L"保存");
    first->Tag(L"Cmd");
    second->Caption(L"关闭");
    second->Tag(L"Cmd");

    RecordingClickSink sink;
    auto subscription = first->SubscribeClick(sink);
    EXPECT_EQ(excel_.ButtonEventSinks(), 1);
    ASSERT_TRUE(excel_.ClickControl(L"Menu", L"关闭"));
    EXPECT_EQ(sink.clicked, (std::vector<std::wstring>{L"关闭"}));
    subscription.reset();
    EXPECT_EQ(excel_.ButtonEventSinks(), 0);
}

}  // namespace
